#pragma once

#include "playback/chapters.h"
#include "playback/load_error.h"

#include <QList>
#include <QObject>
#include <QSizeF>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <cstdint>
#include <memory>
#include <optional>

class MpvEngine;

// One audio or subtitle track of the loaded file, as mpv numbers it.
struct MediaTrack {
    enum class Kind { audio, subtitle };
    Kind kind = Kind::audio;
    int64_t id = 0;
    QString language; // as the container names it ("jpn", "en"); empty when unknown
    QString title;
    bool isSelected = false;
    bool isExternal = false;
    // Marked to be shown whatever the reader understands (signs, foreign lines).
    bool isForced = false;
    bool operator==(const MediaTrack &) const = default;
};

// What a file's tags say about it; empty where they say nothing.
struct MediaTags {
    QString title;
    QString artist;
    QString album;
    bool operator==(const MediaTags &) const = default;
};

// Enough of a file's status to see that it was replaced, truncated or rewritten.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;
    bool operator==(const FileIdentity &) const = default;
};

// The player of one loaded file. Creating it starts loading at once and never fails: a file
// that cannot be played gives a player that reports `failed`, never advances and never ends.
// Every signal is emitted on the main thread and only for this file.
class MediaPlayer : public QObject {
    Q_OBJECT
public:
    enum class Start {
        // Replaces whatever plays, at once.
        now,
        // Follows what plays now without a gap, when it has played to its end.
        afterCurrent,
    };
    MediaPlayer(std::shared_ptr<MpvEngine> engine, const QUrl &url, bool isVideo,
                Start start = Start::now);
    ~MediaPlayer() override;

    const QUrl &url() const { return url_; }
    bool isVideo() const { return isVideo_; }
    // The engine, for a video surface that renders this player's pictures.
    const std::shared_ptr<MpvEngine> &engine() const { return engine_; }

    void play();
    void pause();
    // Moves to `seconds` from the start; times before the start go to the start.
    void seek(double seconds);

    double currentTime() const { return currentTime_; }
    double duration() const { return duration_; }
    // Display size with rotation applied; empty until the first picture is decoded.
    QSizeF presentationSize() const { return presentationSize_; }
    // Why the file cannot be played; empty while all is well.
    const LoadError &error() const { return error_; }
    // A file that follows another: whether the engine began it, and whether its first sound is
    // heard yet (the sound output still holds the end of the one before for a moment).
    bool hasStarted() const { return started_; }
    bool isAudible() const { return audible_; }
    // Played to its end, its last sound heard or, when a file follows, handed to the output.
    bool hasEnded() const { return ended_; }
    // Ended with the file queued behind it already playing.
    bool isHandedOn() const { return handedOn_; }
    const MediaTags &tags() const { return tags_; }
    const QList<MediaTrack> &tracks() const { return tracks_; }
    // As the file gives them: not yet in order or checked against the duration.
    const QList<Chapter> &chapters() const { return chapters_; }
    // A film's next or previous frame, paused there.
    void stepFrame(bool forward);

    static constexpr int timeReportIntervalMs = 100;

Q_SIGNALS:
    // Every 0.1 s while time advances, and once after each seek.
    void timeReported(double seconds);
    void durationLoaded(double seconds);
    void presentationSizeChanged(QSizeF size);
    void playedToEnd();
    // A file that follows another is heard from now on.
    void becameAudible();
    // A jump finished (a seek, a return to the start); the time after it has been reported.
    void seekFinished(double seconds);
    void tagsLoaded(const MediaTags &tags);
    void tracksChanged(const QList<MediaTrack> &tracks);
    void chaptersChanged(const QList<Chapter> &chapters);
    void failed(const LoadError &error);

private:
    friend class MpvEngine;
    void handleLoaded();
    void handleFailed(const LoadError &error);
    void handleEngineFailure(const LoadError &error);
    void handleDuration(double seconds);
    void handlePresentationSize(QSizeF size);
    void handleStarted();
    void handleEndReached(bool reached);
    void handleDrained();
    void handleFinished(bool handedOn);
    void finish();
    bool wasCutShort() const;
    bool commandsEngine() const;
    void handleSeekFinished();
    void handleTags(const MediaTags &tags);
    void handleTracks(const QList<MediaTrack> &tracks);
    void handleChapters(const QList<Chapter> &chapters);
    void reportTime();
    void updateTimeReports();

    std::shared_ptr<MpvEngine> engine_;
    QUrl url_;
    bool isVideo_ = false;
    int64_t entryId_ = 0;
    bool wantsPlaying_ = false;
    bool loaded_ = false;
    // A seek asked for before the file was loaded, which mpv would refuse; made once it is.
    std::optional<double> seekOnLoad_;
    bool started_ = true;
    bool audible_ = true;
    // Playback began (or began again after a seek): mpv's time is what is heard.
    bool restarted_ = false;
    // mpv reached the end and waits for the sound output to play what it holds.
    bool atEnd_ = false;
    bool ended_ = false;
    // Ended with the next file already playing behind it: the engine is the next one's now.
    bool handedOn_ = false;
    double currentTime_ = 0;
    double duration_ = 0;
    QSizeF presentationSize_;
    LoadError error_;
    MediaTags tags_;
    QList<MediaTrack> tracks_;
    QList<Chapter> chapters_;
    // What the file was when it was opened, to tell an end from a file cut short under us.
    FileIdentity opened_;
    QTimer timeReportTimer_;
};
