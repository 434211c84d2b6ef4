#pragma once

#include <QImage>
#include <QtGlobal>

#include <vector>

// Pictures of the places already seen, so that the pointer going back over the bar finds them
// at once. Bounded: the least recently used goes first. A place's exact picture replaces its
// keyframe's, never the other way round.
class PreviewCache {
public:
    explicit PreviewCache(int capacity) : capacity_(capacity) {}

    // The picture kept for `slot`, exact only when `exactOnly`; null when none.
    QImage find(qint64 slot, bool exactOnly);
    void insert(qint64 slot, bool exact, const QImage &picture);
    void clear() { entries_.clear(); }
    int size() const { return int(entries_.size()); }

private:
    struct Entry {
        qint64 slot;
        bool exact;
        QImage picture;
    };
    int capacity_;
    // Least recently used first.
    std::vector<Entry> entries_;
};
