#pragma once

#include <QObject>
#include <QTimer>

// Keeps styled subtitles from taking the desktop down. libass draws every line of a frame
// into bitmaps of the window's size; hundreds of heavily blurred, turning lines need gigabytes
// per frame, and no setting of libmpv 0.35 or libass 0.17 bounds that. While styled subtitles
// show, the process's resident memory is watched; past `budgetBytes` above what it was when
// they came on, the guard reports once, and the engine draws those subtitles as plain text.
class SubtitleMemoryGuard : public QObject {
    Q_OBJECT
public:
    explicit SubtitleMemoryGuard(qint64 budgetBytes, QObject *parent = nullptr);

    // Starts watching (taking the memory used now as the baseline) or stops.
    void watch(bool styledSubtitlesShown);
    bool isWatching() const { return timer_.isActive(); }

    static constexpr qint64 defaultBudgetBytes = 600LL * 1024 * 1024;
    static constexpr int pollMs = 250;

    // This process's resident memory, in bytes; 0 when it cannot be read.
    static qint64 residentBytes();

Q_SIGNALS:
    void overBudget();

private:
    void check();

    qint64 budgetBytes_;
    qint64 baselineBytes_ = 0;
    QTimer timer_;
};
