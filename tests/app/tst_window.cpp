#include "app/app_delegate.h"
#include "app/main_menu.h"
#include "app/termination_signals.h"
#include "app/window_fitting.h"
#include "app/window_frame_text.h"
#include "app/window_placement.h"
#include "desktop/tray_icon.h"
#include "desktop/window_system.h"
#include "i18n/localization.h"
#include "playback/load_error.h"
#include "playback/player_manager.h"
#include "support/kwin_windows.h"
#include "support/test_support.h"
#include "support/weston_scene.h"
#include "views/open_panel.h"
#include "views/style.h"
#include "views/symbols.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryFile>
#include <QTimer>

#include <csignal>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>

using test_support::timeoutMs;

namespace {

void compareRect(const QRectF &actual, const QRectF &expected) {
    const auto close = [](double a, double b) { return qAbs(a - b) < 0.01; };
    QVERIFY2(close(actual.x(), expected.x()) && close(actual.y(), expected.y()) &&
                 close(actual.width(), expected.width()) &&
                 close(actual.height(), expected.height()),
             qPrintable(window_frame_text::toString(actual)));
}

QString storedFrame() {
    return QSettings().value("windowFrame").toString();
}

// On Wayland the desktop places windows: only sizes are Sonavel's to set and to compare.
bool positionsAreSonavels() {
    return !window_system::desktopPlacesWindows();
}

void compareFrame(const QRect &actual, const QRect &expected) {
    if (positionsAreSonavels())
        QCOMPARE(actual, expected);
    else
        QCOMPARE(actual.size(), expected.size());
}

// What is sent to the root window, watched as a window manager sees it.
class RootWindowMessages {
public:
    RootWindowMessages() : x_(xcb_connect(nullptr, nullptr), &xcb_disconnect) {
        if (xcb_connection_has_error(x_.get()))
            return;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x_.get())).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(x_.get(), root, XCB_CW_EVENT_MASK, &mask);
        activeWindow_ = atom("_NET_ACTIVE_WINDOW");
        startupBegin_ = atom("_NET_STARTUP_INFO_BEGIN");
        startupMore_ = atom("_NET_STARTUP_INFO");
    }
    bool isWatching() const { return activeWindow_ != XCB_ATOM_NONE; }

    // Takes in what has arrived; always true, to be read in a wait.
    bool read() {
        while (xcb_generic_event_t *event = xcb_poll_for_event(x_.get())) {
            std::unique_ptr<xcb_generic_event_t, decltype(&free)> owned(event, &free);
            if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
                continue;
            const auto *message = reinterpret_cast<xcb_client_message_event_t *>(event);
            // An application's request (source 1) and the user time it gives.
            if (message->type == activeWindow_ && message->data.data32[0] == 1)
                activations_[message->window] = message->data.data32[1];
            if (message->type == startupBegin_ || message->type == startupMore_) {
                startupInfo_.append(reinterpret_cast<const char *>(message->data.data8), 20);
                // The first piece of a message is marked as its beginning, the others not.
                startupMarks_.append(message->type == startupBegin_ ? 'B' : 'M');
            }
        }
        return true;
    }
    std::optional<quint32> activation(xcb_window_t window) const {
        return activations_.contains(window) ? std::optional(activations_.value(window))
                                             : std::nullopt;
    }
    const QByteArray &startupInfo() const { return startupInfo_; }
    const QByteArray &startupMarks() const { return startupMarks_; }

private:
    xcb_atom_t atom(const char *name) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
            xcb_intern_atom_reply(
                x_.get(), xcb_intern_atom(x_.get(), 0, uint16_t(strlen(name)), name), nullptr),
            &free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> x_;
    xcb_atom_t activeWindow_ = XCB_ATOM_NONE;
    xcb_atom_t startupBegin_ = XCB_ATOM_NONE;
    xcb_atom_t startupMore_ = XCB_ATOM_NONE;
    QHash<xcb_window_t, quint32> activations_;
    QByteArray startupInfo_;
    QByteArray startupMarks_;
};

// The main window's frame when it is first shown: what the desktop places.
class FirstShowRecorder : public QObject {
public:
    FirstShowRecorder() { qApp->installEventFilter(this); }
    std::optional<QRect> geometry;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Show && !geometry) {
            if (auto *window = qobject_cast<QMainWindow *>(watched))
                geometry = window->geometry();
        }
        return false;
    }
};

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AppDelegate> launch(const QStringList &arguments = {"sonavel"}) {
        auto delegate = std::make_unique<AppDelegate>(arguments, test_support::headlessEngine());
        delegate->applicationDidFinishLaunching();
        return delegate;
    }

    QRect centredFrame() const {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        const QSize size(AppDelegate::initialWidth, AppDelegate::initialHeight);
        return QRect(available.x() + (available.width() - size.width()) / 2,
                     available.y() + (available.height() - size.height()) / 2, size.width(),
                     size.height());
    }

private Q_SLOTS:
    void init() { QSettings().remove("windowFrame"); }

    void terminationSignalsKeepIgnoredOnesAndLetASecondEndAtOnce() {
        const auto handlerOf = [](int signalNumber) {
            struct sigaction current {};
            ::sigaction(signalNumber, nullptr, &current);
            return current.sa_handler;
        };
        // As `nohup` starts it: the terminal closing must not end Sonavel.
        std::signal(SIGHUP, SIG_IGN);
        {
            TerminationSignals signals;
            QSignalSpy received(&signals, &TerminationSignals::received);
            QVERIFY(handlerOf(SIGHUP) == SIG_IGN);
            QVERIFY(handlerOf(SIGTERM) != SIG_DFL);
            // The first is Sonavel's to answer, through the event loop; from its delivery on,
            // the next one ends the process at once, whether a loop runs or not.
            QCOMPARE(::raise(SIGTERM), 0);
            QVERIFY(handlerOf(SIGTERM) == SIG_DFL);
            QVERIFY(received.wait(timeoutMs));
            QCOMPARE(received.first().first().toInt(), int(SIGTERM));
            QVERIFY(handlerOf(SIGHUP) == SIG_IGN);
        }
        QVERIFY(handlerOf(SIGHUP) == SIG_IGN);
        std::signal(SIGHUP, SIG_DFL);
    }

    void fittingShrinksLargeVideosAndCentresThem() {
        compareRect(fitWindowFrame({1920, 1080}, {0, 0, 1440, 875}), {31.1111, 20, 1377.7778, 835});
        compareRect(fitWindowFrame({320, 240}, {0, 25, 1512, 920}), {596, 335, 320, 300});
        // Exactly at the limits: not scaled.
        compareRect(fitWindowFrame({1400, 775}, {0, 0, 1440, 875}), {20, 20, 1400, 835});
        // Only one side too large: both shrink by its scale.
        compareRect(fitWindowFrame({2000, 300}, {0, 0, 1440, 875}), {20, 302.5, 1400, 270});
        compareRect(fitWindowFrame({300, 1550}, {0, 0, 1440, 875}), {645, 20, 150, 835});
        // A second screen to the right.
        compareRect(fitWindowFrame({320, 240}, {1440, 0, 1024, 768}), {1792, 234, 320, 300});
        // Too narrow a screen for the allowances: the frame is clamped in from the left edge.
        const QRectF tiny = fitWindowFrame({320, 240}, {0, 0, 30, 200});
        QVERIFY(tiny.width() <= 0);
        // Wider or taller, it grows: on Wayland it is then placed anew.
        QVERIFY(windowGrows({640, 445}, {1200, 285}));
        QVERIFY(windowGrows({1200, 285}, {240, 900}));
        QVERIFY(!windowGrows({1200, 285}, {1200, 285}));
        QVERIFY(!windowGrows({1200, 900}, {640, 445}));
    }

    void frameTextRoundTripsAndRejectsNonsense() {
        const QRectF frame(31.111111111111111, -20, 1377.7777777777778, 835);
        QCOMPARE(window_frame_text::fromString(window_frame_text::toString(frame)), frame);
        QCOMPARE(window_frame_text::toString({10, 20, 480, 300}),
                 QStringLiteral("{{10, 20}, {480, 300}}"));
        QCOMPARE(window_frame_text::fromString(" { {1,2} , {3.5, 4e2} } "), QRectF(1, 2, 3.5, 400));
        for (const QString text :
             {"", "garbage", "{{1, 2}, {3}}", "{{1, 2}, {0, 300}}", "{{1, 2}, {-480, 300}}",
              "{{nan, 2}, {480, 300}}", "{{1, 2}, {inf, 300}}", "{{1, 2}, {480, 300}} trailing",
              "{{1,2},{3,4},{5,6}}"})
            QVERIFY2(!window_frame_text::fromString(text), qPrintable(text));
    }

    void firstLaunchShowsACentredDarkWindow() {
        auto delegate = launch();
        QMainWindow *window = delegate->window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->windowTitle(), QStringLiteral("Sonavel"));
        compareFrame(window->geometry(), centredFrame());
        QVERIFY(qApp->palette().color(QPalette::Window).lightness() < 60);
        QVERIFY(qApp->palette().color(QPalette::WindowText).lightness() > 200);
        QCOMPARE(delegate->playerManager()->windowDelegate(), delegate.get());
        QVERIFY(delegate->applicationShouldTerminateAfterLastWindowClosed());
        QVERIFY(qApp->quitOnLastWindowClosed());
    }

    void storedFrameIsPlacedOnAScreen() {
        const QList<QRect> screens{{0, 25, 1440, 875}, {1440, 0, 1024, 768}};
        QCOMPARE(placeStoredFrame({100, 80, 640, 420}, screens), QRect(100, 80, 640, 420));
        // Partly off: moved wholly onto the screen it overlaps most.
        QCOMPARE(placeStoredFrame({1300, 800, 640, 420}, screens), QRect(800, 480, 640, 420));
        QCOMPARE(placeStoredFrame({2000, -100, 640, 420}, screens), QRect(1824, 0, 640, 420));
        // Too large for any screen: shrunk to the usable area, never to an impossible window.
        QCOMPARE(placeStoredFrame({0, 0, 100000, 100000}, screens), QRect(0, 25, 1440, 875));
        QCOMPARE(placeStoredFrame({-1e12, -1e12, 3e12, 3e12}, screens), QRect(0, 25, 1440, 875));
        QCOMPARE(placeStoredFrame({-50000, -50000, 640, 420}, screens), std::nullopt);
        QCOMPARE(placeStoredFrame({1e308, 1e308, 1e308, 1e308}, screens), std::nullopt);
        QCOMPARE(placeStoredFrame({0, 0, 640, 420}, {}), std::nullopt);
    }

    void storedFrameIsRestoredUnlessUnusable_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        // Where only the size is restored, a frame off every screen still has a usable size.
        QTest::addColumn<QSize>("sizeOnly");
        QTest::newRow("valid") << "{{100, 80}, {640, 420}}"
                               << "{{100, 80}, {640, 420}}" << QSize(640, 420);
        QTest::newRow("garbage") << "{{100, 80}"
                                 << "centred" << QSize(480, 300);
        QTest::newRow("zero size") << "{{100, 80}, {0, 0}}"
                                   << "centred" << QSize(480, 300);
        QTest::newRow("off every screen") << "{{-50000, -50000}, {640, 420}}"
                                          << "centred" << QSize(640, 420);
        // Shrunk to the screen: its whole usable area.
        QTest::newRow("too large") << "{{0, 0}, {100000, 100000}}"
                                   << "screen" << QSize();
        QTest::newRow("astronomic") << "{{-1e12, -1e12}, {3e12, 3e12}}"
                                    << "screen" << QSize();
    }
    void storedFrameIsRestoredUnlessUnusable() {
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        QFETCH(QSize, sizeOnly);
        QSettings().setValue("windowFrame", stored);
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(available.contains(QRect(0, 0, 1024, 768)));
        auto delegate = launch();
        QVERIFY(QTest::qWaitForWindowExposed(delegate->window()));
        if (!positionsAreSonavels()) {
            QTRY_COMPARE(delegate->window()->size(),
                         sizeOnly.isValid() ? sizeOnly : available.size());
            return;
        }
        const QRect frame = expected == "centred" ? centredFrame()
                            : expected == "screen"
                                ? available
                                : window_frame_text::fromString(expected)->toRect();
        QCOMPARE(delegate->window()->geometry(), frame);
    }

    void unreadableOrUnwritableSettingsDoNotStopPlayback() {
        const QString file = QSettings().fileName();
        QTemporaryFile keep;
        QVERIFY(keep.open());
        QFile::remove(keep.fileName());
        QVERIFY(QFile::rename(file, keep.fileName()));
        // A FIFO would block QSettings' read until a writer came: never, here.
        QCOMPARE(mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        {
            auto delegate = launch({"sonavel", test_support::fixture("tone.wav")});
            QVERIFY(QTest::qWaitForWindowExposed(delegate->window()));
            const QRect shown = delegate->window()->geometry();
            if (positionsAreSonavels()) {
                QCOMPARE(shown,
                         QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, shown.size(),
                                             delegate->window()->screen()->availableGeometry()));
            }
            QTRY_VERIFY_WITH_TIMEOUT(delegate->playerManager()->currentTime() > 0.1, timeoutMs);
            delegate->saveWindowPosition();
        }
        QVERIFY(QFile::remove(file));
        QVERIFY(QFile::rename(keep.fileName(), file));

        // A settings folder that cannot be written (not even by root, as tests may run):
        // said once on standard error, nothing more.
        const QString folder = QFileInfo(QFileInfo(file).path()).path();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, "/proc/sonavel");
        QTemporaryFile errors;
        QVERIFY(errors.open());
        const int savedError = dup(STDERR_FILENO);
        dup2(errors.handle(), STDERR_FILENO);
        {
            auto delegate = launch();
            delegate->saveWindowPosition();
            delegate->saveWindowPosition();
        }
        dup2(savedError, STDERR_FILENO);
        ::close(savedError);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
        // The descriptor shared its offset with standard error: read from the start.
        errors.seek(0);
        const QList<QByteArray> said = errors.readAll().split('\n');
        QCOMPARE(
            said.count("sonavel: cannot save preferences to /proc/sonavel/Sonavel/Sonavel.conf"),
            1);
    }

    void volumeIsRememberedAndAGarbledOneIsFull() {
        {
            auto delegate = launch();
            QCOMPARE(delegate->playerManager()->volume(), 1.0);
            delegate->playerManager()->setVolume(0.35);
            QTRY_COMPARE(QSettings().value("volume").toDouble(), 0.35);
        }
        QCOMPARE(launch()->playerManager()->volume(), 0.35);
        for (const QString garbled : {"loud", "-3", "nan", "7"}) {
            QSettings().setValue("volume", garbled);
            QCOMPARE(launch()->playerManager()->volume(), 1.0);
        }
        QSettings().remove("volume");
    }

    void hardwareDecodingIsOnWhereSafeRememberedOffAndNeverStopsAFilm() {
        const auto hwdec = [](AppDelegate &delegate) {
            char *value =
                mpv_get_property_string(delegate.playerManager()->engine()->handle(), "hwdec");
            const QByteArray result(value ? value : "");
            mpv_free(value);
            return result;
        };
        const auto playsOn = [](AppDelegate &delegate) {
            PlayerManager &manager = *delegate.playerManager();
            manager.loadMedia(QUrl::fromLocalFile(test_support::fixture("long.mp4")));
            const double start = manager.currentTime();
            return QTest::qWaitFor([&] { return manager.currentTime() > start + 0.5; },
                                   timeoutMs) &&
                   manager.loadError().isEmpty();
        };
        {
            auto delegate = launch();
            auto *item = delegate->window()->findChild<QAction *>("hardwareDecodingAction");
            QVERIFY(item->isCheckable() && item->isChecked());
            QVERIFY(playsOn(*delegate));
            QCOMPARE(hwdec(*delegate), QByteArray("auto-safe"));
            // No GPU here: mpv decodes in software, and says so.
            const MediaInformation information = delegate->playerManager()->mediaInformation();
            QCOMPARE(information.videoDecoder, QStringLiteral("h264"));
            QVERIFY(information.hardwareDecoder.isEmpty());
            QCOMPARE(QSize(information.width, information.height), QSize(320, 240));
            QCOMPARE(information.frameRate, 25.0);

            item->trigger();
            QCOMPARE(hwdec(*delegate), QByteArray("no"));
            QVERIFY(playsOn(*delegate));
            QTRY_COMPARE(QSettings().value("hardwareDecoding").toBool(), false);
        }
        {
            auto delegate = launch();
            QVERIFY(
                !delegate->window()->findChild<QAction *>("hardwareDecodingAction")->isChecked());
            QCOMPARE(hwdec(*delegate), QByteArray("no"));
        }
        QSettings().setValue("hardwareDecoding", "maybe");
        QCOMPARE(hwdec(*launch()), QByteArray("auto-safe"));
        QSettings().remove("hardwareDecoding");

        // A decoder asked for that cannot start here, or does not exist: the film plays.
        for (const char *decoder : {"vaapi", "nosuchdecoder"}) {
            qputenv("SONAVEL_HWDEC", decoder);
            auto delegate = launch();
            QVERIFY2(playsOn(*delegate), decoder);
            qunsetenv("SONAVEL_HWDEC");
        }
    }

    void mediaInformationTellsWhatPlays() {
        auto delegate = launch();
        PlayerManager &manager = *delegate->playerManager();
        auto *item = delegate->window()->findChild<QMenu *>("viewMenu")->actions().last();
        item->trigger();
        auto *dialog = delegate->window()->findChild<QDialog *>("mediaInformation");
        QVERIFY(dialog && dialog->isVisible());
        const auto shown = [&] {
            QStringList texts;
            for (const QLabel *label : dialog->findChildren<QLabel *>())
                texts << label->text();
            return texts;
        };
        QVERIFY(shown().contains("Nothing is playing."));
        manager.loadMedia(QUrl::fromLocalFile(test_support::fixture("long.mp4")));
        QTRY_VERIFY_WITH_TIMEOUT(shown().contains("320 × 240"), timeoutMs);
        QVERIFY(shown().contains("long.mp4"));
        QTRY_VERIFY(shown().contains("h264 (software)"));
        // A song has no picture rows; its codec and rate are there.
        manager.loadMedia(QUrl::fromLocalFile(test_support::fixture("tone.mp3")));
        QTRY_VERIFY_WITH_TIMEOUT(shown().contains("tone.mp3"), timeoutMs);
        QVERIFY(!shown().contains("Size"));
        QTRY_VERIFY(!shown().filter("kbit/s").isEmpty());
        dialog->close();
    }

    void subtitleSizeIsKeptAcrossLaunchesAndAGarbledOneIsNormal() {
        {
            auto delegate = launch();
            QCOMPARE(delegate->playerManager()->subtitleScale(), 1.0);
            delegate->playerManager()->setSubtitleScale(1.3);
            QTRY_COMPARE(QSettings().value("subtitleScale").toDouble(), 1.3);
        }
        {
            auto delegate = launch();
            QCOMPARE(delegate->playerManager()->subtitleScale(), 1.3);
            delegate->playerManager()->loadMedia(
                QUrl::fromLocalFile(test_support::fixture("forced-subtitles.mkv")));
            QTRY_VERIFY_WITH_TIMEOUT(delegate->playerManager()->duration() > 0, timeoutMs);
            double scale = 0;
            mpv_get_property(delegate->playerManager()->engine()->handle(), "sub-scale",
                             MPV_FORMAT_DOUBLE, &scale);
            QVERIFY(qAbs(scale - 1.3) < 1e-6);
        }
        for (const QVariant &garbled : {QVariant("big"), QVariant(1e300), QVariant(-2)}) {
            QSettings().setValue("subtitleScale", garbled);
            auto delegate = launch();
            QVERIFY(delegate->playerManager()->subtitleScale() >= 0.5);
            QVERIFY(delegate->playerManager()->subtitleScale() <= 3);
            if (garbled.typeId() == QMetaType::QString)
                QCOMPARE(delegate->playerManager()->subtitleScale(), 1.0);
        }
        QSettings().remove("subtitleScale");
    }

    void lastFileHandedOverWins() {
        // Hand-overs that arrive while Sonavel is still starting wait for the file of its
        // own command line, and the last one plays.
        auto delegate =
            std::make_unique<AppDelegate>(QStringList{"sonavel", test_support::fixture("tone.wav")},
                                          test_support::headlessEngine());
        delegate->openFileHandedOver(QUrl::fromLocalFile(test_support::fixture("tone.m4a")));
        delegate->openFileHandedOver(QUrl::fromLocalFile(test_support::fixture("tone.mp3")));
        QCoreApplication::processEvents();
        delegate->applicationDidFinishLaunching();
        QTRY_COMPARE_WITH_TIMEOUT(delegate->playerManager()->fileName(), QStringLiteral("tone.mp3"),
                                  timeoutMs);
        QTest::qWait(100);
        QCOMPARE(delegate->playerManager()->fileName(), QStringLiteral("tone.mp3"));
    }

    void videoFitsTheWindowAndTheFrameRoundTrips() {
        auto delegate = launch();
        QMainWindow *window = delegate->window();
        QVERIFY(QTest::qWaitForWindowExposed(window));

        // Audio is not fitted: the window stays where it is (growing only to the audio view's
        // least size) and the stored frame is left alone.
        delegate->playerManager()->loadMedia(
            QUrl::fromLocalFile(test_support::fixture("tone.mp3")));
        QTRY_VERIFY_WITH_TIMEOUT(delegate->playerManager()->currentTime() > 0.1, timeoutMs);
        if (positionsAreSonavels())
            QCOMPARE(window->geometry().topLeft(), centredFrame().topLeft());
        QVERIFY(storedFrame().isEmpty());

        delegate->playerManager()->loadMedia(
            QUrl::fromLocalFile(test_support::fixture("full-hd.mp4")));
        QTRY_VERIFY_WITH_TIMEOUT(!storedFrame().isEmpty(), timeoutMs);
        // 1920x1080 shrunk into the screen less the allowances and the menu bar.
        const QRect available = window->screen()->availableGeometry();
        QTRY_VERIFY(window->width() <= available.width() - 40);
        QVERIFY(window->frameGeometry().width() <= available.width());
        QVERIFY(window->frameGeometry().height() <= available.height());
        if (positionsAreSonavels())
            QVERIFY(available.contains(window->geometry()));
        QTRY_VERIFY(
            qAbs(window->width() * 1080.0 / 1920 + 60 - window->centralWidget()->height()) <= 2);
        const QString fitted = storedFrame();
        // Where the desktop places the window, the stored position is not the window's: the
        // one a later X11 session would have chosen by itself, centred.
        const QRect expectedFrame =
            positionsAreSonavels()
                ? window->geometry()
                : QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window->size(), available);
        QCOMPARE(fitted, window_frame_text::toString(expectedFrame));

        // Once the moment the fit's size is held has passed, a size of the user's own stays.
        auto *placement = delegate->findChild<WindowPlacement *>();
        QVERIFY(placement);
        QTRY_VERIFY_WITH_TIMEOUT(!placement->holdsSize(), timeoutMs);
        const QSize own = window->size() - QSize(120, 80);
        window->resize(own);
        QTRY_COMPARE_WITH_TIMEOUT(window->size(), own, timeoutMs);
        // A size asked back would come in the next turns of the event loop.
        QTest::qWait(300);
        QCOMPARE(window->size(), own);

        // Launch after launch, the frame comes back and saves to the same text: no drift.
        for (int run = 0; run < 2; ++run) {
            delegate = launch();
            QVERIFY(QTest::qWaitForWindowExposed(delegate->window()));
            compareFrame(delegate->window()->geometry(), expectedFrame);
            delegate->saveWindowPosition();
            QCOMPARE(storedFrame(), fitted);
        }
        // A position stored by an X11 session stays as it was.
        QSettings().setValue("windowFrame", "{{12, 34}, {640, 420}}");
        delegate = launch();
        QVERIFY(QTest::qWaitForWindowExposed(delegate->window()));
        delegate->saveWindowPosition();
        QCOMPARE(window_frame_text::fromString(storedFrame())->topLeft(), QPointF(12, 34));
    }

    // The desktop places a window at the size it first shows with: that is the size of what
    // it plays, so the window never grows past the screen from where it was put.
    void firstShowIsAtTheSizeOfWhatPlays() {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        {
            FirstShowRecorder shown;
            auto song = launch({"sonavel", test_support::fixture("tone.mp3")});
            QVERIFY(shown.geometry);
            QVERIFY(shown.geometry->width() >= 700 && shown.geometry->height() >= 450);
            if (positionsAreSonavels()) {
                QCOMPARE(*shown.geometry, QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter,
                                                              shown.geometry->size(), available));
            }
            QTRY_VERIFY_WITH_TIMEOUT(song->playerManager()->currentTime() > 0.1, timeoutMs);
            compareFrame(song->window()->geometry(), *shown.geometry);
        }
        {
            FirstShowRecorder shown;
            auto film = launch({"sonavel", test_support::fixture("full-hd.mp4")});
            // Nothing shows before the film's size is known.
            QVERIFY(!shown.geometry);
            QTRY_VERIFY_WITH_TIMEOUT(shown.geometry, timeoutMs);
            const std::optional<QRectF> fitted = window_frame_text::fromString(storedFrame());
            QVERIFY(fitted);
            QVERIFY(fitted->width() > 1000);
            compareFrame(*shown.geometry, fitted->toRect());
            QVERIFY(QTest::qWaitForWindowExposed(film->window()));
            compareFrame(film->window()->geometry(), fitted->toRect());
            // The room for the picture keeps the film's shape, with the menu bar counted.
            const QWidget *content = film->window()->centralWidget();
            QTRY_VERIFY(qAbs(content->width() * 1080.0 / 1920 + 60 - content->height()) <= 2);
        }
        {
            // A song handed over while the film loads: the window shows at once, placed for it.
            FirstShowRecorder shown;
            auto film = launch({"sonavel", test_support::fixture("full-hd.mp4")});
            film->openFileHandedOver(QUrl::fromLocalFile(test_support::fixture("tone.mp3")));
            QTRY_COMPARE_WITH_TIMEOUT(film->playerManager()->fileName(), QString("tone.mp3"),
                                      timeoutMs);
            QTRY_VERIFY_WITH_TIMEOUT(shown.geometry, timeoutMs);
            QVERIFY(shown.geometry->width() >= 700 && shown.geometry->height() >= 450);
            if (positionsAreSonavels()) {
                QCOMPARE(*shown.geometry, QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter,
                                                              shown.geometry->size(), available));
            }
        }
        // A film that cannot be played says so at once: no size will come to wait for.
        QSettings().remove("windowFrame");
        QTemporaryDir folder;
        const QUrl broken = test_support::placeFixture("random.mp3", folder.path(), "broken.mp4");
        FirstShowRecorder shown;
        auto film = launch({"sonavel", broken.toLocalFile()});
        QTRY_VERIFY_WITH_TIMEOUT(!film->playerManager()->loadError().isEmpty(), timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(shown.geometry, WindowPlacement::firstShowWaitMs / 2);
        QVERIFY(storedFrame().isEmpty());
    }

    // KWin keeps a window where it placed it, and grows it from there: only a window placed
    // at its full size stays whole on the output.
    void desktopPlacesTheWindowWholeOnItsOutput() {
        if (!kwin::isRunning())
            QSKIP("needs KWin: run through tests/on_kwin.sh");
        const qint64 pid = QCoreApplication::applicationPid();
        const auto placed = [&](QMainWindow *window, auto ready) {
            return kwin::waitForWindow(
                pid,
                [&](const kwin::Window &placed) {
                    return placed.frame.size() == window->frameGeometry().size() && ready(placed);
                },
                timeoutMs);
        };
        const auto whole = [](const kwin::Window &placed) {
            return !placed.fullScreen && placed.output.usable.contains(placed.frame);
        };
        const auto describe = [](const std::optional<kwin::Window> &placed) {
            return placed ? window_frame_text::toString(placed->frame) : QStringLiteral("none");
        };

        auto delegate = launch({"sonavel", test_support::fixture("full-hd.mp4")});
        QTRY_VERIFY_WITH_TIMEOUT(delegate->window()->isVisible(), timeoutMs);
        std::optional<kwin::Window> shown = placed(delegate->window(), whole);
        QVERIFY2(shown && whole(*shown), qPrintable(describe(shown)));
        QVERIFY(shown->frame.width() > 1000);
        delegate.reset();

        // A small film, then a larger one handed over: the window is placed anew, whole.
        delegate = launch({"sonavel", test_support::fixture("clip.mp4")});
        QTRY_VERIFY_WITH_TIMEOUT(delegate->window()->isVisible(), timeoutMs);
        shown = placed(delegate->window(), whole);
        QVERIFY2(shown && whole(*shown), qPrintable(describe(shown)));
        delegate->openFileHandedOver(QUrl::fromLocalFile(test_support::fixture("full-hd.mp4")));
        QTRY_VERIFY_WITH_TIMEOUT(delegate->window()->width() > 1000, timeoutMs);
        shown = placed(delegate->window(), whole);
        QVERIFY2(shown && whole(*shown), qPrintable(describe(shown)));

        // Full screen covers the output; leaving gives the windowed frame back where it was.
        const QSize windowed = delegate->window()->size();
        const QRect where = shown->frame;
        const auto enterFullScreen = [&] {
            delegate->enterCustomFullScreen();
            shown = kwin::waitForWindow(
                pid,
                [](const kwin::Window &placed) {
                    return placed.fullScreen && placed.frame == placed.output.geometry;
                },
                timeoutMs);
            QVERIFY2(shown && shown->fullScreen, qPrintable(describe(shown)));
        };
        enterFullScreen();
        delegate->exitCustomFullScreen();
        QTRY_COMPARE_WITH_TIMEOUT(delegate->window()->size(), windowed, timeoutMs);
        shown = placed(delegate->window(), [&](const kwin::Window &placed) {
            return whole(placed) && placed.frame == where;
        });
        QVERIFY2(shown && shown->frame == where, qPrintable(describe(shown)));

        // Another film handed over in full screen: leaving, by Sonavel's hand or the desktop's,
        // fits the window to it, placed anew, whole, when it grows.
        for (const bool desktopEnds : {false, true}) {
            enterFullScreen();
            const QString film = desktopEnds ? "tall.mp4" : "clip.mp4";
            delegate->openFileHandedOver(QUrl::fromLocalFile(test_support::fixture(film)));
            QTRY_VERIFY_WITH_TIMEOUT(
                delegate->playerManager()->fileName() == film &&
                    delegate->playerManager()->player() &&
                    !delegate->playerManager()->player()->presentationSize().isEmpty(),
                timeoutMs);
            QCoreApplication::processEvents();
            // Not so soon that it could be a late answer to entering.
            QTRY_VERIFY_WITH_TIMEOUT(!delegate->customFullScreen().isAwaitingAnswer(), timeoutMs);
            if (desktopEnds)
                QVERIFY(kwin::endFullScreen(pid));
            else
                delegate->exitCustomFullScreen();
            QTRY_VERIFY_WITH_TIMEOUT(!delegate->isInCustomFullScreen(), timeoutMs);
            const auto fitsFilm = [&](QSize size) {
                return desktopEnds ? size.height() > size.width()
                                   : size.width() > size.height() && size.width() < 600;
            };
            QTRY_VERIFY_WITH_TIMEOUT(fitsFilm(delegate->window()->size()), timeoutMs);
            shown = placed(delegate->window(), whole);
            QVERIFY2(shown && whole(*shown) && fitsFilm(shown->frame.size()),
                     qPrintable(describe(shown)));
        }

        // Films that need a wider but not taller window, then a taller but not wider one.
        for (const QString film : {"wide.mp4", "tall.mp4"}) {
            const QSize before = delegate->window()->size();
            delegate->openFileHandedOver(QUrl::fromLocalFile(test_support::fixture(film)));
            QTRY_VERIFY_WITH_TIMEOUT(film == "wide.mp4"
                                         ? delegate->window()->width() > before.width() + 300
                                         : delegate->window()->height() > before.height() + 300,
                                     timeoutMs);
            shown = placed(delegate->window(), whole);
            QVERIFY2(shown && whole(*shown), qPrintable(describe(shown) + " for " + film));
        }

        // Moved and resized by the user where a larger film would reach past the output: grown,
        // the window is placed anew, whole.
        const QRect moved(760, 560, 480, 340);
        auto *placement = delegate->findChild<WindowPlacement *>();
        QTRY_VERIFY_WITH_TIMEOUT(!placement->holdsSize(), timeoutMs);
        QVERIFY(kwin::moveWindow(pid, moved));
        shown = kwin::waitForWindow(
            pid, [&](const kwin::Window &placed) { return placed.frame == moved; }, timeoutMs);
        QVERIFY2(shown && shown->frame == moved, qPrintable(describe(shown)));
        delegate->openFileHandedOver(QUrl::fromLocalFile(test_support::fixture("full-hd.mp4")));
        QTRY_VERIFY_WITH_TIMEOUT(delegate->window()->width() > 1000, timeoutMs);
        shown = placed(delegate->window(), whole);
        QVERIFY2(shown && whole(*shown), qPrintable(describe(shown)));
    }

    // On every desktop, full screen left with another film than it began with gives a window
    // for the film that plays, not for the one before.
    void leavingFullScreenFitsWhatPlaysNow() {
        auto delegate = launch({"sonavel", test_support::fixture("full-hd.mp4")});
        QMainWindow *window = delegate->window();
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible() && window->width() > 1000, timeoutMs);
        delegate->enterCustomFullScreen();
        delegate->openFileHandedOver(QUrl::fromLocalFile(test_support::fixture("tall.mp4")));
        PlayerManager *manager = delegate->playerManager();
        QTRY_VERIFY_WITH_TIMEOUT(manager->fileName() == "tall.mp4" && manager->player() &&
                                     !manager->player()->presentationSize().isEmpty(),
                                 timeoutMs);
        QCoreApplication::processEvents();
        QVERIFY(delegate->isInCustomFullScreen());
        delegate->exitCustomFullScreen();
        QTRY_VERIFY_WITH_TIMEOUT(window->height() > window->width() && window->height() > 600,
                                 timeoutMs);
        if (positionsAreSonavels())
            QVERIFY(window->screen()->availableGeometry().contains(window->geometry()));
        // What it is fitted to now is what full screen gives back next time; on weston, the
        // window leaves the full screen's layer too.
        const qint64 pid = QCoreApplication::applicationPid();
        delegate->enterCustomFullScreen();
        QCOMPARE(delegate->savedWindowFrame()->size(), window->size());
        const bool weston = weston::inFullScreenLayer(pid).has_value();
        if (weston)
            QTRY_VERIFY_WITH_TIMEOUT(weston::inFullScreenLayer(pid) == true, timeoutMs);
        delegate->exitCustomFullScreen();
        QTRY_VERIFY_WITH_TIMEOUT(window->height() > window->width(), timeoutMs);
        if (weston)
            QTRY_VERIFY_WITH_TIMEOUT(weston::inFullScreenLayer(pid) == false, timeoutMs);
    }

    void largeVideoIsShrunkToTheScreen() {
        auto delegate = launch();
        QVERIFY(QTest::qWaitForWindowExposed(delegate->window()));
        delegate->resizeAndPositionWindow({1920, 1080}, true);
        const QRect available = delegate->window()->screen()->availableGeometry();
        if (positionsAreSonavels())
            QVERIFY(available.contains(delegate->window()->geometry()));
        QTRY_VERIFY(delegate->window()->width() < 1920);
        QVERIFY(delegate->window()->frameGeometry().height() <= available.height());
        delegate->resizeAndPositionWindow({0, 0}, false);
        QCOMPARE(window_frame_text::fromString(storedFrame())->size(),
                 QSizeF(delegate->window()->size()));
    }

    void fileNamedOnTheCommandLineIsLoaded() {
        auto delegate = launch({"sonavel", test_support::fixture("tone.wav")});
        QCOMPARE(delegate->playerManager()->fileName(), QStringLiteral("tone.wav"));
        QTRY_VERIFY_WITH_TIMEOUT(delegate->playerManager()->currentTime() > 0.1, timeoutMs);

        // Only an absolute file:// URL is read as a URL; anything else names a local file.
        auto remote = launch({"sonavel", "http://127.0.0.1:9/x.mp3"});
        QVERIFY(remote->playerManager()->currentURL().isLocalFile());
        QTRY_COMPARE_WITH_TIMEOUT(remote->playerManager()->loadError().reason,
                                  LoadError::Reason::notFound, timeoutMs);
    }

    void mainMenuInTwoLanguagesWithItsShortcuts() {
        auto delegate = launch();
        QMainWindow *window = delegate->window();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        const auto titles = [](const QMenu *menu) {
            QStringList result;
            for (const QAction *action : menu->actions())
                result << (action->isSeparator() ? QStringLiteral("-") : action->text());
            return result;
        };
        QCOMPARE(window->menuBar()->actions().size(), 6);
        auto *application = window->findChild<QMenu *>("applicationMenu");
        auto *file = window->findChild<QMenu *>("fileMenu");
        auto *view = window->findChild<QMenu *>("viewMenu");
        QCOMPARE(application->title(), QStringLiteral("Sonavel"));
        QCOMPARE(titles(application), QStringList{"Quit Sonavel"});
        QCOMPARE(file->title(), QStringLiteral("File"));
        QCOMPARE(titles(file), (QStringList{"Open...", "-", "Close"}));
        QCOMPARE(view->title(), QStringLiteral("View"));
        QCOMPARE(titles(view), (QStringList{"Enter Full Screen", "-", "Hardware Decoding",
                                            "Media Information..."}));
        QCOMPARE(view->actions().last()->shortcut(), QKeySequence("Ctrl+I"));
        QCOMPARE(application->actions().first()->shortcut(), QKeySequence("Ctrl+Q"));
        QCOMPARE(file->actions().first()->shortcut(), QKeySequence("Ctrl+O"));
        QCOMPARE(file->actions().last()->shortcut(), QKeySequence("Ctrl+W"));
        QCOMPARE(view->actions().first()->shortcuts(),
                 (QList<QKeySequence>{QKeySequence("Ctrl+Meta+F"), QKeySequence("F11")}));
        // Playback, after View, every item with its key.
        auto *playback = window->findChild<QMenu *>("playbackMenu");
        QCOMPARE(window->menuBar()->actions().at(3), playback->menuAction());
        QCOMPARE(playback->title(), QStringLiteral("Playback"));
        QCOMPARE(titles(playback),
                 (QStringList{"Speed", "Chapters", "Next Chapter", "Previous Chapter", "-",
                              "Subtitle Timing", "Audio Timing", "Subtitle Size", "-", "Next Frame",
                              "Previous Frame", "Save Frame"}));
        const auto keys = [&](const QString &menu) {
            QStringList shown;
            for (const QAction *action : window->findChild<QMenu *>(menu)->actions())
                shown << action->shortcut().toString();
            return shown;
        };
        QCOMPARE(keys("speedMenu"), (QStringList{"]", "[", "Backspace", ""}));
        QCOMPARE(keys("subtitleTimingMenu"), (QStringList{"G", "H", "Shift+G"}));
        QCOMPARE(keys("audioTimingMenu"), (QStringList{"J", "K", "Shift+J"}));
        QCOMPARE(keys("subtitleSizeMenu"), (QStringList{"Ctrl++", "Ctrl+-", "Ctrl+0"}));
        QCOMPARE(keys("playbackMenu").mid(2),
                 (QStringList{"PgUp", "PgDown", "", "", "", "", "", ".", ",", "Shift+S"}));
        // A film's tracks, chosen without a menu key once one plays.
        auto *subtitles = window->findChild<QMenu *>("subtitlesBarMenu");
        auto *audio = window->findChild<QMenu *>("audioBarMenu");
        QCOMPARE(subtitles->title(), QStringLiteral("Subtitles"));
        QCOMPARE(audio->title(), QStringLiteral("Audio"));
        QVERIFY(!subtitles->menuAction()->isEnabled());
        delegate->playerManager()->loadMedia(
            QUrl::fromLocalFile(test_support::fixture("languages.mkv")));
        QTRY_VERIFY_WITH_TIMEOUT(audio->menuAction()->isEnabled(), timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!delegate->playerManager()->tracks().isEmpty(), timeoutMs);
        Q_EMIT audio->aboutToShow();
        QCOMPARE(audio->actions().size(), 2);
        Q_EMIT subtitles->aboutToShow();
        QCOMPARE(titles(subtitles).first(), QStringLiteral("Off"));
        QCOMPARE(titles(subtitles).last(), QStringLiteral("Add Subtitle File..."));

        // The full-screen keys toggle, also while the menu bar is hidden.
        if (!test_support::canSendShortcuts(*window))
            QSKIP("shortcuts cannot be sent to a window here (see canSendShortcuts)");
        QTest::keyClick(window, Qt::Key_F, Qt::ControlModifier | Qt::MetaModifier);
        QVERIFY(delegate->isInCustomFullScreen());
        QVERIFY(!window->menuBar()->isVisible());
        QTest::keyClick(window, Qt::Key_F11);
        QVERIFY(!delegate->isInCustomFullScreen());
        QVERIFY(window->menuBar()->isVisible());

        QMainWindow japanese;
        buildMainMenu(japanese, Localization(QStringList{"ja-JP"}), {});
        QCOMPARE(japanese.findChild<QMenu *>("fileMenu")->title(), QStringLiteral("ファイル"));
        QCOMPARE(titles(japanese.findChild<QMenu *>("fileMenu")),
                 (QStringList{"開く...", "-", "閉じる"}));
        QCOMPARE(titles(japanese.findChild<QMenu *>("applicationMenu")),
                 QStringList{"Sonavelを終了"});
        QCOMPARE(
            titles(japanese.findChild<QMenu *>("viewMenu")),
            (QStringList{"Enter Full Screen", "-", "ハードウェアデコード", "メディア情報..."}));
        QCOMPARE(japanese.findChild<QMenu *>("subtitlesBarMenu")->title(), QStringLiteral("字幕"));
    }

    void openCommandAndHandedOverFiles() {
        auto delegate = launch();
        if (!test_support::canSendShortcuts(*delegate->window()))
            QSKIP("shortcuts cannot be sent to a window here (see canSendShortcuts)");
        open_panel::setRunner([](QFileDialog &dialog) {
            dialog.selectUrl(QUrl::fromLocalFile(test_support::fixture("tone.wav")));
            return int(QDialog::Accepted);
        });
        QTest::keyClick(delegate->window(), Qt::Key_O, Qt::ControlModifier);
        open_panel::setRunner([](QFileDialog &dialog) { return dialog.exec(); });
        QCOMPARE(delegate->playerManager()->fileName(), QStringLiteral("tone.wav"));

        // Handed over: loaded from the event loop, and the window comes forward.
        delegate->window()->showMinimized();
        delegate->openFileHandedOver(QUrl::fromLocalFile(test_support::fixture("tone.mp3")));
        QCOMPARE(delegate->playerManager()->fileName(), QStringLiteral("tone.wav"));
        QTRY_COMPARE(delegate->playerManager()->fileName(), QStringLiteral("tone.mp3"));
        QTRY_VERIFY(!delegate->window()->isMinimized());
    }

    void handOverOnX11AsksWithTheUsersOwnTime() {
        QCOMPARE(window_system::startupIdTime("sonavel-1-host-xdg-0_TIME1234"), 1234u);
        QCOMPARE(window_system::startupIdTime("a_TIME1_TIME99"), 99u);
        for (const char *noTime : {"", "sonavel-1-host", "x_TIME0", "x_TIMEsoon", "x_TIME-5"})
            QVERIFY2(!window_system::startupIdTime(noTime), noTime);
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("X11 only");

        RootWindowMessages root;
        QVERIFY(root.isWatching());
        auto delegate = launch();
        QVERIFY(QTest::qWaitForWindowExposed(delegate->window()));
        const QByteArray startupId = "sonavel-9-host-launcher-0_TIME4242";
        delegate->openFileHandedOver(QUrl::fromLocalFile(test_support::fixture("tone.mp3")),
                                     startupId);
        const auto window = xcb_window_t(delegate->window()->winId());
        QTRY_VERIFY_WITH_TIMEOUT(root.read() && root.activation(window) == std::optional(4242u) &&
                                     root.startupInfo().contains('\0'),
                                 timeoutMs);
        // The desktop's launch feedback for the start that handed over ends.
        const QByteArray expected = "remove: ID=" + startupId;
        QCOMPARE(QByteArray(root.startupInfo().constData()), expected);
        // In pieces of 20 bytes, NUL included: the first marked as the beginning.
        const qsizetype pieces = (expected.size() + 1 + 19) / 20;
        QCOMPARE(root.startupMarks(), 'B' + QByteArray(pieces - 1, 'M'));
    }

    void trayIconIsMadeOnlyWhereThereIsATray() {
        QCOMPARE(TrayIcon::lookFor(false, true), (TrayIcon::Look{"play.circle", "Sonavel"}));
        QCOMPARE(TrayIcon::lookFor(true, true), (TrayIcon::Look{"pause.circle.fill", "Pause"}));
        QCOMPARE(TrayIcon::lookFor(true, false), (TrayIcon::Look{"play.circle.fill", "Play"}));
        // Pixmaps a tray host can show, never a name no icon theme has.
        const QIcon icon =
            TrayIcon::trayIconFor(symbols::icon("pause.circle.fill", style::primary()));
        QVERIFY(icon.name().isEmpty());
        QCOMPARE(icon.availableSizes().size(), 6);
        QVERIFY(!icon.pixmap(22, 22).toImage().isNull());

        // No tray here: nothing is made, and Qt has nothing to complain about.
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        QTest::failOnWarning(QRegularExpression("(?i)tray"));
        auto delegate = launch();
        QVERIFY(delegate->statusItem());
        QVERIFY(!delegate->statusItem()->systemTrayIcon());
        delegate->playerManager()->loadMedia(
            QUrl::fromLocalFile(test_support::fixture("tone.wav")));
        QTRY_VERIFY_WITH_TIMEOUT(delegate->playerManager()->isPlaying(), timeoutMs);
    }

    void closingTheWindowQuits() {
        auto delegate = launch();
        if (!test_support::canSendShortcuts(*delegate->window()))
            QSKIP("shortcuts cannot be sent to a window here (see canSendShortcuts)");
        // Quitting needs a running event loop: close the window from inside one.
        // Ctrl+W closes it.
        QTimer::singleShot(0, delegate->window(), [&] {
            QTest::keyClick(delegate->window(), Qt::Key_W, Qt::ControlModifier);
        });
        QTimer watchdog;
        watchdog.callOnTimeout([] { QCoreApplication::exit(1); });
        watchdog.start(timeoutMs);
        QCOMPARE(QApplication::exec(), 0);
    }
};

SONAVEL_TEST_MAIN(WindowTest, QApplication)
#include "tst_window.moc"
