#include "desktop/tray_icon.h"

#include "playback/player_manager.h"

#include <QGuiApplication>

TrayIcon::Look TrayIcon::lookFor(bool hasPlayer, bool isPlaying) {
    if (!hasPlayer)
        return {QStringLiteral("play.circle"), QStringLiteral("Sonavel")};
    if (isPlaying)
        return {QStringLiteral("pause.circle.fill"), QStringLiteral("Pause")};
    return {QStringLiteral("play.circle.fill"), QStringLiteral("Play")};
}

QIcon TrayIcon::trayIconFor(const QIcon &drawn) {
    // Rendered into a nameless icon: with a name, Qt would publish the name alone.
    QIcon icon;
    for (const int side : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(drawn.pixmap(side, side));
    return icon;
}

TrayIcon::TrayIcon(PlayerManager &playerManager, SymbolPainter paintSymbol,
                   std::function<void()> bringWindowForward, QObject *parent)
    : QObject(parent), playerManager_(playerManager), paintSymbol_(std::move(paintSymbol)),
      bringWindowForward_(std::move(bringWindowForward)), refresh_(this), trayCheck_(this) {
    refresh_.setInterval(refreshIntervalMs);
    connect(&refresh_, &QTimer::timeout, this, &TrayIcon::refresh);
    createIfTrayAvailable();
    // Qt finds an X11 tray that starts later, but does not say when: looked for now and then.
    // (A StatusNotifier host is looked for once only, by Qt itself.)
    if (!icon_ && QGuiApplication::platformName() == QLatin1String("xcb")) {
        trayCheck_.setInterval(trayCheckIntervalMs);
        connect(&trayCheck_, &QTimer::timeout, this, &TrayIcon::createIfTrayAvailable);
        trayCheck_.start();
    }
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::createIfTrayAvailable() {
    if (icon_ || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    trayCheck_.stop();
    icon_ = std::make_unique<QSystemTrayIcon>();
    connect(icon_.get(), &QSystemTrayIcon::activated, this, &TrayIcon::activated);
    look_ = {};
    refresh();
    refresh_.start();
    icon_->show();
}

void TrayIcon::refresh() {
    const Look look = lookFor(playerManager_.player() != nullptr, playerManager_.isPlaying());
    // Drawn again only when it changes: the tray host repaints on every new icon.
    if (look == look_)
        return;
    look_ = look;
    icon_->setIcon(trayIconFor(paintSymbol_(look.symbol)));
    icon_->setToolTip(look.description);
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
