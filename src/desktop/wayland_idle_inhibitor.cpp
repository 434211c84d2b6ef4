#include "desktop/wayland_idle_inhibitor.h"

#include "idle-inhibit-unstable-v1-client-protocol.h"

#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>

#include <cstring>
#include <wayland-client.h>

namespace {

// Binds the compositor's idle-inhibit manager, if it has one, on a queue of Sonavel's own:
// Qt's queue and its event thread are left alone.
zwp_idle_inhibit_manager_v1 *bindManager(wl_display *display, wl_event_queue *queue) {
    auto *wrapper = static_cast<wl_display *>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(wrapper), queue);
    wl_registry *registry = wl_display_get_registry(wrapper);
    wl_proxy_wrapper_destroy(wrapper);
    zwp_idle_inhibit_manager_v1 *manager = nullptr;
    static const wl_registry_listener listener{
        .global =
            [](void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t) {
                if (std::strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name) != 0)
                    return;
                *static_cast<zwp_idle_inhibit_manager_v1 **>(data) =
                    static_cast<zwp_idle_inhibit_manager_v1 *>(wl_registry_bind(
                        registry, name, &zwp_idle_inhibit_manager_v1_interface, 1));
            },
        .global_remove = [](void *, wl_registry *, uint32_t) {},
    };
    wl_registry_add_listener(registry, &listener, &manager);
    wl_display_roundtrip_queue(display, queue);
    wl_registry_destroy(registry);
    return manager;
}

} // namespace

void WaylandIdleInhibitor::Deleter::operator()(wl_event_queue *queue) const {
    wl_event_queue_destroy(queue);
}
void WaylandIdleInhibitor::Deleter::operator()(zwp_idle_inhibit_manager_v1 *manager) const {
    zwp_idle_inhibit_manager_v1_destroy(manager);
}
void WaylandIdleInhibitor::Deleter::operator()(zwp_idle_inhibitor_v1 *inhibitor) const {
    zwp_idle_inhibitor_v1_destroy(inhibitor);
}

std::unique_ptr<WaylandIdleInhibitor> WaylandIdleInhibitor::create(QWidget &window) {
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return nullptr;
    auto *display = static_cast<wl_display *>(
        QGuiApplication::platformNativeInterface()->nativeResourceForIntegration("wl_display"));
    if (!display)
        return nullptr;
    Queue queue(wl_display_create_queue(display));
    Manager manager(bindManager(display, queue.get()));
    if (!manager)
        return nullptr;
    return std::unique_ptr<WaylandIdleInhibitor>(
        new WaylandIdleInhibitor(window, display, std::move(queue), std::move(manager)));
}

WaylandIdleInhibitor::WaylandIdleInhibitor(QWidget &window, wl_display *display, Queue queue,
                                           Manager manager)
    : window_(&window), display_(display), queue_(std::move(queue)), manager_(std::move(manager)) {
    window.installEventFilter(this);
}

WaylandIdleInhibitor::~WaylandIdleInhibitor() {
    inhibitor_.reset();
    manager_.reset();
    wl_display_flush(display_);
}

void WaylandIdleInhibitor::setActive(bool active) {
    active_ = active;
    follow();
}

bool WaylandIdleInhibitor::eventFilter(QObject *watched, QEvent *event) {
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::WinIdChange:
        // The surface is made after the widget hears of it.
        QTimer::singleShot(0, this, &WaylandIdleInhibitor::follow);
        break;
    case QEvent::Hide:
        // The surface is gone already.
        follow();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void WaylandIdleInhibitor::follow() {
    QWindow *handle = window_ && active_ ? window_->windowHandle() : nullptr;
    auto *surface = handle && handle->isVisible()
                        ? static_cast<wl_surface *>(
                              QGuiApplication::platformNativeInterface()->nativeResourceForWindow(
                                  "surface", handle))
                        : nullptr;
    if (surface == inhibited_)
        return;
    inhibitor_.reset();
    inhibited_ = surface;
    if (surface)
        inhibitor_.reset(zwp_idle_inhibit_manager_v1_create_inhibitor(manager_.get(), surface));
    wl_display_flush(display_);
}
