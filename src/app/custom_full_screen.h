#pragma once

#include <QRect>

#include <optional>

class QMainWindow;

// Sonavel's own full screen: the window without title bar, above other windows, covering its
// whole screen, its menu bar hidden; leaving puts everything back, the frame exactly.
class CustomFullScreen {
public:
    bool isActive() const { return isActive_; }
    // The window's frame (client area) just before the mode was last entered.
    const std::optional<QRect> &savedWindowFrame() const { return savedWindowFrame_; }

    void enter(QMainWindow &window);
    void exit(QMainWindow &window);

private:
    bool isActive_ = false;
    std::optional<QRect> savedWindowFrame_;
};
