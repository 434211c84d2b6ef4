#include "playback/chapters.h"

#include <algorithm>
#include <cmath>

namespace chapters {

QList<Chapter> tidy(QList<Chapter> chapters, double duration) {
    const bool knowsEnd = std::isfinite(duration) && duration > 0;
    chapters.removeIf([&](const Chapter &chapter) {
        return !std::isfinite(chapter.start) || (knowsEnd && chapter.start >= duration);
    });
    // A start a little below zero (encoder delay) is the beginning.
    for (Chapter &chapter : chapters)
        chapter.start = std::max(chapter.start, 0.0);
    std::stable_sort(chapters.begin(), chapters.end(),
                     [](const Chapter &a, const Chapter &b) { return a.start < b.start; });
    // Two at one place: the first given, keeping a title if only the other has one.
    QList<Chapter> tidied;
    for (const Chapter &chapter : chapters) {
        if (!tidied.isEmpty() && tidied.last().start == chapter.start) {
            if (tidied.last().title.isEmpty())
                tidied.last().title = chapter.title;
            continue;
        }
        tidied.append(chapter);
    }
    return tidied;
}

qsizetype indexAt(const QList<Chapter> &chapters, double seconds) {
    if (!std::isfinite(seconds))
        return -1;
    const auto after =
        std::upper_bound(chapters.cbegin(), chapters.cend(), seconds,
                         [](double time, const Chapter &chapter) { return time < chapter.start; });
    return qsizetype(after - chapters.cbegin()) - 1;
}

std::optional<double> nextStart(const QList<Chapter> &chapters, double seconds) {
    const qsizetype next = indexAt(chapters, seconds) + 1;
    if (next >= chapters.size())
        return std::nullopt;
    return chapters.at(next).start;
}

std::optional<double> previousStart(const QList<Chapter> &chapters, double seconds) {
    const qsizetype current = indexAt(chapters, seconds);
    if (current < 0)
        return std::nullopt;
    if (seconds - chapters.at(current).start > graceSeconds || current == 0)
        return chapters.at(current).start;
    return chapters.at(current - 1).start;
}

} // namespace chapters
