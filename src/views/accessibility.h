#pragma once

#include <QAccessible>

class QAbstractButton;
class QWidget;

// What assistive tools (screen readers, switch access) read of Sonavel's own widgets, and the
// few keys a keyboard-only user needs beyond Qt's own.
namespace accessibility {

// Reports `widget` to assistive tools with `role` instead of its class's own (a label that
// shows an error is an alert). Set before the widget is first read.
void setRole(QWidget *widget, QAccessible::Role role);

// A picture that only decorates: assistive tools do not read it. May change at any time (the
// cover shows the note symbol while a song has no cover).
void setDecorative(QWidget *widget, bool decorative);

// A button read with a fixed name and a pressed state, as a toggle: Qt 6.4 sends a changed name
// without the name itself, so a reader keeps saying the old one.
void setToggle(QAbstractButton *button, bool pressed);

// Says `widget` (a notification) to the screen reader again without moving the focus, as when
// it first appeared.
void announce(QWidget *widget);

// Says `text` to the screen reader without moving the focus, as a notification of the window
// `context` is in. Screen readers present such notifications; they leave name changes of
// anything but the focused control unsaid.
void say(QWidget *context, const QString &text);

// "Playing" or "Paused", in the reader's language: what is said of the play state.
QString playState(bool isPlaying);

// Enter presses a focused `button` as Space does (Qt's tool buttons take only Space), and the
// arrow keys stay the window's (seeking, volume) rather than moving between buttons.
void pressByKeys(QAbstractButton *button);

} // namespace accessibility
