#pragma once

#include "desktop/inhibition_rule.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstddef>
#include <memory>

class BusHold;
class PlayerManager;
class QWidget;
class WaylandIdleInhibitor;
class XScreenSaverSuspension;

// Keeps the screen awake while a film plays and the session from suspending while a song
// plays, holding exactly what inhibitionFor() asks for at any time, and never twice. It asks
// the first the desktop offers of: the desktop portal; org.freedesktop.ScreenSaver for the
// screen, or GNOME's session manager against suspending; then, for the screen only, the X
// server's own screen saver, or the Wayland compositor through the film's window.
class SleepInhibitor : public QObject {
    Q_OBJECT
public:
    // `filmWindow`: the window films are shown in.
    SleepInhibitor(PlayerManager &playerManager, QWidget &filmWindow, QObject *parent = nullptr);
    // Lets go of everything.
    ~SleepInhibitor() override;

private:
    enum class Step { portal, screenSaver, screenSaverAtRoot, sessionManager, displayServer };

    void follow();
    void want(Inhibition inhibition);
    // Tries the steps for the wanted inhibition from `step` on, until one holds.
    void ask(std::size_t step);
    bool askBus(Step step, std::size_t next);
    bool holdOnDisplayServer();
    void letGo();

    PlayerManager &playerManager_;
    QPointer<QWidget> filmWindow_;
    QTimer pending_;
    Inhibition wanted_ = Inhibition::none;
    // Whichever holds, or is being asked.
    QPointer<BusHold> busHold_;
    std::unique_ptr<XScreenSaverSuspension> xSuspension_;
    // Bound once, on first use: asking the compositor takes a round trip.
    std::unique_ptr<WaylandIdleInhibitor> wayland_;
    bool waylandProbed_ = false;
};
