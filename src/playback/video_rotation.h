#pragma once

#include <QByteArray>

#include <mpv/client.h>

// mpv's software renderer takes a picture to be turned a quarter for one of the window's shape
// and fails an assertion; turned by a filter first, the renderer gets it upright.

// The rotation in degrees (0, 90, 180 or 270, clockwise) that the file asks for on the video
// track mpv will choose (the one marked default, else the first), from mpv's track list.
int videoRotationOf(const mpv_node &trackList);
// The video filters that turn a picture `degrees` clockwise; empty for none.
QByteArray rotationFilter(int degrees);
