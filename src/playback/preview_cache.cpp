#include "playback/preview_cache.h"

#include <algorithm>

QImage PreviewCache::find(qint64 slot, bool exactOnly) {
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const Entry &entry) { return entry.slot == slot; });
    if (found == entries_.end() || (exactOnly && !found->exact))
        return {};
    // Used again: it goes last.
    std::rotate(found, found + 1, entries_.end());
    return entries_.back().picture;
}

void PreviewCache::insert(qint64 slot, bool exact, const QImage &picture) {
    if (picture.isNull() || capacity_ <= 0)
        return;
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const Entry &entry) { return entry.slot == slot; });
    if (found != entries_.end()) {
        if (found->exact && !exact)
            return;
        entries_.erase(found);
    }
    if (int(entries_.size()) >= capacity_)
        entries_.erase(entries_.begin());
    entries_.push_back({slot, exact, picture});
}
