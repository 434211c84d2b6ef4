#include "app/custom_full_screen.h"

#include "desktop/window_system.h"

#include <QMainWindow>

namespace {

void setMenuBarShown(QMainWindow &window, bool shown) {
    // Hidden, not removed: its actions' shortcuts stay with the window.
    if (QWidget *menuBar = window.menuWidget())
        menuBar->setVisible(shown);
}

} // namespace

void CustomFullScreen::enter(QMainWindow &window, std::optional<QSize> windowedSize) {
    if (isActive_)
        return;
    savedWindowFrame_ = window.geometry();
    if (windowedSize)
        savedWindowFrame_->setSize(*windowedSize);
    isActive_ = true;
    setMenuBarShown(window, false);
    // Only the state changes: the native window, and the video surface in it, stay as they are.
    requestState(window);
    window.show();
}

void CustomFullScreen::requestState(QMainWindow &window) {
    lastRequest_.start();
    const Qt::WindowStates state = window.windowState() & ~Qt::WindowMinimized;
    window.setWindowState(isActive_ ? state | Qt::WindowFullScreen : state & ~Qt::WindowFullScreen);
}

void CustomFullScreen::exit(QMainWindow &window) {
    if (!isActive_)
        return;
    isActive_ = false;
    setMenuBarShown(window, true);
    requestState(window);
    restoreWindowedFrame(window);
}

void CustomFullScreen::restoreWindowedFrame(QMainWindow &window) const {
    // A maximised window goes back to being maximised, which the desktop sizes.
    if (!savedWindowFrame_ || window.isMaximized())
        return;
    if (window_system::desktopPlacesWindows())
        window.resize(savedWindowFrame_->size());
    else
        window.setGeometry(*savedWindowFrame_);
}

bool CustomFullScreen::isAwaitingAnswer() const {
    return lastRequest_.isValid() && lastRequest_.elapsed() < lateAnswerMs;
}

void CustomFullScreen::windowStateChanged(QMainWindow &window) {
    const bool fullScreen = window.windowState() & Qt::WindowFullScreen;
    if (fullScreen == isActive_)
        return;
    // Qt's Wayland shell drops a request made before the compositor has answered the one
    // before, and the late answer then says the opposite of what was asked last: ask again.
    if (isAwaitingAnswer()) {
        requestState(window);
        if (!isActive_)
            restoreWindowedFrame(window);
        return;
    }
    if (isActive_)
        exit(window);
}
