#pragma once

#include "playback/album_sequence.h"
#include "playback/chapters.h"
#include "playback/cover_art.h"
#include "playback/load_error.h"
#include "playback/media_player.h"
#include "playback/mpv_engine.h"
#include "playback/repeat_mode.h"
#include "playback/resume_store.h"
#include "playback/window_delegate.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <optional>

// The one owner of playback: the player of the loaded file, the state every view draws from,
// the end-of-track policy and the folder playlist.
//
// Every assignment to a published field emits objectWillChange first, also when the value is
// unchanged; views re-read what they show when it fires. All of it lives on the main thread.
class PlayerManager : public QObject {
    Q_OBJECT
public:
    explicit PlayerManager(MpvEngine::Options engineOptions = {}, QObject *parent = nullptr);
    ~PlayerManager() override;

    // Published fields.
    const std::shared_ptr<MediaPlayer> &player() const { return player_; }
    bool isPlaying() const { return isPlaying_; }
    // After stop() (or the end of a track with nothing more to play) until playing again.
    bool isStopped() const { return isStopped_; }
    double currentTime() const { return currentTime_; }
    double duration() const { return duration_; }
    bool isVideo() const { return isVideo_; }
    const QString &fileName() const { return fileName_; }
    bool isRepeating() const { return isRepeating_; }
    RepeatMode repeatMode() const { return repeatMode_; }
    const QUrl &currentURL() const { return currentURL_; }
    const QList<QUrl> &playlist() const { return playlist_; }
    qint64 currentIndex() const { return currentIndex_; }
    bool hasPrevious() const { return hasPrevious_; }
    bool hasNext() const { return hasNext_; }
    // Why the loaded file cannot be played; empty while all is well. A file that fails is not
    // playing, and play() does nothing for it.
    const LoadError &loadError() const { return loadError_; }
    // The film's styled subtitles took too much memory and are drawn as plain text.
    bool subtitlesSimplified() const { return subtitlesSimplified_; }
    // The loaded file's tags (title, artist, album), once known.
    const MediaTags &tags() const { return tags_; }
    // A song's embedded cover, scaled for showing, once read (off the main thread); a null
    // image when it has none.
    const CoverArt &coverArt() const { return coverArt_; }
    // The loaded film's audio and subtitle tracks, with the ones playing marked.
    const QList<MediaTrack> &tracks() const { return tracks_; }
    // Output volume, 0 to 1, and muting: the engine's, for every file.
    double volume() const { return volume_; }
    bool isMuted() const { return isMuted_; }
    // Counts loads: tells one loaded file from the next, even the same file loaded again.
    quint64 loadSerial() const { return loadSerial_; }
    // Where the loaded file was left last time, offered for `resumeOfferMs` after it loads
    // (it plays from its start meanwhile); unset once taken, withdrawn or timed out.
    const std::optional<double> &resumeOffer() const { return resumeOffer_; }
    // How fast the loaded file plays (1 at each load); pitch is kept.
    double speed() const { return speed_; }
    // The loaded file's chapters, in order and within its length, and the one playing (-1:
    // before the first, or none).
    const QList<Chapter> &chapters() const { return chapters_; }
    qsizetype currentChapter() const { return chapters::indexAt(chapters_, currentTime_); }
    // Subtitles and sound later (positive) or earlier than the picture, in seconds; kept with
    // the place to continue from.
    double subtitleDelay() const { return subtitleDelay_; }
    double audioDelay() const { return audioDelay_; }
    // Subtitles' size as a factor; the same for every file.
    double subtitleScale() const { return subtitleScale_; }
    // A film plays whose subtitles are shown, or whose sound is heard.
    bool showsSubtitles() const;
    bool hasFilmSound() const;

    // The fields written from outside the playback core.
    void setIsRepeating(bool repeating);
    void setRepeatMode(RepeatMode mode);
    void setCurrentIndex(qint64 index);
    void setWindowDelegate(WindowDelegate *delegate);
    void setVolume(double volume);
    void setMuted(bool muted);
    // Hardware decoding where mpv deems it safe; on unless turned off.
    void setHardwareDecoding(bool on);
    bool hardwareDecoding() const { return engineOptions_.hardwareDecoding; }
    // What the loaded file is made of, read now; empty before its player starts.
    MediaInformation mediaInformation() const;
    // Held within playback_speed's range; nothing happens without a file.
    void setSpeed(double speed);
    void setSubtitleDelay(double seconds);
    void setAudioDelay(double seconds);
    void setSubtitleScale(double scale);
    WindowDelegate *windowDelegate() const { return windowDelegate_; }
    // Where positions are remembered (not owned; none when null).
    void setResumeStore(ResumeStore *store) { resumeStore_ = store; }

    // Jumps to the offered position.
    void takeResumeOffer();
    void withdrawResumeOffer();
    // Keeps or forgets where the loaded file is, as leaving it now would. Loading another
    // file and stopping do it themselves; the shell does it on quitting.
    void rememberPosition();
    static constexpr int resumeOfferMs = 10000;

    void loadMedia(const QUrl &requested);
    // Opens `file`: a subtitle file joins the video that plays and is shown (and is ignored
    // when no video plays); anything else is loaded as media.
    void openFile(const QUrl &file);
    // Plays the audio track, or shows the subtitle track (0: none), mpv numbers `id`.
    void selectTrack(MediaTrack::Kind kind, int64_t id);
    void togglePlayPause();
    void play();
    void pause();
    void stop();
    void seek(double seconds);
    void cleanup();
    void loadPlaylist(const QUrl &url);
    void updateNavigationState();
    void playPrevious();
    void playNext();
    // To the start of the next chapter, or back to this one's (or the one before, just after a
    // start); false when there is none to go to.
    bool nextChapter();
    bool previousChapter();
    void goToChapter(qsizetype index);
    // A film's next or previous frame; playback pauses there.
    void stepFrame(bool forward);
    // The film's frame on show at its own size; null when no film shows one.
    QImage grabFrame();

    // The shared engine, created on first use; a video surface attaches to it.
    const std::shared_ptr<MpvEngine> &engine();

Q_SIGNALS:
    void objectWillChange();
    // Time jumped other than by playing on: a seek, a return to the start, a new file.
    void seeked(double seconds);
    // The album played to its last song's end and stopped there.
    void albumEnded();

private:
    template <typename T, typename V> void publish(T &field, V &&value) {
        Q_EMIT objectWillChange();
        field = std::forward<V>(value);
    }
    void handleEndOfTrack();
    void load(const QUrl &url);
    // Shows `url` as the file loaded, with its playlist, before its player comes.
    void beginFile(const QUrl &url);
    // Makes `player` the one of the loaded file: follows its reports, catching up with what it
    // already told, and plays it.
    void attach(std::shared_ptr<MediaPlayer> player);
    // The next entry of the album in "play all" and "repeat all" (round to the first in
    // "repeat all"); false when there is none.
    bool moveOnInAlbum();
    // Puts the entry the album would move on to behind what plays, so that it follows without a
    // gap; drops one that no longer would.
    void queueUpNext();
    void dropUpNext();
    // The queued entry is heard: it becomes the loaded file.
    void followUpNext();
    // What the loaded file's player reports, while `serial` is the load.
    bool isLoad(quint64 serial) const { return player_ && loadSerial_ == serial; }
    void takeDuration(quint64 serial, double seconds);
    void takeTracks(quint64 serial, const QList<MediaTrack> &tracks);
    void takeChapters(quint64 serial);
    // What each file starts with: normal speed, and the delays kept for it or none.
    void resetAdjustments(const std::optional<ResumePoint> &kept);
    void takeFailure(quint64 serial, const LoadError &error);
    void readCoverArt();
    void offerResume();
    void restoreChosenTracks();
    void leaveUnneededSubtitlesOff();

    std::shared_ptr<MediaPlayer> player_;
    bool isPlaying_ = false;
    bool isStopped_ = false;
    double currentTime_ = 0;
    double duration_ = 0;
    bool isVideo_ = false;
    QString fileName_;
    bool isRepeating_ = false;
    RepeatMode repeatMode_ = RepeatMode::all;
    QUrl currentURL_;
    QList<QUrl> playlist_;
    qint64 currentIndex_ = -1;
    bool hasPrevious_ = false;
    bool hasNext_ = false;
    LoadError loadError_;
    bool subtitlesSimplified_ = false;
    MediaTags tags_;
    QList<MediaTrack> tracks_;
    CoverArt coverArt_;
    double volume_ = 1;
    bool isMuted_ = false;
    double speed_ = 1;
    QList<Chapter> chapters_;
    double subtitleDelay_ = 0;
    double audioDelay_ = 0;
    double subtitleScale_ = 1;
    QPointer<WindowDelegate> windowDelegate_;
    QMetaObject::Connection timeObserver_;
    QMetaObject::Connection playerItemObserver_;

    quint64 loadSerial_ = 0;
    AlbumSequence album_;
    // The album's next song, queued behind the loaded one; the loaded one ended and waits for
    // it to be heard.
    std::shared_ptr<MediaPlayer> upNext_;
    qint64 upNextIndex_ = -1;
    bool awaitingUpNext_ = false;

    ResumeStore *resumeStore_ = nullptr;
    std::optional<double> resumeOffer_;
    QTimer resumeOfferTimer_;
    // The loaded file as the store knows it: its location's bytes and its size (-1: none).
    QByteArray loadedLocation_;
    qint64 loadedSize_ = -1;
    // Tracks the person chose for the loaded file, and those to choose again once known.
    std::optional<int64_t> chosenAudioTrack_;
    std::optional<int64_t> chosenSubtitleTrack_;
    std::optional<ResumePoint> tracksToRestore_;
    // Whether the loaded film's subtitles were judged, once, when its tracks became known.
    bool subtitlesJudged_ = false;
    // Reads covers; waited for before the manager goes, so its results always have a receiver.
    QThreadPool coverReader_;
    MpvEngine::Options engineOptions_;
    std::shared_ptr<MpvEngine> engine_;
};
