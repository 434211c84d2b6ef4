#include "app/app_delegate.h"
#include "desktop/tray_icon.h"
#include "support/test_support.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QProcess>
#include <QStandardPaths>

using test_support::timeoutMs;

// The tray icon as a StatusNotifier host sees it (the tray of KDE, and of GNOME with its
// AppIndicator extension), on X11 and Wayland alike: a real watcher on the session bus, with
// this test as the host, and the item read back by a separate D-Bus client.
class StatusNotifierTest : public QObject {
    Q_OBJECT

    QProcess watcher;

    // A property of the item, as `gdbus` prints it. The item lives on this thread, so the
    // client runs while this event loop turns.
    static QString itemProperty(const QString &service, const QString &name) {
        QProcess client;
        client.start("gdbus",
                     {"call", "--session", "--dest", service, "--object-path",
                      "/StatusNotifierItem", "--method", "org.freedesktop.DBus.Properties.Get",
                      "org.kde.StatusNotifierItem", name});
        if (!QTest::qWaitFor([&] { return client.state() == QProcess::NotRunning; }, timeoutMs))
            return {};
        return QString::fromUtf8(client.readAllStandardOutput());
    }

private Q_SLOTS:
    void initTestCase() {
        if (QStandardPaths::findExecutable("status-notifier-watcher").isEmpty())
            QSKIP("needs status-notifier-watcher");
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.isConnected());
        watcher.start("status-notifier-watcher", {});
        QTRY_VERIFY_WITH_TIMEOUT(
            bus.interface()->isServiceRegistered("org.kde.StatusNotifierWatcher").value(),
            timeoutMs);
        const QString host =
            QStringLiteral("org.kde.StatusNotifierHost-%1").arg(QCoreApplication::applicationPid());
        QVERIFY(bus.registerService(host));
        QDBusInterface watcherInterface("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                                        "org.kde.StatusNotifierWatcher");
        // Asked again until it holds: on a loaded machine the name may still have belonged to
        // the watcher of the test before, which took the host with it as it went.
        QTRY_VERIFY_WITH_TIMEOUT(
            watcherInterface.call("RegisterStatusNotifierHost", host).type() !=
                    QDBusMessage::ErrorMessage &&
                watcherInterface.property("IsStatusNotifierHostRegistered").toBool(),
            2 * timeoutMs);
    }
    void cleanupTestCase() {
        watcher.terminate();
        watcher.waitForFinished(timeoutMs);
    }

    void itemShowsPixmapsAndNoPrivateName() {
        AppDelegate delegate({"sonavel"}, test_support::headlessEngine());
        delegate.applicationDidFinishLaunching();
        QVERIFY(delegate.statusItem()->systemTrayIcon());
        QDBusInterface watcherInterface("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                                        "org.kde.StatusNotifierWatcher");
        QStringList items;
        QTRY_VERIFY_WITH_TIMEOUT(
            !(items = watcherInterface.property("RegisteredStatusNotifierItems").toStringList())
                 .isEmpty(),
            timeoutMs);
        // Registered as a bus name, perhaps followed by the object's path.
        const QString service = items.first().section(u'/', 0, 0);

        QCOMPARE(itemProperty(service, "IconName").trimmed(), QStringLiteral("(<''>,)"));
        const QString pixmaps = itemProperty(service, "IconPixmap");
        for (const char *size : {"(16, 16, [", "(22, 22, [", "(64, 64, ["})
            QVERIFY2(pixmaps.contains(QLatin1String(size)), size);
        QVERIFY(itemProperty(service, "ToolTip").contains("Sonavel"));
    }
};

SONAVEL_TEST_MAIN(StatusNotifierTest, QApplication)
#include "tst_status_notifier.moc"
