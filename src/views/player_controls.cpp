#include "views/player_controls.h"

#include "i18n/localization.h"
#include "playback/player_manager.h"
#include "views/accessibility.h"
#include "views/full_screen_controller.h"
#include "views/open_panel.h"
#include "views/seek_slider.h"
#include "views/speed_label.h"
#include "views/state_observer.h"
#include "views/style.h"
#include "views/symbols.h"
#include "views/time_label.h"
#include "views/time_text.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int timeLabelWidth = 40;

QStringView repeatModeKey(RepeatMode mode) {
    switch (mode) {
    case RepeatMode::off:
        return u"stopAtEnd";
    case RepeatMode::one:
        return u"repeatOne";
    case RepeatMode::all:
        return u"playAll";
    case RepeatMode::allRepeat:
        return u"repeatAll";
    }
    return u"stopAtEnd";
}

TimeLabel *timeLabel(const QString &objectName, QWidget *parent) {
    auto *label = new TimeLabel(timeLabelWidth, parent);
    label->setText(QStringLiteral("0:00"));
    label->setObjectName(objectName);
    label->setFont(style::font(TextStyle::caption2));
    return label;
}

} // namespace

PlayerControls::PlayerControls(PlayerManager &playerManager, QWidget *parent)
    : QWidget(parent), playerManager_(playerManager) {
    elapsed_ = timeLabel(QStringLiteral("elapsedTime"), this);
    total_ = timeLabel(QStringLiteral("totalTime"), this);
    slider_ = new SeekSlider(this);
    slider_->setObjectName(QStringLiteral("timeSlider"));
    slider_->setAccessibleName(L.get(u"position"));
    // Every movement seeks at once, while dragging too; playback goes on meanwhile.
    connect(slider_, &SeekSlider::seekRequested, &playerManager_, &PlayerManager::seek);
    connect(slider_, &SeekSlider::placePointed, this, &PlayerControls::placePointed);
    connect(slider_, &SeekSlider::placeLeft, this, &PlayerControls::placeLeft);

    auto *timeRow = new QHBoxLayout;
    timeRow->setSpacing(6);
    timeRow->addWidget(elapsed_);
    timeRow->addWidget(slider_, 1);
    timeRow->addWidget(total_);
    // Beside the time it changes the pace of; only while not normal.
    speed_ = new SpeedLabel(playerManager_, this);
    timeRow->addWidget(speed_);

    openFile_ = addButton(QStringLiteral("openFileButton"), 24);
    openFile_->setIcon(symbols::icon(QStringLiteral("folder.badge.plus"), style::primary()));
    openFile_->setIconSize(QSize(18, 18));
    openFile_->setToolTip(L.get(u"openNewFile"));
    openFile_->setAccessibleName(L.get(u"openFileButton"));
    connect(openFile_, &QToolButton::clicked, this, &PlayerControls::openFile);

    repeat_ = addButton(QStringLiteral("repeatButton"), 24);
    repeat_->setIconSize(QSize(20, 20));
    repeat_->setAccessibleName(L.get(u"repeat"));
    connect(repeat_, &QToolButton::clicked, this, &PlayerControls::cycleRepeatMode);

    stop_ = addButton(QStringLiteral("stopButton"), 24);
    stop_->setIcon(symbols::icon(QStringLiteral("stop.fill"), style::primary()));
    stop_->setIconSize(QSize(18, 18));
    stop_->setAccessibleName(L.get(u"stop"));
    connect(stop_, &QToolButton::clicked, &playerManager_, &PlayerManager::stop);

    playPause_ = addButton(QStringLiteral("playPauseButton"), 28);
    playPause_->setIconSize(QSize(24, 24));
    // Before anything reads it: a reader's first look makes Qt's own interface for it.
    accessibility::setToggle(playPause_, false);
    playPause_->setAccessibleName(L.get(u"play"));
    connect(playPause_, &QToolButton::clicked, this, [this] {
        playerManager_.togglePlayPause();
        // Said as well as shown pressed: a reader may leave the state of a button unsaid.
        accessibility::say(this, accessibility::playState(playerManager_.isPlaying()));
    });

    fullScreen_ = addButton(QStringLiteral("fullScreenButton"), 24);
    fullScreen_->setIcon(
        symbols::icon(QStringLiteral("arrow.up.left.and.arrow.down.right"), style::primary()));
    fullScreen_->setIconSize(QSize(16, 16));
    setFullScreen(false);
    connect(fullScreen_, &QToolButton::clicked, this, [] {
        if (FullScreenController *controller = FullScreenController::application())
            controller->toggleCustomFullScreen();
    });
    // Same size as the open-file button, so the middle cluster stays centred for audio too.
    placeholder_ = new QWidget(this);
    placeholder_->setObjectName(QStringLiteral("fullScreenPlaceholder"));
    placeholder_->setFixedSize(24, 24);

    auto *cluster = new QHBoxLayout;
    cluster->setSpacing(12);
    cluster->addWidget(repeat_);
    cluster->addWidget(stop_);
    cluster->addWidget(playPause_);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(0);
    buttonRow->addWidget(openFile_);
    buttonRow->addStretch(1);
    buttonRow->addLayout(cluster);
    buttonRow->addStretch(1);
    buttonRow->addWidget(fullScreen_);
    buttonRow->addWidget(placeholder_);

    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(4);
    rows->addLayout(timeRow);
    rows->addLayout(buttonRow);

    new StateObserver(playerManager_, this, [this] { redraw(); });
    redraw();
}

QToolButton *PlayerControls::addButton(const QString &objectName, int side) {
    auto *button = new QToolButton(this);
    button->setObjectName(objectName);
    button->setAutoRaise(true);
    button->setFixedSize(side, side);
    // Reached with Tab; a click leaves the window's keys where they were.
    button->setFocusPolicy(Qt::TabFocus);
    accessibility::pressByKeys(button);
    return button;
}

void PlayerControls::redraw() {
    const double duration = playerManager_.duration();
    // Showing the state is not a user's seek; the knob stays under the pointer while held.
    slider_->setDuration(duration);
    slider_->setPosition(playerManager_.currentTime());
    slider_->setChapters(playerManager_.chapters());
    speed_->redraw();
    elapsed_->setText(timeString(playerManager_.currentTime()));
    total_->setText(timeString(duration));

    const RepeatMode mode = playerManager_.repeatMode();
    if (repeat_->property("mode").toInt() != repeat_mode::rawValue(mode) ||
        repeat_->icon().isNull()) {
        const QColor color = mode == RepeatMode::off ? style::primary() : style::blue();
        repeat_->setIcon(symbols::icon(repeat_mode::iconName(mode), color));
        repeat_->setToolTip(L.get(repeatModeKey(mode)));
        repeat_->setAccessibleDescription(L.get(repeatModeKey(mode)));
        repeat_->setProperty("mode", repeat_mode::rawValue(mode));
        repeat_->setProperty("symbol", repeat_mode::iconName(mode));
        repeat_->setProperty("color", color);
    }

    const QString playSymbol =
        playerManager_.isPlaying() ? QStringLiteral("pause.fill") : QStringLiteral("play.fill");
    if (playPause_->property("symbol").toString() != playSymbol) {
        playPause_->setIcon(symbols::icon(playSymbol, style::primary()));
        playPause_->setProperty("symbol", playSymbol);
    }
    accessibility::setToggle(playPause_, playerManager_.isPlaying());
    // Readers speak no pressed state of a push button, but they do read its description again.
    const QString state = !playerManager_.player()     ? QString()
                          : playerManager_.isPlaying() ? L.get(u"playingNow")
                                                       : L.get(u"pausedNow");
    if (playPause_->accessibleDescription() != state)
        playPause_->setAccessibleDescription(state);

    fullScreen_->setVisible(playerManager_.isVideo());
    placeholder_->setVisible(!playerManager_.isVideo());
}

void PlayerControls::setFullScreen(bool fullScreen) {
    const QString action = fullScreen ? L.get(u"leaveFullScreen") : L.get(u"fullScreen");
    fullScreen_->setAccessibleName(action);
    fullScreen_->setToolTip(action);
}

void PlayerControls::cycleRepeatMode() {
    playerManager_.setRepeatMode(repeat_mode::next(playerManager_.repeatMode()));
    playerManager_.setIsRepeating(playerManager_.repeatMode() == RepeatMode::one);
    // Qt 6.4 sends the changed description without its text: the new mode is said instead.
    accessibility::say(this, L.get(repeatModeKey(playerManager_.repeatMode())));
}

void PlayerControls::openFile() {
    const QUrl chosen = open_panel::chooseMediaFile(window());
    if (!chosen.isEmpty())
        playerManager_.loadMedia(chosen);
}
