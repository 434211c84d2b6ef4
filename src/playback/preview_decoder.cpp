#include "playback/preview_decoder.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <utility>

namespace {

// As the player's own engine: the user's mpv configuration does not apply, local files only.
// Then what a preview needs: no sound, no subtitles, paused, the last picture kept at the end,
// software decoding on one thread (the quickest to a single picture), little read ahead.
constexpr std::pair<const char *, const char *> previewOptions[] = {
    {"config", "no"},
    {"load-scripts", "no"},
    {"ytdl", "no"},
    {"osc", "no"},
    {"input-default-bindings", "no"},
    {"input-vo-keyboard", "no"},
    {"load-stats-overlay", "no"},
    {"load-osd-console", "no"},
    {"load-auto-profiles", "no"},
    {"resume-playback", "no"},
    {"save-position-on-quit", "no"},
    {"access-references", "no"},
    {"stream-lavf-o-append", "protocol_whitelist=file"},
    {"demuxer-lavf-o-append", "protocol_whitelist=file"},
    {"idle", "yes"},
    {"vo", "libmpv"},
    {"ao", "null"},
    {"aid", "no"},
    {"sid", "no"},
    {"sub-auto", "no"},
    {"audio-file-auto", "no"},
    // A cover is no picture of a place: sound alone gives none.
    {"cover-art-auto", "no"},
    {"audio-display", "no"},
    {"osd-level", "0"},
    {"pause", "yes"},
    {"keep-open", "always"},
    {"hwdec", "no"},
    {"vd-lavc-threads", "1"},
    {"cache", "no"},
    {"demuxer-readahead-secs", "0"},
    {"demuxer-max-bytes", "4MiB"},
    {"demuxer-max-back-bytes", "0"},
    {"video-timing-offset", "0"},
};

constexpr uint64_t loadReply = 0;

} // namespace

PreviewDecoder::PreviewDecoder(const QByteArray &localPath, QSize pictureSize, QObject *parent)
    : QObject(parent), pictureSize_(pictureSize.expandedTo(QSize(1, 1))) {
    giveUp_.setSingleShot(true);
    giveUp_.setInterval(giveUpMs);
    connect(&giveUp_, &QTimer::timeout, this, [this] {
        underWay_.reset();
        startNext();
    });
    // mpv refuses to start unless numbers are formatted the C way.
    std::setlocale(LC_NUMERIC, "C");
    MpvHandle handle(mpv_create());
    if (!handle) {
        failed_ = true;
        return;
    }
    for (const auto &[name, value] : previewOptions)
        mpv_set_option_string(handle.get(), name, value);
    if (mpv_initialize(handle.get()) < 0) {
        failed_ = true;
        return;
    }
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(MPV_RENDER_API_TYPE_SW)},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context *context = nullptr;
    if (mpv_render_context_create(&context, handle.get(), params) < 0) {
        failed_ = true;
        return;
    }
    renderContext_.reset(context);
    handle_ = std::move(handle);
    mpv_render_context_set_update_callback(
        context, [](void *self) { static_cast<PreviewDecoder *>(self)->queueRender(); }, this);
    mpv_set_wakeup_callback(
        handle_.get(), [](void *self) { static_cast<PreviewDecoder *>(self)->queueDrain(); }, this);
    const char *args[] = {"loadfile", localPath.constData(), "replace", nullptr};
    mpv_command_async(handle_.get(), loadReply, args);
}

PreviewDecoder::~PreviewDecoder() {
    if (renderContext_)
        mpv_render_context_set_update_callback(renderContext_.get(), nullptr, nullptr);
    if (handle_)
        mpv_set_wakeup_callback(handle_.get(), nullptr, nullptr);
    renderContext_.reset();
}

quint64 PreviewDecoder::request(double seconds, bool exact) {
    waiting_ = Request{++lastId_, std::isfinite(seconds) ? std::max(seconds, 0.0) : 0.0, exact};
    startNext();
    return lastId_;
}

void PreviewDecoder::startNext() {
    if (!handle_ || failed_ || !ready_ || underWay_ || !waiting_)
        return;
    underWay_ = std::exchange(waiting_, std::nullopt);
    const QByteArray target = QByteArray::number(underWay_->seconds, 'f', 3);
    const char *args[] = {"seek", target.constData(),
                          underWay_->exact ? "absolute+exact" : "absolute+keyframes", nullptr};
    mpv_command_async(handle_.get(), underWay_->id, args);
    giveUp_.start();
}

void PreviewDecoder::finish() {
    giveUp_.stop();
    const Request done = *std::exchange(underWay_, std::nullopt);
    // mpv reports the seek done once its picture was drawn here, or once it stopped waiting
    // for that: then the picture is still to be drawn.
    renderIfNew();
    Q_EMIT pictureReady(done.id, done.seconds, done.exact, picture_);
    startNext();
}

void PreviewDecoder::fail() {
    if (failed_)
        return;
    failed_ = true;
    giveUp_.stop();
    waiting_.reset();
    underWay_.reset();
    Q_EMIT failed();
}

void PreviewDecoder::queueDrain() {
    // Called on mpv's threads: only hand the work to the main thread, once.
    if (!drainQueued_.exchange(true))
        QMetaObject::invokeMethod(this, &PreviewDecoder::drainEvents, Qt::QueuedConnection);
}

void PreviewDecoder::drainEvents() {
    drainQueued_ = false;
    while (handle_) {
        const mpv_event *event = mpv_wait_event(handle_.get(), 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        handleEvent(*event);
    }
}

void PreviewDecoder::handleEvent(const mpv_event &event) {
    switch (event.event_id) {
    case MPV_EVENT_COMMAND_REPLY:
        if (event.error < 0) {
            if (event.reply_userdata == loadReply)
                fail();
            else if (underWay_ && underWay_->id == event.reply_userdata) {
                // A place mpv cannot seek to: nothing to show for it.
                giveUp_.stop();
                underWay_.reset();
                startNext();
            }
        }
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        if (!ready_) {
            ready_ = true;
            startNext();
        } else if (underWay_) {
            finish();
        }
        break;
    case MPV_EVENT_END_FILE: {
        const auto *end = static_cast<const mpv_event_end_file *>(event.data);
        // Nothing to show (no picture in it) or nothing readable.
        if (end && end->reason == MPV_END_FILE_REASON_ERROR)
            fail();
        break;
    }
    default:
        break;
    }
}

void PreviewDecoder::queueRender() {
    if (!renderQueued_.exchange(true))
        QMetaObject::invokeMethod(this, &PreviewDecoder::renderIfNew, Qt::QueuedConnection);
}

void PreviewDecoder::renderIfNew() {
    renderQueued_ = false;
    // mpv's video output waits for each new picture to be taken.
    if (renderContext_ &&
        (mpv_render_context_update(renderContext_.get()) & MPV_RENDER_UPDATE_FRAME))
        draw();
}

void PreviewDecoder::draw() {
    QImage picture(pictureSize_, QImage::Format_RGB32);
    int size[2] = {pictureSize_.width(), pictureSize_.height()};
    size_t stride = size_t(picture.bytesPerLine());
    char format[] = "bgr0";
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, size},      {MPV_RENDER_PARAM_SW_FORMAT, format},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride}, {MPV_RENDER_PARAM_SW_POINTER, picture.bits()},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_render(renderContext_.get(), params) < 0)
        return;
    // mpv leaves the fourth byte undefined; Qt reads it as opaque only when it says so.
    for (int y = 0; y < picture.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            line[x] |= 0xff000000u;
    }
    picture_ = picture;
}
