#pragma once

// How large subtitles are drawn, as a factor of the size the film or the engine gives them.
namespace subtitle_scale {

constexpr double normal = 1;
constexpr double minimum = 0.5;
constexpr double maximum = 3;
constexpr double step = 0.1;

// `scale` made `steps` steps larger (negative: smaller), on the grid and within the range.
double stepped(double scale, int steps);
// A stored or asked-for scale as it can be used: within the range, normal when not a number.
double bounded(double scale);

} // namespace subtitle_scale
