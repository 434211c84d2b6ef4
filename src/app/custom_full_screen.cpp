#include "app/custom_full_screen.h"

#include <QMainWindow>
#include <QScreen>
#include <QWindow>

namespace {

constexpr Qt::WindowFlags fullScreenFlags = Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;

void setMenuBarShown(QMainWindow &window, bool shown) {
    // Hidden, not removed: its actions' shortcuts stay with the window.
    if (QWidget *menuBar = window.menuWidget())
        menuBar->setVisible(shown);
}

// Changed on the native window in place: QWidget::setWindowFlags would destroy and recreate it,
// and with it the video surface's native window inside.
void setFullScreenFlags(QMainWindow &window, bool on) {
    QWindow *handle = window.windowHandle();
    if (!handle) {
        window.setWindowFlags(on ? window.windowFlags() | fullScreenFlags
                                 : window.windowFlags() & ~fullScreenFlags);
        return;
    }
    handle->setFlags(on ? handle->flags() | fullScreenFlags : handle->flags() & ~fullScreenFlags);
}

} // namespace

void CustomFullScreen::enter(QMainWindow &window) {
    if (isActive_)
        return;
    const QScreen *screen = window.screen();
    if (!screen)
        return;
    savedWindowFrame_ = window.geometry();
    isActive_ = true;
    setMenuBarShown(window, false);
    setFullScreenFlags(window, true);
    window.setGeometry(screen->geometry());
}

void CustomFullScreen::exit(QMainWindow &window) {
    if (!isActive_)
        return;
    isActive_ = false;
    setMenuBarShown(window, true);
    setFullScreenFlags(window, false);
    if (savedWindowFrame_)
        window.setGeometry(*savedWindowFrame_);
}
