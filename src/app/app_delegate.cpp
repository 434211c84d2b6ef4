#include "app/app_delegate.h"

#include "app/dark_appearance.h"
#include "app/window_fitting.h"
#include "app/window_frame_text.h"
#include "i18n/localization.h"
#include "playback/player_manager.h"
#include "views/content_view.h"

#include <QApplication>
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
    window_->setCentralWidget(contentView);
    qApp->setQuitOnLastWindowClosed(applicationShouldTerminateAfterLastWindowClosed());
    window_->show();
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
    const QRectF usable = screen->availableGeometry().marginsRemoved(decorations);
    window_->setGeometry(fitWindowFrame(size, usable).toRect());
    saveWindowPosition();
}
