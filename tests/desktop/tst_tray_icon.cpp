#include "app/app_delegate.h"
#include "desktop/tray_icon.h"
#include "playback/player_manager.h"
#include "support/test_support.h"

#include <QApplication>
#include <QMainWindow>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

using test_support::timeoutMs;

// The tray icon in a real tray host, clicked the way a user clicks it.
class TrayIconTest : public QObject {
    Q_OBJECT

    QProcess trayHost;

    static bool click(QPoint at, int button, int times = 1) {
        return QProcess::execute("xdotool",
                                 {"mousemove", QString::number(at.x()), QString::number(at.y()),
                                  "click", "--repeat", QString::number(times), "--delay", "60",
                                  QString::number(button)}) == 0;
    }

private Q_SLOTS:
    void initTestCase() {
        if (QStandardPaths::findExecutable("trayer").isEmpty() ||
            QStandardPaths::findExecutable("xdotool").isEmpty())
            QSKIP("needs trayer and xdotool");
        trayHost.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request",
                                  "--height", "24", "--SetDockType", "false"});
        QVERIFY(trayHost.waitForStarted(timeoutMs));
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), timeoutMs);
    }
    void cleanupTestCase() {
        trayHost.terminate();
        trayHost.waitForFinished(timeoutMs);
    }

    void clicksToggleAndBringTheWindowForward() {
        MpvEngine::Options silent = test_support::headlessEngine();
        AppDelegate delegate({"sonavel"}, silent);
        delegate.applicationDidFinishLaunching();
        QTRY_VERIFY_WITH_TIMEOUT(delegate.statusItem()->systemTrayIcon(), timeoutMs);
        QSystemTrayIcon &icon = *delegate.statusItem()->systemTrayIcon();
        // Docked once the icon has a place on screen, in the host at the top right.
        QTRY_VERIFY_WITH_TIMEOUT(icon.geometry().isValid() && icon.geometry().x() > 0, timeoutMs);
        const QPoint centre = icon.geometry().center();

        // Nothing loaded: a left click brings the window forward.
        delegate.window()->showMinimized();
        QTRY_VERIFY(delegate.window()->isMinimized());
        QVERIFY(click(centre, 1));
        QTRY_VERIFY_WITH_TIMEOUT(!delegate.window()->isMinimized(), timeoutMs);
        QVERIFY(!delegate.playerManager()->isPlaying());

        PlayerManager &manager = *delegate.playerManager();
        manager.setRepeatMode(RepeatMode::one);
        manager.loadMedia(QUrl::fromLocalFile(test_support::fixture("tone.wav")));
        QTRY_COMPARE_WITH_TIMEOUT(icon.toolTip(), QStringLiteral("Pause"), timeoutMs);
        QVERIFY(click(centre, 1));
        QTRY_VERIFY_WITH_TIMEOUT(!manager.isPlaying(), timeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(delegate.statusItem()->look().symbol,
                                  QStringLiteral("play.circle.fill"), timeoutMs);
        QVERIFY(click(centre, 1));
        QTRY_VERIFY_WITH_TIMEOUT(manager.isPlaying(), timeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(icon.toolTip(), QStringLiteral("Pause"), timeoutMs);

        // A quick double click is two clicks: paused, then playing again.
        QSignalSpy activations(&icon, &QSystemTrayIcon::activated);
        QVERIFY(click(centre, 1, 2));
        QTRY_COMPARE_WITH_TIMEOUT(activations.size(), 2, timeoutMs);
        QVERIFY(manager.isPlaying());
        QTRY_COMPARE_WITH_TIMEOUT(icon.toolTip(), QStringLiteral("Pause"), timeoutMs);

        // A right click brings the window forward and leaves playback alone.
        delegate.window()->showMinimized();
        QTRY_VERIFY(delegate.window()->isMinimized());
        QVERIFY(click(centre, 3));
        QTRY_VERIFY_WITH_TIMEOUT(!delegate.window()->isMinimized(), timeoutMs);
        QVERIFY(manager.isPlaying());
    }
};

SONAVEL_TEST_MAIN(TrayIconTest, QApplication)
#include "tst_tray_icon.moc"
