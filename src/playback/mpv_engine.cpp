#include "playback/mpv_engine.h"

#include "playback/media_player.h"
#include "playback/mpv_renderer.h"
#include "playback/mpv_software_renderer.h"
#include "playback/video_rotation.h"

#include <QSizeF>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <malloc.h>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr int largeAllocationBytes = 256 * 1024;

enum ObservedProperty : uint64_t {
    durationProperty = 1,
    videoParamsProperty,
    eofReachedProperty,
    metadataProperty,
    trackListProperty,
    subtitleCodecProperty,
    pauseProperty,
    chapterListProperty,
    steppedTimeProperty,
};

// Hooks mpv waits on.
enum Hook : uint64_t {
    turnPicturesHook = 1,
};

// A user's own mpv configuration must not change Sonavel, and Sonavel opens local files only.
constexpr std::pair<const char *, const char *> fixedOptions[] = {
    {"config", "no"},
    {"load-scripts", "no"},
    {"ytdl", "no"},
    {"osc", "no"},
    {"input-default-bindings", "no"},
    // mpv's built-in Lua scripts, each a thread with an interpreter of its own: nothing here
    // shows their statistics page, console or profiles.
    {"load-stats-overlay", "no"},
    {"load-osd-console", "no"},
    {"load-auto-profiles", "no"},
    {"input-vo-keyboard", "no"},
    {"resume-playback", "no"},
    {"save-position-on-quit", "no"},
    {"idle", "yes"},
    // Stay on the last frame at the end of the last entry: eof-reached then tells a real end
    // from a stop, and mpv pauses by itself once the sound output has played the end. An entry
    // queued behind it follows without a gap instead.
    {"keep-open", "yes"},
    {"keep-open-pause", "yes"},
    // The next song is opened before the current one ends.
    {"prefetch-playlist", "yes"},
    // Without a sound device mpv would refuse audio files; play them silently instead.
    {"audio-fallback-to-null", "yes"},
    {"access-references", "no"},
    // Subtitles beside a film with its name ("film.srt", "film.en.srt") come with it.
    {"sub-auto", "exact"},
    {"stream-lavf-o-append", "protocol_whitelist=file"},
    {"demuxer-lavf-o-append", "protocol_whitelist=file"},
};

QSizeF displaySize(const mpv_node &params) {
    if (params.format != MPV_FORMAT_NODE_MAP)
        return {};
    int64_t width = 0, height = 0, rotate = 0;
    const mpv_node_list *map = params.u.list;
    for (int i = 0; i < map->num; ++i) {
        if (map->values[i].format != MPV_FORMAT_INT64)
            continue;
        const std::string_view key = map->keys[i];
        if (key == "dw")
            width = map->values[i].u.int64;
        else if (key == "dh")
            height = map->values[i].u.int64;
        else if (key == "rotate")
            rotate = map->values[i].u.int64;
    }
    if (rotate % 180 == 90)
        std::swap(width, height);
    return QSizeF(double(width), double(height));
}

// The title, artist and album of a file's tags, whatever their case in the container.
MediaTags tagsOf(const mpv_node &metadata) {
    MediaTags tags;
    if (metadata.format != MPV_FORMAT_NODE_MAP)
        return tags;
    const mpv_node_list *map = metadata.u.list;
    for (int i = 0; i < map->num; ++i) {
        if (map->values[i].format != MPV_FORMAT_STRING)
            continue;
        const QByteArray key = QByteArray(map->keys[i]).toLower();
        const QString value = QString::fromUtf8(map->values[i].u.string).trimmed();
        if (key == "title")
            tags.title = value;
        else if (key == "artist")
            tags.artist = value;
        else if (key == "album")
            tags.album = value;
    }
    return tags;
}

// The audio and subtitle tracks of mpv's track list.
QList<MediaTrack> tracksOf(const mpv_node &list) {
    QList<MediaTrack> tracks;
    if (list.format != MPV_FORMAT_NODE_ARRAY)
        return tracks;
    for (int i = 0; i < list.u.list->num; ++i) {
        const mpv_node &entry = list.u.list->values[i];
        if (entry.format != MPV_FORMAT_NODE_MAP)
            continue;
        MediaTrack track;
        bool wanted = false;
        for (int j = 0; j < entry.u.list->num; ++j) {
            const std::string_view key = entry.u.list->keys[j];
            const mpv_node &value = entry.u.list->values[j];
            if (value.format == MPV_FORMAT_STRING) {
                const QString text = QString::fromUtf8(value.u.string);
                if (key == "type") {
                    wanted = text == u"audio" || text == u"sub";
                    track.kind =
                        text == u"sub" ? MediaTrack::Kind::subtitle : MediaTrack::Kind::audio;
                } else if (key == "lang") {
                    track.language = text;
                } else if (key == "title") {
                    track.title = text;
                }
            } else if (value.format == MPV_FORMAT_INT64 && key == "id") {
                track.id = value.u.int64;
            } else if (value.format == MPV_FORMAT_FLAG) {
                if (key == "selected")
                    track.isSelected = value.u.flag != 0;
                else if (key == "external")
                    track.isExternal = value.u.flag != 0;
                else if (key == "forced")
                    track.isForced = value.u.flag != 0;
            }
        }
        if (wanted)
            tracks.append(track);
    }
    return tracks;
}

// The chapters of mpv's chapter list, as the file gives them.
QList<Chapter> chaptersOf(const mpv_node &list) {
    QList<Chapter> chapters;
    if (list.format != MPV_FORMAT_NODE_ARRAY)
        return chapters;
    for (int i = 0; i < list.u.list->num; ++i) {
        const mpv_node &entry = list.u.list->values[i];
        if (entry.format != MPV_FORMAT_NODE_MAP)
            continue;
        Chapter chapter;
        bool timed = false;
        for (int j = 0; j < entry.u.list->num; ++j) {
            const std::string_view key = entry.u.list->keys[j];
            const mpv_node &value = entry.u.list->values[j];
            // mpv's Matroska reader names a chapter without a title "(unnamed)", in English:
            // Sonavel numbers such chapters in the reader's language instead.
            if (key == "title" && value.format == MPV_FORMAT_STRING &&
                std::string_view(value.u.string) != "(unnamed)") {
                chapter.title = QString::fromUtf8(value.u.string).trimmed();
            } else if (key == "time" && value.format == MPV_FORMAT_DOUBLE) {
                chapter.start = value.u.double_;
                timed = true;
            }
        }
        if (timed)
            chapters.append(chapter);
    }
    return chapters;
}

struct NodeContentsFreer {
    void operator()(mpv_node *node) const { mpv_free_node_contents(node); }
};

} // namespace

MpvEngine::MpvEngine(const Options &options, QObject *parent) : QObject(parent) {
    // mpv refuses to start unless numbers are formatted the C way; Qt sets the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    // Decoded pictures and their buffers are large and come and go with each file. glibc would
    // raise its mmap threshold past them after the first is freed and then serve them from its
    // arenas, which fragment and never shrink: switching between songs and films grew the
    // process by ~100 KiB a switch. A fixed threshold keeps them mapped and given back.
    mallopt(M_MMAP_THRESHOLD, largeAllocationBytes);
    MpvHandle handle(mpv_create());
    if (!handle)
        return;
    for (const auto &[name, value] : fixedOptions)
        mpv_set_option_string(handle.get(), name, value);
    mpv_set_option_string(handle.get(), "vo", options.videoOutput.constData());
    // Pictures are drawn on the main thread as soon as they are decoded, never waited for.
    mpv_set_option_string(handle.get(), "video-timing-offset", "0");
    if (!options.audioOutput.isEmpty())
        mpv_set_option_string(handle.get(), "ao", options.audioOutput.constData());
    hardwareDecoder_ = options.hardwareDecoder;
    mpv_set_option_string(handle.get(), "hwdec",
                          options.hardwareDecoding ? hardwareDecoder_.constData() : "no");
    if (!options.trackLanguages.isEmpty()) {
        const QByteArray languages = options.trackLanguages.join(u',').toUtf8();
        mpv_set_option_string(handle.get(), "alang", languages.constData());
        mpv_set_option_string(handle.get(), "slang", languages.constData());
    }
    if (mpv_initialize(handle.get()) < 0)
        return;

    // The renderer comes with the first video: through OpenGL it maps the GL driver into the
    // process, tens of MiB that music alone never needs.
    wantsRenderer_ = options.videoOutput == "libmpv";
    if (wantsRenderer_) {
        subtitleGuard_ = new SubtitleMemoryGuard(options.subtitleMemoryBudget, this);
        connect(subtitleGuard_, &SubtitleMemoryGuard::overBudget, this,
                &MpvEngine::simplifySubtitles);
        mpv_observe_property(handle.get(), subtitleCodecProperty, "current-tracks/sub/codec",
                             MPV_FORMAT_STRING);
    }
    mpv_observe_property(handle.get(), durationProperty, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(handle.get(), videoParamsProperty, "video-out-params", MPV_FORMAT_NODE);
    mpv_observe_property(handle.get(), eofReachedProperty, "eof-reached", MPV_FORMAT_FLAG);
    mpv_observe_property(handle.get(), metadataProperty, "metadata", MPV_FORMAT_NODE);
    mpv_observe_property(handle.get(), trackListProperty, "track-list", MPV_FORMAT_NODE);
    mpv_observe_property(handle.get(), pauseProperty, "pause", MPV_FORMAT_FLAG);
    mpv_observe_property(handle.get(), chapterListProperty, "chapter-list", MPV_FORMAT_NODE);
    handle_ = std::move(handle);
    mpv_set_wakeup_callback(
        handle_.get(), [](void *engine) { static_cast<MpvEngine *>(engine)->queueDrain(); }, this);
}

MpvEngine::~MpvEngine() {
    if (handle_)
        mpv_set_wakeup_callback(handle_.get(), nullptr, nullptr);
    renderer_.reset();
}

void MpvEngine::createRendererForVideo() {
    if (!wantsRenderer_ || renderer_ || !handle_)
        return;
    wantsRenderer_ = false;
    // Before the video starts: mpv's video output gives up on a file when no render context
    // exists as it opens.
    renderer_ = MpvRenderer::create(handle_.get());
    if (!renderer_) {
        mpv_set_property_string(handle_.get(), "vo", "null");
        return;
    }
    setUpRenderer();
}

void MpvEngine::setUpRenderer() {
    if (renderer_->kind() == VideoRendererKind::software) {
        // Each file's pictures are turned by a filter, chosen once its tracks are known and
        // before its decoder starts.
        mpv_set_property_string(handle_.get(), "video-rotate", "no");
        mpv_hook_add(handle_.get(), turnPicturesHook, "on_preloaded", 0);
        return;
    }
    connect(renderer_.get(), &MpvRenderer::failed, this, &MpvEngine::drawInSoftware);
}

void MpvEngine::drawInSoftware() {
    std::fputs("sonavel: OpenGL stopped drawing; drawing films in software from here on\n", stderr);
    // mpv drops the video of what plays with the render context; it is chosen again below.
    char *track = mpv_get_property_string(handle_.get(), "current-tracks/video/id");
    const QByteArray videoTrack = track ? QByteArray(track) : QByteArray();
    mpv_free(track);
    // With the video gone, a film without sound has nothing left to play, and mpv ends it.
    char *sound = mpv_get_property_string(handle_.get(), "current-tracks/audio/id");
    if (!sound && !videoTrack.isEmpty()) {
        char *path = mpv_get_property_string(handle_.get(), "path");
        Restart restart{path ? QByteArray(path) : QByteArray(), 0};
        mpv_free(path);
        mpv_get_property(handle_.get(), "time-pos", MPV_FORMAT_DOUBLE, &restart.position);
        if (!restart.path.isEmpty())
            restart_ = restart;
    }
    mpv_free(sound);
    renderer_.reset();
    renderer_ = MpvSoftwareRenderer::create(handle_.get());
    if (renderer_) {
        setUpRenderer();
        // The hook turns the next file; this one is turned now.
        turnPictures();
    } else {
        mpv_set_property_string(handle_.get(), "vo", "null");
    }
    if (!videoTrack.isEmpty())
        mpv_set_property_string(handle_.get(), "vid", videoTrack.constData());
    Q_EMIT rendererChanged();
}

void MpvEngine::turnPictures() {
    mpv_node trackList{};
    int degrees = 0;
    if (mpv_get_property(handle_.get(), "track-list", MPV_FORMAT_NODE, &trackList) >= 0) {
        degrees = videoRotationOf(trackList);
        mpv_free_node_contents(&trackList);
    }
    mpv_set_property_string(handle_.get(), "vf", rotationFilter(degrees).constData());
}

void MpvEngine::setSoundFor(bool isVideo) {
    if (soundForVideo_ == isVideo)
        return;
    soundForVideo_ = isVideo;
    // Songs keep the output open as it is from one to the next, whatever their rate or channels:
    // reopening it for another format first waits for the old one to drain, a silence of up to
    // two seconds. Stereo for every song, so a mono first song does not make the album mono.
    // A film has its own channels and may change the output.
    mpv_set_property_string(handle_.get(), "gapless-audio", isVideo ? "weak" : "yes");
    mpv_set_property_string(handle_.get(), "audio-channels", isVideo ? "auto-safe" : "stereo");
}

int64_t MpvEngine::load(MediaPlayer *player, const QByteArray &localPath, bool isVideo) {
    current_ = player;
    queued_ = nullptr;
    restart_.reset();
    if (isVideo)
        createRendererForVideo();
    // Each film starts with its subtitles styled as made, whatever the one before needed.
    if (subtitleGuard_) {
        subtitleGuard_->watch(false);
        mpv_set_property_string(handle_.get(), "sub-ass-override", "yes");
    }
    setSoundFor(isVideo);
    // Cover art of an audio file is not a picture to show or fit the window to.
    return loadFile(localPath, "replace", isVideo ? "vid=auto" : "vid=no");
}

int64_t MpvEngine::queue(MediaPlayer *player, const QByteArray &localPath) {
    // Only the playing entry stays: one file follows it at a time.
    clearQueue();
    const int64_t id = loadFile(localPath, "append", "vid=no");
    if (id >= 0)
        queued_ = player;
    return id;
}

int64_t MpvEngine::loadFile(const QByteArray &localPath, const char *mode, const char *options) {
    const char *args[] = {"loadfile", localPath.constData(), mode, options, nullptr};
    mpv_node result{};
    const int status = mpv_command_ret(handle_.get(), args, &result);
    if (status < 0)
        return status;
    std::unique_ptr<mpv_node, NodeContentsFreer> freeResult(&result);
    if (result.format == MPV_FORMAT_NODE_MAP) {
        for (int i = 0; i < result.u.list->num; ++i) {
            if (std::string_view(result.u.list->keys[i]) == "playlist_entry_id" &&
                result.u.list->values[i].format == MPV_FORMAT_INT64)
                return result.u.list->values[i].u.int64;
        }
    }
    return MPV_ERROR_GENERIC;
}

void MpvEngine::release(MediaPlayer *player) {
    if (current_ == player)
        current_ = nullptr;
    if (queued_ == player) {
        queued_ = nullptr;
        clearQueue();
    }
}

void MpvEngine::clearQueue() {
    // At once: an asynchronous command could run after a later synchronous append.
    const char *args[] = {"playlist-clear", nullptr};
    mpv_command(handle_.get(), args);
}

bool MpvEngine::isCurrent(const MediaPlayer *player) const {
    return current_ == player;
}

LoadError MpvEngine::loadError(int mpvError) {
    switch (mpvError) {
    case MPV_ERROR_UNKNOWN_FORMAT:
        return {LoadError::Reason::unknownFormat, {}};
    case MPV_ERROR_LOADING_FAILED:
    case MPV_ERROR_NOTHING_TO_PLAY:
        return {LoadError::Reason::undecodable, {}};
    default:
        return {LoadError::Reason::undecodable, QString::fromUtf8(mpv_error_string(mpvError))};
    }
}

void MpvEngine::setPaused(bool paused) {
    if (!handle_)
        return;
    if (!paused)
        followSteps(false);
    int flag = paused ? 1 : 0;
    mpv_set_property_async(handle_.get(), 0, "pause", MPV_FORMAT_FLAG, &flag);
}

void MpvEngine::setVolume(double volume) {
    if (!handle_)
        return;
    double percent = std::clamp(volume, 0.0, 1.0) * 100;
    mpv_set_property_async(handle_.get(), 0, "volume", MPV_FORMAT_DOUBLE, &percent);
}

void MpvEngine::setMuted(bool muted) {
    if (!handle_)
        return;
    int flag = muted ? 1 : 0;
    mpv_set_property_async(handle_.get(), 0, "mute", MPV_FORMAT_FLAG, &flag);
}

void MpvEngine::selectTrack(bool subtitle, int64_t id) {
    if (!handle_)
        return;
    const char *property = subtitle ? "sid" : "aid";
    if (id <= 0) {
        mpv_set_property_string(handle_.get(), property, "no");
        return;
    }
    mpv_set_property(handle_.get(), property, MPV_FORMAT_INT64, &id);
}

void MpvEngine::addSubtitle(const QByteArray &localPath) {
    command({"sub-add", localPath.constData(), "select"});
}

void MpvEngine::seek(double seconds) {
    const QByteArray position = QByteArray::number(seconds, 'f', 6);
    command({"seek", position.constData(), "absolute"});
}

void MpvEngine::setDouble(const char *property, double value) {
    if (handle_ && std::isfinite(value))
        mpv_set_property_async(handle_.get(), 0, property, MPV_FORMAT_DOUBLE, &value);
}

void MpvEngine::setSpeed(double speed) {
    setDouble("speed", speed);
}

void MpvEngine::setSubtitleDelay(double seconds) {
    setDouble("sub-delay", seconds);
}

void MpvEngine::setAudioDelay(double seconds) {
    setDouble("audio-delay", seconds);
}

void MpvEngine::setSubtitleScale(double scale) {
    setDouble("sub-scale", scale);
}

void MpvEngine::followSteps(bool follow) {
    if (!handle_ || follow == followsSteps_)
        return;
    followsSteps_ = follow;
    // Each frame's time while playing would wake the main thread for nothing: the 0.1 s
    // reports follow it then.
    if (follow)
        mpv_observe_property(handle_.get(), steppedTimeProperty, "time-pos", MPV_FORMAT_DOUBLE);
    else
        mpv_unobserve_property(handle_.get(), steppedTimeProperty);
}

void MpvEngine::stepFrame(bool forward) {
    followSteps(true);
    command({forward ? "frame-step" : "frame-back-step"});
}

QImage MpvEngine::grabFrame() const {
    if (!handle_)
        return {};
    const char *args[] = {"screenshot-raw", "video", nullptr};
    mpv_node result{};
    if (mpv_command_ret(handle_.get(), args, &result) < 0)
        return {};
    std::unique_ptr<mpv_node, NodeContentsFreer> freeResult(&result);
    if (result.format != MPV_FORMAT_NODE_MAP)
        return {};
    int64_t width = 0, height = 0, stride = 0;
    std::string_view format;
    const mpv_byte_array *data = nullptr;
    for (int i = 0; i < result.u.list->num; ++i) {
        const std::string_view key = result.u.list->keys[i];
        const mpv_node &value = result.u.list->values[i];
        if (value.format == MPV_FORMAT_INT64) {
            if (key == "w")
                width = value.u.int64;
            else if (key == "h")
                height = value.u.int64;
            else if (key == "stride")
                stride = value.u.int64;
        } else if (value.format == MPV_FORMAT_STRING && key == "format") {
            format = value.u.string;
        } else if (value.format == MPV_FORMAT_BYTE_ARRAY && key == "data") {
            data = value.u.ba;
        }
    }
    // bgr0 is B, G, R, padding in memory: Qt's RGB32 on a little-endian machine.
    if (!data || format != "bgr0" || width <= 0 || height <= 0 || stride < width * 4 ||
        data->size < size_t(stride * height))
        return {};
    return QImage(static_cast<const uchar *>(data->data), int(width), int(height),
                  qsizetype(stride), QImage::Format_RGB32)
        .copy();
}

double MpvEngine::timePosition() const {
    double seconds = NAN;
    if (handle_)
        mpv_get_property(handle_.get(), "time-pos", MPV_FORMAT_DOUBLE, &seconds);
    return seconds;
}

void MpvEngine::queueDrain() {
    if (!drainQueued_.exchange(true))
        QMetaObject::invokeMethod(this, &MpvEngine::drainEvents, Qt::QueuedConnection);
}

void MpvEngine::drainEvents() {
    drainQueued_ = false;
    while (handle_) {
        const mpv_event *event = mpv_wait_event(handle_.get(), 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        handleEvent(*event);
    }
}

MediaPlayer *MpvEngine::playingCurrent() const {
    return current_ && current_->entryId_ == playingEntryId_ ? current_.data() : nullptr;
}

void MpvEngine::handleEvent(const mpv_event &event) {
    switch (event.event_id) {
    case MPV_EVENT_START_FILE:
        playingEntryId_ = static_cast<const mpv_event_start_file *>(event.data)->playlist_entry_id;
        if (queued_ && queued_->entryId_ == playingEntryId_) {
            current_ = std::exchange(queued_, nullptr);
            // The finished entry goes: mpv's playlist never grows past the playing one.
            clearQueue();
            current_->handleStarted();
        }
        break;
    case MPV_EVENT_FILE_LOADED:
        if (MediaPlayer *player = playingCurrent()) {
            player->handleLoaded();
            // Observed properties report changes only: a file as long as the one before it,
            // loaded before that one's length was reported, would never report its own.
            double seconds = 0;
            if (mpv_get_property(handle_.get(), "duration", MPV_FORMAT_DOUBLE, &seconds) >= 0 &&
                seconds > 0)
                player->handleDuration(seconds);
        }
        break;
    case MPV_EVENT_END_FILE: {
        const auto *end = static_cast<const mpv_event_end_file *>(event.data);
        if (!current_ || current_->entryId_ != end->playlist_entry_id)
            break;
        if (end->reason == MPV_END_FILE_REASON_ERROR && restart_) {
            const Restart restart = *std::exchange(restart_, std::nullopt);
            const QByteArray options =
                "vid=auto,start=" + QByteArray::number(restart.position, 'f', 3);
            const int64_t entryId = loadFile(restart.path, "replace", options.constData());
            if (entryId >= 0) {
                current_->entryId_ = entryId;
                break;
            }
            current_->handleEngineFailure(loadError(end->error));
        } else if (end->reason == MPV_END_FILE_REASON_ERROR) {
            current_->handleEngineFailure(loadError(end->error));
        } else if (end->reason == MPV_END_FILE_REASON_REDIRECT) {
            // A playlist file or a folder: mpv would go on to play whatever it names.
            command({"stop"});
            current_->handleFailed({LoadError::Reason::playlistFile, {}});
        } else if (end->reason == MPV_END_FILE_REASON_EOF) {
            // Only an entry with another behind it ends so; the last one is kept open.
            current_->handleFinished(queued_ != nullptr);
        }
        break;
    }
    case MPV_EVENT_PLAYBACK_RESTART:
        if (MediaPlayer *player = playingCurrent())
            player->handleSeekFinished();
        break;
    case MPV_EVENT_PROPERTY_CHANGE:
        handlePropertyChange(event.reply_userdata,
                             *static_cast<const mpv_event_property *>(event.data));
        break;
    case MPV_EVENT_HOOK:
        if (event.reply_userdata == turnPicturesHook)
            turnPictures();
        mpv_hook_continue(handle_.get(), static_cast<const mpv_event_hook *>(event.data)->id);
        break;
    case MPV_EVENT_SHUTDOWN:
        mpv_set_wakeup_callback(handle_.get(), nullptr, nullptr);
        break;
    default:
        break;
    }
}

void MpvEngine::setHardwareDecoding(bool on) {
    if (handle_)
        mpv_set_property_string(handle_.get(), "hwdec", on ? hardwareDecoder_.constData() : "no");
}

namespace {

QString stringProperty(mpv_handle *handle, const char *name) {
    char *value = mpv_get_property_string(handle, name);
    const QString text = QString::fromUtf8(value ? value : "");
    mpv_free(value);
    return text;
}

double numberProperty(mpv_handle *handle, const char *name) {
    double value = 0;
    return mpv_get_property(handle, name, MPV_FORMAT_DOUBLE, &value) >= 0 ? value : 0;
}

} // namespace

MediaInformation MpvEngine::mediaInformation() const {
    MediaInformation information;
    mpv_handle *handle = handle_.get();
    if (!handle || !playingCurrent())
        return information;
    information.fileName = stringProperty(handle, "filename");
    information.container = stringProperty(handle, "file-format");
    information.videoCodec = stringProperty(handle, "video-codec");
    information.audioCodec = stringProperty(handle, "audio-codec");
    information.width = int(numberProperty(handle, "video-params/w"));
    information.height = int(numberProperty(handle, "video-params/h"));
    information.frameRate = numberProperty(handle, "container-fps");
    const double duration = numberProperty(handle, "duration");
    if (duration > 0)
        information.bitsPerSecond = numberProperty(handle, "file-size") * 8 / duration;
    information.videoDecoder = stringProperty(handle, "current-tracks/video/codec");
    const QString hardware = stringProperty(handle, "hwdec-current");
    if (hardware != u"no")
        information.hardwareDecoder = hardware;
    return information;
}

void MpvEngine::simplifySubtitles() {
    mpv_set_property_string(handle_.get(), "sub-ass-override", "strip");
    // The bitmaps are freed by then, but the allocator keeps the pages: hand them back.
    malloc_trim(0);
    Q_EMIT subtitlesSimplified();
}

void MpvEngine::handlePropertyChange(uint64_t property, const mpv_event_property &value) {
    if (property == subtitleCodecProperty) {
        const char *codec = value.format == MPV_FORMAT_STRING
                                ? *static_cast<const char *const *>(value.data)
                                : nullptr;
        const std::string_view name = codec ? codec : "";
        subtitleGuard_->watch(name == "ass" || name == "ssa");
        return;
    }
    if (property == videoParamsProperty && subtitleGuard_)
        subtitleGuard_->allowForPictures(
            value.format == MPV_FORMAT_NODE
                ? displaySize(*static_cast<const mpv_node *>(value.data))
                : QSizeF());
    MediaPlayer *player = playingCurrent();
    if (!player || value.format == MPV_FORMAT_NONE)
        return;
    switch (property) {
    case durationProperty:
        player->handleDuration(*static_cast<const double *>(value.data));
        break;
    case videoParamsProperty:
        player->handlePresentationSize(displaySize(*static_cast<const mpv_node *>(value.data)));
        break;
    case eofReachedProperty:
        player->handleEndReached(*static_cast<const int *>(value.data) != 0);
        break;
    case pauseProperty:
        if (*static_cast<const int *>(value.data) != 0)
            player->handleDrained();
        break;
    case trackListProperty:
        player->handleTracks(tracksOf(*static_cast<const mpv_node *>(value.data)));
        break;
    case metadataProperty:
        player->handleTags(tagsOf(*static_cast<const mpv_node *>(value.data)));
        break;
    case chapterListProperty:
        player->handleChapters(chaptersOf(*static_cast<const mpv_node *>(value.data)));
        break;
    case steppedTimeProperty:
        player->reportTime();
        break;
    default:
        break;
    }
}

void MpvEngine::command(std::initializer_list<const char *> args) {
    if (!handle_)
        return;
    std::vector<const char *> argv(args);
    argv.push_back(nullptr);
    mpv_command_async(handle_.get(), 0, argv.data());
}
