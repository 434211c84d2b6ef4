#include "views/time_preview_controller.h"

#include "playback/chapters.h"
#include "playback/player_manager.h"
#include "playback/preview_source.h"
#include "views/chapter_text.h"
#include "views/time_preview.h"
#include "views/time_text.h"
#include "views/video_player_view.h"

namespace {

// Between the preview and the edge of the bar.
constexpr int gap = 6;

} // namespace

TimePreviewController::TimePreviewController(PlayerManager &playerManager, QWidget *content,
                                             QWidget *transportBar)
    : QObject(content), playerManager_(playerManager), content_(content),
      transportBar_(transportBar) {}

void TimePreviewController::setVideoView(VideoPlayerView *view) {
    videoView_ = view;
}

QString TimePreviewController::caption(double seconds) const {
    const qsizetype chapter = chapters::indexAt(playerManager_.chapters(), seconds);
    if (chapter < 0)
        return timeString(seconds);
    return QStringLiteral("%1 \u2013 %2")
        .arg(timeString(seconds), chapterText(playerManager_.chapters(), chapter));
}

void TimePreviewController::point(double seconds, QPoint globalPosition) {
    const bool film = videoView_ && videoView_->isVisible();
    TimePreview *preview = nullptr;
    QImage picture;
    int bottom = 0;
    if (film) {
        if (!filmPreview_) {
            filmPreview_ = new TimePreview(videoView_);
            videoView_->addOverlay(filmPreview_);
        }
        if (!source_) {
            source_ = new PreviewSource(playerManager_, this);
            connect(source_, &PreviewSource::pictureChanged, this,
                    &TimePreviewController::showPicture);
        }
        const qreal ratio = videoView_->devicePixelRatioF();
        source_->setBox((QSizeF(pictureWidth, pictureHeight) * ratio).toSize());
        source_->point(seconds);
        picture = source_->picture();
        preview = filmPreview_;
        bottom = videoView_->height() - gap;
        if (songPreview_)
            songPreview_->hide();
    } else {
        if (!songPreview_)
            songPreview_ = new TimePreview(content_);
        preview = songPreview_;
        bottom = transportBar_->y() - gap;
        if (filmPreview_)
            filmPreview_->hide();
    }
    const int x = preview->parentWidget()->mapFromGlobal(globalPosition).x();
    preview->showAt(QPoint(x, bottom), caption(seconds), picture);
}

void TimePreviewController::leave() {
    if (filmPreview_)
        filmPreview_->hide();
    if (songPreview_)
        songPreview_->hide();
    if (source_)
        source_->stop();
}

void TimePreviewController::showPicture() {
    if (filmPreview_ && filmPreview_->isVisible())
        filmPreview_->setPicture(source_->picture());
}
