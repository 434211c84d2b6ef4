#include "app/app_delegate.h"
#include "desktop/media_controls.h"
#include "desktop/single_instance.h"
#include "playback/player_manager.h"
#include "support/test_support.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDateTime>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

#include <limits>

using test_support::timeoutMs;

// Records what the bus says about the player: PropertiesChanged and Seeked.
class BusListener : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> changes;
    QList<QVariantMap> rootChanges;
    QList<qlonglong> seeks;

public Q_SLOTS:
    void propertiesChanged(const QString &interface, const QVariantMap &changed,
                           const QStringList &) {
        (interface == "org.mpris.MediaPlayer2" ? rootChanges : changes).append(changed);
    }
    void seeked(qlonglong position) { seeks.append(position); }
};

// The desktop's media controls, driven the way desktops and playerctl drive them: over the
// session bus of the test run (dbus-run-session).
class MediaControlsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<AppDelegate> delegate;
    BusListener listener;

    PlayerManager &manager() { return *delegate->playerManager(); }

    // playerctl, run while this thread's event loop keeps answering the bus.
    QString playerctl(const QStringList &arguments, int *exitCode = nullptr) {
        QProcess process;
        process.start("playerctl", QStringList{"--player=sonavel"} + arguments);
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs))
            qFatal("playerctl did not finish");
        if (exitCode)
            *exitCode = process.exitCode();
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }
    QVariant property(const QString &name) {
        QDBusInterface player(MediaControls::serviceName, MediaControls::objectPath,
                              "org.mpris.MediaPlayer2.Player");
        return player.property(name.toLatin1());
    }
    QDBusMessage call(const QString &method, const QVariantList &arguments,
                      const QString &interface = "org.mpris.MediaPlayer2.Player") {
        QDBusMessage message = QDBusMessage::createMethodCall(
            MediaControls::serviceName, MediaControls::objectPath, interface, method);
        message.setArguments(arguments);
        // Asynchronously: the answer comes from this thread's own event loop.
        QDBusPendingCall pending = QDBusConnection::sessionBus().asyncCall(message);
        QDBusPendingCallWatcher watcher(pending);
        QSignalSpy done(&watcher, &QDBusPendingCallWatcher::finished);
        if (!pending.isFinished() && !done.wait(timeoutMs))
            qFatal("no answer to %s", qPrintable(method));
        return pending.reply();
    }

private Q_SLOTS:
    void initTestCase() {
        if (QStandardPaths::findExecutable("playerctl").isEmpty())
            QSKIP("needs playerctl");
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        QDBusConnection::sessionBus().connect(
            MediaControls::serviceName, MediaControls::objectPath,
            "org.freedesktop.DBus.Properties", "PropertiesChanged", &listener,
            SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
        QDBusConnection::sessionBus().connect(MediaControls::serviceName, MediaControls::objectPath,
                                              "org.mpris.MediaPlayer2.Player", "Seeked", &listener,
                                              SLOT(seeked(qlonglong)));
    }
    void init() {
        folder = std::make_unique<QTemporaryDir>();
        delegate =
            std::make_unique<AppDelegate>(QStringList{"sonavel"}, test_support::headlessEngine());
        delegate->applicationDidFinishLaunching();
        listener.changes.clear();
        listener.rootChanges.clear();
        listener.seeks.clear();
    }
    void cleanup() { delegate.reset(); }

    void fullScreenFromTheDesktopWhileAFilmIsShown() {
        QDBusInterface root(MediaControls::serviceName, MediaControls::objectPath,
                            "org.mpris.MediaPlayer2");
        const auto setFullscreen = [&](bool on) {
            call("Set",
                 {"org.mpris.MediaPlayer2", "Fullscreen", QVariant::fromValue(QDBusVariant(on))},
                 "org.freedesktop.DBus.Properties");
        };
        const auto announced = [&](const QString &name, bool value) {
            return QTest::qWaitFor(
                [&] {
                    return !listener.rootChanges.isEmpty() &&
                           listener.rootChanges.last().value(name) == QVariant(value);
                },
                timeoutMs);
        };

        // A song can neither be put in full screen nor asked to.
        manager().loadMedia(test_support::placeFixture("tone.mp3", folder->path(), "a.mp3"));
        QTRY_VERIFY_WITH_TIMEOUT(manager().isPlaying(), timeoutMs);
        QCOMPARE(root.property("CanSetFullscreen").toBool(), false);
        setFullscreen(true);
        QVERIFY(!delegate->isInCustomFullScreen());
        QCOMPARE(root.property("Fullscreen").toBool(), false);

        // A film can, both ways, and every change is announced, whoever made it.
        manager().loadMedia(QUrl::fromLocalFile(test_support::fixture("clip.mp4")));
        QVERIFY(announced("CanSetFullscreen", true));
        setFullscreen(true);
        QVERIFY(delegate->isInCustomFullScreen());
        QCOMPARE(root.property("Fullscreen").toBool(), true);
        QVERIFY(announced("Fullscreen", true));
        setFullscreen(false);
        QVERIFY(!delegate->isInCustomFullScreen());
        QVERIFY(announced("Fullscreen", false));
        delegate->toggleCustomFullScreen();
        QVERIFY(announced("Fullscreen", true));

        // A song after the film in full screen leaves it: nothing on screen would lead out.
        manager().loadMedia(test_support::placeFixture("tone.mp3", folder->path(), "a.mp3"));
        QTRY_VERIFY_WITH_TIMEOUT(!delegate->isInCustomFullScreen(), timeoutMs);
        QVERIFY(announced("Fullscreen", false));
        QCOMPARE(root.property("CanSetFullscreen").toBool(), false);
    }

    void statusMetadataAndChangesReachTheDesktop() {
        QVERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(
            MediaControls::serviceName));
        QCOMPARE(playerctl({"status"}), QStringLiteral("Stopped"));
        QDBusInterface root(MediaControls::serviceName, MediaControls::objectPath,
                            "org.mpris.MediaPlayer2");
        QCOMPARE(root.property("Identity").toString(), QStringLiteral("Sonavel"));
        QCOMPARE(root.property("DesktopEntry").toString(), QStringLiteral("io.sonavel.Sonavel"));
        QVERIFY(root.property("SupportedMimeTypes").toStringList().contains("audio/mpeg"));

        const QUrl first = test_support::placeFixture("long.mp3", folder->path(), "a.mp3");
        const QUrl second = test_support::placeFixture("tone.mp3", folder->path(), "b.mp3");
        manager().loadMedia(first);
        QTRY_COMPARE_WITH_TIMEOUT(playerctl({"status"}), QStringLiteral("Playing"), timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(manager().duration() > 50, timeoutMs);
        QCOMPARE(playerctl({"metadata", "xesam:title"}), QStringLiteral("a.mp3"));
        QCOMPARE(playerctl({"metadata", "xesam:url"}), first.toString());
        QTRY_COMPARE_WITH_TIMEOUT(playerctl({"metadata", "mpris:length"}).toLongLong() / 1000000,
                                  60, timeoutMs);
        QCOMPARE(property("CanGoNext").toBool(), true);
        QCOMPARE(property("CanGoPrevious").toBool(), false);

        // Told as it happens: a pause, and a new track with a new id.
        listener.changes.clear();
        manager().pause();
        QTRY_VERIFY_WITH_TIMEOUT(
            std::any_of(listener.changes.begin(), listener.changes.end(),
                        [](const QVariantMap &c) { return c.value("PlaybackStatus") == "Paused"; }),
            timeoutMs);
        const QString firstId = playerctl({"metadata", "mpris:trackid"});
        playerctl({"next"});
        QCOMPARE(manager().currentURL(), second);
        QTRY_VERIFY_WITH_TIMEOUT(std::any_of(listener.changes.begin(), listener.changes.end(),
                                             [](const QVariantMap &c) {
                                                 return c.contains("Metadata") &&
                                                        c.value("CanGoPrevious").toBool();
                                             }),
                                 timeoutMs);
        QVERIFY(playerctl({"metadata", "mpris:trackid"}) != firstId);
        playerctl({"previous"});
        QCOMPARE(manager().currentURL(), first);
        playerctl({"stop"});
        QCOMPARE(playerctl({"status"}), QStringLiteral("Stopped"));
        playerctl({"play"});
        QCOMPARE(playerctl({"status"}), QStringLiteral("Playing"));
    }

    void tagsBecomeMetadata() {
        manager().loadMedia(QUrl::fromLocalFile(test_support::fixture("tagged.mp3")));
        QTRY_COMPARE_WITH_TIMEOUT(playerctl({"metadata", "xesam:title"}),
                                  QStringLiteral("Blue Hour"), timeoutMs);
        QCOMPARE(playerctl({"metadata", "xesam:artist"}), QStringLiteral("The Sonavels"));
        QCOMPARE(playerctl({"metadata", "xesam:album"}), QStringLiteral("Quiet Rooms"));
    }

    void coverArtIsAFileInTheCacheWrittenOnce() {
        manager().loadMedia(QUrl::fromLocalFile(test_support::fixture("covered.mp3")));
        QString art;
        QTRY_VERIFY_WITH_TIMEOUT(!(art = playerctl({"metadata", "mpris:artUrl"})).isEmpty(),
                                 timeoutMs);
        const QFileInfo file(QUrl(art).toLocalFile());
        QVERIFY(file.exists());
        QVERIFY(file.absoluteFilePath().startsWith(
            QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)));
        const QDateTime written = file.lastModified();
        manager().loadMedia(QUrl::fromLocalFile(test_support::fixture("tone.mp3")));
        manager().loadMedia(QUrl::fromLocalFile(test_support::fixture("covered.mp3")));
        QTRY_COMPARE_WITH_TIMEOUT(playerctl({"metadata", "mpris:artUrl"}), art, timeoutMs);
        QCOMPARE(QFileInfo(file.absoluteFilePath()).lastModified(), written);
    }

    void seekingAndPosition() {
        manager().loadMedia(QUrl::fromLocalFile(test_support::fixture("long.mp3")));
        QTRY_VERIFY_WITH_TIMEOUT(manager().duration() > 50, timeoutMs);
        manager().pause();
        listener.seeks.clear();
        playerctl({"position", "30"});
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(playerctl({"position"}).toDouble() - 30) < 1, timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!listener.seeks.isEmpty(), timeoutMs);
        QVERIFY(qAbs(listener.seeks.last() / 1e6 - 30) < 1);
        playerctl({"position", "10-"});
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(manager().currentTime() - 20) < 1, timeoutMs);

        // SetPosition for a file no longer loaded is ignored; for this one it moves.
        const QDBusObjectPath stale("/io/sonavel/Sonavel/track/0");
        call("SetPosition", {QVariant::fromValue(stale), qlonglong(5'000'000)});
        QTest::qWait(200);
        QVERIFY(qAbs(manager().currentTime() - 20) < 1);
        const auto current = property("Metadata").toMap().value("mpris:trackid");
        call("SetPosition", {current, qlonglong(5'000'000)});
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(manager().currentTime() - 5) < 1, timeoutMs);

        // Past the end is Next, whatever the repeat mode would do at the end: the following
        // song, and at the last one nothing.
        const QUrl first = test_support::placeFixture("long.mp3", folder->path(), "a.mp3");
        const QUrl second = test_support::placeFixture("long.mp3", folder->path(), "b.mp3");
        manager().setRepeatMode(RepeatMode::off);
        manager().loadMedia(first);
        QTRY_VERIFY_WITH_TIMEOUT(manager().duration() > 50, timeoutMs);
        call("Seek", {qlonglong(120'000'000)});
        QTRY_COMPARE_WITH_TIMEOUT(manager().currentURL(), second, timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(manager().duration() > 50, timeoutMs);
        const quint64 last = manager().loadSerial();
        call("Seek", {qlonglong(120'000'000)});
        QCOMPARE(manager().loadSerial(), last);
        QCOMPARE(manager().currentURL(), second);
    }

    void loopStatusAndVolumeBothWays() {
        manager().loadMedia(QUrl::fromLocalFile(test_support::fixture("tone.mp3")));
        manager().setRepeatMode(RepeatMode::one);
        QCOMPARE(playerctl({"loop"}), QStringLiteral("Track"));
        manager().setRepeatMode(RepeatMode::off);
        QCOMPARE(playerctl({"loop"}), QStringLiteral("None"));
        // Play all, stopping at the end, loops nothing either.
        manager().setRepeatMode(RepeatMode::all);
        QCOMPARE(playerctl({"loop"}), QStringLiteral("None"));
        playerctl({"loop", "Playlist"});
        QCOMPARE(manager().repeatMode(), RepeatMode::allRepeat);
        playerctl({"loop", "None"});
        QCOMPARE(manager().repeatMode(), RepeatMode::all);
        manager().setRepeatMode(RepeatMode::off);
        playerctl({"loop", "None"});
        QCOMPARE(manager().repeatMode(), RepeatMode::off);

        playerctl({"volume", "0.3"});
        QCOMPARE(manager().volume(), 0.3);
        manager().setVolume(0.8);
        QCOMPARE(playerctl({"volume"}).toDouble(), 0.8);
        QCOMPARE(property("Shuffle").toBool(), false);
        QCOMPARE(property("Rate").toDouble(), 1.0);
    }

    void theContractAtItsEdges() {
        // The error a property call is answered with; empty when it succeeded.
        const auto properties = [&](const QString &method, const QVariantList &arguments) {
            const QDBusMessage reply = call(method, arguments, "org.freedesktop.DBus.Properties");
            return reply.type() == QDBusMessage::ErrorMessage ? reply.errorName() : QString();
        };
        const auto set = [&](const QString &name, const QVariant &value) {
            return properties("Set", {"org.mpris.MediaPlayer2.Player", name,
                                      QVariant::fromValue(QDBusVariant(value))});
        };
        const QString invalid = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
        manager().loadMedia(QUrl::fromLocalFile(test_support::fixture("long.mp3")));
        QTRY_VERIFY_WITH_TIMEOUT(manager().isPlaying(), timeoutMs);

        // Below 0 is 0; above 1 is full; not a number, or not a double, is refused.
        QCOMPARE(set("Volume", -std::numeric_limits<double>::infinity()), QString());
        QCOMPARE(manager().volume(), 0.0);
        QCOMPARE(set("Volume", std::numeric_limits<double>::quiet_NaN()), invalid);
        QCOMPARE(set("Volume", QStringLiteral("loud")), invalid);
        // Sonavel never shuffles: asked to, it says so rather than pretending.
        QCOMPARE(set("Shuffle", true), QStringLiteral("org.freedesktop.DBus.Error.NotSupported"));
        QCOMPARE(set("Shuffle", false), QString());
        QCOMPARE(set("Volume", 1), invalid);
        QCOMPARE(manager().volume(), 0.0);
        QCOMPARE(set("Volume", 7.0), QString());
        QCOMPARE(manager().volume(), 1.0);

        // Only the three loop statuses, as text; what is only read cannot be written; what is
        // not there is said to be missing.
        for (const QVariant &bogus :
             {QVariant(QStringLiteral("Bogus")), QVariant(QString()), QVariant(2), QVariant(true)})
            QCOMPARE(set("LoopStatus", bogus), invalid);
        QCOMPARE(manager().repeatMode(), RepeatMode::all);
        QCOMPARE(set("LoopStatus", QStringLiteral("Track")), QString());
        QCOMPARE(manager().repeatMode(), RepeatMode::one);
        QCOMPARE(set("PlaybackStatus", QStringLiteral("Paused")),
                 QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly"));
        QCOMPARE(properties("Get", {"org.mpris.MediaPlayer2.Player", "Nothing"}),
                 QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"));
        QCOMPARE(properties("Get", {"org.example.Nothing", "Volume"}),
                 QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"));
        QCOMPARE(property("Volume").toDouble(), 1.0);

        // Muted reads as silence; a volume asked for is heard.
        manager().setMuted(true);
        QCOMPARE(property("Volume").toDouble(), 0.0);
        playerctl({"volume", "0.4"});
        QVERIFY(!manager().isMuted());
        QCOMPARE(property("Volume").toDouble(), 0.4);

        // The rate is the speed, from a quarter to four times; beyond that, or not a number, is
        // refused and changes nothing. Each change is announced; 0 still pauses.
        QCOMPARE(property("MinimumRate").toDouble(), 0.25);
        QCOMPARE(property("MaximumRate").toDouble(), 4.0);
        listener.changes.clear();
        QCOMPARE(set("Rate", 0.25), QString());
        QCOMPARE(manager().speed(), 0.25);
        QTRY_VERIFY_WITH_TIMEOUT(
            std::any_of(listener.changes.begin(), listener.changes.end(),
                        [](const QVariantMap &c) { return c.value("Rate") == 0.25; }),
            timeoutMs);
        QCOMPARE(set("Rate", 4.0), QString());
        for (const QVariant &bogus :
             {QVariant(0.2), QVariant(4.01), QVariant(-1.0), QVariant(100.0),
              QVariant(std::numeric_limits<double>::quiet_NaN()), QVariant(QStringLiteral("2"))})
            QCOMPARE(set("Rate", bogus), invalid);
        QCOMPARE(manager().speed(), 4.0);
        QCOMPARE(property("Rate").toDouble(), 4.0);
        QVERIFY(manager().isPlaying());
        QCOMPARE(set("Rate", 0.0), QString());
        QVERIFY(!manager().isPlaying());
        QCOMPARE(manager().speed(), 4.0);

        // A file that cannot be played is stopped, and nothing can be done with it.
        manager().loadMedia(QUrl::fromLocalFile(test_support::fixture("random.mp3")));
        QTRY_VERIFY_WITH_TIMEOUT(!manager().loadError().isEmpty(), timeoutMs);
        QCOMPARE(playerctl({"status"}), QStringLiteral("Stopped"));
        for (const char *ability : {"CanPlay", "CanPause", "CanSeek"})
            QVERIFY2(!property(ability).toBool(), ability);
        // Each file starts at normal speed.
        QCOMPARE(property("Rate").toDouble(), 1.0);
        QCOMPARE(set("Rate", 2.0), QString());
        QCOMPARE(property("Rate").toDouble(), 1.0);
    }

    void onlyLocalFilesOpen() {
        const QUrl song = QUrl::fromLocalFile(test_support::fixture("tone.wav"));
        QCOMPARE(call("OpenUri", {song.toString()}).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(manager().currentURL(), song);
        const QUrl upper(QStringLiteral("FILE://") + song.toString().mid(7));
        QCOMPARE(call("OpenUri", {upper.toString()}).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(manager().currentURL(), song);
        const QString cutShort = song.toString() + QStringLiteral("%00.mp3");
        for (const QString &uri :
             QStringList{"http://127.0.0.1:9/a.mp3", "file://host/a.mp3", "a.mp3", cutShort}) {
            const QDBusMessage reply = call("OpenUri", {uri});
            QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        }
        QCOMPARE(manager().currentURL(), song);
    }

    void aSecondStartNeverTakesTheName() {
        QTemporaryDir runtime;
        SingleInstance instance(runtime.path());
        QCOMPARE(instance.claim(), SingleInstance::Claim::claimed);
        QSignalSpy handed(&instance, &SingleInstance::fileHandedOver);
        const QString owner =
            QDBusConnection::sessionBus().interface()->serviceOwner(MediaControls::serviceName);
        QProcess second;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", runtime.path());
        second.setProcessEnvironment(environment);
        second.start(QStringLiteral(SONAVEL_BINARY), {test_support::fixture("tone.mp3")});
        QVERIFY(handed.wait(timeoutMs));
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, timeoutMs);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(QDBusConnection::sessionBus()
                     .interface()
                     ->serviceOwner(MediaControls::serviceName)
                     .value(),
                 owner);
    }
};

SONAVEL_TEST_MAIN(MediaControlsTest, QApplication)
#include "tst_media_controls.moc"
