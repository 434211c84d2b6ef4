#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

class QWidget;
struct wl_display;
struct wl_event_queue;
struct wl_surface;
struct zwp_idle_inhibit_manager_v1;
struct zwp_idle_inhibitor_v1;

// Keeps a Wayland compositor from idling while a window shows, with the idle-inhibit protocol
// on the window's own surface: KWin honours it there, and not on a subsurface such as the
// film's picture. Qt makes the surface when the window shows and destroys it when the window
// hides: the inhibitor goes with it and comes back on the next one.
class WaylandIdleInhibitor : public QObject {
    Q_OBJECT
public:
    // Null unless this is Wayland and the compositor offers the protocol.
    static std::unique_ptr<WaylandIdleInhibitor> create(QWidget &window);
    ~WaylandIdleInhibitor() override;

    void setActive(bool active);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Deleter {
        void operator()(wl_event_queue *queue) const;
        void operator()(zwp_idle_inhibit_manager_v1 *manager) const;
        void operator()(zwp_idle_inhibitor_v1 *inhibitor) const;
    };
    using Queue = std::unique_ptr<wl_event_queue, Deleter>;
    using Manager = std::unique_ptr<zwp_idle_inhibit_manager_v1, Deleter>;

    WaylandIdleInhibitor(QWidget &window, wl_display *display, Queue queue, Manager manager);
    void follow();

    QPointer<QWidget> window_;
    wl_display *display_;
    // The manager's events would come on this queue; it goes after the manager.
    Queue queue_;
    Manager manager_;
    std::unique_ptr<zwp_idle_inhibitor_v1, Deleter> inhibitor_;
    // The surface it is set on.
    wl_surface *inhibited_ = nullptr;
    bool active_ = false;
};
