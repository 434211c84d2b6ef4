#pragma once

#include <QString>

#include <array>
#include <optional>

// What happens when a track plays to its end.
enum class RepeatMode : int {
    off = 0,
    one = 1,
    all = 2,
    allRepeat = 3,
};

namespace repeat_mode {

inline constexpr std::array<RepeatMode, 4> allCases{RepeatMode::off, RepeatMode::one,
                                                    RepeatMode::all, RepeatMode::allRepeat};

constexpr int rawValue(RepeatMode mode) {
    return static_cast<int>(mode);
}
std::optional<RepeatMode> fromRawValue(int rawValue);

// The mode the repeat button moves to: off, one, all, allRepeat, then off again.
RepeatMode next(RepeatMode mode);
// Name of the bundled symbol shown on the repeat button.
QString iconName(RepeatMode mode);
// Fixed English help text of the repeat button.
QString description(RepeatMode mode);

} // namespace repeat_mode
