#pragma once

#include "views/time_preview.h"

#include <QObject>
#include <QPointer>
#include <QString>

class PlayerManager;
class PreviewSource;
class VideoPlayerView;

// Shows what lies at the place the pointer is at on the time bar: a film's picture there with
// its time, drawn into the picture just above the bar (in full screen too), or a song's time
// alone. Nothing of it is made before the pointer first comes to the bar.
class TimePreviewController : public QObject {
    Q_OBJECT
public:
    // `content` holds the song's preview; the bar lies in it.
    TimePreviewController(PlayerManager &playerManager, QWidget *content, QWidget *transportBar);

    void setVideoView(VideoPlayerView *view);
    void point(double seconds, QPoint globalPosition);
    void leave();

    // What it is made of, once made.
    PreviewSource *source() const { return source_; }
    TimePreview *filmPreview() const { return filmPreview_; }
    TimePreview *songPreview() const { return songPreview_; }

    // The largest picture, in the window's pixels.
    static constexpr int pictureWidth = 176;
    static constexpr int pictureHeight = 132;

    // What the preview says of a place: its time, and the chapter there if any.
    QString caption(double seconds) const;

private:
    void showPicture();

    PlayerManager &playerManager_;
    QWidget *content_;
    QWidget *transportBar_;
    QPointer<VideoPlayerView> videoView_;
    PreviewSource *source_ = nullptr;
    QPointer<TimePreview> filmPreview_;
    QPointer<TimePreview> songPreview_;
};
