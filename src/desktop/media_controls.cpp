#include "desktop/media_controls.h"

#include "desktop/mpris_player_adaptor.h"
#include "desktop/mpris_root_adaptor.h"
#include "playback/player_manager.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QMetaProperty>

MediaControls::MediaControls(PlayerManager &playerManager, std::function<void()> raise,
                             QObject *parent)
    : QObject(parent), playerManager_(playerManager) {
    new MprisRootAdaptor(this, std::move(raise));
    player_ = new MprisPlayerAdaptor(*this);
    // Many fields change together: announce once, when all are in place.
    pending_.setSingleShot(true);
    pending_.setInterval(0);
    connect(&pending_, &QTimer::timeout, this, &MediaControls::announceChanges);
    connect(&playerManager_, &PlayerManager::objectWillChange, &pending_,
            qOverload<>(&QTimer::start));
    connect(&playerManager_, &PlayerManager::seeked, player_,
            [this](double seconds) { Q_EMIT player_->Seeked(qlonglong(seconds * 1e6)); });
}

MediaControls::~MediaControls() {
    if (published_)
        QDBusConnection::sessionBus().unregisterService(serviceName);
}

bool MediaControls::publish() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (!bus.registerObject(objectPath, this))
        return false;
    if (!bus.registerService(serviceName)) {
        bus.unregisterObject(objectPath);
        return false;
    }
    published_ = true;
    announced_ = playerProperties();
    return true;
}

QDBusObjectPath MediaControls::trackId() const {
    if (!playerManager_.player())
        return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    return QDBusObjectPath(
        QStringLiteral("/io/sonavel/Sonavel/track/%1").arg(playerManager_.loadSerial()));
}

void MediaControls::refuseCall(const QString &message) {
    if (calledFromDBus())
        sendErrorReply(QDBusError::InvalidArgs, message);
}

QVariantMap MediaControls::playerProperties() const {
    // Position is read on demand, never announced.
    QVariantMap properties;
    const QMetaObject *meta = player_->metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (qstrcmp(property.name(), "Position") != 0)
            properties.insert(QString::fromLatin1(property.name()), property.read(player_));
    }
    return properties;
}

void MediaControls::announceChanges() {
    if (!published_)
        return;
    const QVariantMap now = playerProperties();
    QVariantMap changed;
    for (auto it = now.begin(); it != now.end(); ++it) {
        if (announced_.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    announced_ = now;
    if (changed.isEmpty())
        return;
    QDBusMessage signal =
        QDBusMessage::createSignal(objectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}
