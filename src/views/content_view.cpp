#include "views/content_view.h"

#include "i18n/localization.h"
#include "playback/local_file.h"
#include "playback/player_manager.h"
#include "views/accessibility.h"
#include "views/audio_player_view.h"
#include "views/drop_zone.h"
#include "views/eliding_label.h"
#include "views/full_screen_controller.h"
#include "views/load_error_text.h"
#include "views/name_text.h"
#include "views/player_controls.h"
#include "views/resume_offer.h"
#include "views/state_observer.h"
#include "views/style.h"
#include "views/time_preview_controller.h"
#include "views/time_text.h"
#include "views/track_menu.h"
#include "views/video_player_view.h"
#include "views/volume_overlay.h"

#include <QApplication>
#include <QCursor>
#include <QDragEnterEvent>
#include <QFile>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QLabel>
#include <QPropertyAnimation>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace {

// Escape leaves the application's own full screen, whatever the modifiers, and goes no
// further then; in every other case the key goes on to the focused widget as usual.
class EscapeKeyFilter : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            FullScreenController *controller = FullScreenController::application();
            if (controller && controller->isInCustomFullScreen()) {
                controller->exitCustomFullScreen();
                // The window's own keys again, wherever the focus had gone.
                static_cast<QWidget *>(parent())->setFocus(Qt::ShortcutFocusReason);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

ContentView::ContentView(PlayerManager &playerManager, QStringList arguments, QWidget *parent)
    : QWidget(parent), playerManager_(playerManager), arguments_(std::move(arguments)),
      mouseIdleTimer_(this), fullScreenPoll_(this) {
    mouseIdleTimer_.setObjectName(QStringLiteral("mouseIdleTimer"));
    fullScreenPoll_.setObjectName(QStringLiteral("fullScreenPoll"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    setAcceptDrops(true);
    // Keys go here unless a control that uses them has the focus.
    setFocusPolicy(Qt::StrongFocus);

    dropZone_ = new DropZone(playerManager_, this);
    audioView_ = new AudioPlayerView(playerManager_, this);
    audioView_->setMinimumSize(700, 450);
    // A video that cannot be played says why where its picture would be.
    videoError_ = new ElidingLabel(4, this);
    videoError_->setObjectName(QStringLiteral("videoLoadError"));
    videoError_->setAlignment(Qt::AlignCenter);
    videoError_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
    videoError_->setMargin(20);
    videoError_->setFont(style::font(TextStyle::body));
    videoError_->setAutoFillBackground(true);
    QPalette errorPalette = videoError_->palette();
    errorPalette.setColor(QPalette::Window, Qt::black);
    errorPalette.setColor(QPalette::WindowText, style::gray());
    videoError_->setPalette(errorPalette);
    accessibility::setRole(videoError_, QAccessible::AlertMessage);

    transportBar_ = new QWidget(this);
    transportBar_->setObjectName(QStringLiteral("transportBar"));
    transportBar_->setAutoFillBackground(true);
    transportBar_->setBackgroundRole(QPalette::Base);
    controls_ = new PlayerControls(playerManager_, transportBar_);
    // A faded bar must not act on a click where it was: the click only brings it back.
    transportBar_->installEventFilter(this);
    for (QWidget *part : transportBar_->findChildren<QWidget *>())
        part->installEventFilter(this);
    auto *barLayout = new QVBoxLayout(transportBar_);
    barLayout->setContentsMargins(8, 6, 8, 6);
    barLayout->addWidget(controls_);
    controlsOpacity_ = new QGraphicsOpacityEffect(transportBar_);
    controlsOpacity_->setOpacity(1);
    // Drawing through the effect costs a pixmap per repaint: only while not fully opaque.
    controlsOpacity_->setEnabled(false);
    transportBar_->setGraphicsEffect(controlsOpacity_);
    fade_ = new QPropertyAnimation(controlsOpacity_, "opacity", this);
    fade_->setDuration(fadeMs);
    fade_->setEasingCurve(QEasingCurve::InOutQuad);
    connect(fade_, &QPropertyAnimation::finished, this,
            [this] { controlsOpacity_->setEnabled(controlsOpacity_->opacity() < 1); });

    stack_ = new QVBoxLayout(this);
    stack_->setContentsMargins(0, 0, 0, 0);
    stack_->setSpacing(0);
    stack_->addWidget(dropZone_, 1);
    stack_->addWidget(audioView_, 1);
    stack_->addWidget(videoError_, 1);
    stack_->addWidget(transportBar_);

    mouseIdleTimer_.setSingleShot(true);
    mouseIdleTimer_.setInterval(idleTimeoutMs);
    connect(&mouseIdleTimer_, &QTimer::timeout, this, [this] {
        // A control the keyboard is on stays in sight.
        if (transportBar_->isAncestorOf(focusWidget()))
            resetMouseTimer();
        else if (playerManager_.isPlaying() && playerManager_.isVideo() && isFullScreen_)
            setShowControls(false);
    });
    fullScreenPoll_.setInterval(fullScreenPollMs);
    connect(&fullScreenPoll_, &QTimer::timeout, this, [this] {
        if (FullScreenController *controller = FullScreenController::application())
            setIsFullScreen(controller->isInCustomFullScreen());
    });

    volumeOverlay_ = new VolumeOverlay(this);
    timePreview_ = new TimePreviewController(playerManager_, this, transportBar_);
    connect(controls_, &PlayerControls::placePointed, timePreview_, &TimePreviewController::point);
    connect(controls_, &PlayerControls::placeLeft, timePreview_, &TimePreviewController::leave);

    new StateObserver(playerManager_, this, [this] { redraw(); });
    connect(&playerManager_, &PlayerManager::albumEnded, this,
            [this] { accessibility::say(this, L.get(u"endOfAlbum")); });
    redraw();
}

void ContentView::redraw() {
    const bool loaded = playerManager_.player() != nullptr;
    const bool failed = !playerManager_.loadError().isEmpty();
    const bool video = loaded && playerManager_.isVideo() && !failed;
    dropZone_->setVisible(!loaded);
    const QString name = shownFileName(playerManager_.fileName());
    const QString errorText = loadErrorText(name, playerManager_.loadError());
    videoError_->setFullText(errorText);
    videoError_->setVisible(loaded && playerManager_.isVideo() && failed);
    // What starts, or why it cannot, is heard wherever the focus is.
    const QString news = failed ? errorText : loaded ? name : QString();
    if (news != spokenNews_) {
        spokenNews_ = news;
        accessibility::say(this, news);
    }
    // Said once per film, where the person is looking: the subtitles lost their styling.
    if (playerManager_.subtitlesSimplified() != simplifiedSubtitlesShown_) {
        simplifiedSubtitlesShown_ = playerManager_.subtitlesSimplified();
        if (simplifiedSubtitlesShown_)
            volumeOverlay_->showText(L.get(u"subtitlesSimplified"), noticeMs);
    }
    // Named after what it plays: the stop Tab comes back to, where the window's keys act.
    const QString contentName = loaded ? name : QStringLiteral("Sonavel");
    if (accessibleName() != contentName)
        setAccessibleName(contentName);
    audioView_->setVisible(loaded && !playerManager_.isVideo());
    // Made for the first video and kept: a native window and its drawing surface rebuilt on
    // every switch between a song and a film would be paid for again each time.
    if (video && !videoView_)
        createVideoView();
    if (videoView_) {
        videoView_->setPlayer(video ? playerManager_.player() : nullptr);
        videoView_->setVisible(video);
        const QString videoName = video ? name : QString();
        if (videoView_->accessibleName() != videoName)
            videoView_->setAccessibleName(videoName);
    }
    transportBar_->setVisible(loaded);
    if (resumeOffer_)
        resumeOffer_->redraw();
}

void ContentView::createVideoView() {
    videoView_ = new VideoPlayerView(this);
    connect(videoView_, &VideoPlayerView::pointerEntered, this, &ContentView::revealControls);
    connect(videoView_, &VideoPlayerView::pointerMoved, this, &ContentView::revealControls);
    connect(videoView_, &VideoPlayerView::pressedOrDragged, this, [this] {
        // A click on the picture gives the window its keys back, as a click elsewhere does.
        setFocus(Qt::MouseFocusReason);
        revealControls();
    });
    connect(videoView_, &VideoPlayerView::doubleClicked, this, &ContentView::toggleFullScreen);
    connect(videoView_, &VideoPlayerView::contextMenuRequested, this, &ContentView::showTrackMenu);
    connect(videoView_, &VideoPlayerView::wheelTurned, this,
            [this](int notches) { changeVolume(notches * volumeStep); });
    stack_->insertWidget(stack_->indexOf(transportBar_), videoView_, 1);
    resumeOffer_ = new ResumeOffer(playerManager_, videoView_, ResumeOffer::Placement::overPicture);
    videoView_->addOverlay(resumeOffer_);
    timePreview_->setVideoView(videoView_);
    // One Tab from the window's own keys.
    setTabOrder(this, resumeOffer_);
    updatePointer();
}

void ContentView::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (!shownBefore_) {
        shownBefore_ = true;
        setFocus();
        startUp();
    }
}

void ContentView::startUp() {
    if (startedUp_)
        return;
    startedUp_ = true;
    if (arguments_.size() > 1) {
        const QUrl file = local_file::fromArgument(QFile::encodeName(arguments_.at(1)));
        if (!file.isEmpty())
            playerManager_.loadMedia(file);
    }
    // Laid out for it now, not on the next turn: the window may be shown at once, at its size.
    redraw();
    resetMouseTimer();
    setupKeyboardMonitor();
    startFullScreenMonitor();
    Q_EMIT startedUp();
}

void ContentView::resetMouseTimer() {
    mouseIdleTimer_.stop();
    if (isFullScreen_)
        mouseIdleTimer_.start();
}

void ContentView::setupKeyboardMonitor() {
    qApp->installEventFilter(new EscapeKeyFilter(this));
}

void ContentView::startFullScreenMonitor() {
    fullScreenPoll_.start();
}

void ContentView::toggleFullScreen() {
    FullScreenController *controller = FullScreenController::application();
    if (!controller)
        return;
    controller->toggleCustomFullScreen();
    QTimer::singleShot(100, this, [this] {
        if (FullScreenController *current = FullScreenController::application())
            setIsFullScreen(current->isInCustomFullScreen());
    });
}

void ContentView::revealControls() {
    if (!isFullScreen_)
        return;
    setShowControls(true);
    resetMouseTimer();
}

void ContentView::setShowControls(bool show) {
    if (showControls_ == show)
        return;
    showControls_ = show;
    updateControlsOpacity();
    updatePointer();
}

void ContentView::updatePointer() {
    // Hidden with the bar in full screen; back with it when the pointer moves.
    const bool hidden = isFullScreen_ && !showControls_;
    if (hidden)
        setCursor(Qt::BlankCursor);
    else
        unsetCursor();
    // The picture's native window has a pointer of its own.
    if (QWindow *surface = videoView_ ? videoView_->surface() : nullptr) {
        if (hidden)
            surface->setCursor(Qt::BlankCursor);
        else
            surface->unsetCursor();
    }
}

void ContentView::setIsFullScreen(bool fullScreen) {
    if (isFullScreen_ == fullScreen)
        return;
    isFullScreen_ = fullScreen;
    controls_->setFullScreen(fullScreen);
    // Only a change of showControls fades; entering or leaving full screen applies at once.
    fade_->stop();
    const bool visible = showControls_ || !isFullScreen_;
    controlsOpacity_->setOpacity(visible ? 1 : 0);
    controlsOpacity_->setEnabled(!visible);
    updatePointer();
    // The stillness is counted from the moment full screen begins, wherever the pointer rests:
    // a pointer that never moves must not keep the bar (on Wayland its place is not even known
    // until it moves).
    if (isFullScreen_ && playerManager_.isVideo() && playerManager_.isPlaying())
        revealControls();
}

void ContentView::updateControlsOpacity() {
    const double target = showControls_ || !isFullScreen_ ? 1 : 0;
    fade_->stop();
    if (controlsOpacity_->opacity() == target)
        return;
    controlsOpacity_->setEnabled(true);
    fade_->setStartValue(controlsOpacity_->opacity());
    fade_->setEndValue(target);
    fade_->start();
}

bool ContentView::eventFilter(QObject *watched, QEvent *event) {
    if (showControls_ || !isFullScreen_)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::Wheel:
        revealControls();
        return true;
    case QEvent::Enter:
    case QEvent::MouseMove:
    case QEvent::HoverMove:
    case QEvent::FocusIn:
        revealControls();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void ContentView::keyPressEvent(QKeyEvent *event) {
    const bool loaded = playerManager_.player() != nullptr;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (playerManager_.resumeOffer())
            playerManager_.takeResumeOffer();
        else
            QWidget::keyPressEvent(event);
        break;
    case Qt::Key_Space:
    case Qt::Key_MediaTogglePlayPause:
        if (loaded) {
            playerManager_.togglePlayPause();
            accessibility::say(this, accessibility::playState(playerManager_.isPlaying()));
        }
        break;
    case Qt::Key_MediaPlay:
        if (loaded)
            playerManager_.play();
        break;
    case Qt::Key_MediaPause:
        playerManager_.pause();
        break;
    case Qt::Key_MediaStop:
        playerManager_.stop();
        break;
    case Qt::Key_MediaNext:
        playerManager_.playNext();
        break;
    case Qt::Key_MediaPrevious:
        playerManager_.playPrevious();
        break;
    case Qt::Key_Left:
        seekBy(-seekStepSeconds);
        break;
    case Qt::Key_Right:
        seekBy(seekStepSeconds);
        break;
    case Qt::Key_Up:
        changeVolume(volumeStep);
        break;
    case Qt::Key_Down:
        changeVolume(-volumeStep);
        break;
    case Qt::Key_M:
        toggleMuted();
        break;
    case Qt::Key_F:
        if (playerManager_.isVideo())
            toggleFullScreen();
        break;
    case Qt::Key_Menu:
        openTrackMenuByKeys();
        break;
    case Qt::Key_F10:
        // Shift+F10: the menu key of keyboards that have none.
        if (!(event->modifiers() & Qt::ShiftModifier)) {
            QWidget::keyPressEvent(event);
            return;
        }
        openTrackMenuByKeys();
        break;
    case Qt::Key_Escape:
        // No control used it: the window's own keys again.
        setFocus(Qt::ShortcutFocusReason);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void ContentView::showTrackMenu(QPoint globalPosition) {
    TrackMenu menu(playerManager_, this);
    menu.exec(globalPosition);
}

void ContentView::openTrackMenuByKeys() {
    if (!videoView_ || !videoView_->isVisible())
        return;
    TrackMenu menu(playerManager_, this);
    menu.openAt(videoView_->mapToGlobal(videoView_->rect().center()));
}

void ContentView::seekBy(double seconds) {
    if (!playerManager_.player())
        return;
    const double end = std::max(playerManager_.duration(), 0.0);
    const double target = std::clamp(playerManager_.currentTime() + seconds, 0.0, end);
    playerManager_.seek(target);
    // The keys are the window's: nothing focused changes for a reader to notice.
    accessibility::say(this, L.get(u"timeOf").arg(timeString(target), timeString(end)));
}

void ContentView::changeVolume(double by) {
    // A step snaps to the 5 % grid, so up and down again return to the same level.
    const double steps = std::round((playerManager_.volume() + by) / volumeStep);
    playerManager_.setVolume(steps * volumeStep);
    if (playerManager_.isMuted())
        playerManager_.setMuted(false);
    volumeOverlay_->showLevel(playerManager_.volume(), false);
}

void ContentView::showNotice(const QString &text) {
    volumeOverlay_->showText(text);
}

void ContentView::toggleMuted() {
    playerManager_.setMuted(!playerManager_.isMuted());
    volumeOverlay_->showLevel(playerManager_.volume(), playerManager_.isMuted());
}

void ContentView::dragEnterEvent(QDragEnterEvent *event) {
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void ContentView::dropEvent(QDropEvent *event) {
    loadDroppedFile(event, playerManager_, this);
}
