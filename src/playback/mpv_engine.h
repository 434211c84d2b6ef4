#pragma once

#include "playback/load_error.h"
#include "playback/media_information.h"
#include "playback/subtitle_memory_guard.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <mpv/client.h>

#include <atomic>
#include <memory>
#include <optional>

class MediaPlayer;
class MpvRenderer;

struct MpvHandleDeleter {
    void operator()(mpv_handle *handle) const { mpv_terminate_destroy(handle); }
};
using MpvHandle = std::unique_ptr<mpv_handle, MpvHandleDeleter>;

// One libmpv core for the whole run: the audio device stays open between tracks, so the next
// track starts at once. Each loaded file is a MediaPlayer; mpv's events are routed to it by
// playlist entry id, so a late event of an earlier file never reaches a later one.
//
// Threading: mpv calls the wakeup callback on its own threads; it only queues a drain of the
// event queue to the main thread, where all state lives.
class MpvEngine : public QObject {
    Q_OBJECT
public:
    struct Options {
        // "libmpv" draws through an MpvRenderer; "null" decodes and discards pictures (their
        // sizes are still reported), for tests.
        QByteArray videoOutput = "libmpv";
        // Empty keeps mpv's automatic choice; without a device playback falls back to null.
        QByteArray audioOutput;
        // Language codes that audio and subtitle tracks are chosen by, most preferred first;
        // tracks marked default or forced are chosen when none matches.
        QStringList trackLanguages;
        // How much memory styled subtitles may take before they are drawn as plain text.
        qint64 subtitleMemoryBudget = SubtitleMemoryGuard::defaultBudgetBytes;
        // mpv's hwdec while hardware decoding is on: the decoders known to show the same
        // picture as software, which mpv falls back to when one fails.
        QByteArray hardwareDecoder = "auto-safe";
        bool hardwareDecoding = true;
    };

    explicit MpvEngine(const Options &options, QObject *parent = nullptr);
    ~MpvEngine() override;

    // False when libmpv could not be started; every load then fails with a reason.
    bool isValid() const { return handle_ != nullptr; }
    mpv_handle *handle() const { return handle_.get(); }
    // Draws the pictures when the video output is "libmpv", from the first video loaded on;
    // nullptr before and otherwise.
    MpvRenderer *renderer() const { return renderer_.get(); }

    // Replaces whatever is loaded. Returns mpv's playlist entry id, or a negative mpv error.
    int64_t load(MediaPlayer *player, const QByteArray &localPath, bool isVideo);
    // Puts a song behind what plays, to follow it without a gap; replaces one put there before.
    // The player becomes current when mpv starts it. Returns as load() does.
    int64_t queue(MediaPlayer *player, const QByteArray &localPath);
    void release(MediaPlayer *player);
    bool isCurrent(const MediaPlayer *player) const;

    // What an mpv error code means for the file being loaded.
    static LoadError loadError(int mpvError);

    void setPaused(bool paused);
    // The output volume, 0 to 1, and muting; they hold for every file until changed.
    void setVolume(double volume);
    void setMuted(bool muted);
    // Chooses the audio or subtitle track by mpv's id; 0 turns subtitles off.
    void selectTrack(bool subtitle, int64_t id);
    // Adds a subtitle file to what plays now, and shows it.
    void addSubtitle(const QByteArray &localPath);
    void seek(double seconds);
    double timePosition() const;
    // Turns hardware decoding on or off, for what plays now too.
    void setHardwareDecoding(bool on);
    // What the playing file is made of, read now.
    MediaInformation mediaInformation() const;
    // How fast what plays plays, its pitch kept; the engine's for every file until changed.
    void setSpeed(double speed);
    // Subtitles and sound shown or heard later (positive) or earlier than the picture.
    void setSubtitleDelay(double seconds);
    void setAudioDelay(double seconds);
    // Subtitles drawn at `scale` times their size.
    void setSubtitleScale(double scale);
    // One frame on or back, paused there.
    void stepFrame(bool forward);
    // The film's frame on show, at the film's own size, without subtitles; null without one.
    QImage grabFrame() const;

Q_SIGNALS:
    // The subtitles shown took more memory than allowed and are now drawn as plain text.
    void subtitlesSimplified();
    // renderer() is another one now: OpenGL failed mid-film and software took over.
    void rendererChanged();

private:
    void createRendererForVideo();
    // What a renderer needs once made: pictures turned upright in software, and a way out
    // when it fails.
    void setUpRenderer();
    void drawInSoftware();
    // Sets the filters that turn the pictures of the file about to start upright.
    void turnPictures();
    void setSoundFor(bool isVideo);
    // Leaves only the playing entry in mpv's playlist.
    void clearQueue();
    int64_t loadFile(const QByteArray &localPath, const char *mode, const char *options);
    void simplifySubtitles();
    void queueDrain();
    void drainEvents();
    void handleEvent(const mpv_event &event);
    void handlePropertyChange(uint64_t property, const mpv_event_property &value);
    void command(std::initializer_list<const char *> args);
    void setDouble(const char *property, double value);
    // Time is followed by its reports while playing; paused, only frame steps move it.
    void followSteps(bool follow);
    MediaPlayer *playingCurrent() const;

    MpvHandle handle_;
    // Declared after the handle: the render context must go before the core.
    std::unique_ptr<MpvRenderer> renderer_;
    QPointer<MediaPlayer> current_;
    QPointer<MediaPlayer> queued_;
    std::optional<bool> soundForVideo_;
    QByteArray hardwareDecoder_;
    bool wantsRenderer_ = false;
    // A film without sound that ended as its picture went with a failed renderer, to be
    // started again where it was.
    struct Restart {
        QByteArray path;
        double position = 0;
    };
    std::optional<Restart> restart_;
    // Only where subtitles are drawn: the null output never renders them.
    SubtitleMemoryGuard *subtitleGuard_ = nullptr;
    int64_t playingEntryId_ = 0; // the entry mpv's event stream is about, from START_FILE
    std::atomic_bool drainQueued_ = false;
    bool followsSteps_ = false;
};
