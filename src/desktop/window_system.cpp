#include "desktop/window_system.h"

#include "xdg-shell-client-protocol.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

namespace window_system {
namespace {

bool isX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

xcb_atom_t atom(xcb_connection_t *connection, const char *name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_window_t rootOf(xcb_connection_t *connection, xcb_window_t window) {
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr),
        &std::free);
    return geometry ? geometry->root : xcb_window_t(XCB_WINDOW_NONE);
}

// _NET_ACTIVE_WINDOW from an application, stamped with the user's own action: window managers
// that guard the focus let it through, where Qt's request (stamped with the last event Sonavel
// saw) would only make the window ask for attention.
void activateWithUserTime(xcb_connection_t *connection, xcb_window_t window, quint32 userTime) {
    const xcb_window_t root = rootOf(connection, window);
    const xcb_atom_t activeWindow = atom(connection, "_NET_ACTIVE_WINDOW");
    if (root == XCB_WINDOW_NONE || activeWindow == XCB_ATOM_NONE)
        return;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = activeWindow;
    message.data.data32[0] = 1; // source: an application
    message.data.data32[1] = userTime;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&message));
}

// Ends the desktop's launch feedback for the start that handed its file over.
void endStartupNotification(xcb_connection_t *connection, xcb_window_t window,
                            const QByteArray &startupId) {
    const xcb_window_t root = rootOf(connection, window);
    const xcb_atom_t begin = atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom(connection, "_NET_STARTUP_INFO");
    if (root == XCB_WINDOW_NONE || begin == XCB_ATOM_NONE || more == XCB_ATOM_NONE)
        return;
    // Sent in pieces of 20 bytes, the whole message ending with its NUL.
    const QByteArray text = "remove: ID=" + startupId + '\0';
    for (qsizetype offset = 0; offset < text.size(); offset += 20) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 8;
        message.window = window;
        message.type = offset == 0 ? begin : more;
        std::memcpy(message.data.data8, text.constData() + offset,
                    size_t(std::min<qsizetype>(20, text.size() - offset)));
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char *>(&message));
    }
}

void bringForwardOnX11(QWidget &window, const QByteArray &startupId) {
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    const std::optional<quint32> userTime = startupIdTime(startupId);
    if (!x11 || !userTime) {
        window.activateWindow();
        return;
    }
    xcb_connection_t *connection = x11->connection();
    const auto native = xcb_window_t(window.winId());
    activateWithUserTime(connection, native, *userTime);
    endStartupNotification(connection, native, startupId);
    xcb_flush(connection);
}

void bringForwardOnWayland(QWidget &window, const QByteArray &token) {
    // Qt's Wayland shell asks the compositor to activate the window with the token it finds
    // here, and takes it away once used.
    if (!token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token);
    window.activateWindow();
    // Left when the compositor has no activation: a token is good for one request only.
    qunsetenv("XDG_ACTIVATION_TOKEN");
}

xdg_toplevel *toplevelOf(QWidget &window) {
    QWindow *handle = window.windowHandle();
    if (!handle || !handle->handle())
        return nullptr;
    return static_cast<xdg_toplevel *>(
        QGuiApplication::platformNativeInterface()->nativeResourceForWindow("xdg_toplevel",
                                                                            handle));
}

wl_display *waylandDisplay() {
    return static_cast<wl_display *>(
        QGuiApplication::platformNativeInterface()->nativeResourceForIntegration("wl_display"));
}

// Whether the compositor has a global of `interface`, asked on a queue of Sonavel's own: Qt's
// queue and its event thread are left alone.
bool compositorOffers(const char *interface) {
    wl_display *display = waylandDisplay();
    if (!display)
        return false;
    wl_event_queue *queue = wl_display_create_queue(display);
    auto *wrapper = static_cast<wl_display *>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(wrapper), queue);
    wl_registry *registry = wl_display_get_registry(wrapper);
    wl_proxy_wrapper_destroy(wrapper);
    struct Search {
        const char *interface;
        bool found = false;
    } search{interface};
    static const wl_registry_listener listener{
        .global =
            [](void *data, wl_registry *, uint32_t, const char *offered, uint32_t) {
                auto *search = static_cast<Search *>(data);
                search->found = search->found || std::strcmp(offered, search->interface) == 0;
            },
        .global_remove = [](void *, wl_registry *, uint32_t) {},
    };
    wl_registry_add_listener(registry, &listener, &search);
    wl_display_roundtrip_queue(display, queue);
    wl_registry_destroy(registry);
    wl_event_queue_destroy(queue);
    return search.found;
}

} // namespace

bool desktopPlacesWindows() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

std::optional<quint32> startupIdTime(QByteArrayView startupId) {
    const qsizetype at = startupId.lastIndexOf(QByteArrayView("_TIME"));
    if (at < 0)
        return std::nullopt;
    bool ok = false;
    const quint32 time = startupId.sliced(at + 5).toUInt(&ok);
    return ok && time != 0 ? std::optional(time) : std::nullopt;
}

void bringForward(QWidget &window, const QByteArray &activationToken) {
    if (window.isMinimized())
        window.showNormal();
    window.show();
    window.raise();
    if (desktopPlacesWindows())
        bringForwardOnWayland(window, activationToken);
    else if (isX11())
        bringForwardOnX11(window, activationToken);
    else
        window.activateWindow();
}

void setParentWindow(QWidget &dialog, QWidget &parent) {
    if (!desktopPlacesWindows())
        return;
    xdg_toplevel *child = toplevelOf(dialog);
    xdg_toplevel *toplevel = toplevelOf(parent);
    if (!child || !toplevel || child == toplevel)
        return;
    xdg_toplevel_set_parent(child, toplevel);
    // Qt's own requests go out as its event thread flushes; this one is Sonavel's.
    if (wl_display *display = waylandDisplay())
        wl_display_flush(display);
}

bool desktopRaisesOnRequest() {
    if (!desktopPlacesWindows())
        return true;
    static const bool offered = compositorOffers("xdg_activation_v1");
    return offered;
}

} // namespace window_system
