#include "desktop/sleep_inhibitor.h"

#include "desktop/bus_hold.h"
#include "desktop/wayland_idle_inhibitor.h"
#include "desktop/x_screen_saver_suspension.h"
#include "i18n/localization.h"
#include "playback/player_manager.h"

#include <QDBusObjectPath>
#include <QVariantMap>
#include <QWidget>

#include <array>
#include <span>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString screenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString sessionManagerService = QStringLiteral("org.gnome.SessionManager");
const QString applicationId = QStringLiteral("io.sonavel.Sonavel");

// The portal's and GNOME's flags.
constexpr uint suspendFlag = 4;
constexpr uint idleFlag = 8;

} // namespace

SleepInhibitor::SleepInhibitor(PlayerManager &playerManager, QWidget &filmWindow, QObject *parent)
    : QObject(parent), playerManager_(playerManager), filmWindow_(&filmWindow) {
    // Fields change in batches, each announced before it is assigned: read them once all are in.
    pending_.setSingleShot(true);
    pending_.setInterval(0);
    connect(&pending_, &QTimer::timeout, this, &SleepInhibitor::follow);
    connect(&playerManager_, &PlayerManager::objectWillChange, &pending_,
            qOverload<>(&QTimer::start));
    follow();
}

SleepInhibitor::~SleepInhibitor() {
    letGo();
}

void SleepInhibitor::follow() {
    want(inhibitionFor({.loaded = playerManager_.player() != nullptr,
                        .playing = playerManager_.isPlaying(),
                        .video = playerManager_.isVideo(),
                        .failed = !playerManager_.loadError().isEmpty()}));
}

void SleepInhibitor::want(Inhibition inhibition) {
    if (inhibition == wanted_)
        return;
    letGo();
    wanted_ = inhibition;
    ask(0);
}

void SleepInhibitor::ask(std::size_t step) {
    static constexpr std::array idleSteps{Step::portal, Step::screenSaver, Step::screenSaverAtRoot,
                                          Step::displayServer};
    static constexpr std::array suspendSteps{Step::portal, Step::sessionManager};
    std::span<const Step> steps;
    if (wanted_ == Inhibition::idle)
        steps = idleSteps;
    else if (wanted_ == Inhibition::suspend)
        steps = suspendSteps;
    for (; step < steps.size(); ++step) {
        const bool asked = steps[step] == Step::displayServer ? holdOnDisplayServer()
                                                              : askBus(steps[step], step + 1);
        if (asked)
            return;
    }
}

bool SleepInhibitor::askBus(Step step, std::size_t next) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    const QString reason =
        L.get(wanted_ == Inhibition::idle ? u"inhibitReasonFilm" : u"inhibitReasonMusic");
    const uint flag = wanted_ == Inhibition::idle ? idleFlag : suspendFlag;
    QDBusMessage inhibit;
    BusHold::Release release;
    switch (step) {
    case Step::portal:
        inhibit = QDBusMessage::createMethodCall(
            portalService, QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"));
        inhibit << QString() << flag << QVariantMap{{QStringLiteral("reason"), reason}};
        // Held until the request the answer names is closed.
        release = [](const QDBusMessage &answer) {
            const auto request = answer.arguments().value(0).value<QDBusObjectPath>();
            return QDBusMessage::createMethodCall(portalService, request.path(),
                                                  QStringLiteral("org.freedesktop.portal.Request"),
                                                  QStringLiteral("Close"));
        };
        break;
    case Step::screenSaver:
    case Step::screenSaverAtRoot: {
        // Some desktops serve it under the older path only.
        const QString path = step == Step::screenSaver
                                 ? QStringLiteral("/org/freedesktop/ScreenSaver")
                                 : QStringLiteral("/ScreenSaver");
        inhibit = QDBusMessage::createMethodCall(screenSaverService, path, screenSaverService,
                                                 QStringLiteral("Inhibit"));
        inhibit << applicationId << reason;
        release = [path](const QDBusMessage &answer) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                screenSaverService, path, screenSaverService, QStringLiteral("UnInhibit"));
            call << answer.arguments().value(0).toUInt();
            return call;
        };
        break;
    }
    case Step::sessionManager:
        inhibit = QDBusMessage::createMethodCall(sessionManagerService,
                                                 QStringLiteral("/org/gnome/SessionManager"),
                                                 sessionManagerService, QStringLiteral("Inhibit"));
        inhibit << applicationId << 0u << reason << flag;
        release = [](const QDBusMessage &answer) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                sessionManagerService, QStringLiteral("/org/gnome/SessionManager"),
                sessionManagerService, QStringLiteral("Uninhibit"));
            call << answer.arguments().value(0).toUInt();
            return call;
        };
        break;
    case Step::displayServer:
        return false;
    }
    busHold_ = new BusHold(bus, inhibit, std::move(release), this);
    // Not there, or refused: the next one is asked.
    connect(busHold_, &BusHold::refused, this, [this, next] { ask(next); });
    return true;
}

bool SleepInhibitor::holdOnDisplayServer() {
    xSuspension_ = XScreenSaverSuspension::create();
    if (xSuspension_)
        return true;
    if (!waylandProbed_ && filmWindow_) {
        waylandProbed_ = true;
        wayland_ = WaylandIdleInhibitor::create(*filmWindow_);
    }
    if (!wayland_)
        return false;
    wayland_->setActive(true);
    return true;
}

void SleepInhibitor::letGo() {
    if (busHold_)
        busHold_->release();
    busHold_ = nullptr;
    xSuspension_.reset();
    if (wayland_)
        wayland_->setActive(false);
    wanted_ = Inhibition::none;
}
