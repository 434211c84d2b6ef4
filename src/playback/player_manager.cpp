#include "playback/player_manager.h"

#include "playback/folder_playlist.h"
#include "playback/local_file.h"
#include "playback/media_kind.h"
#include "playback/media_player.h"
#include "playback/playback_speed.h"
#include "playback/resume_rule.h"
#include "playback/subtitle_scale.h"
#include "playback/sync_offset.h"
#include "playback/window_delegate.h"

#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <sys/stat.h>

PlayerManager::PlayerManager(MpvEngine::Options engineOptions, QObject *parent)
    : QObject(parent), engineOptions_(std::move(engineOptions)) {
    resumeOfferTimer_.setSingleShot(true);
    resumeOfferTimer_.setInterval(resumeOfferMs);
    connect(&resumeOfferTimer_, &QTimer::timeout, this, &PlayerManager::withdrawResumeOffer);
}

PlayerManager::~PlayerManager() {
    coverReader_.clear();
    coverReader_.waitForDone();
    cleanup();
}

const std::shared_ptr<MpvEngine> &PlayerManager::engine() {
    if (!engine_) {
        engine_ = std::make_shared<MpvEngine>(engineOptions_);
        connect(engine_.get(), &MpvEngine::subtitlesSimplified, this,
                [this] { publish(subtitlesSimplified_, true); });
        engine_->setVolume(volume_);
        engine_->setMuted(isMuted_);
        engine_->setSubtitleScale(subtitleScale_);
    }
    return engine_;
}

void PlayerManager::setSpeed(double speed) {
    if (!player_ || !loadError_.isEmpty() || !std::isfinite(speed))
        return;
    publish(speed_, std::clamp(speed, playback_speed::minimum, playback_speed::maximum));
    engine()->setSpeed(speed_);
}

void PlayerManager::setSubtitleDelay(double seconds) {
    if (!player_ || !loadError_.isEmpty())
        return;
    publish(subtitleDelay_, sync_offset::bounded(seconds));
    engine()->setSubtitleDelay(subtitleDelay_);
}

void PlayerManager::setAudioDelay(double seconds) {
    if (!player_ || !loadError_.isEmpty())
        return;
    publish(audioDelay_, sync_offset::bounded(seconds));
    engine()->setAudioDelay(audioDelay_);
}

void PlayerManager::setSubtitleScale(double scale) {
    publish(subtitleScale_, subtitle_scale::bounded(scale));
    if (engine_)
        engine_->setSubtitleScale(subtitleScale_);
}

bool PlayerManager::showsSubtitles() const {
    return player_ && isVideo_ && loadError_.isEmpty() &&
           std::any_of(tracks_.cbegin(), tracks_.cend(), [](const MediaTrack &track) {
               return track.kind == MediaTrack::Kind::subtitle && track.isSelected;
           });
}

bool PlayerManager::hasFilmSound() const {
    return player_ && isVideo_ && loadError_.isEmpty() &&
           std::any_of(tracks_.cbegin(), tracks_.cend(), [](const MediaTrack &track) {
               return track.kind == MediaTrack::Kind::audio && track.isSelected;
           });
}

void PlayerManager::resetAdjustments(const std::optional<ResumePoint> &kept) {
    publish(speed_, playback_speed::normal);
    publish(subtitleDelay_, kept ? sync_offset::bounded(kept->subtitleDelay) : 0.0);
    publish(audioDelay_, kept ? sync_offset::bounded(kept->audioDelay) : 0.0);
    // The engine keeps what it was given for the next file: each starts as it should.
    engine()->setSpeed(speed_);
    engine()->setSubtitleDelay(subtitleDelay_);
    engine()->setAudioDelay(audioDelay_);
}

bool PlayerManager::nextChapter() {
    const std::optional<double> start = chapters::nextStart(chapters_, currentTime_);
    if (!start || !player_)
        return false;
    seek(*start);
    return true;
}

bool PlayerManager::previousChapter() {
    const std::optional<double> start = chapters::previousStart(chapters_, currentTime_);
    if (!start || !player_)
        return false;
    seek(*start);
    return true;
}

void PlayerManager::goToChapter(qsizetype index) {
    if (index >= 0 && index < chapters_.size())
        seek(chapters_.at(index).start);
}

void PlayerManager::stepFrame(bool forward) {
    if (!player_ || !isVideo_ || !loadError_.isEmpty())
        return;
    withdrawResumeOffer();
    publish(isPlaying_, false);
    player_->stepFrame(forward);
}

QImage PlayerManager::grabFrame() {
    if (!player_ || !isVideo_ || !loadError_.isEmpty() || !engine_)
        return {};
    return engine_->grabFrame();
}

void PlayerManager::setVolume(double volume) {
    publish(volume_, std::isfinite(volume) ? std::clamp(volume, 0.0, 1.0) : 1.0);
    if (engine_)
        engine_->setVolume(volume_);
}

void PlayerManager::setHardwareDecoding(bool on) {
    engineOptions_.hardwareDecoding = on;
    if (engine_)
        engine_->setHardwareDecoding(on);
}

MediaInformation PlayerManager::mediaInformation() const {
    return engine_ ? engine_->mediaInformation() : MediaInformation{};
}

void PlayerManager::setMuted(bool muted) {
    publish(isMuted_, muted);
    if (engine_)
        engine_->setMuted(isMuted_);
}

void PlayerManager::setIsRepeating(bool repeating) {
    publish(isRepeating_, repeating);
}

void PlayerManager::setCurrentIndex(qint64 index) {
    publish(currentIndex_, index);
}

void PlayerManager::setWindowDelegate(WindowDelegate *delegate) {
    windowDelegate_ = delegate;
}

void PlayerManager::setRepeatMode(RepeatMode mode) {
    publish(repeatMode_, mode);
    queueUpNext();
}

void PlayerManager::loadMedia(const QUrl &requested) {
    album_.chosen();
    load(requested);
}

void PlayerManager::load(const QUrl &requested) {
    // A copy: callers pass entries of playlist_, which this load replaces.
    const QUrl url = requested;
    dropUpNext();
    rememberPosition();
    cleanup();
    beginFile(url);
    attach(std::make_shared<MediaPlayer>(engine(), url, isVideo_));
}

void PlayerManager::beginFile(const QUrl &url) {
    publish(loadError_, LoadError());
    publish(subtitlesSimplified_, false);
    publish(tags_, MediaTags());
    publish(tracks_, QList<MediaTrack>());
    publish(chapters_, QList<Chapter>());
    publish(coverArt_, CoverArt());
    publish(currentURL_, url);
    publish(fileName_, media_kind::fileName(url));
    const QString extension = media_kind::lowerCaseExtension(fileName_);
    publish(isVideo_, media_kind::isVideoExtension(extension));
    if (media_kind::isAudioExtension(extension)) {
        loadPlaylist(url);
    } else {
        publish(playlist_, QList<QUrl>());
        publish(currentIndex_, qint64(-1));
        updateNavigationState();
    }
}

void PlayerManager::attach(std::shared_ptr<MediaPlayer> player) {
    publish(player_, std::move(player));
    MediaPlayer *const loaded = player_.get();
    // Reports are queued, so one may still be on its way when another file is loaded; the
    // load's serial number, unlike an address, is never reused.
    const quint64 serial = ++loadSerial_;

    if (isVideo_) {
        playerItemObserver_ = connect(
            loaded, &MediaPlayer::presentationSizeChanged, this,
            [this, serial](QSizeF size) {
                if (isLoad(serial) && size.width() > 0 && size.height() > 0 && windowDelegate_)
                    windowDelegate_->resizeAndPositionWindow(size, true);
            },
            Qt::QueuedConnection);
    } else {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (windowDelegate_)
                    windowDelegate_->resizeAndPositionWindow(QSizeF(0, 0), false);
            },
            Qt::QueuedConnection);
    }

    connect(
        loaded, &MediaPlayer::durationLoaded, this,
        [this, serial](double seconds) { takeDuration(serial, seconds); }, Qt::QueuedConnection);
    timeObserver_ = connect(loaded, &MediaPlayer::timeReported, this,
                            [this](double seconds) { publish(currentTime_, seconds); });
    connect(
        loaded, &MediaPlayer::playedToEnd, this,
        [this, serial] {
            if (isLoad(serial))
                handleEndOfTrack();
        },
        Qt::QueuedConnection);
    connect(loaded, &MediaPlayer::tagsLoaded, this, [this, serial](const MediaTags &tags) {
        if (isLoad(serial))
            publish(tags_, tags);
    });
    connect(loaded, &MediaPlayer::tracksChanged, this,
            [this, serial](const QList<MediaTrack> &tracks) { takeTracks(serial, tracks); });
    connect(loaded, &MediaPlayer::chaptersChanged, this, [this, serial] { takeChapters(serial); });
    connect(loaded, &MediaPlayer::seekFinished, this, [this, serial](double seconds) {
        if (isLoad(serial))
            Q_EMIT seeked(seconds);
    });
    connect(loaded, &MediaPlayer::failed, this,
            [this, serial](const LoadError &error) { takeFailure(serial, error); });

    if (!isVideo_)
        readCoverArt();
    offerResume();
    // A player that played ahead already told some of what it knows.
    if (loaded->duration() > 0)
        takeDuration(serial, loaded->duration());
    if (loaded->tags() != MediaTags())
        publish(tags_, loaded->tags());
    if (!loaded->tracks().isEmpty())
        takeTracks(serial, loaded->tracks());
    takeChapters(serial);
    publish(currentTime_, loaded->currentTime());
    if (!loaded->error().isEmpty())
        takeFailure(serial, loaded->error());
    play();
    queueUpNext();
}

void PlayerManager::takeDuration(quint64 serial, double seconds) {
    if (!isLoad(serial))
        return;
    album_.played();
    publish(duration_, seconds);
    // Chapters past the end are known as such only now.
    takeChapters(serial);
    // Kept for a file of this size, yet not a place in it that could be kept.
    if (resumeOffer_ &&
        resume_rule::onLeaving(*resumeOffer_, seconds) != resume_rule::Verdict::remember)
        withdrawResumeOffer();
}

void PlayerManager::takeTracks(quint64 serial, const QList<MediaTrack> &tracks) {
    if (!isLoad(serial))
        return;
    publish(tracks_, tracks);
    leaveUnneededSubtitlesOff();
    restoreChosenTracks();
}

void PlayerManager::takeChapters(quint64 serial) {
    if (!isLoad(serial))
        return;
    QList<Chapter> tidied = chapters::tidy(player_->chapters(), duration_);
    if (tidied != chapters_)
        publish(chapters_, std::move(tidied));
}

void PlayerManager::takeFailure(quint64 serial, const LoadError &error) {
    if (!isLoad(serial))
        return;
    publish(loadError_, error);
    publish(isPlaying_, false);
    withdrawResumeOffer();
    dropUpNext();
    // Playing through an album, a file that cannot be played is passed by, as a song that
    // ended would be; one the person chose stays, with its error.
    if (album_.passesFailure(playlist_.size()))
        QMetaObject::invokeMethod(
            this,
            [this, serial] {
                if (isLoad(serial))
                    moveOnInAlbum();
            },
            Qt::QueuedConnection);
}

void PlayerManager::queueUpNext() {
    // Once mpv has begun it, the next song plays whatever changes now.
    if (awaitingUpNext_ || (upNext_ && upNext_->hasStarted()))
        return;
    std::optional<qint64> next;
    if (player_ && !isVideo_ && loadError_.isEmpty())
        next = AlbumSequence::nextEntry(repeatMode_, currentIndex_, playlist_.size());
    if (upNext_ && next && *next == upNextIndex_ && upNext_->url() == playlist_.at(*next))
        return;
    dropUpNext();
    if (!next)
        return;
    upNextIndex_ = *next;
    upNext_ = std::make_shared<MediaPlayer>(engine(), playlist_.at(*next), false,
                                            MediaPlayer::Start::afterCurrent);
    MediaPlayer *const queued = upNext_.get();
    // Queued like the loaded player's end, so that its end is taken first.
    connect(
        queued, &MediaPlayer::becameAudible, this,
        [this, queued] {
            if (upNext_.get() == queued && awaitingUpNext_)
                followUpNext();
        },
        Qt::QueuedConnection);
    connect(
        queued, &MediaPlayer::failed, this,
        [this, queued] {
            if (upNext_.get() != queued)
                return;
            // Failing on its turn, it is passed by as a file the album loaded would be.
            if (awaitingUpNext_)
                followUpNext();
            else
                dropUpNext();
        },
        Qt::QueuedConnection);
    upNext_->play();
}

void PlayerManager::dropUpNext() {
    awaitingUpNext_ = false;
    upNextIndex_ = -1;
    upNext_.reset();
}

void PlayerManager::followUpNext() {
    std::shared_ptr<MediaPlayer> next = std::exchange(upNext_, nullptr);
    dropUpNext();
    album_.movedOn();
    // The song that ended goes before cleanup() could pause it: its end is what is heard until
    // now. What was kept for it went when it ended.
    player_.reset();
    cleanup();
    beginFile(next->url());
    attach(std::move(next));
    Q_EMIT seeked(currentTime_);
}

void PlayerManager::offerResume() {
    withdrawResumeOffer();
    chosenAudioTrack_.reset();
    chosenSubtitleTrack_.reset();
    tracksToRestore_.reset();
    subtitlesJudged_ = false;
    loadedLocation_ = local_file::path(currentURL_);
    struct stat status {};
    loadedSize_ = !loadedLocation_.isEmpty() && ::stat(loadedLocation_.constData(), &status) == 0 &&
                          S_ISREG(status.st_mode)
                      ? qint64(status.st_size)
                      : -1;
    const std::optional<ResumePoint> point = resumeStore_ && loadedSize_ >= 0
                                                 ? resumeStore_->find(loadedLocation_, loadedSize_)
                                                 : std::nullopt;
    // The delays set for a film hold as soon as it plays again, wherever it starts.
    resetAdjustments(point);
    if (!point)
        return;
    tracksToRestore_ = point;
    publish(resumeOffer_, point->seconds);
    resumeOfferTimer_.start();
}

void PlayerManager::takeResumeOffer() {
    if (!resumeOffer_ || !player_ || !loadError_.isEmpty())
        return;
    player_->seek(*resumeOffer_);
    withdrawResumeOffer();
}

void PlayerManager::withdrawResumeOffer() {
    resumeOfferTimer_.stop();
    if (resumeOffer_)
        publish(resumeOffer_, std::nullopt);
}

void PlayerManager::rememberPosition() {
    if (!resumeStore_ || !player_ || !loadError_.isEmpty() || loadedSize_ < 0)
        return;
    switch (resume_rule::onLeaving(currentTime_, duration_)) {
    case resume_rule::Verdict::remember:
        resumeStore_->remember(
            loadedLocation_, loadedSize_,
            {currentTime_, chosenAudioTrack_, chosenSubtitleTrack_, subtitleDelay_, audioDelay_});
        break;
    case resume_rule::Verdict::forget:
        resumeStore_->forget(loadedLocation_, loadedSize_);
        break;
    case resume_rule::Verdict::leaveAsIs:
        return;
    }
    resumeStore_->save();
}

void PlayerManager::leaveUnneededSubtitlesOff() {
    const auto selected = [this](MediaTrack::Kind kind) -> const MediaTrack * {
        const auto found = std::find_if(tracks_.cbegin(), tracks_.cend(), [&](const auto &track) {
            return track.kind == kind && track.isSelected;
        });
        return found == tracks_.cend() ? nullptr : &*found;
    };
    const MediaTrack *audio = selected(MediaTrack::Kind::audio);
    if (subtitlesJudged_ || !audio)
        return;
    subtitlesJudged_ = true;
    // The engine shows subtitles in a language the reader knows. Under speech the reader
    // understands they are not wanted, unless marked forced or put beside the film as a file.
    const MediaTrack *subtitle = selected(MediaTrack::Kind::subtitle);
    if (subtitle && !subtitle->isForced && !subtitle->isExternal &&
        engineOptions_.trackLanguages.contains(audio->language, Qt::CaseInsensitive))
        engine()->selectTrack(true, 0);
}

void PlayerManager::restoreChosenTracks() {
    if (!tracksToRestore_ || tracks_.isEmpty())
        return;
    const ResumePoint chosen = *std::exchange(tracksToRestore_, std::nullopt);
    auto exists = [this](MediaTrack::Kind kind, int64_t id) {
        return std::any_of(tracks_.cbegin(), tracks_.cend(), [&](const MediaTrack &track) {
            return track.kind == kind && track.id == id;
        });
    };
    if (chosen.audioTrack && exists(MediaTrack::Kind::audio, *chosen.audioTrack))
        selectTrack(MediaTrack::Kind::audio, *chosen.audioTrack);
    // 0 is no subtitles: a choice too.
    if (chosen.subtitleTrack &&
        (*chosen.subtitleTrack == 0 || exists(MediaTrack::Kind::subtitle, *chosen.subtitleTrack)))
        selectTrack(MediaTrack::Kind::subtitle, *chosen.subtitleTrack);
}

void PlayerManager::readCoverArt() {
    // Enough for the information column on a dense screen; the cover itself is let go.
    constexpr int coverPixels = 256;
    const QByteArray path = local_file::path(currentURL_);
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                          QStringLiteral("/sonavel/covers");
    const quint64 serial = loadSerial_;
    // A cover read for a song already left would be wasted work.
    coverReader_.clear();
    coverReader_.start([this, path, cache, serial] {
        std::optional<CoverArt> art = cover_art::read(path, QSize(coverPixels, coverPixels), cache);
        if (!art)
            return;
        QMetaObject::invokeMethod(
            this,
            [this, serial, art = std::move(*art)] {
                if (loadSerial_ == serial && player_)
                    publish(coverArt_, art);
            },
            Qt::QueuedConnection);
    });
}

void PlayerManager::openFile(const QUrl &file) {
    const bool subtitle =
        media_kind::isSubtitleExtension(media_kind::lowerCaseExtension(media_kind::fileName(file)));
    if (!subtitle)
        return loadMedia(file);
    // Subtitles go with a film; given anything else, what plays goes on undisturbed.
    if (player_ && isVideo_ && loadError_.isEmpty())
        engine()->addSubtitle(local_file::path(file));
}

void PlayerManager::selectTrack(MediaTrack::Kind kind, int64_t id) {
    if (!player_ || !loadError_.isEmpty())
        return;
    engine()->selectTrack(kind == MediaTrack::Kind::subtitle, id);
    (kind == MediaTrack::Kind::subtitle ? chosenSubtitleTrack_ : chosenAudioTrack_) = id;
}

void PlayerManager::cleanup() {
    if (timeObserver_) {
        disconnect(timeObserver_);
        timeObserver_ = {};
    }
    if (playerItemObserver_) {
        disconnect(playerItemObserver_);
        playerItemObserver_ = {};
    }
    if (player_)
        player_->pause();
    publish(player_, nullptr);
    publish(isPlaying_, false);
    publish(currentTime_, 0.0);
    publish(duration_, 0.0);
}

void PlayerManager::togglePlayPause() {
    if (isPlaying_)
        pause();
    else
        play();
}

void PlayerManager::play() {
    if (!loadError_.isEmpty())
        return;
    if (player_)
        player_->play();
    publish(isPlaying_, true);
    publish(isStopped_, false);
}

void PlayerManager::pause() {
    if (player_)
        player_->pause();
    publish(isPlaying_, false);
}

void PlayerManager::stop() {
    rememberPosition();
    withdrawResumeOffer();
    if (player_) {
        player_->pause();
        player_->seek(0);
    }
    publish(isPlaying_, false);
    publish(isStopped_, true);
    publish(currentTime_, 0.0);
}

void PlayerManager::seek(double seconds) {
    // Going elsewhere in the file declines the offer.
    withdrawResumeOffer();
    if (player_)
        player_->seek(seconds);
}

void PlayerManager::handleEndOfTrack() {
    // Played to its end: finished, nothing to continue from.
    if (resumeStore_ && loadedSize_ >= 0) {
        resumeStore_->forget(loadedLocation_, loadedSize_);
        resumeStore_->save();
    }
    // mpv went on to the queued song already: what is heard next is that one.
    if (upNext_ && upNext_->hasStarted()) {
        awaitingUpNext_ = true;
        if (upNext_->isAudible())
            followUpNext();
        return;
    }
    switch (repeatMode_) {
    case RepeatMode::off:
        stop();
        break;
    case RepeatMode::one:
        if (player_)
            player_->seek(0);
        play();
        break;
    case RepeatMode::all:
    case RepeatMode::allRepeat:
        album_.played();
        if (!moveOnInAlbum()) {
            stop();
            if (!playlist_.isEmpty())
                Q_EMIT albumEnded();
        }
        break;
    }
}

bool PlayerManager::moveOnInAlbum() {
    const std::optional<qint64> next =
        AlbumSequence::nextEntry(repeatMode_, currentIndex_, playlist_.size());
    if (!next)
        return false;
    album_.movedOn();
    if (upNext_ && upNextIndex_ == *next && player_ && player_->isHandedOn()) {
        awaitingUpNext_ = true;
        if (upNext_->isAudible())
            followUpNext();
        return true;
    }
    publish(currentIndex_, *next);
    load(playlist_.at(*next));
    return true;
}

void PlayerManager::loadPlaylist(const QUrl &url) {
    std::optional<QList<QUrl>> entries = folder_playlist::audioEntriesBeside(url);
    if (!entries) {
        publish(playlist_, QList<QUrl>{url});
        publish(currentIndex_, qint64(0));
        updateNavigationState();
        return;
    }
    publish(playlist_, std::move(*entries));
    // By path bytes: a URL may spell the same name with different escapes.
    const QByteArray path = local_file::path(url);
    const auto found = std::find_if(playlist_.begin(), playlist_.end(), [&](const QUrl &entry) {
        return local_file::path(entry) == path;
    });
    publish(currentIndex_,
            found == playlist_.end() ? qint64(-1) : qint64(found - playlist_.begin()));
    updateNavigationState();
}

void PlayerManager::updateNavigationState() {
    publish(hasPrevious_, currentIndex_ > 0);
    publish(hasNext_, currentIndex_ >= 0 && currentIndex_ < playlist_.size() - 1);
}

void PlayerManager::playPrevious() {
    if (!hasPrevious_)
        return;
    publish(currentIndex_, currentIndex_ - 1);
    loadMedia(playlist_.at(currentIndex_));
}

void PlayerManager::playNext() {
    if (!hasNext_)
        return;
    publish(currentIndex_, currentIndex_ + 1);
    loadMedia(playlist_.at(currentIndex_));
}
