#pragma once

#include <memory>

struct xcb_connection_t;

// The X server's own screen saver (and its display power saving) held off, through the
// MIT-SCREEN-SAVER extension, for as long as this lives. The server ends it by itself when
// the connection closes, so a crash leaves nothing behind.
class XScreenSaverSuspension {
public:
    // Null when this is not X11 or the server lacks the extension.
    static std::unique_ptr<XScreenSaverSuspension> create();
    ~XScreenSaverSuspension();

    XScreenSaverSuspension(const XScreenSaverSuspension &) = delete;
    XScreenSaverSuspension &operator=(const XScreenSaverSuspension &) = delete;

private:
    explicit XScreenSaverSuspension(xcb_connection_t *connection);

    xcb_connection_t *connection_;
};
