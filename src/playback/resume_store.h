#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// Where a file was left, and the tracks the person chose for it.
struct ResumePoint {
    double seconds = 0;
    // Chosen in the track menu; unset where the preferred languages chose.
    std::optional<int64_t> audioTrack;
    std::optional<int64_t> subtitleTrack;
    // The subtitles' and the sound's delay set for the file, in seconds.
    double subtitleDelay = 0;
    double audioDelay = 0;

    friend bool operator==(const ResumePoint &, const ResumePoint &) = default;
};

// The positions remembered across runs: one small private file in the user's state folder,
// read when first needed and written whole, atomically. A file is known by its location's
// bytes and its size, so that another file put in its place is not resumed. The most recently
// used `capacity` files are kept. A state file that cannot be read or makes no sense is
// ignored and replaced on the next save; one that cannot be written is said once on standard
// error, and playback goes on.
class ResumeStore {
public:
    explicit ResumeStore(QString filePath = defaultFilePath());

    // $XDG_STATE_HOME/sonavel/positions.json, or under ~/.local/state without it.
    static QString defaultFilePath();
    const QString &filePath() const { return filePath_; }

    std::optional<ResumePoint> find(const QByteArray &location, qint64 size);
    // Kept as the most recently used.
    void remember(const QByteArray &location, qint64 size, const ResumePoint &point);
    void forget(const QByteArray &location, qint64 size);
    // Writes what changed; false when it could not be written.
    bool save();
    qsizetype count();

    static constexpr qsizetype capacity = 1000;
    // Far more than `capacity` entries take: a larger file is not this store's.
    static constexpr qint64 largestFileBytes = 16 * 1024 * 1024;

private:
    struct Entry {
        QByteArray location;
        qint64 size = 0;
        ResumePoint point;
    };
    void load();
    qsizetype indexOf(const QByteArray &location, qint64 size) const;

    QString filePath_;
    QList<Entry> entries_; // the most recently used first
    bool loaded_ = false;
    bool changed_ = false;
    bool saidCannotWrite_ = false;
};
