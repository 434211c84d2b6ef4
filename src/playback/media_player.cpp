#include "playback/media_player.h"

#include "playback/local_file.h"
#include "playback/mpv_engine.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Seconds short of the end that a stop may fall and still count as the end (mpv's null audio
// output ends a little early).
constexpr double endAllowance = 1.0;

LoadError errnoError(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return {LoadError::Reason::notFound, {}};
    case EACCES:
    case EPERM:
        return {LoadError::Reason::permissionDenied, {}};
    default:
        return {LoadError::Reason::unreadable, QString::fromLocal8Bit(std::strerror(error))};
    }
}

FileIdentity identityOf(const struct stat &status) {
    return {quint64(status.st_dev), quint64(status.st_ino), qint64(status.st_size),
            qint64(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec};
}

std::optional<FileIdentity> identify(const QByteArray &path) {
    struct stat status {};
    if (path.isEmpty() || ::stat(path.constData(), &status) != 0)
        return std::nullopt;
    return identityOf(status);
}

// Says in plain terms why a local file will not play before asking the engine, so that the
// user reads "permission denied" rather than a decoder's complaint. Only regular files are
// opened: a FIFO or a device would block or never end.
LoadError precheck(const QUrl &url, const MpvEngine &engine, FileIdentity &identity) {
    const QByteArray path = local_file::path(url);
    if (path.isEmpty())
        return {LoadError::Reason::notLocal, {}};
    struct stat status {};
    if (::stat(path.constData(), &status) != 0)
        return errnoError(errno);
    if (S_ISDIR(status.st_mode))
        return {LoadError::Reason::isFolder, {}};
    if (!S_ISREG(status.st_mode))
        return {LoadError::Reason::notRegularFile, {}};
    const int descriptor = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return errnoError(errno);
    ::close(descriptor);
    if (status.st_size == 0)
        return {LoadError::Reason::empty, {}};
    if (!engine.isValid())
        return {LoadError::Reason::engineUnavailable, {}};
    identity = identityOf(status);
    return {};
}

} // namespace

MediaPlayer::MediaPlayer(std::shared_ptr<MpvEngine> engine, const QUrl &url, bool isVideo,
                         Start start)
    : engine_(std::move(engine)), url_(url), isVideo_(isVideo), started_(start == Start::now),
      audible_(start == Start::now) {
    timeReportTimer_.setInterval(timeReportIntervalMs);
    connect(&timeReportTimer_, &QTimer::timeout, this, &MediaPlayer::reportTime);

    LoadError problem = precheck(url_, *engine_, opened_);
    if (problem.isEmpty()) {
        const QByteArray path = local_file::path(url_);
        const int64_t id =
            start == Start::now ? engine_->load(this, path, isVideo_) : engine_->queue(this, path);
        if (id < 0)
            problem = MpvEngine::loadError(int(id));
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

bool MediaPlayer::commandsEngine() const {
    // Handed on, what is heard is still this file's end: pausing it pauses the engine.
    return engine_->isCurrent(this) || handedOn_;
}

void MediaPlayer::play() {
    wantsPlaying_ = true;
    if (commandsEngine() && error_.isEmpty())
        engine_->setPaused(false);
    updateTimeReports();
}

void MediaPlayer::pause() {
    wantsPlaying_ = false;
    if (commandsEngine())
        engine_->setPaused(true);
    updateTimeReports();
}

void MediaPlayer::seek(double seconds) {
    if (!std::isfinite(seconds) || !engine_->isCurrent(this) || !error_.isEmpty())
        return;
    // mpv reads a negative absolute time as counted from the end; a player clamps to the start.
    const double target = std::max(seconds, 0.0);
    if (loaded_)
        engine_->seek(target);
    else
        seekOnLoad_ = target;
    // The time is the target from now on, so that quick steps (a key held down) add up
    // rather than each starting again from where the last seek had not yet arrived.
    currentTime_ = duration_ > 0 ? std::min(target, duration_) : target;
    Q_EMIT timeReported(currentTime_);
}

void MediaPlayer::stepFrame(bool forward) {
    if (!isVideo_ || !engine_->isCurrent(this) || !error_.isEmpty() || !loaded_)
        return;
    // A step ends paused: the frame is there to be looked at.
    wantsPlaying_ = false;
    engine_->setPaused(true);
    engine_->stepFrame(forward);
    updateTimeReports();
}

void MediaPlayer::handleStarted() {
    started_ = true;
}

void MediaPlayer::handleLoaded() {
    loaded_ = true;
    if (seekOnLoad_)
        engine_->seek(*std::exchange(seekOnLoad_, std::nullopt));
    updateTimeReports();
}

void MediaPlayer::handleEngineFailure(const LoadError &error) {
    // The file may have gone or changed since it was queued: say that rather than what the
    // decoder makes of it.
    FileIdentity ignored;
    const LoadError plain = precheck(url_, *engine_, ignored);
    handleFailed(plain.isEmpty() ? error : plain);
}

void MediaPlayer::handleFailed(const LoadError &error) {
    if (!error_.isEmpty())
        return;
    error_ = error;
    wantsPlaying_ = false;
    if (engine_->isCurrent(this))
        engine_->setPaused(true);
    updateTimeReports();
    Q_EMIT failed(error_);
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

bool MediaPlayer::wasCutShort() const {
    // A file replaced, truncated or rewritten under us makes mpv stop where it could no longer
    // read; that is not the end of the song. A file merely touched near its end still ends.
    const std::optional<FileIdentity> now = identify(local_file::path(url_));
    if (now == opened_)
        return false;
    // Less of it than was opened: wherever mpv stopped, that was not the end.
    if (now && now->size < opened_.size)
        return true;
    const double reached = engine_->timePosition();
    return duration_ <= 0 || !std::isfinite(reached) || reached < duration_ - endAllowance;
}

void MediaPlayer::handleEndReached(bool reached) {
    if (reached == atEnd_ || (reached && !loaded_) || !error_.isEmpty())
        return;
    if (reached && wasCutShort()) {
        reportTime();
        handleFailed({LoadError::Reason::changedWhilePlaying, {}});
        return;
    }
    atEnd_ = reached;
    if (!reached) {
        ended_ = false;
        updateTimeReports();
    }
}

void MediaPlayer::handleDrained() {
    // mpv pauses by itself once the output has played the end; a pause of the person's own
    // is not that, and the end is heard when they play on.
    if (atEnd_ && !ended_ && wantsPlaying_)
        finish();
}

void MediaPlayer::handleFinished(bool handedOn) {
    if (ended_ || !error_.isEmpty())
        return;
    handedOn_ = handedOn;
    finish();
}

void MediaPlayer::finish() {
    ended_ = true;
    updateTimeReports();
    reportTime();
    Q_EMIT playedToEnd();
}

void MediaPlayer::handleSeekFinished() {
    restarted_ = true;
    reportTime();
    Q_EMIT seekFinished(currentTime_);
}

void MediaPlayer::handleTracks(const QList<MediaTrack> &tracks) {
    if (tracks == tracks_)
        return;
    tracks_ = tracks;
    Q_EMIT tracksChanged(tracks_);
}

void MediaPlayer::handleChapters(const QList<Chapter> &chapters) {
    if (chapters == chapters_)
        return;
    chapters_ = chapters;
    Q_EMIT chaptersChanged(chapters_);
}

void MediaPlayer::handleTags(const MediaTags &tags) {
    if (tags == tags_)
        return;
    tags_ = tags;
    Q_EMIT tagsLoaded(tags_);
}

void MediaPlayer::reportTime() {
    double seconds = engine_->timePosition();
    if (!std::isfinite(seconds))
        return;
    if (handedOn_) {
        // The next file counts up to its first sound from below zero, and this one's end is
        // heard meanwhile.
        seconds = duration_ + std::min(seconds, 0.0);
    } else if (!audible_) {
        // Until playback has started, mpv gives the start as the time.
        if (!restarted_)
            return;
        if (seconds < 0) {
            QTimer::singleShot(int(-seconds * 1000) + 1, this, &MediaPlayer::reportTime);
            return;
        }
        audible_ = true;
        Q_EMIT becameAudible();
    }
    // Encoder delay makes mpv count a little below zero at the start of some files.
    currentTime_ = std::max(seconds, 0.0);
    Q_EMIT timeReported(currentTime_);
}

void MediaPlayer::updateTimeReports() {
    const bool advancing = wantsPlaying_ && loaded_ && error_.isEmpty() &&
                           (handedOn_ || (!ended_ && engine_->isCurrent(this)));
    if (advancing && !timeReportTimer_.isActive())
        timeReportTimer_.start();
    else if (!advancing)
        timeReportTimer_.stop();
}
