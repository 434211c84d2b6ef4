#pragma once

// Moving subtitles or sound earlier or later than the picture, in steps of 100 ms.
namespace sync_offset {

constexpr double stepSeconds = 0.1;
// A minute either way: more is another cut of the film, not a late track.
constexpr double largestSeconds = 60;

// `offset` moved by `steps` steps (negative: earlier), on the 100 ms grid and within
// ±largestSeconds. Anything not a number is no offset.
double stepped(double offset, int steps);
// `offset` as the engine can take it: within the range, 0 when not a number.
double bounded(double offset);

} // namespace sync_offset
