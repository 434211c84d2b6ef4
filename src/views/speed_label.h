#pragma once

#include <QToolButton>

class PlayerManager;

// The speed beside the time while it is not normal ("1.5×"): its tooltip says how long the rest
// takes at that speed, and a click plays at normal speed again.
class SpeedLabel : public QToolButton {
    Q_OBJECT
public:
    explicit SpeedLabel(PlayerManager &playerManager, QWidget *parent = nullptr);

    // Follows the player manager's speed and time.
    void redraw();

private:
    PlayerManager &playerManager_;
};
