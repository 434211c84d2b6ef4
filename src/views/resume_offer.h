#pragma once

#include <QPointer>
#include <QPushButton>

class PlayerManager;

// "Continue from 1:23:45": offered for a while after a remembered file is opened again. A
// click takes it, Space or Enter once Tab has reached it, and Enter from anywhere in the content
// view; it goes when the player manager withdraws the offer. The screen reader says it when it
// appears. A click never takes the keyboard (in the column, as on the window's other buttons,
// a click gives it at most to the window's own keys), and the offer's going gives the keyboard
// back to where it was before Tab reached it.
//
// A film's lies over the lower left of the picture (the video view is its parent) and never
// reaches out of it; as part of the window it goes where the window goes. A recording's is a
// button in the information column.
class ResumeOffer : public QPushButton {
    Q_OBJECT
public:
    enum class Placement { overPicture, inColumn };

    ResumeOffer(PlayerManager &playerManager, QWidget *parent, Placement placement);

    void redraw();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void placeOverPicture();
    void showText();

    PlayerManager &playerManager_;
    QWidget *area_;
    Placement placement_;
    // The text offered, which a narrow picture shows shortened.
    QString fullText_;
    // Where the keyboard was before Tab brought it here.
    QPointer<QWidget> focusBefore_;
};
