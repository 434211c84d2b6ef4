#pragma once

#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>
#include <memory>

class PlayerManager;

// The icon in the desktop's tray: whether something plays, and a click to pause or resume.
// It polls the player manager every 0.3 s rather than observing it. No menu. Made only where
// the desktop has a tray to show it in (an X11 tray appearing later is noticed); elsewhere
// nothing is made and nothing fails.
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
    // Draws a named symbol; the application's own drawing, so that the icon matches the window.
    using SymbolPainter = std::function<QIcon(const QString &symbol)>;
    // A drawn symbol as pixmaps: a tray host shows those, where it could not find a symbol's
    // name in any icon theme.
    static QIcon trayIconFor(const QIcon &drawn);

    TrayIcon(PlayerManager &playerManager, SymbolPainter paintSymbol,
             std::function<void()> bringWindowForward, QObject *parent = nullptr);
    ~TrayIcon() override;

    const Look &look() const { return look_; }
    // nullptr while the desktop has no tray.
    QSystemTrayIcon *systemTrayIcon() const { return icon_.get(); }

    static constexpr int refreshIntervalMs = 300;
    static constexpr int trayCheckIntervalMs = 3000;

private:
    void createIfTrayAvailable();
    void refresh();
    void activated(QSystemTrayIcon::ActivationReason reason);

    PlayerManager &playerManager_;
    SymbolPainter paintSymbol_;
    std::function<void()> bringWindowForward_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    QTimer refresh_;
    QTimer trayCheck_;
    Look look_;
};
