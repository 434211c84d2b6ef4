#pragma once

#include "playback/mpv_engine.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QTimer>

#include <mpv/render.h>

#include <atomic>
#include <memory>
#include <optional>

struct PreviewRenderContextDeleter {
    void operator()(mpv_render_context *context) const { mpv_render_context_free(context); }
};

// Small pictures of one film at the places asked for: a silent mpv of its own, apart from the
// one that plays, drawing each picture in software into an image of a fixed size.
//
// One seek at a time. A request made meanwhile waits, and a newer one replaces it: a pointer
// sweeping the bar asks for far more places than can be decoded, and only the latest matters.
// A seek that never completes (a damaged file) is given up after a while.
//
// Threading: mpv's wakeup and render-update callbacks only queue work to the main thread. The
// main thread only ever sends mpv commands asynchronously: mpv's video output waits for each
// picture to be drawn here, so waiting for mpv here could stall both.
class PreviewDecoder : public QObject {
    Q_OBJECT
public:
    // Opens `localPath` at once; pictures are `pictureSize` device pixels.
    PreviewDecoder(const QByteArray &localPath, QSize pictureSize, QObject *parent = nullptr);
    ~PreviewDecoder() override;

    // Asks for the picture at `seconds`: the very frame when `exact`, else the nearest keyframe
    // (much quicker to reach). Replaces a request not yet started. Returns its number; numbers
    // grow with each request.
    quint64 request(double seconds, bool exact);
    // Forgets the request not yet started.
    void dropWaiting() { waiting_.reset(); }
    // The file gives no pictures (none in it, or it cannot be opened).
    bool hasFailed() const { return failed_; }
    QSize pictureSize() const { return pictureSize_; }

    static constexpr int giveUpMs = 3000;

Q_SIGNALS:
    // The picture for request `request`, made for `seconds` as asked.
    void pictureReady(quint64 request, double seconds, bool exact, const QImage &picture);
    void failed();

private:
    struct Request {
        quint64 id;
        double seconds;
        bool exact;
    };
    void queueDrain();
    void drainEvents();
    void handleEvent(const mpv_event &event);
    void queueRender();
    void renderIfNew();
    void draw();
    void startNext();
    void finish();
    void fail();

    MpvHandle handle_;
    // Declared after the handle: it must go first.
    std::unique_ptr<mpv_render_context, PreviewRenderContextDeleter> renderContext_;
    QSize pictureSize_;
    // The picture last drawn.
    QImage picture_;
    quint64 lastId_ = 0;
    std::optional<Request> waiting_;
    std::optional<Request> underWay_;
    // The film is open and shows its first picture; seeks made before would be lost.
    bool ready_ = false;
    bool failed_ = false;
    QTimer giveUp_;
    std::atomic_bool drainQueued_ = false;
    std::atomic_bool renderQueued_ = false;
};
