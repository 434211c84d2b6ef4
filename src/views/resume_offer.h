#pragma once

#include <QPushButton>

#include <functional>

class PlayerManager;

// "Continue from 1:23:45": offered for a while after a remembered file is opened again, over
// the lower left of the content, clear of the transport bar. A click takes it (Enter does
// too, from the content view); it goes when the player manager withdraws the offer.
//
// A small window of its own, as the volume overlay is: the video is drawn in a native window,
// and nothing the main window paints itself could show above it. It never takes the focus
// from the window, so keys go on working as before.
class ResumeOffer : public QPushButton {
    Q_OBJECT
public:
    // Shown over `area`, above its lowest `reservedHeight()` pixels.
    ResumeOffer(PlayerManager &playerManager, QWidget *area, std::function<int()> reservedHeight);

    void redraw();

private:
    PlayerManager &playerManager_;
    QWidget *area_;
    std::function<int()> reservedHeight_;
};
