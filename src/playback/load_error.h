#pragma once

#include <QString>

// Why a file cannot be played. The views put it into words in the user's language; `detail`
// carries the system's own words where no fixed reason fits (an unusual errno).
struct LoadError {
    enum class Reason {
        none,
        notLocal,
        notFound,
        permissionDenied,
        unreadable,
        isFolder,
        notRegularFile,
        empty,
        changedWhilePlaying,
        unknownFormat,
        undecodable,
        playlistFile,
        engineUnavailable,
    };

    Reason reason = Reason::none;
    QString detail;

    bool isEmpty() const { return reason == Reason::none; }
    bool operator==(const LoadError &) const = default;
};
