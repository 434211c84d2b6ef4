#pragma once

// When a position in a file is worth coming back to. Only files of five minutes or more are
// remembered (films, recordings, not songs), and neither the first 30 seconds nor the end,
// the last 5 % or 30 seconds, whichever is longer: a file left there is finished.
namespace resume_rule {

inline constexpr double shortestSeconds = 5 * 60;
inline constexpr double earliestSeconds = 30;

enum class Verdict {
    remember,  // the position is kept, to be offered when the file is opened again
    forget,    // the file was finished: what was kept for it goes
    leaveAsIs, // too short, or hardly begun: nothing kept changes
};

// What leaving a file `durationSeconds` long at `positionSeconds` does to what is kept for it.
Verdict onLeaving(double positionSeconds, double durationSeconds);

} // namespace resume_rule
