#pragma once

#include <QStringList>
#include <QTimer>
#include <QWidget>

class AudioPlayerView;
class DropZone;
class ElidingLabel;
class PlayerControls;
class PlayerManager;
class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;
class QVBoxLayout;
class ResumeOffer;
class TimePreviewController;
class VideoPlayerView;
class VolumeOverlay;

// The window's content: the drop zone while nothing is loaded, else the video or the audio
// view, with the transport bar below. In the application's own full screen the bar fades out
// after 3 seconds of pointer rest over a playing video, keeping its place.
class ContentView : public QWidget {
    Q_OBJECT
public:
    ContentView(PlayerManager &playerManager, QStringList arguments, QWidget *parent = nullptr);

    bool showControls() const { return showControls_; }
    // What the pointer on the time bar shows.
    TimePreviewController *timePreview() const { return timePreview_; }
    bool isFullScreen() const { return isFullScreen_; }
    // Loads the file named on the command line and starts the monitors, once. Run before the
    // window first shows, so that it can show already at the size of what it plays; the first
    // show runs it otherwise.
    void startUp();
    // Whether the start-up actions have run.
    bool hasStartedUp() const { return startedUp_; }
    // Short news shown over the content and said to a screen reader (a speed, a delay).
    void showNotice(const QString &text);

    static constexpr int idleTimeoutMs = 3000;
    static constexpr int fullScreenPollMs = 200;
    static constexpr int fadeMs = 300;
    static constexpr double seekStepSeconds = 5;
    static constexpr double volumeStep = 0.05;
    static constexpr int noticeMs = 5000;

Q_SIGNALS:
    void startedUp();

protected:
    void showEvent(QShowEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Keys a focused control did not use: transport, seeking, volume, full screen, media keys.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void redraw();
    void createVideoView();
    void resetMouseTimer();
    void setupKeyboardMonitor();
    void startFullScreenMonitor();
    void toggleFullScreen();
    void revealControls();
    void setShowControls(bool show);
    void setIsFullScreen(bool fullScreen);
    void updatePointer();
    void updateControlsOpacity();
    void changeVolume(double by);
    void toggleMuted();
    void seekBy(double seconds);
    void showTrackMenu(QPoint globalPosition);
    void openTrackMenuByKeys();

    PlayerManager &playerManager_;
    QStringList arguments_;
    DropZone *dropZone_ = nullptr;
    VideoPlayerView *videoView_ = nullptr;
    AudioPlayerView *audioView_ = nullptr;
    ElidingLabel *videoError_ = nullptr;
    QWidget *transportBar_ = nullptr;
    PlayerControls *controls_ = nullptr;
    QVBoxLayout *stack_ = nullptr;
    QGraphicsOpacityEffect *controlsOpacity_ = nullptr;
    QPropertyAnimation *fade_ = nullptr;
    VolumeOverlay *volumeOverlay_ = nullptr;
    ResumeOffer *resumeOffer_ = nullptr;
    TimePreviewController *timePreview_ = nullptr;

    bool showControls_ = true;
    bool isFullScreen_ = false;
    bool startedUp_ = false;
    bool shownBefore_ = false;
    // The last file or error said to a screen reader.
    QString spokenNews_;
    bool simplifiedSubtitlesShown_ = false;
    QTimer mouseIdleTimer_;
    QTimer fullScreenPoll_;
};
