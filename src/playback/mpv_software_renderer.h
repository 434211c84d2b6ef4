#pragma once

#include "playback/mpv_renderer.h"

#include <QBackingStore>

// mpv draws each picture on the CPU straight into the memory the window system shows (the
// window's backing store: shared memory on X11, a shm buffer on Wayland), so a picture is
// scaled and converted once and copied by no one. Without a window it draws into a picture of
// the target size.
class MpvSoftwareRenderer final : public MpvRenderer {
    Q_OBJECT
public:
    // nullptr when mpv cannot draw in software here.
    static std::unique_ptr<MpvSoftwareRenderer> create(mpv_handle *handle);
    ~MpvSoftwareRenderer() override;

    VideoRendererKind kind() const override { return VideoRendererKind::software; }
    QImage grabFrame() override { return frame_; }

protected:
    void render() override;
    void targetWindowChanged() override;

private:
    MpvSoftwareRenderer() = default;
    void renderToWindow(QWindow *window);
    // Draws mpv's picture over all of `image`; false when mpv cannot draw in its format.
    bool draw(QImage &image);

    std::unique_ptr<QBackingStore> backingStore_;
    // For a backing store in a format mpv cannot draw in.
    QImage scratch_;
    QImage frame_;
};
