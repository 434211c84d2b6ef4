#include "app/custom_full_screen.h"

#include <QMainWindow>
#include <QScreen>

namespace {

constexpr Qt::WindowFlags fullScreenFlags = Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;

void setMenuBarShown(QMainWindow &window, bool shown) {
    // Hidden, not removed: its actions' shortcuts stay with the window.
    if (QWidget *menuBar = window.menuWidget())
        menuBar->setVisible(shown);
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
    // Changing the flags of a shown window hides it: show it again in its new form.
    window.setWindowFlags(window.windowFlags() | fullScreenFlags);
    window.setGeometry(screen->geometry());
    window.show();
}

void CustomFullScreen::exit(QMainWindow &window) {
    if (!isActive_)
        return;
    isActive_ = false;
    setMenuBarShown(window, true);
    window.setWindowFlags(window.windowFlags() & ~fullScreenFlags);
    if (savedWindowFrame_)
        window.setGeometry(*savedWindowFrame_);
    window.show();
}
