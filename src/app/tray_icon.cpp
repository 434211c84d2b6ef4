#include "app/tray_icon.h"

#include "playback/player_manager.h"
#include "views/style.h"
#include "views/symbols.h"

TrayIcon::Look TrayIcon::lookFor(bool hasPlayer, bool isPlaying) {
    if (!hasPlayer)
        return {QStringLiteral("play.circle"), QStringLiteral("Sonavel")};
    if (isPlaying)
        return {QStringLiteral("pause.circle.fill"), QStringLiteral("Pause")};
    return {QStringLiteral("play.circle.fill"), QStringLiteral("Play")};
}

TrayIcon::TrayIcon(PlayerManager &playerManager, std::function<void()> bringWindowForward,
                   QObject *parent)
    : QObject(parent), playerManager_(playerManager),
      bringWindowForward_(std::move(bringWindowForward)), icon_(this), refresh_(this) {
    connect(&icon_, &QSystemTrayIcon::activated, this, &TrayIcon::activated);
    refresh_.setInterval(refreshIntervalMs);
    connect(&refresh_, &QTimer::timeout, this, &TrayIcon::refresh);
    refresh();
    refresh_.start();
    icon_.show();
}

void TrayIcon::refresh() {
    const Look look = lookFor(playerManager_.player() != nullptr, playerManager_.isPlaying());
    // Drawn again only when it changes: the tray host repaints on every new icon.
    if (look == look_ && !icon_.icon().isNull())
        return;
    look_ = look;
    icon_.setIcon(symbols::icon(look.symbol, style::primary()));
    icon_.setToolTip(look.description);
}

void TrayIcon::activated(QSystemTrayIcon::ActivationReason reason) {
    // Every left click acts, the second of a quick pair too (which Qt reports as DoubleClick).
    const bool leftClick =
        reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick;
    if (leftClick && playerManager_.player())
        playerManager_.togglePlayPause();
    else if (leftClick || reason == QSystemTrayIcon::Context)
        bringWindowForward_();
}
