#pragma once

#include "playback/mpv_engine.h"
#include "playback/window_delegate.h"

#include <QStringList>

#include <memory>

class QMainWindow;
class PlayerManager;

// Owns the one main window and the one player manager for the whole run, and answers the
// player manager's request to fit the window to a video.
class AppDelegate : public WindowDelegate {
    Q_OBJECT
public:
    explicit AppDelegate(QStringList arguments, MpvEngine::Options engineOptions = {},
                         QObject *parent = nullptr);
    ~AppDelegate() override;

    // The launch sequence: player manager, main window at its remembered frame, content.
    void applicationDidFinishLaunching();
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }

    // Stores the window's frame (its client area, as restored at launch) under "windowFrame".
    void saveWindowPosition();
    void resizeAndPositionWindow(QSizeF size, bool isVideo) override;

    QMainWindow *window() const { return window_.get(); }
    PlayerManager *playerManager() const { return playerManager_.get(); }

    static constexpr int initialWidth = 480;
    static constexpr int initialHeight = 300;

private:
    void restoreOrCentreWindow();

    QStringList arguments_;
    MpvEngine::Options engineOptions_;
    // Declared before the window, so the views go before the state they draw from.
    std::unique_ptr<PlayerManager> playerManager_;
    std::unique_ptr<QMainWindow> window_;
};
