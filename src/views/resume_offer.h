#pragma once

#include <QPushButton>

#include <functional>

class PlayerManager;

// "Continue from 1:23:45": offered for a while after a remembered file is opened again. A
// click takes it (Enter does too, from the content view); it goes when the player manager
// withdraws the offer.
//
// A film's is a small window of its own over the lower left of the picture, clear of the
// transport bar, as the volume overlay is: the video is drawn in a native window, and nothing
// the main window paints itself could show above it; it never takes the focus from the window.
// A recording's is an ordinary button in the information column, in the Tab order.
class ResumeOffer : public QPushButton {
    Q_OBJECT
public:
    enum class Placement { overPicture, inColumn };

    // Over the picture: shown over `parent`, above its lowest `reservedHeight()` pixels.
    ResumeOffer(
        PlayerManager &playerManager, QWidget *parent, Placement placement,
        std::function<int()> reservedHeight = [] { return 0; });

    void redraw();

private:
    void placeOverPicture();

    PlayerManager &playerManager_;
    QWidget *area_;
    Placement placement_;
    std::function<int()> reservedHeight_;
};
