#pragma once

#include <QWidget>

class PlayerManager;
class SeekSlider;
class SpeedLabel;
class TimeLabel;
class QToolButton;

// The transport bar: elapsed time, time slider and total time above; open-file, repeat, stop,
// play/pause and (for video) full screen below. It draws from the player manager alone.
class PlayerControls : public QWidget {
    Q_OBJECT
public:
    explicit PlayerControls(PlayerManager &playerManager, QWidget *parent = nullptr);

    // The full-screen button is named after what a press does.
    void setFullScreen(bool fullScreen);

Q_SIGNALS:
    // The pointer is over the time slider at the place of `seconds`; it left it.
    void placePointed(double seconds, QPoint globalPosition);
    void placeLeft();

private:
    void redraw();
    void cycleRepeatMode();
    void openFile();
    QToolButton *addButton(const QString &objectName, int side);

    PlayerManager &playerManager_;
    TimeLabel *elapsed_ = nullptr;
    SeekSlider *slider_ = nullptr;
    TimeLabel *total_ = nullptr;
    SpeedLabel *speed_ = nullptr;
    QToolButton *openFile_ = nullptr;
    QToolButton *repeat_ = nullptr;
    QToolButton *stop_ = nullptr;
    QToolButton *playPause_ = nullptr;
    QToolButton *fullScreen_ = nullptr;
    QWidget *placeholder_ = nullptr;
};
