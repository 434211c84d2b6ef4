#pragma once

#include <QElapsedTimer>
#include <QRect>

#include <optional>

class QMainWindow;

// Sonavel's own full screen: the window in the window system's full-screen state (so the
// desktop puts it above its panels, on X11 and Wayland alike), its menu bar hidden; leaving
// puts everything back, the windowed frame exactly (its position only where a client may set
// one). The window is never recreated, so the video's native surface inside it lives on.
class CustomFullScreen {
public:
    bool isActive() const { return isActive_; }
    // The window's frame (client area) just before the mode was last entered.
    const std::optional<QRect> &savedWindowFrame() const { return savedWindowFrame_; }

    // `windowedSize`: the size the window is about to have, when the window system has not
    // yet given it the one it was last asked for.
    void enter(QMainWindow &window, std::optional<QSize> windowedSize = std::nullopt);
    void exit(QMainWindow &window);
    // The desktop may take the window out of full screen by itself (a key of its own, say):
    // then Sonavel leaves its mode too.
    void windowStateChanged(QMainWindow &window);
    // What leaving gives the window back, fitted meanwhile to another film.
    void setSavedWindowFrame(const QRect &frame) { savedWindowFrame_ = frame; }
    // Whether a state was asked for so recently that the window system may not have answered.
    bool isAwaitingAnswer() const;

private:
    void requestState(QMainWindow &window);
    void restoreWindowedFrame(QMainWindow &window) const;

    // An answer from the window system this soon after a request may belong to an older one
    // (a compositor on a busy machine was seen to answer a second late).
    static constexpr qint64 lateAnswerMs = 1500;
    bool isActive_ = false;
    QElapsedTimer lastRequest_;
    std::optional<QRect> savedWindowFrame_;
};
