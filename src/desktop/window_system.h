#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

class QWidget;

// What Sonavel may do with its window depends on the window system: on Wayland the desktop
// alone places windows and decides which one comes forward; on X11 a client may ask for both.
namespace window_system {

// True on Wayland: a window's position can be neither asked for nor known there.
bool desktopPlacesWindows();

// The time of the user's action in an X11 startup id ("..._TIME<n>"), which tells the window
// manager that bringing the window forward is what the user asked for.
std::optional<quint32> startupIdTime(QByteArrayView startupId);

// Shows `window`, un-minimised, and asks for it to come forward: with the token a later start
// was given when there is one (an xdg-activation token on Wayland, a startup id on X11),
// otherwise as the platform allows a client to ask.
void bringForward(QWidget &window, const QByteArray &activationToken = {});

// Whether a client may ask the Wayland compositor to bring a window forward (it offers
// xdg-activation). One that does not (weston) restacks a window only as it is shown.
bool desktopRaisesOnRequest();

// Tells the desktop again that `dialog` belongs to `parent`: on Wayland it forgets that when the
// parent's window is hidden, and a dialog without a parent may sit under it. (On X11 the
// window manager keeps it.)
void setParentWindow(QWidget &dialog, QWidget &parent);

} // namespace window_system
