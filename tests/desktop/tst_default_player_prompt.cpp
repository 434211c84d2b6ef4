#include "app/app_delegate.h"
#include "desktop/default_player_prompt.h"
#include "playback/player_manager.h"
#include "support/kwin_windows.h"
#include "support/test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

using test_support::timeoutMs;

namespace {

// Desktop entries in a data folder of the test's own, with XDG variables pointed at it before
// GIO first looks.
QTemporaryDir &xdgFolder() {
    static QTemporaryDir folder;
    return folder;
}

void prepareDesktop() {
    const QString root = xdgFolder().path();
    QDir(root).mkpath("data/applications");
    QDir(root).mkpath("config");
    QFile::copy(QStringLiteral(SONAVEL_DESKTOP_ENTRY),
                root + "/data/applications/io.sonavel.Sonavel.desktop");
    QFile other(root + "/data/applications/other-player.desktop");
    other.open(QIODevice::WriteOnly);
    other.write("[Desktop Entry]\nType=Application\nName=Other Player\nExec=true %f\n"
                "MimeType=video/mp4;video/quicktime;video/x-matroska;video/x-msvideo;"
                "audio/mpeg;audio/mp4;audio/x-wav;\n");
    other.close();
    qputenv("XDG_DATA_HOME", (root + "/data").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (root + "/config").toLocal8Bit());
    qputenv("XDG_DATA_DIRS", "/usr/share");
    // GIO counts an entry as installed only when its program is on the PATH.
    qputenv("PATH", QFileInfo(QStringLiteral(SONAVEL_BINARY)).absolutePath().toLocal8Bit() + ':' +
                        qgetenv("PATH"));
}

QString defaultFor(const QString &type) {
    GAppInfo *handler = g_app_info_get_default_for_type(type.toUtf8().constData(), FALSE);
    const QString id = handler ? QString::fromUtf8(g_app_info_get_id(handler)) : QString();
    if (handler)
        g_object_unref(handler);
    return id;
}

void makeDefault(const char *desktopId, const QString &type) {
    GDesktopAppInfo *app = g_desktop_app_info_new(desktopId);
    QVERIFY(app);
    g_app_info_set_as_default_for_type(G_APP_INFO(app), type.toUtf8().constData(), nullptr);
    g_object_unref(app);
}

// Answers the dialog: ticks the check box or not, then presses the button at `index`.
DefaultPlayerPrompt::Runner answer(bool dontAsk, int index, QStringList *seen) {
    return [=](QMessageBox &box) {
        *seen << box.text() << box.defaultButton()->text() << box.checkBox()->text()
              << (box.checkBox()->isChecked() ? "checked" : "unchecked");
        box.checkBox()->setChecked(dontAsk);
        return box.buttons().value(index);
    };
}

} // namespace

class DefaultPlayerPromptTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        QSettings().remove("DontAskDefaultPlayer");
        for (const QString &type : DefaultPlayerPrompt::registeredTypes)
            makeDefault("other-player.desktop", type);
    }

    void asksAboutASecondAfterLaunchWhenAnotherPlayerIsDefault() {
        DefaultPlayerPrompt prompt(nullptr);
        QVERIFY(prompt.isInstalled());
        QStringList seen;
        prompt.setRunner(answer(false, 1, &seen));
        QSignalSpy shown(&prompt, &DefaultPlayerPrompt::dialogShown);
        QElapsedTimer clock;
        clock.start();
        prompt.checkDefaultPlayer();
        QVERIFY(shown.wait(timeoutMs));
        QVERIFY(clock.elapsed() >= 900);
        QCOMPARE(seen, (QStringList{"Set as Default Player", "Set as Default", "Don't Ask Again",
                                    "unchecked"}));
        // Not now, not ticked: nothing registered, and asked again next time.
        QCOMPARE(defaultFor("video/mp4"), QStringLiteral("other-player.desktop"));
        QVERIFY(!QSettings().contains("DontAskDefaultPlayer"));
    }

    void theFourAnswers_data() {
        QTest::addColumn<bool>("dontAsk");
        QTest::addColumn<int>("button");
        QTest::newRow("ticked, not now") << true << 1;
        QTest::newRow("ticked, set as default") << true << 0;
        QTest::newRow("not ticked, set as default") << false << 0;
        QTest::newRow("not ticked, not now") << false << 1;
    }
    void theFourAnswers() {
        QFETCH(bool, dontAsk);
        QFETCH(int, button);
        DefaultPlayerPrompt prompt(nullptr);
        QStringList seen;
        prompt.setRunner(answer(dontAsk, button, &seen));
        prompt.showDefaultPlayerDialog();
        QCOMPARE(QSettings().value("DontAskDefaultPlayer", false).toBool(), dontAsk);
        const QString expected =
            button == 0 ? QStringLiteral("io.sonavel.Sonavel.desktop") : "other-player.desktop";
        for (const QString &type : DefaultPlayerPrompt::registeredTypes)
            QCOMPARE(defaultFor(type), expected);
        QCOMPARE(prompt.isDefaultPlayer(), button == 0);

        if (button == 0) {
            // What the desktop's own tools see.
            QProcess query;
            query.start("xdg-mime", {"query", "default", "video/mp4"});
            QVERIFY(query.waitForFinished(timeoutMs));
            QCOMPARE(query.readAllStandardOutput().trimmed(),
                     QByteArray("io.sonavel.Sonavel.desktop"));
        }
    }

    void silentWhenDefaultForAnyOneTypeOrSuppressed() {
        makeDefault("io.sonavel.Sonavel.desktop", "video/x-matroska");
        DefaultPlayerPrompt prompt(nullptr);
        QSignalSpy shown(&prompt, &DefaultPlayerPrompt::dialogShown);
        QVERIFY(prompt.isDefaultPlayer());
        prompt.checkDefaultPlayer();
        QVERIFY(!shown.wait(DefaultPlayerPrompt::delayMs + 500));

        // Suppressed: the defaults are not even looked up.
        makeDefault("other-player.desktop", "video/x-matroska");
        QSettings().setValue("DontAskDefaultPlayer", true);
        DefaultPlayerPrompt suppressed(nullptr);
        QSignalSpy quiet(&suppressed, &DefaultPlayerPrompt::dialogShown);
        suppressed.checkDefaultPlayer();
        QCOMPARE(suppressed.lookups(), 0);
        QVERIFY(!quiet.wait(DefaultPlayerPrompt::delayMs + 500));
    }

    // A film that needs a larger window has the window placed anew (hidden and shown again on
    // Wayland): the question asked meanwhile stays its dialog, above it, through films handed
    // over and full screen entered and left, and a song that ends full screen.
    void questionStaysAboveItsWindow() {
        AppDelegate delegate({"sonavel", test_support::fixture("clip.mp4")},
                             test_support::headlessEngine());
        delegate.applicationDidFinishLaunching();
        QMainWindow *window = delegate.window();
        const PlayerManager &manager = *delegate.playerManager();
        QStringList standing;
        bool answered = false;
        // Checked once the question is answered.
        const auto play = [&](const QString &name) {
            delegate.openFileHandedOver(QUrl::fromLocalFile(test_support::fixture(name)));
            (void)QTest::qWaitFor(
                [&] {
                    return manager.fileName() == name && manager.player() &&
                           (!manager.isVideo() || !manager.player()->presentationSize().isEmpty());
                },
                timeoutMs);
        };
        const auto look = [&] {
            (void)QTest::qWaitForWindowExposed(window, timeoutMs);
            std::optional<QString> said;
            if (kwin::isRunning()) {
                const qint64 pid = QCoreApplication::applicationPid();
                (void)QTest::qWaitFor(
                    [&] { return (said = kwin::dialogStanding(pid)) == "child,above"; }, timeoutMs);
            }
            standing << said.value_or("child,above");
        };
        delegate.defaultPlayerPrompt()->setRunner([&](QMessageBox &box) {
            QTimer::singleShot(0, &box, [&] {
                const int before = window->height();
                play("tall.mp4");
                (void)QTest::qWaitFor([&] { return window->height() > before + 300; }, timeoutMs);
                look();
                const QStringList steps{"clip.mp4",    "full-hd.mp4", "on",       "off",
                                        "full-hd.mp4", "on",          "tall.mp4", "off",
                                        "full-hd.mp4", "on",          "tone.mp3"};
                for (const QString &step : steps) {
                    if (step == "on")
                        delegate.enterCustomFullScreen();
                    else if (step == "off")
                        delegate.exitCustomFullScreen();
                    else
                        play(step);
                }
                (void)QTest::qWaitFor([&] { return !window->isFullScreen(); }, timeoutMs);
                look();
                answered = box.isVisible() && QApplication::activeModalWidget() == &box;
                box.reject();
            });
            box.exec();
            return box.clickedButton();
        });
        QTRY_VERIFY_WITH_TIMEOUT(answered, 6 * timeoutMs);
        QCOMPARE(manager.fileName(), QStringLiteral("tone.mp3"));
        QVERIFY(!delegate.isInCustomFullScreen());
        QCOMPARE(standing, QStringList({"child,above", "child,above"}));
    }

    void installedApplicationIsOfferedForItsTypes() {
        QProcess apps;
        apps.start("gio", {"mime", "audio/mpeg"});
        QVERIFY(apps.waitForFinished(timeoutMs));
        QVERIFY(apps.readAllStandardOutput().contains("io.sonavel.Sonavel.desktop"));
    }
};

int main(int argc, char *argv[]) {
    test_support::isolateSettings();
    prepareDesktop();
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Sonavel"));
    QApplication::setApplicationName(QStringLiteral("Sonavel"));
    DefaultPlayerPromptTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_default_player_prompt.moc"
