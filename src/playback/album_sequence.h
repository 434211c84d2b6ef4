#pragma once

#include "playback/repeat_mode.h"

#include <QtGlobal>

#include <optional>

// How an album moves on by itself: which entry of the folder playlist follows the one that
// ended, and how far it goes past files that cannot play. The person's own choices (a row, Next,
// Previous, another file) are not its business, beyond starting it afresh.
class AlbumSequence {
public:
    // The entry that plays after `current` ended, in a playlist of `count` entries: the next
    // one in "play all" and "repeat all", round to the first in "repeat all" (also from a file
    // not found in the listing, -1); none in the other modes or at the end of "play all".
    static std::optional<qint64> nextEntry(RepeatMode mode, qint64 current, qint64 count);

    // The person chose what plays now: nothing has failed on the album's way.
    void chosen();
    // The album moved on to what plays now.
    void movedOn();
    // What plays now played: the failures before it are forgotten.
    void played();
    // What plays now cannot be played. True when the album goes on past it: only when the album
    // reached it by itself, and at most once round a playlist of `count` entries.
    bool passesFailure(qint64 count);

private:
    bool reachedByAlbum_ = false;
    qint64 failuresInARow_ = 0;
};
