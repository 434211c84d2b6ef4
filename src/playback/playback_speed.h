#pragma once

#include <QList>

// How fast a file plays: a few steps people know from other players, between a quarter and
// four times the speed it was made at.
namespace playback_speed {

constexpr double minimum = 0.25;
constexpr double maximum = 4;
constexpr double normal = 1;

// The steps the menu offers, slowest first.
const QList<double> &steps();
// The step above or below `speed` (itself a step or anything between), held at the ends.
double faster(double speed);
double slower(double speed);
// Whether `speed` can be played as it is (a number within the range).
bool isWithinRange(double speed);
// Seconds of the clock that `remaining` seconds of the file take at `speed`.
double clockSeconds(double remaining, double speed);
// "1.5×", "0.25×", "2×": the speed as the transport bar and the menu write it.
QString text(double speed);

} // namespace playback_speed
