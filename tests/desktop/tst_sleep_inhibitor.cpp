#include "app/app_delegate.h"
#include "desktop/inhibition_rule.h"
#include "ext-idle-notify-v1-client-protocol.h"
#include "playback/player_manager.h"
#include "support/test_support.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QMainWindow>

#include <cstring>
#include <memory>
#include <wayland-client.h>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

using test_support::timeoutMs;

namespace {

const QString portal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString screenSaver = QStringLiteral("org.freedesktop.ScreenSaver");
const QString sessionManager = QStringLiteral("org.gnome.SessionManager");

// The desktop's services as the tests' bus offers them: whichever names are taken answer,
// recording every hold taken and let go of. A connection of its own, so that it answers
// whatever the player's connection waits for.
class StandInDesktop : public QDBusVirtualObject {
public:
    StandInDesktop() : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "standin")) {
        bus_.registerVirtualObject("/", this, QDBusConnection::SubPath);
    }
    ~StandInDesktop() override {
        offer({});
        bus_.unregisterObject("/", QDBusConnection::UnregisterTree);
        QDBusConnection::disconnectFromBus("standin");
    }

    // Takes exactly these service names.
    void offer(const QStringList &services) {
        for (const QString &service : {portal, screenSaver, sessionManager}) {
            if (services.contains(service))
                QVERIFY(bus_.registerService(service));
            else
                bus_.unregisterService(service);
        }
    }

    // What is held now, by what it was asked for: "portal 8", "screen saver", "session 4".
    QStringList held() const { return held_.values(); }
    // Every hold asked for so far, in order.
    QStringList asked;
    // Reasons given with the holds.
    QStringList reasons;
    // Let-gos of what was never held, or no longer: each one a fault.
    QStringList mistakes;
    // Answers kept back until answerHeldBack(), as a slow desktop's.
    bool holdBackAnswers = false;

    void answerHeldBack() {
        for (const QDBusMessage &message : std::exchange(heldBack_, {}))
            answer(message);
    }

    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &) override {
        const QString &member = message.member();
        if (member != "Inhibit" && member != "UnInhibit" && member != "Uninhibit" &&
            member != "Close")
            return false;
        if (member == "Inhibit")
            asked.append(what(message));
        if (member == "Inhibit" && holdBackAnswers) {
            message.setDelayedReply(true);
            heldBack_.append(message);
            return true;
        }
        answer(message);
        return true;
    }

private:
    static QString what(const QDBusMessage &inhibit) {
        const QVariantList arguments = inhibit.arguments();
        if (inhibit.interface() == "org.freedesktop.portal.Inhibit")
            return QStringLiteral("portal %1").arg(arguments.value(1).toUInt());
        if (inhibit.interface() == screenSaver)
            return QStringLiteral("screen saver");
        return QStringLiteral("session %1").arg(arguments.value(3).toUInt());
    }
    void answer(const QDBusMessage &message) {
        const QVariantList arguments = message.arguments();
        QVariant reply;
        if (message.member() == "Inhibit") {
            const bool fromPortal = message.interface() == "org.freedesktop.portal.Inhibit";
            reasons.append(
                fromPortal
                    ? qdbus_cast<QVariantMap>(arguments.value(2)).value("reason").toString()
                    : arguments.value(message.interface() == screenSaver ? 1 : 2).toString());
            ++serial_;
            QString handle = message.interface() + message.path() + QString::number(serial_);
            reply = serial_;
            if (fromPortal) {
                handle =
                    QStringLiteral("/org/freedesktop/portal/desktop/request/1/t%1").arg(serial_);
                reply = QVariant::fromValue(QDBusObjectPath(handle));
            }
            held_.insert(handle, what(message));
        } else {
            const QString handle = message.member() == "Close"
                                       ? message.path()
                                       : message.interface() + message.path() +
                                             QString::number(arguments.value(0).toUInt());
            if (!held_.remove(handle))
                mistakes.append(message.member() + " " + handle);
        }
        QDBusMessage answer = message.createReply();
        if (reply.isValid())
            answer << reply;
        bus_.send(answer);
    }

    QDBusConnection bus_;
    QMap<QString, QString> held_;
    QList<QDBusMessage> heldBack_;
    uint serial_ = 0;
};

// The X server's screen saver as another client sees it.
class XScreenSaverWatch {
public:
    XScreenSaverWatch() : connection_(xcb_connect(nullptr, nullptr)) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_.get())).data->root;
    }
    // The server's defaults again, for the tests that follow.
    ~XScreenSaverWatch() { setTimeout(-1); }
    // The saver comes on after `seconds` without input, unless held off.
    void setTimeout(int seconds) {
        xcb_set_screen_saver(connection_.get(), int16_t(seconds), int16_t(seconds < 0 ? -1 : 0),
                             XCB_BLANKING_DEFAULT, XCB_EXPOSURES_DEFAULT);
        xcb_force_screen_saver(connection_.get(), XCB_SCREEN_SAVER_RESET);
        xcb_flush(connection_.get());
    }
    struct State {
        bool on = false;
        uint32_t idleMs = 0;
    };
    State state() {
        std::unique_ptr<xcb_screensaver_query_info_reply_t, decltype(&std::free)> reply(
            xcb_screensaver_query_info_reply(
                connection_.get(), xcb_screensaver_query_info(connection_.get(), root_), nullptr),
            &std::free);
        if (!reply)
            return {};
        return {reply->state == XCB_SCREENSAVER_STATE_ON, reply->ms_since_user_input};
    }

private:
    struct Disconnect {
        void operator()(xcb_connection_t *connection) const { xcb_disconnect(connection); }
    };
    std::unique_ptr<xcb_connection_t, Disconnect> connection_;
    xcb_window_t root_ = 0;
};

// The compositor's idle notifications, asked for as a screen locker asks: they respect
// idle inhibitors.
class CompositorIdleWatch {
public:
    CompositorIdleWatch() : display_(wl_display_connect(nullptr)) {
        if (!display_)
            return;
        registry_ = wl_display_get_registry(display_.get());
        static const wl_registry_listener listener{
            .global =
                [](void *data, wl_registry *registry, uint32_t name, const char *interface,
                   uint32_t) {
                    auto *self = static_cast<CompositorIdleWatch *>(data);
                    if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0)
                        self->notifier_ = static_cast<ext_idle_notifier_v1 *>(
                            wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
                    else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat_)
                        self->seat_ = static_cast<wl_seat *>(
                            wl_registry_bind(registry, name, &wl_seat_interface, 1));
                    else if (std::strcmp(interface, "zwp_idle_inhibit_manager_v1") == 0)
                        self->offersInhibition_ = true;
                },
            .global_remove = [](void *, wl_registry *, uint32_t) {},
        };
        wl_registry_add_listener(registry_, &listener, this);
        wl_display_roundtrip(display_.get());
    }
    ~CompositorIdleWatch() {
        if (notification_)
            ext_idle_notification_v1_destroy(notification_);
        if (notifier_)
            ext_idle_notifier_v1_destroy(notifier_);
        if (seat_)
            wl_seat_destroy(seat_);
        if (registry_)
            wl_registry_destroy(registry_);
    }
    bool canWatch() const { return notifier_ && seat_ && offersInhibition_; }
    // Told of `timeoutMs` without input, from now on.
    void watch(uint32_t timeoutMs) {
        idle_ = false;
        notification_ = ext_idle_notifier_v1_get_idle_notification(notifier_, timeoutMs, seat_);
        static const ext_idle_notification_v1_listener listener{
            .idled =
                [](void *data, ext_idle_notification_v1 *) {
                    static_cast<CompositorIdleWatch *>(data)->idle_ = true;
                },
            .resumed =
                [](void *data, ext_idle_notification_v1 *) {
                    static_cast<CompositorIdleWatch *>(data)->idle_ = false;
                },
        };
        ext_idle_notification_v1_add_listener(notification_, &listener, this);
        wl_display_roundtrip(display_.get());
    }
    bool idle() {
        wl_display_roundtrip(display_.get());
        return idle_;
    }

private:
    struct Disconnect {
        void operator()(wl_display *display) const { wl_display_disconnect(display); }
    };
    std::unique_ptr<wl_display, Disconnect> display_;
    wl_registry *registry_ = nullptr;
    ext_idle_notifier_v1 *notifier_ = nullptr;
    wl_seat *seat_ = nullptr;
    ext_idle_notification_v1 *notification_ = nullptr;
    bool offersInhibition_ = false;
    bool idle_ = false;
};

// Lets `ms` pass with the event loop running: how long the compositor is given to go idle when
// it must not.
void letPass(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QTest::qWait(50);
}

} // namespace

// Whether the screen stays awake while a film plays, and only then, as the desktop sees it:
// the services on the tests' bus, the X server, the Wayland compositor.
class SleepInhibitorTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<StandInDesktop> desktop;
    std::unique_ptr<AppDelegate> delegate;

    PlayerManager &manager() { return *delegate->playerManager(); }
    void launch() {
        delegate =
            std::make_unique<AppDelegate>(QStringList{"sonavel"}, test_support::headlessEngine());
        delegate->applicationDidFinishLaunching();
    }
    // A film alone in its folder, so that its end is the end of playback.
    QUrl film(const QString &fixture = "long.mp4") {
        return test_support::placeFixture(fixture, folder->path(), "film.mp4");
    }
    QUrl song() { return test_support::placeFixture("long.mp3", folder->path(), "song.mp3"); }

private Q_SLOTS:
    void init() {
        folder = std::make_unique<QTemporaryDir>();
        desktop = std::make_unique<StandInDesktop>();
    }
    void cleanup() {
        delegate.reset();
        // Nothing left held, nothing let go of twice or by a wrong cookie.
        if (desktop) {
            QTRY_COMPARE_WITH_TIMEOUT(desktop->held(), QStringList(), timeoutMs);
            QCOMPARE(desktop->mistakes, QStringList());
        }
        desktop.reset();
    }

    void filmsKeepTheScreenAwakeSongsTheSession() {
        QCOMPARE(inhibitionFor({.loaded = true, .playing = true, .video = true}), Inhibition::idle);
        QCOMPARE(inhibitionFor({.loaded = true, .playing = true}), Inhibition::suspend);
        QCOMPARE(inhibitionFor({.loaded = true, .playing = false, .video = true}),
                 Inhibition::none);
        QCOMPARE(inhibitionFor({.loaded = true, .playing = true, .video = true, .failed = true}),
                 Inhibition::none);
        QCOMPARE(inhibitionFor({.loaded = false, .playing = true, .video = true}),
                 Inhibition::none);
    }

    void aFilmHoldsTheScreenSaverUntilItPausesStopsEndsFailsOrQuits() {
        desktop->offer({screenSaver});
        launch();
        const QStringList holding{"screen saver"};

        manager().loadMedia(film());
        QTRY_COMPARE_WITH_TIMEOUT(desktop->held(), holding, timeoutMs);
        QVERIFY(!desktop->reasons.last().isEmpty());
        manager().pause();
        QTRY_COMPARE_WITH_TIMEOUT(desktop->held(), QStringList(), timeoutMs);
        manager().play();
        QTRY_COMPARE_WITH_TIMEOUT(desktop->held(), holding, timeoutMs);
        manager().stop();
        QTRY_COMPARE_WITH_TIMEOUT(desktop->held(), QStringList(), timeoutMs);

        // A file that cannot be played, loaded while a film plays.
        manager().play();
        QTRY_COMPARE_WITH_TIMEOUT(desktop->held(), holding, timeoutMs);
        manager().loadMedia(QUrl::fromLocalFile(test_support::fixture("text.mkv")));
        QTRY_VERIFY_WITH_TIMEOUT(!manager().loadError().isEmpty(), timeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(desktop->held(), QStringList(), timeoutMs);

        // The end of a film.
        manager().loadMedia(film("clip.mp4"));
        QTRY_COMPARE_WITH_TIMEOUT(desktop->asked.size(), 4, timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!manager().isPlaying(), timeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(desktop->held(), QStringList(), timeoutMs);

        // Quit.
        manager().loadMedia(film());
        QTRY_COMPARE_WITH_TIMEOUT(desktop->held(), holding, timeoutMs);
        delegate.reset();
        QTRY_COMPARE_WITH_TIMEOUT(desktop->held(), QStringList(), timeoutMs);
        // Each hold asked for once, never two at a time.
        QCOMPARE(desktop->asked.size(), 5);
    }

    void thePortalComesFirstAndSongsOnlyKeepTheSessionFromSuspending() {
        desktop->offer({portal, screenSaver, sessionManager});
        launch();
        manager().loadMedia(song());
        QTRY_COMPARE_WITH_TIMEOUT(desktop->held(), QStringList{"portal 4"}, timeoutMs);
        // A film after the song: the song's hold makes way.
        manager().loadMedia(film());
        QTRY_COMPARE_WITH_TIMEOUT(desktop->held(), QStringList{"portal 8"}, timeoutMs);
        QVERIFY(!desktop->reasons.last().isEmpty());
        manager().pause();
        QTRY_COMPARE_WITH_TIMEOUT(desktop->held(), QStringList(), timeoutMs);
        QCOMPARE(desktop->asked, (QStringList{"portal 4", "portal 8"}));

        // Without the portal: the screen saver for films, GNOME's session for songs.
        desktop->offer({screenSaver, sessionManager});
        manager().play();
        QTRY_COMPARE_WITH_TIMEOUT(desktop->held(), QStringList{"screen saver"}, timeoutMs);
        manager().loadMedia(song());
        QTRY_COMPARE_WITH_TIMEOUT(desktop->held(), QStringList{"session 4"}, timeoutMs);

        // With nothing at all, a song holds nothing and nothing breaks.
        manager().pause();
        QTRY_COMPARE_WITH_TIMEOUT(desktop->held(), QStringList(), timeoutMs);
        desktop->offer({});
        manager().play();
        QTRY_VERIFY_WITH_TIMEOUT(manager().isPlaying(), timeoutMs);
        QCOMPARE(desktop->asked.size(), 4);
    }

    // A slow desktop answers after the film was paused, or after Sonavel quit.
    void whatASlowDesktopGrantsLateIsLetGoOf() {
        desktop->offer({screenSaver});
        desktop->holdBackAnswers = true;
        launch();
        manager().loadMedia(film());
        QTRY_COMPARE_WITH_TIMEOUT(desktop->asked.size(), 1, timeoutMs);
        manager().pause();
        QTRY_VERIFY_WITH_TIMEOUT(!manager().isPlaying(), timeoutMs);
        desktop->answerHeldBack();
        QTRY_COMPARE_WITH_TIMEOUT(desktop->held(), QStringList(), timeoutMs);

        manager().play();
        QTRY_COMPARE_WITH_TIMEOUT(desktop->asked.size(), 2, timeoutMs);
        delegate.reset();
        desktop->answerHeldBack();
        QTRY_COMPARE_WITH_TIMEOUT(desktop->held(), QStringList(), timeoutMs);
        QCOMPARE(desktop->asked.size(), 2);
    }

    // Without any service, on X11: the server's own screen saver waits while a film plays.
    void theXServersScreenSaverWaitsWhileAFilmPlays() {
        if (QGuiApplication::platformName() != "xcb")
            QSKIP("X11 only");
        XScreenSaverWatch saver;
        saver.setTimeout(1);
        launch();
        manager().loadMedia(film());
        QTRY_VERIFY_WITH_TIMEOUT(manager().isPlaying(), timeoutMs);
        // Well past the timeout without input, and the saver is still off.
        QTRY_VERIFY_WITH_TIMEOUT(saver.state().idleMs > 3000, timeoutMs);
        QVERIFY(!saver.state().on);

        manager().pause();
        QTRY_VERIFY_WITH_TIMEOUT(saver.state().on, timeoutMs);
        // Playing again takes the saver down, and quitting lets it come back.
        manager().play();
        QTRY_VERIFY_WITH_TIMEOUT(!saver.state().on, timeoutMs);
        delegate.reset();
        QTRY_VERIFY_WITH_TIMEOUT(saver.state().on, timeoutMs);
    }

    // Without any service, on Wayland: the compositor is not idle while a film plays.
    void theCompositorStaysAwakeWhileAFilmPlays() {
        if (!QGuiApplication::platformName().startsWith("wayland"))
            QSKIP("Wayland only");
        CompositorIdleWatch compositor;
        if (!compositor.canWatch())
            QSKIP("the compositor offers no idle inhibition or idle notifications (weston 10)");
        launch();
        manager().loadMedia(film());
        QTRY_VERIFY_WITH_TIMEOUT(manager().isPlaying() && delegate->window()->isVisible(),
                                 timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(delegate->window()->windowHandle()->isExposed(), timeoutMs);
        compositor.watch(1000);
        letPass(2500);
        QVERIFY(!compositor.idle());

        manager().pause();
        QTRY_VERIFY_WITH_TIMEOUT(compositor.idle(), timeoutMs);
    }
};

SONAVEL_TEST_MAIN(SleepInhibitorTest, QApplication)
#include "tst_sleep_inhibitor.moc"
