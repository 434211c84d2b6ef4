#pragma once

#include "app/custom_full_screen.h"
#include "playback/mpv_engine.h"
#include "playback/window_delegate.h"
#include "views/full_screen_controller.h"

#include <QPointer>
#include <QSize>
#include <QStringList>
#include <QTranslator>
#include <QUrl>

#include <memory>
#include <optional>

class MediaInformationDialog;
class QMainWindow;
class PlayerManager;
class ResumeStore;
class TrayIcon;
class ContentView;
class MediaControls;
class SleepInhibitor;
class DefaultPlayerPrompt;
class WindowPlacement;
class PlaybackMenu;

// Owns the one main window and the one player manager for the whole run, and answers the
// player manager's request to fit the window to a video.
class AppDelegate : public WindowDelegate, public FullScreenController {
    Q_OBJECT
public:
    explicit AppDelegate(QStringList arguments, MpvEngine::Options engineOptions = {},
                         QObject *parent = nullptr);
    ~AppDelegate() override;

    // The launch sequence: player manager, main window at its remembered frame, content.
    void applicationDidFinishLaunching();
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }

    // The main menu, built once.
    void setupMenu();
    // The tray icon and its 0.3 s refresh.
    void setupMenuBarIcon();
    TrayIcon *statusItem() const { return statusItem_.get(); }
    // The desktop's media controls (MPRIS), when there is a session bus.
    void setupMediaControls();
    MediaControls *mediaControls() const { return mediaControls_.get(); }
    // Offers, once per launch, to make Sonavel the default player.
    void checkDefaultPlayer();
    DefaultPlayerPrompt *defaultPlayerPrompt() const { return defaultPlayerPrompt_.get(); }
    // File > Open: the open panel, then the chosen file plays.
    void openFile();
    void toggleFullScreenMenu();
    // A file the system or a second start hands over: played, and the window comes forward.
    // Until launching has finished and the command line's file is loaded, the latest one
    // waits: the last to arrive is the one that plays.
    void openFileHandedOver(const QUrl &file, const QByteArray &activationToken = {});
    // With the activation token a later start was given, when there is one.
    void bringWindowForward(const QByteArray &activationToken = {});

    // Stores the window's frame (its client area, as restored at launch) under "windowFrame".
    // Where the desktop places windows only the size is the window's; the position stays
    // whatever an X11 session last stored (centred when nothing was).
    void saveWindowPosition();
    void resizeAndPositionWindow(QSizeF size, bool isVideo) override;

    bool isInCustomFullScreen() const override { return customFullScreen_.isActive(); }
    const std::optional<QRect> &savedWindowFrame() const {
        return customFullScreen_.savedWindowFrame();
    }
    const CustomFullScreen &customFullScreen() const { return customFullScreen_; }
    void enterCustomFullScreen();
    void exitCustomFullScreen() override;
    void toggleCustomFullScreen() override;

    QMainWindow *window() const { return window_.get(); }
    PlayerManager *playerManager() const { return playerManager_.get(); }

    static constexpr int initialWidth = 480;
    static constexpr int initialHeight = 300;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fitOnLeavingFullScreen();
    void announceFullScreen();
    bool isFilmLoading() const;
    void playPendingHandOver();
    void restoreVolume();
    // What the shell does as playback changes: the volume remembered, the first show of a
    // film that fails, leaving full screen for a song.
    void followPlayback();
    void saveVolume();
    void showMediaInformation();
    // Subtitle size holds across files and launches.
    void restoreSubtitleScale();
    void saveSubtitleScale();

    QStringList arguments_;
    MpvEngine::Options engineOptions_;
    // Qt's own texts (the file dialog's) in Sonavel's language.
    QTranslator qtTexts_;
    // Outlives the player manager, which writes to it.
    std::unique_ptr<ResumeStore> resumeStore_;
    // Declared before the window, so the views go before the state they draw from.
    std::unique_ptr<PlayerManager> playerManager_;
    std::unique_ptr<QMainWindow> window_;
    // A child of the window, made when first asked for.
    QPointer<MediaInformationDialog> mediaInformation_;
    std::unique_ptr<TrayIcon> statusItem_;
    std::unique_ptr<DefaultPlayerPrompt> defaultPlayerPrompt_;
    std::unique_ptr<MediaControls> mediaControls_;
    // Goes before the window and the player manager it follows, letting go of what it holds.
    std::unique_ptr<SleepInhibitor> sleepInhibitor_;
    double savedVolume_ = 1;
    double savedSubtitleScale_ = 1;
    QPointer<PlaybackMenu> playbackMenu_;
    CustomFullScreen customFullScreen_;
    // What was loaded when full screen began.
    quint64 loadAtFullScreen_ = 0;
    // The size of a film that began in full screen, to fit the window to on leaving.
    std::optional<QSizeF> filmInFullScreen_;
    QPointer<ContentView> contentView_;
    QPointer<WindowPlacement> placement_;
    QUrl pendingHandOver_;
    QByteArray pendingActivationToken_;
    // A request to come forward made before the window first showed.
    std::optional<QByteArray> pendingForward_;
};
