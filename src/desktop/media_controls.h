#pragma once

#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

#include <functional>

class MprisPlayerAdaptor;
class PlayerManager;

// The desktop's media controls (MPRIS 2 on the session bus): GNOME's and KDE's media applets,
// media keys routed by the desktop, playerctl. Everything shown comes from the player manager;
// changes are announced with PropertiesChanged as they happen, so nobody needs to poll.
class MediaControls : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    MediaControls(PlayerManager &playerManager, std::function<void()> raise,
                  QObject *parent = nullptr);
    ~MediaControls() override;

    // Takes the bus name and shows the player; false (and nothing else) without a session bus
    // or when the name is taken.
    bool publish();

    PlayerManager &playerManager() const { return playerManager_; }
    // The object path naming the loaded file; a new one for every load.
    QDBusObjectPath trackId() const;
    // Refuses the D-Bus call being answered, with `message`.
    void refuseCall(const QString &message);

    static inline const QString serviceName = QStringLiteral("org.mpris.MediaPlayer2.sonavel");
    static inline const QString objectPath = QStringLiteral("/org/mpris/MediaPlayer2");

private:
    void announceChanges();
    QVariantMap playerProperties() const;

    PlayerManager &playerManager_;
    MprisPlayerAdaptor *player_ = nullptr;
    QTimer pending_;
    QVariantMap announced_;
    bool published_ = false;
};
