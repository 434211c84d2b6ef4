#pragma once

#include <QObject>
#include <QSizeF>
#include <QTimer>

// Keeps styled subtitles from taking the desktop down. libass draws every line of a frame
// into bitmaps of the window's size; hundreds of heavily blurred, turning lines need gigabytes
// per frame, and no setting of libmpv 0.35 or libass 0.17 bounds that. While styled subtitles
// show, the process's resident memory is watched; past `budgetBytes` above what it was when
// they came on, the guard reports once, and the engine draws those subtitles as plain text.
// Styled subtitles come on while a film is still loading, so what the film's own pictures
// take (its decoder's frames, the output's copies) is allowed for on top: until the size of
// its pictures is known, nothing is judged.
class SubtitleMemoryGuard : public QObject {
    Q_OBJECT
public:
    explicit SubtitleMemoryGuard(qint64 budgetBytes, QObject *parent = nullptr);

    // Starts watching (taking the memory used now as the baseline) or stops.
    void watch(bool styledSubtitlesShown);
    bool isWatching() const { return timer_.isActive(); }
    // The size of the film's pictures, for what they may take; an empty size for none.
    void allowForPictures(QSizeF size);

    static constexpr qint64 defaultBudgetBytes = 600LL * 1024 * 1024;
    static constexpr int pollMs = 250;
    // Pictures of the film's size, as 32-bit pixels, that its decoder and output may hold.
    static constexpr int picturesAllowed = 24;

    // This process's resident memory, in bytes; 0 when it cannot be read.
    static qint64 residentBytes();

Q_SIGNALS:
    void overBudget();

private:
    void check();

    qint64 budgetBytes_;
    qint64 baselineBytes_ = 0;
    qint64 picturesBytes_ = -1;
    QTimer timer_;
};
