#pragma once

#include <QList>
#include <QString>

#include <optional>

// One chapter of the loaded file: where it starts and its title (empty when the file gives none).
struct Chapter {
    double start = 0;
    QString title;
    bool operator==(const Chapter &) const = default;
};

// The arithmetic of chapters, whatever the file claims: containers give them out of order,
// overlapping, past the end or twice at one place.
namespace chapters {

// The chapters in order of their start, each start once, none before 0 or at or past
// `duration` (when it is known, above 0), and none that is not a number.
QList<Chapter> tidy(QList<Chapter> chapters, double duration);
// The chapter playing at `seconds`; -1 before the first (or without chapters).
qsizetype indexAt(const QList<Chapter> &chapters, double seconds);
// Where the next chapter starts; none in the last.
std::optional<double> nextStart(const QList<Chapter> &chapters, double seconds);
// Back to the start of the chapter playing, or, within `graceSeconds` of that start, of the
// one before, as a CD player's previous button does; none before the first chapter.
std::optional<double> previousStart(const QList<Chapter> &chapters, double seconds);

constexpr double graceSeconds = 2;

} // namespace chapters
