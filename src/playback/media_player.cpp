#include "playback/media_player.h"

#include "playback/mpv_engine.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace {

// Says in plain words why a local file will not play before asking the engine, so that the
// user reads "file not found" rather than a decoder's complaint.
QString precheck(const QUrl &url, const MpvEngine &engine) {
    if (!url.isLocalFile())
        return QStringLiteral("only local files can be played");
    const QFileInfo info(url.toLocalFile());
    if (!info.exists())
        return QStringLiteral("file not found");
    if (info.isDir())
        return QStringLiteral("it is a folder, not a media file");
    if (!engine.isValid())
        return QStringLiteral("the playback engine could not be started");
    return {};
}

} // namespace

MediaPlayer::MediaPlayer(std::shared_ptr<MpvEngine> engine, const QUrl &url, bool isVideo)
    : engine_(std::move(engine)), url_(url), isVideo_(isVideo) {
    timeReportTimer_.setInterval(timeReportIntervalMs);
    connect(&timeReportTimer_, &QTimer::timeout, this, &MediaPlayer::reportTime);

    QString problem = precheck(url_, *engine_);
    if (problem.isEmpty()) {
        const int64_t id = engine_->load(this, QFile::encodeName(url_.toLocalFile()), isVideo_);
        if (id < 0)
            problem = QString::fromUtf8(mpv_error_string(int(id)));
        else
            entryId_ = id;
    }
    if (!problem.isEmpty()) {
        // Queued, like the engine's own reports, so that whoever created us can connect first.
        QMetaObject::invokeMethod(
            this, [this, problem] { handleFailed(problem); }, Qt::QueuedConnection);
    }
}

MediaPlayer::~MediaPlayer() {
    engine_->release(this);
}

void MediaPlayer::play() {
    wantsPlaying_ = true;
    if (engine_->isCurrent(this))
        engine_->setPaused(false);
    updateTimeReports();
}

void MediaPlayer::pause() {
    wantsPlaying_ = false;
    if (engine_->isCurrent(this))
        engine_->setPaused(true);
    updateTimeReports();
}

void MediaPlayer::seek(double seconds) {
    if (!std::isfinite(seconds) || !engine_->isCurrent(this) || !errorString_.isEmpty())
        return;
    // mpv reads a negative absolute time as counted from the end; a player clamps to the start.
    engine_->seek(std::max(seconds, 0.0));
}

void MediaPlayer::handleLoaded() {
    loaded_ = true;
    updateTimeReports();
}

void MediaPlayer::handleFailed(const QString &reason) {
    if (!errorString_.isEmpty())
        return;
    QString plain = reason;
    if (QFileInfo info(url_.toLocalFile()); url_.isLocalFile() && info.isFile() && info.size() == 0)
        plain = QStringLiteral("the file is empty");
    errorString_ = plain;
    updateTimeReports();
    Q_EMIT failed(errorString_);
}

void MediaPlayer::handleDuration(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0)
        return;
    const bool first = duration_ == 0 && seconds > 0;
    duration_ = seconds;
    if (first)
        Q_EMIT durationLoaded(seconds);
}

void MediaPlayer::handlePresentationSize(QSizeF size) {
    if (size == presentationSize_)
        return;
    presentationSize_ = size;
    Q_EMIT presentationSizeChanged(size);
}

void MediaPlayer::handleEndReached(bool reached) {
    if (reached == ended_ || (reached && !loaded_))
        return;
    ended_ = reached;
    updateTimeReports();
    if (ended_) {
        reportTime();
        Q_EMIT playedToEnd();
    }
}

void MediaPlayer::handleSeekFinished() {
    reportTime();
}

void MediaPlayer::reportTime() {
    const double seconds = engine_->timePosition();
    if (!std::isfinite(seconds))
        return;
    // Encoder delay makes mpv count a little below zero at the start of some files.
    currentTime_ = std::max(seconds, 0.0);
    Q_EMIT timeReported(currentTime_);
}

void MediaPlayer::updateTimeReports() {
    const bool advancing =
        wantsPlaying_ && loaded_ && !ended_ && errorString_.isEmpty() && engine_->isCurrent(this);
    if (advancing && !timeReportTimer_.isActive())
        timeReportTimer_.start();
    else if (!advancing)
        timeReportTimer_.stop();
}
