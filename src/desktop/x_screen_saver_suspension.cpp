#include "desktop/x_screen_saver_suspension.h"

#include <QGuiApplication>

#include <xcb/screensaver.h>
#include <xcb/xcb.h>

std::unique_ptr<XScreenSaverSuspension> XScreenSaverSuspension::create() {
    const auto *x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return nullptr;
    const xcb_query_extension_reply_t *extension =
        xcb_get_extension_data(connection, &xcb_screensaver_id);
    if (!extension || !extension->present)
        return nullptr;
    return std::unique_ptr<XScreenSaverSuspension>(new XScreenSaverSuspension(connection));
}

XScreenSaverSuspension::XScreenSaverSuspension(xcb_connection_t *connection)
    : connection_(connection) {
    // A saver already on stays on when suspended: take it down, as input would.
    xcb_force_screen_saver(connection_, XCB_SCREEN_SAVER_RESET);
    // Suspensions nest per client: each one is ended by exactly one resume.
    xcb_screensaver_suspend(connection_, 1);
    xcb_flush(connection_);
}

XScreenSaverSuspension::~XScreenSaverSuspension() {
    xcb_screensaver_suspend(connection_, 0);
    xcb_flush(connection_);
}
