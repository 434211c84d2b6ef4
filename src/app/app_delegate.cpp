#include "app/app_delegate.h"

#include "app/dark_appearance.h"
#include "app/main_menu.h"
#include "app/window_fitting.h"
#include "app/window_frame_text.h"
#include "desktop/default_player_prompt.h"
#include "desktop/media_controls.h"
#include "desktop/preferences.h"
#include "desktop/tray_icon.h"
#include "desktop/window_system.h"
#include "i18n/localization.h"
#include "playback/player_manager.h"
#include "views/content_view.h"
#include "views/open_panel.h"
#include "views/state_observer.h"
#include "views/style.h"
#include "views/symbols.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QMainWindow>
#include <QScreen>
#include <QStyle>

#include <cmath>

namespace {

const QString windowFrameKey = QStringLiteral("windowFrame");
const QString volumeKey = QStringLiteral("volume");

QList<QRect> usableAreas() {
    QList<QRect> areas;
    for (const QScreen *screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    return areas;
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
    // Films speak and subtitle in the languages the interface is chosen from.
    if (engineOptions_.trackLanguages.isEmpty())
        engineOptions_.trackLanguages = trackLanguageCodes(QLocale::system().uiLanguages());
    playerManager_ = std::make_unique<PlayerManager>(engineOptions_);
    playerManager_->setWindowDelegate(this);
    restoreVolume();

    window_ = std::make_unique<QMainWindow>();
    contentView_ = new ContentView(*playerManager_, arguments_, window_.get());
    connect(contentView_, &ContentView::startedUp, this, &AppDelegate::playPendingHandOver);
    window_->resize(initialWidth, initialHeight);
    restoreOrCentreWindow();
    window_->setWindowTitle(L.get(u"appName"));
    // The installed icon theme's, or the bundled one when run from a build tree.
    window_->setWindowIcon(QIcon::fromTheme(QStringLiteral("io.sonavel.Sonavel"),
                                            QIcon(QStringLiteral(":/io.sonavel.Sonavel.svg"))));
    window_->setCentralWidget(contentView_);
    window_->installEventFilter(this);
    qApp->setQuitOnLastWindowClosed(applicationShouldTerminateAfterLastWindowClosed());
    window_->show();
    // Started from the desktop on Wayland: the token it gave lets the new window take the focus.
    if (window_system::desktopPlacesWindows()) {
        const QByteArray launchToken = qgetenv("XDG_ACTIVATION_TOKEN");
        qunsetenv("XDG_ACTIVATION_TOKEN");
        if (!launchToken.isEmpty())
            window_system::bringForward(*window_, launchToken);
    }
    setupMenu();
    setupMenuBarIcon();
    setupMediaControls();
    checkDefaultPlayer();
}

void AppDelegate::setupMediaControls() {
    mediaControls_ =
        std::make_unique<MediaControls>(*playerManager_, [this] { bringWindowForward(); });
    // Without a session bus Sonavel plays all the same.
    mediaControls_->publish();
}

void AppDelegate::restoreVolume() {
    bool ok = false;
    const double stored = preferences::value(volumeKey).toDouble(&ok);
    // A garbled value is full volume.
    savedVolume_ = ok && std::isfinite(stored) && stored >= 0 && stored <= 1 ? stored : 1.0;
    playerManager_->setVolume(savedVolume_);
    // Remembered when it changes, however it was changed; looked at once per batch of changes.
    new StateObserver(*playerManager_, this, [this] { saveVolume(); });
}

void AppDelegate::saveVolume() {
    if (!playerManager_ || playerManager_->volume() == savedVolume_)
        return;
    savedVolume_ = playerManager_->volume();
    preferences::setValue(volumeKey, savedVolume_);
}

void AppDelegate::checkDefaultPlayer() {
    defaultPlayerPrompt_ = std::make_unique<DefaultPlayerPrompt>(window_.get());
    defaultPlayerPrompt_->checkDefaultPlayer();
}

void AppDelegate::setupMenuBarIcon() {
    statusItem_ = std::make_unique<TrayIcon>(
        *playerManager_,
        [](const QString &symbol) { return symbols::icon(symbol, style::primary()); },
        [this] { bringWindowForward(); });
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

void AppDelegate::openFileHandedOver(const QUrl &file, const QByteArray &activationToken) {
    if (file.isEmpty())
        return;
    pendingHandOver_ = file;
    pendingActivationToken_ = activationToken;
    // Deferred to the event loop: a hand-over may arrive before launching has finished.
    QMetaObject::invokeMethod(this, &AppDelegate::playPendingHandOver, Qt::QueuedConnection);
}

void AppDelegate::playPendingHandOver() {
    if (pendingHandOver_.isEmpty() || !playerManager_ || !contentView_ ||
        !contentView_->hasStartedUp())
        return;
    playerManager_->loadMedia(std::exchange(pendingHandOver_, QUrl()));
    bringWindowForward(std::exchange(pendingActivationToken_, QByteArray()));
}

void AppDelegate::bringWindowForward(const QByteArray &activationToken) {
    if (window_)
        window_system::bringForward(*window_, activationToken);
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event) {
    if (watched == window_.get() && event->type() == QEvent::WindowStateChange) {
        const bool wasFullScreen = isInCustomFullScreen();
        customFullScreen_.windowStateChanged(*window_);
        if (wasFullScreen && !isInCustomFullScreen())
            keepWindowedSize();
    }
    // A compositor may answer an older request with another size just after a fit or after
    // leaving full screen (mutter does on first showing the window, weston on leaving): the
    // size is asked for again, for a short while only, so as never to fight the desktop.
    if (watched == window_.get() && event->type() == QEvent::Resize && sizeHeldSince_.isValid() &&
        sizeHeldSince_.elapsed() < lateResizeMs && window_->size() != heldSize_ &&
        window_->windowState() == Qt::WindowNoState) {
        QMetaObject::invokeMethod(
            this, [this] { window_->resize(heldSize_); }, Qt::QueuedConnection);
    }
    return WindowDelegate::eventFilter(watched, event);
}

void AppDelegate::enterCustomFullScreen() {
    if (window_)
        customFullScreen_.enter(*window_);
}

void AppDelegate::exitCustomFullScreen() {
    if (!window_ || !isInCustomFullScreen())
        return;
    customFullScreen_.exit(*window_);
    keepWindowedSize();
}

void AppDelegate::keepWindowedSize() {
    // The compositor's answer to leaving may come with another size than the one given back.
    if (window_system::desktopPlacesWindows() && savedWindowFrame())
        holdSize(savedWindowFrame()->size());
}

void AppDelegate::holdSize(QSize size) {
    heldSize_ = size;
    sizeHeldSince_.start();
    window_->resize(size);
}

void AppDelegate::toggleCustomFullScreen() {
    if (isInCustomFullScreen())
        exitCustomFullScreen();
    else
        enterCustomFullScreen();
}

void AppDelegate::restoreOrCentreWindow() {
    const std::optional<QRectF> stored =
        window_frame_text::fromString(preferences::value(windowFrameKey).toString());
    if (window_system::desktopPlacesWindows()) {
        // The size alone, no larger than the screen's; the desktop chooses where it goes.
        const QScreen *screen = QGuiApplication::primaryScreen();
        if (stored && screen) {
            const QRect area = screen->availableGeometry();
            if (const std::optional<QRect> frame =
                    placeStoredFrame(QRectF(area.topLeft(), stored->size()), {area}))
                window_->resize(frame->size());
        }
        return;
    }
    // Only a frame that fits sensibly on a screen is used, moved and shrunk onto it if need be.
    if (const std::optional<QRect> frame =
            stored ? placeStoredFrame(*stored, usableAreas()) : std::nullopt) {
        window_->setGeometry(*frame);
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
    QRect frame = window_->geometry();
    if (window_system::desktopPlacesWindows()) {
        const std::optional<QRectF> stored =
            window_frame_text::fromString(preferences::value(windowFrameKey).toString());
        const QScreen *screen = QGuiApplication::primaryScreen();
        if (stored)
            frame.moveTopLeft(stored->topLeft().toPoint());
        else if (screen)
            frame = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, frame.size(),
                                        screen->availableGeometry());
    }
    preferences::setValue(windowFrameKey, window_frame_text::toString(frame));
}

void AppDelegate::resizeAndPositionWindow(QSizeF size, bool isVideo) {
    // In full screen the window keeps the screen; leaving gives back the frame from before.
    if (!isVideo || !window_ || isInCustomFullScreen())
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
    const QRect fitted = fitWindowFrame(size, usable).toRect().adjusted(0, -menuHeight, 0, 0);
    if (window_system::desktopPlacesWindows())
        holdSize(fitted.size());
    else
        window_->setGeometry(fitted);
    saveWindowPosition();
}
