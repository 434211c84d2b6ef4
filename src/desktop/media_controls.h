#pragma once

#include <QDBusContext>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

#include <functional>

class MprisPlayerAdaptor;
class MprisRootAdaptor;
class PlayerManager;

// The desktop's media controls (MPRIS 2 on the session bus): GNOME's and KDE's media applets,
// media keys routed by the desktop, playerctl. Everything shown comes from the player manager;
// changes are announced with PropertiesChanged as they happen, so nobody needs to poll.
class MediaControls : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    // What the media controls may do with the window.
    struct Window {
        std::function<void()> raise;
        std::function<bool()> isFullScreen;
        std::function<void(bool)> setFullScreen;
    };

    MediaControls(PlayerManager &playerManager, Window window, QObject *parent = nullptr);
    ~MediaControls() override;

    // Takes the bus name and shows the player; false (and nothing else) without a session bus
    // or when the name is taken.
    bool publish();

    PlayerManager &playerManager() const { return playerManager_; }
    const Window &window() const { return window_; }
    // Something shown that the player manager does not hold changed (full screen): announced
    // with the next batch of changes.
    void refresh();
    // The object path naming the loaded file; a new one for every load.
    QDBusObjectPath trackId() const;
    // Refuses the D-Bus call being answered, with `message`.
    void refuseCall(const QString &message, QDBusError::ErrorType error = QDBusError::InvalidArgs);

    static inline const QString serviceName = QStringLiteral("org.mpris.MediaPlayer2.sonavel");
    static inline const QString objectPath = QStringLiteral("/org/mpris/MediaPlayer2");

private:
    void announceChanges();
    void announceInterface(const QObject &adaptor, QVariantMap &announced);

    PlayerManager &playerManager_;
    Window window_;
    MprisRootAdaptor *root_ = nullptr;
    MprisPlayerAdaptor *player_ = nullptr;
    QTimer pending_;
    QVariantMap announcedRoot_;
    QVariantMap announcedPlayer_;
    bool published_ = false;
};
