#include "playback/repeat_mode.h"

#include <algorithm>

namespace repeat_mode {

std::optional<RepeatMode> fromRawValue(int rawValue) {
    for (RepeatMode mode : allCases) {
        if (static_cast<int>(mode) == rawValue)
            return mode;
    }
    return std::nullopt;
}

RepeatMode next(RepeatMode mode) {
    const auto found = std::find(allCases.begin(), allCases.end(), mode);
    const auto position = found == allCases.end() ? 0 : found - allCases.begin();
    return allCases[(position + 1) % allCases.size()];
}

QString iconName(RepeatMode mode) {
    switch (mode) {
    case RepeatMode::off:
        return QStringLiteral("arrow.right.to.line");
    case RepeatMode::one:
        return QStringLiteral("repeat.1");
    case RepeatMode::all:
        return QStringLiteral("arrow.forward.to.line");
    case RepeatMode::allRepeat:
        return QStringLiteral("repeat");
    }
    return {};
}

QString description(RepeatMode mode) {
    switch (mode) {
    case RepeatMode::off:
        return QStringLiteral("Stop at end");
    case RepeatMode::one:
        return QStringLiteral("Repeat one");
    case RepeatMode::all:
        return QStringLiteral("Play all");
    case RepeatMode::allRepeat:
        return QStringLiteral("Repeat all");
    }
    return {};
}

} // namespace repeat_mode
