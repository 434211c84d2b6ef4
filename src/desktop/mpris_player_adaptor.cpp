#include "desktop/mpris_player_adaptor.h"

#include "desktop/media_controls.h"
#include "playback/local_file.h"
#include "playback/media_kind.h"
#include "playback/playback_speed.h"
#include "playback/player_manager.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double microseconds = 1e6;

} // namespace

MprisPlayerAdaptor::MprisPlayerAdaptor(MediaControls &controls)
    : QDBusAbstractAdaptor(&controls), controls_(controls) {}

QString MprisPlayerAdaptor::playbackStatus() const {
    const PlayerManager &manager = controls_.playerManager();
    // A file that cannot be played is not paused: nothing is under way.
    if (!manager.player() || manager.isStopped() || !manager.loadError().isEmpty())
        return QStringLiteral("Stopped");
    return manager.isPlaying() ? QStringLiteral("Playing") : QStringLiteral("Paused");
}

QString MprisPlayerAdaptor::loopStatus() const {
    switch (controls_.playerManager().repeatMode()) {
    case RepeatMode::one:
        return QStringLiteral("Track");
    case RepeatMode::allRepeat:
        return QStringLiteral("Playlist");
    case RepeatMode::off:
    case RepeatMode::all:
        break;
    }
    return QStringLiteral("None");
}

void MprisPlayerAdaptor::setLoopStatus(const QString &status) {
    PlayerManager &manager = controls_.playerManager();
    RepeatMode mode;
    if (status == u"Track")
        mode = RepeatMode::one;
    else if (status == u"Playlist")
        mode = RepeatMode::allRepeat;
    else if (status == u"None")
        mode = manager.repeatMode() == RepeatMode::off ? RepeatMode::off : RepeatMode::all;
    else
        return controls_.refuseCall(QStringLiteral("LoopStatus is None, Track or Playlist"));
    manager.setRepeatMode(mode);
    manager.setIsRepeating(mode == RepeatMode::one);
}

QVariantMap MprisPlayerAdaptor::metadata() const {
    const PlayerManager &manager = controls_.playerManager();
    if (!manager.player())
        return {{QStringLiteral("mpris:trackid"), QVariant::fromValue(controls_.trackId())}};
    QVariantMap data{
        {QStringLiteral("mpris:trackid"), QVariant::fromValue(controls_.trackId())},
        {QStringLiteral("xesam:url"), manager.currentURL().toString(QUrl::FullyEncoded)},
        {QStringLiteral("xesam:title"),
         manager.tags().title.isEmpty() ? manager.fileName() : manager.tags().title},
    };
    if (manager.duration() > 0)
        data.insert(QStringLiteral("mpris:length"),
                    qlonglong(std::llround(manager.duration() * microseconds)));
    if (!manager.tags().artist.isEmpty())
        data.insert(QStringLiteral("xesam:artist"), QStringList{manager.tags().artist});
    if (!manager.coverArt().cachedFile.isEmpty())
        data.insert(QStringLiteral("mpris:artUrl"), manager.coverArt().cachedFile.toString());
    if (!manager.tags().album.isEmpty())
        data.insert(QStringLiteral("xesam:album"), manager.tags().album);
    return data;
}

double MprisPlayerAdaptor::volume() const {
    // Muted is silent, whatever level unmuting would give back.
    const PlayerManager &manager = controls_.playerManager();
    return manager.isMuted() ? 0.0 : manager.volume();
}

void MprisPlayerAdaptor::setVolume(double volume) {
    // Not a number is no volume at all; anything below 0 is 0, as MPRIS says.
    if (std::isnan(volume))
        return controls_.refuseCall(QStringLiteral("Volume must be a number"));
    PlayerManager &manager = controls_.playerManager();
    manager.setVolume(std::clamp(volume, 0.0, 1.0));
    // A level asked for is meant to be heard.
    if (manager.isMuted())
        manager.setMuted(false);
}

double MprisPlayerAdaptor::rate() const {
    return controls_.playerManager().speed();
}

double MprisPlayerAdaptor::minimumRate() const {
    return playback_speed::minimum;
}

double MprisPlayerAdaptor::maximumRate() const {
    return playback_speed::maximum;
}

void MprisPlayerAdaptor::setRate(double rate) {
    // MPRIS reads a rate of 0 as a pause.
    if (rate == 0) {
        if (canPlay())
            controls_.playerManager().pause();
    } else if (!playback_speed::isWithinRange(rate)) {
        controls_.refuseCall(QStringLiteral("Rate is between %1 and %2")
                                 .arg(playback_speed::minimum)
                                 .arg(playback_speed::maximum));
    } else if (canPlay()) {
        controls_.playerManager().setSpeed(rate);
    }
}

void MprisPlayerAdaptor::setShuffle(bool shuffle) {
    if (shuffle)
        controls_.refuseCall(QStringLiteral("Sonavel plays a folder in its order; it does not "
                                            "shuffle"),
                             QDBusError::NotSupported);
}

qlonglong MprisPlayerAdaptor::position() const {
    const PlayerManager &manager = controls_.playerManager();
    const double seconds = manager.player() ? manager.player()->currentTime() : 0;
    return qlonglong(std::llround(seconds * microseconds));
}

bool MprisPlayerAdaptor::canGoNext() const {
    return controls_.playerManager().hasNext();
}

bool MprisPlayerAdaptor::canGoPrevious() const {
    return controls_.playerManager().hasPrevious();
}

bool MprisPlayerAdaptor::canPlay() const {
    const PlayerManager &manager = controls_.playerManager();
    return manager.player() != nullptr && manager.loadError().isEmpty();
}

void MprisPlayerAdaptor::Next() {
    controls_.playerManager().playNext();
}

void MprisPlayerAdaptor::Previous() {
    controls_.playerManager().playPrevious();
}

void MprisPlayerAdaptor::Pause() {
    if (canPlay())
        controls_.playerManager().pause();
}

void MprisPlayerAdaptor::PlayPause() {
    if (canPlay())
        controls_.playerManager().togglePlayPause();
}

void MprisPlayerAdaptor::Stop() {
    if (canPlay())
        controls_.playerManager().stop();
}

void MprisPlayerAdaptor::Play() {
    if (canPlay())
        controls_.playerManager().play();
}

void MprisPlayerAdaptor::Seek(qlonglong offset) {
    PlayerManager &manager = controls_.playerManager();
    if (!canPlay())
        return;
    const double target = position() / microseconds + offset / microseconds;
    // Past the end is the next track, as MPRIS asks of Seek.
    if (manager.duration() > 0 && target > manager.duration())
        return manager.playNext();
    manager.seek(std::max(target, 0.0));
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath &trackId, qlonglong position) {
    PlayerManager &manager = controls_.playerManager();
    // A request about a file no longer loaded is stale.
    if (!canPlay() || trackId != controls_.trackId() || position < 0 ||
        position / microseconds > manager.duration())
        return;
    manager.seek(position / microseconds);
}

void MprisPlayerAdaptor::OpenUri(const QString &uri) {
    // Local files only: Sonavel never opens anything from the network.
    const QByteArray text = uri.toUtf8();
    const QUrl file = local_file::isFileUrl(text) ? local_file::fromArgument(text) : QUrl();
    if (file.isEmpty())
        return controls_.refuseCall(QStringLiteral("only local file: URIs can be opened"));
    controls_.playerManager().loadMedia(file);
}
