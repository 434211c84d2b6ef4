#include "desktop/media_controls.h"

#include "desktop/mpris_player_adaptor.h"
#include "desktop/mpris_properties_adaptor.h"
#include "desktop/mpris_root_adaptor.h"
#include "playback/player_manager.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QMetaProperty>

namespace {

// The properties of an adaptor's interface as they read now; Position is read on demand, never
// announced.
QVariantMap properties(const QObject &adaptor) {
    QVariantMap properties;
    const QMetaObject *meta = adaptor.metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (qstrcmp(property.name(), "Position") != 0)
            properties.insert(QString::fromLatin1(property.name()), property.read(&adaptor));
    }
    return properties;
}

} // namespace

MediaControls::MediaControls(PlayerManager &playerManager, Window window, QObject *parent)
    : QObject(parent), playerManager_(playerManager), window_(std::move(window)) {
    root_ = new MprisRootAdaptor(*this);
    player_ = new MprisPlayerAdaptor(*this);
    new MprisPropertiesAdaptor(*this);
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
    announcedRoot_ = properties(*root_);
    announcedPlayer_ = properties(*player_);
    return true;
}

QDBusObjectPath MediaControls::trackId() const {
    if (!playerManager_.player())
        return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    return QDBusObjectPath(
        QStringLiteral("/io/sonavel/Sonavel/track/%1").arg(playerManager_.loadSerial()));
}

void MediaControls::refuseCall(const QString &message, QDBusError::ErrorType error) {
    if (calledFromDBus())
        sendErrorReply(error, message);
}

void MediaControls::refresh() {
    pending_.start();
}

void MediaControls::announceChanges() {
    if (!published_)
        return;
    announceInterface(*root_, announcedRoot_);
    announceInterface(*player_, announcedPlayer_);
}

void MediaControls::announceInterface(const QObject &adaptor, QVariantMap &announced) {
    const QVariantMap now = properties(adaptor);
    QVariantMap changed;
    for (auto it = now.begin(); it != now.end(); ++it) {
        if (announced.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    announced = now;
    if (changed.isEmpty())
        return;
    QDBusMessage signal =
        QDBusMessage::createSignal(objectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    const char *interface =
        adaptor.metaObject()
            ->classInfo(adaptor.metaObject()->indexOfClassInfo("D-Bus Interface"))
            .value();
    signal << QString::fromLatin1(interface) << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}
