#pragma once

#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>

class PlayerManager;

// The icon in the desktop's tray: whether something plays, and a click to pause or resume.
// It polls the player manager every 0.3 s rather than observing it. No menu. Where the desktop
// has no tray nothing shows, and nothing fails.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    struct Look {
        QString symbol;
        QString description;
        bool operator==(const Look &) const = default;
    };
    // Nothing loaded, playing, or loaded and not playing.
    static Look lookFor(bool hasPlayer, bool isPlaying);

    TrayIcon(PlayerManager &playerManager, std::function<void()> bringWindowForward,
             QObject *parent = nullptr);

    const Look &look() const { return look_; }
    QSystemTrayIcon &systemTrayIcon() { return icon_; }

    static constexpr int refreshIntervalMs = 300;

private:
    void refresh();
    void activated(QSystemTrayIcon::ActivationReason reason);

    PlayerManager &playerManager_;
    std::function<void()> bringWindowForward_;
    QSystemTrayIcon icon_;
    QTimer refresh_;
    Look look_;
};
