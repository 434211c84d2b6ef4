#pragma once

#include "playback/chapters.h"

#include <QSlider>

// The time slider. Unlike Qt's default (a click moves one page, the keys and the wheel one
// unit), a left click on the track jumps where it lands and the knob follows the pointer while
// held, as in every player; keys and the wheel move 5 seconds, Page Up and Down 30.
//
// It counts in units of at most a millisecond, fewer per second when a duration in
// milliseconds would not fit an int (damaged files report durations of years).
class SeekSlider : public QSlider {
    Q_OBJECT
public:
    explicit SeekSlider(QWidget *parent = nullptr);

    // Sets the range for `duration` seconds, without emitting a seek.
    void setDuration(double seconds);
    // Shows `seconds` as the knob's place, without emitting a seek; not while the user holds it.
    // While a screen reader is on and the slider has the keyboard, the knob waits (the reader
    // would read every move aloud) and catches up before a key moves it or when focus leaves.
    // Its moves are never reported as value changes; a key's or the wheel's is said as time.
    void setPosition(double seconds);
    // Marks where each chapter starts; the tooltip names the chapter under the pointer.
    void setChapters(const QList<Chapter> &chapters);
    // "0:03 – Chapter 2" for the place at `x`; empty outside any chapter.
    QString chapterTipAt(int x) const;
    // Where playback is, in units, whether or not the knob shows it yet.
    int positionUnits() const { return positionUnits_; }
    double unitsPerSecond() const { return unitsPerSecond_; }
    // "1:23 of 4:56" for `units`, as the bar shows the time.
    QString placeText(int units) const;
    // While the slider moves itself, or a key moves it: Qt would report each change, and a
    // reader would say the bare number of seconds.
    bool isMovingQuietly() const { return movingQuietly_; }

    static constexpr double stepSeconds = 5;
    static constexpr double pageSeconds = 30;

Q_SIGNALS:
    // The user moved the knob (a click, a drag, a key, the wheel).
    void seekRequested(double seconds);
    // The pointer is over the slider where a click would take the knob to `seconds`.
    void placePointed(double seconds, QPoint globalPosition);
    void placeLeft();

protected:
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    int units(double seconds) const;
    // The x of `units` on the groove.
    int xOf(int units) const;
    // Where a click at `x` puts the knob, in seconds (as Qt's slider places it).
    double secondsAt(int x) const;
    void catchUp();
    // Runs `move` quietly and says where it took the knob.
    template <typename Move> void moveAndSay(Move move);

    double unitsPerSecond_ = 1000;
    int positionUnits_ = 0;
    int wheelRemainder_ = 0;
    bool movingQuietly_ = false;
    QList<Chapter> chapters_;
};

// Slider units per second for a track of `duration` seconds: 1000, or as many as keep the whole
// duration within an int.
double sliderUnitsPerSecond(double duration);
