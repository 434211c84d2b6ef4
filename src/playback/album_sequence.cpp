#include "playback/album_sequence.h"

std::optional<qint64> AlbumSequence::nextEntry(RepeatMode mode, qint64 current, qint64 count) {
    if (mode != RepeatMode::all && mode != RepeatMode::allRepeat)
        return std::nullopt;
    if (current >= 0 && current < count - 1)
        return current + 1;
    if (mode == RepeatMode::allRepeat && count > 0)
        return 0;
    return std::nullopt;
}

void AlbumSequence::chosen() {
    reachedByAlbum_ = false;
    failuresInARow_ = 0;
}

void AlbumSequence::movedOn() {
    reachedByAlbum_ = true;
}

void AlbumSequence::played() {
    failuresInARow_ = 0;
}

bool AlbumSequence::passesFailure(qint64 count) {
    return reachedByAlbum_ && ++failuresInARow_ < count;
}
