#include "app/app_delegate.h"

#include "app/dark_appearance.h"
#include "app/default_player_prompt.h"
#include "app/main_menu.h"
#include "app/tray_icon.h"
#include "app/window_fitting.h"
#include "app/window_frame_text.h"
#include "i18n/localization.h"
#include "playback/media_kind.h"
#include "playback/player_manager.h"
#include "views/content_view.h"
#include "views/open_panel.h"

#include <QApplication>
#include <QIcon>
#include <QMainWindow>
#include <QScreen>
#include <QSettings>
#include <QStyle>

namespace {

const QString windowFrameKey = QStringLiteral("windowFrame");

// A stored frame that lies wholly off every screen would give an unreachable window.
bool isOnSomeScreen(const QRectF &frame) {
    const QList<QScreen *> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(), [&](const QScreen *screen) {
        return QRectF(screen->geometry()).intersects(frame);
    });
}

} // namespace

AppDelegate::AppDelegate(QStringList arguments, MpvEngine::Options engineOptions, QObject *parent)
    : WindowDelegate(parent), arguments_(std::move(arguments)),
      engineOptions_(std::move(engineOptions)) {
    // The views reach the full screen through this, and not at all once the delegate is gone.
    FullScreenController::install(this, this);
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    // Dark before any view is built or shown: views take their colours from the palette, and
    // the window never flashes in the desktop's colours.
    applyDarkAppearance(*qApp);
    playerManager_ = std::make_unique<PlayerManager>(engineOptions_);
    playerManager_->setWindowDelegate(this);

    window_ = std::make_unique<QMainWindow>();
    auto *contentView = new ContentView(*playerManager_, arguments_, window_.get());
    window_->resize(initialWidth, initialHeight);
    restoreOrCentreWindow();
    window_->setWindowTitle(L.get(u"appName"));
    // The installed icon theme's, or the bundled one when run from a build tree.
    window_->setWindowIcon(QIcon::fromTheme(QStringLiteral("io.sonavel.Sonavel"),
                                            QIcon(QStringLiteral(":/io.sonavel.Sonavel.svg"))));
    window_->setCentralWidget(contentView);
    qApp->setQuitOnLastWindowClosed(applicationShouldTerminateAfterLastWindowClosed());
    window_->show();
    setupMenu();
    setupMenuBarIcon();
    checkDefaultPlayer();
}

void AppDelegate::checkDefaultPlayer() {
    defaultPlayerPrompt_ = std::make_unique<DefaultPlayerPrompt>(window_.get());
    defaultPlayerPrompt_->checkDefaultPlayer();
}

void AppDelegate::setupMenuBarIcon() {
    statusItem_ = std::make_unique<TrayIcon>(*playerManager_, [this] { bringWindowForward(); });
}

void AppDelegate::setupMenu() {
    buildMainMenu(*window_, Localization::shared(),
                  {.quit = [] { QCoreApplication::quit(); },
                   .openFile = [this] { openFile(); },
                   .close = [this] { window_->close(); },
                   .toggleFullScreen = [this] { toggleFullScreenMenu(); }});
}

void AppDelegate::openFile() {
    const QUrl chosen = open_panel::chooseMediaFile(window_.get());
    if (!chosen.isEmpty())
        playerManager_->loadMedia(chosen);
}

void AppDelegate::toggleFullScreenMenu() {
    toggleCustomFullScreen();
}

void AppDelegate::openFileHandedOver(const QString &path) {
    const QUrl file = media_kind::localFileUrl(path);
    if (file.isEmpty())
        return;
    // Deferred to the event loop: a hand-over may arrive before launching has finished.
    QMetaObject::invokeMethod(
        this,
        [this, file] {
            if (!playerManager_ || !window_)
                return;
            playerManager_->loadMedia(file);
            bringWindowForward();
        },
        Qt::QueuedConnection);
}

void AppDelegate::bringWindowForward() {
    if (!window_)
        return;
    if (window_->isMinimized())
        window_->showNormal();
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void AppDelegate::enterCustomFullScreen() {
    if (window_)
        customFullScreen_.enter(*window_);
}

void AppDelegate::exitCustomFullScreen() {
    if (window_)
        customFullScreen_.exit(*window_);
}

void AppDelegate::toggleCustomFullScreen() {
    if (isInCustomFullScreen())
        exitCustomFullScreen();
    else
        enterCustomFullScreen();
}

void AppDelegate::restoreOrCentreWindow() {
    const std::optional<QRectF> stored =
        window_frame_text::fromString(QSettings().value(windowFrameKey).toString());
    if (stored && isOnSomeScreen(*stored)) {
        window_->setGeometry(stored->toRect());
        return;
    }
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        window_->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window_->size(),
                                                 screen->availableGeometry()));
    }
}

void AppDelegate::saveWindowPosition() {
    if (!window_)
        return;
    QSettings().setValue(windowFrameKey, window_frame_text::toString(window_->geometry()));
}

void AppDelegate::resizeAndPositionWindow(QSizeF size, bool isVideo) {
    if (!isVideo || !window_)
        return;
    QScreen *screen = window_->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // Fit the client area within the usable area less the window manager's decorations, so
    // that the title bar stays on screen too.
    const QRect client = window_->geometry();
    const QRect outer = window_->frameGeometry();
    const QMargins decorations(client.left() - outer.left(), client.top() - outer.top(),
                               outer.right() - client.right(), outer.bottom() - client.bottom());
    // The menu bar sits in the window here, above the content: the video gets the room the
    // fit gives it, and the window is that much taller.
    const QWidget *menuBar = window_->menuWidget();
    const int menuHeight = menuBar && menuBar->isVisible() ? menuBar->height() : 0;
    const QRectF usable =
        screen->availableGeometry().marginsRemoved(decorations).adjusted(0, menuHeight, 0, 0);
    window_->setGeometry(fitWindowFrame(size, usable).toRect().adjusted(0, -menuHeight, 0, 0));
    saveWindowPosition();
}
