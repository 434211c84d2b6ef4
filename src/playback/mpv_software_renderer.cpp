#include "playback/mpv_software_renderer.h"

#include <QPainter>
#include <QSysInfo>

namespace {

// mpv's name for `format`, byte by byte; nullptr for one mpv cannot draw in.
const char *mpvPixelFormat(QImage::Format format) {
    constexpr bool littleEndian = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    switch (format) {
    case QImage::Format_RGB32:
        return littleEndian ? "bgr0" : "0rgb";
    // Opaque pictures in formats with alpha: swscale fills it in.
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return littleEndian ? "bgra" : "argb";
    case QImage::Format_RGBX8888:
        return "rgb0";
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied:
        return "rgba";
    default:
        return nullptr;
    }
}

} // namespace

std::unique_ptr<MpvSoftwareRenderer> MpvSoftwareRenderer::create(mpv_handle *handle) {
    std::unique_ptr<MpvSoftwareRenderer> renderer(new MpvSoftwareRenderer);
    int advancedControl = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(MPV_RENDER_API_TYPE_SW)},
        {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advancedControl},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context *renderContext = nullptr;
    if (mpv_render_context_create(&renderContext, handle, params) < 0)
        return nullptr;
    renderer->adopt(renderContext);
    return renderer;
}

MpvSoftwareRenderer::~MpvSoftwareRenderer() {
    // mpv may still be drawing into memory that goes with the backing store.
    release();
}

void MpvSoftwareRenderer::targetWindowChanged() {
    // A backing store must not outlive its window.
    backingStore_.reset();
}

bool MpvSoftwareRenderer::draw(QImage &image) {
    const char *format = mpvPixelFormat(image.format());
    if (!format || image.isNull())
        return false;
    int size[2] = {image.width(), image.height()};
    size_t stride = size_t(image.bytesPerLine());
    int noWait = 0;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, size},
                                 {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char *>(format)},
                                 {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                 {MPV_RENDER_PARAM_SW_POINTER, image.bits()},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &noWait},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    return mpv_render_context_render(renderContext_.get(), params) >= 0;
}

void MpvSoftwareRenderer::render() {
    if (!takeDrawingWanted())
        return;
    if (QWindow *window = exposedWindow()) {
        renderToWindow(window);
        return;
    }
    if (targetSize_.isEmpty()) {
        int skip = 1;
        int noWait = 0;
        mpv_render_param params[] = {{MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
                                     {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &noWait},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        mpv_render_context_render(renderContext_.get(), params);
        return;
    }
    if (frame_.size() != targetSize_)
        frame_ = QImage(targetSize_, QImage::Format_RGB32);
    if (draw(frame_))
        Q_EMIT frameRendered();
}

void MpvSoftwareRenderer::renderToWindow(QWindow *window) {
    if (!backingStore_)
        backingStore_ = std::make_unique<QBackingStore>(window);
    const QRect area(QPoint(), window->size());
    if (backingStore_->size() != area.size())
        backingStore_->resize(area.size());
    backingStore_->beginPaint(area);
    QPaintDevice *device = backingStore_->paintDevice();
    auto *image = device->devType() == QInternal::Image ? static_cast<QImage *>(device) : nullptr;
    const qreal ratio = window->devicePixelRatio();
    const bool drawn = image && draw(*image);
    {
        QPainter painter(device);
        if (!drawn) {
            const QSize pixels = area.size() * ratio;
            if (scratch_.size() != pixels)
                scratch_ = QImage(pixels, QImage::Format_RGB32);
            draw(scratch_);
            painter.drawImage(QRectF(area), scratch_);
        }
        overlayChanged_ = false;
        if (!overlay_.isNull())
            painter.drawImage(
                QRectF(QPointF(overlayPosition_) / ratio, QSizeF(overlay_.size()) / ratio),
                overlay_);
    }
    if (std::exchange(captureWanted_, false))
        windowPicture_ = (image ? *image : scratch_).convertToFormat(QImage::Format_RGB32);
    backingStore_->endPaint();
    backingStore_->flush(area);
    Q_EMIT frameRendered();
}
