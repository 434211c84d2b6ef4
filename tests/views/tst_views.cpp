#include "app/app_delegate.h"
#include "desktop/window_system.h"
#include "playback/media_player.h"
#include "playback/mpv_engine.h"
#include "playback/mpv_renderer.h"
#include "playback/player_manager.h"
#include "playback/preview_decoder.h"
#include "playback/preview_source.h"
#include "support/test_support.h"
#include "views/audio_player_view.h"
#include "views/content_view.h"
#include "views/drop_zone.h"
#include "views/eliding_label.h"
#include "views/load_error_text.h"
#include "views/name_text.h"
#include "views/open_panel.h"
#include "views/playlist_model.h"
#include "views/playlist_row_delegate.h"
#include "views/seek_slider.h"
#include "views/style.h"
#include "views/time_label.h"
#include "views/time_preview.h"
#include "views/time_preview_controller.h"
#include "views/time_text.h"
#include "views/track_menu.h"
#include "views/video_player_view.h"

#include <QApplication>
#include <QFileDialog>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QOpenGLContext>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardPaths>
#include <QToolButton>
#include <QToolTip>
#include <QWheelEvent>
#include <QWindow>

using test_support::timeoutMs;

namespace {

QUrl fixtureUrl(const QString &name) {
    return QUrl::fromLocalFile(test_support::fixture(name));
}

MpvEngine::Options renderingEngine() {
    MpvEngine::Options options = test_support::headlessEngine();
    options.videoOutput = "libmpv";
    return options;
}

// Sends a drag of `urls` over `target` and then drops it there or takes it away again.
bool dragOnto(QWidget *target, const QList<QUrl> &urls, bool drop) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint centre = target->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    if (drop) {
        QDropEvent dropped(QPointF(centre), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
    } else {
        QDragLeaveEvent leave;
        QApplication::sendEvent(target, &leave);
    }
    return true;
}

} // namespace

class ViewsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<QTemporaryDir> folder;

    PlayerManager &manager() { return *delegate->playerManager(); }
    QMainWindow &window() { return *delegate->window(); }
    template <typename T> T *find(const QString &name) {
        T *found = window().findChild<T *>(name);
        if (!found)
            qFatal("no %s", qPrintable(name));
        return found;
    }
    ContentView &content() { return *static_cast<ContentView *>(window().centralWidget()); }
    QWidget &transportBar() { return *find<QWidget>("transportBar"); }
    double barOpacity() {
        return static_cast<QGraphicsOpacityEffect *>(transportBar().graphicsEffect())->opacity();
    }
    QUrl place(const QString &fixtureName, const QString &name) {
        return test_support::placeFixture(fixtureName, folder->path(), name);
    }
    // Whether the picture shows `reference` (in its own aspect), judged in `region` of it.
    bool videoShows(const QImage &reference, QRectF region = QRectF(0.05, 0.05, 0.9, 0.65),
                    double tolerance = 60) {
        return QTest::qWaitFor(
            [&] {
                const QImage picture = shownPicture(reference.size());
                return !picture.isNull() &&
                       test_support::showsUpright(picture, reference, region, tolerance);
            },
            timeoutMs);
    }
    bool videoShowsClip() { return videoShows(QImage(test_support::fixture("clip-frame.png"))); }
    // The part of the video's window that a picture of `size` fills, aspect kept.
    QImage shownPicture(QSize size) {
        auto *video = window().findChild<VideoPlayerView *>();
        if (!video || !video->isVisible())
            return {};
        const QImage surface = video->grabPicture();
        if (surface.isNull())
            return {};
        const QSize shown = size.scaled(surface.size(), Qt::KeepAspectRatio);
        return surface.copy(QRect(
            QPoint((surface.width() - shown.width()) / 2, (surface.height() - shown.height()) / 2),
            shown));
    }

private Q_SLOTS:
    void init() {
        QSettings().remove("windowFrame");
        folder = std::make_unique<QTemporaryDir>();
        // Positions remembered by one test are not offered in another.
        qputenv("XDG_STATE_HOME", QFile::encodeName(folder->path()));
        delegate = std::make_unique<AppDelegate>(QStringList{"sonavel"}, renderingEngine());
        delegate->applicationDidFinishLaunching();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
    }
    void cleanup() {
        open_panel::setRunner([](QFileDialog &dialog) { return dialog.exec(); });
        delegate.reset();
        folder.reset();
    }

    void textRules() {
        QCOMPARE(timeString(0), QStringLiteral("0:00"));
        QCOMPARE(timeString(9.99), QStringLiteral("0:09"));
        QCOMPARE(timeString(59.9), QStringLiteral("0:59"));
        QCOMPARE(timeString(60), QStringLiteral("1:00"));
        QCOMPARE(timeString(605.5), QStringLiteral("10:05"));
        // Hours from an hour on, as the offer to continue says them.
        QCOMPARE(timeString(3725), QStringLiteral("62:05"));
        QCOMPARE(timeString(qQNaN()), QStringLiteral("0:00"));
        QCOMPARE(timeString(qInf()), QStringLiteral("0:00"));
        QCOMPARE(timeString(1e300), QStringLiteral("0:00"));
        QCOMPARE(formatText("my.song.mp3"), QStringLiteral("MP3"));
        QCOMPARE(formatText("README"), QStringLiteral("README"));
        QCOMPARE(formatText("trailing."), QString());
        QCOMPARE(playlistTitle(QUrl::fromLocalFile("/m/a.b.mp3")), QStringLiteral("a.b"));

        // However long the name, the reason is said; the name keeps its start and extension,
        // and no character is cut in half (the note straddles the cut).
        const QString longName = QString(39, u'a') + QStringLiteral("\U0001F3B5") +
                                 QString(200, u'b') + QStringLiteral(".mp3");
        const QString said = loadErrorText(longName, {LoadError::Reason::notFound, {}});
        QVERIFY2(said.endsWith(QStringLiteral(": file not found")), qPrintable(said));
        QVERIFY(said.size() < 100);
        QVERIFY(said.contains(QString(39, u'a')) && said.contains(QStringLiteral("bbb.mp3")));
        QCOMPARE(QString::fromUtf8(said.toUtf8()), said);
        QCOMPARE(loadErrorText(QStringLiteral("Music"), {LoadError::Reason::isFolder, {}}),
                 QStringLiteral("Cannot play Music: it is a folder, not a media file"));
    }

    void contentFollowsThePlayer() {
        auto *dropZone = window().findChild<DropZone *>();
        auto *audio = window().findChild<AudioPlayerView *>();
        QVERIFY(dropZone->isVisible() && !audio->isVisible());
        QVERIFY(!window().findChild<VideoPlayerView *>());
        QVERIFY(!transportBar().isVisible());
        QVERIFY(dropZone->width() >= 400 && dropZone->height() >= 200);

        manager().loadMedia(fixtureUrl("tone.mp3"));
        QTRY_VERIFY(audio->isVisible());
        QVERIFY(!dropZone->isVisible() && transportBar().isVisible());
        QVERIFY(audio->width() >= 700 && audio->height() >= 450);
        QVERIFY(find<QWidget>("fullScreenPlaceholder")->isVisible());
        QVERIFY(!find<QToolButton>("fullScreenButton")->isVisible());

        manager().loadMedia(fixtureUrl("clip.mp4"));
        QTRY_VERIFY(window().findChild<VideoPlayerView *>());
        QVERIFY(window().findChild<VideoPlayerView *>()->isVisible());
        QVERIFY(!audio->isVisible() && transportBar().isVisible());
        QVERIFY(find<QToolButton>("fullScreenButton")->isVisible());
        QCOMPARE(find<QToolButton>("fullScreenButton")->toolTip(), QStringLiteral("Full Screen"));
        QCOMPARE(barOpacity(), 1.0);
    }

    void dropsLoadTheFirstLocalFileOnly() {
        auto *dropZone = window().findChild<DropZone *>();
        QVERIFY(!dragOnto(dropZone, {QUrl("https://example.org/a.mp3")}, false));
        // Another machine's file, or a name cut short by a NUL, is not the local file it names.
        QUrl elsewhere = fixtureUrl("tone.wav");
        elsewhere.setHost("elsewhere");
        const QUrl cutShort = QUrl::fromEncoded(fixtureUrl("tone.wav").toEncoded() + "%00.mp3");
        QVERIFY(!dragOnto(dropZone, {elsewhere}, true));
        QVERIFY(!dragOnto(dropZone, {cutShort}, true));

        QMimeData data;
        data.setUrls({fixtureUrl("tone.wav")});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(dropZone, &enter);
        QVERIFY(dropZone->isTargeted());
        QDragLeaveEvent leave;
        QApplication::sendEvent(dropZone, &leave);
        QVERIFY(!dropZone->isTargeted());

        QVERIFY(dragOnto(dropZone,
                         {fixtureUrl("tone.wav"), fixtureUrl("clip.mp4"), fixtureUrl("tone.mp3")},
                         true));
        QVERIFY(!dropZone->isTargeted());
        QTRY_COMPARE(manager().fileName(), QStringLiteral("tone.wav"));

        // Once something is loaded, the whole window takes the drop.
        QVERIFY(dragOnto(&content(), {fixtureUrl("clip.mkv")}, true));
        QTRY_COMPARE(manager().fileName(), QStringLiteral("clip.mkv"));
    }

    void aFileDraggedFromAnotherProgramOntoThePictureOpens() {
        if (QGuiApplication::platformName() != u"xcb" ||
            QStandardPaths::findExecutable("xdotool").isEmpty())
            QSKIP("a real drag is driven through XTest, on X11");
        // Pointer moves and presses as the X server takes them from a device.
        const auto xdotool = [](const QStringList &arguments) {
            QProcess tool;
            tool.start("xdotool", arguments);
            return QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; },
                                   timeoutMs) &&
                   tool.exitCode() == 0;
        };
        manager().loadMedia(fixtureUrl("long.mp4"));
        QTRY_VERIFY(window().findChild<VideoPlayerView *>());
        auto *video = window().findChild<VideoPlayerView *>();
        QTRY_VERIFY(video->isVisible() && video->surface()->isExposed());
        window().move(300, 200);
        QProcess source;
        source.start(SONAVEL_DRAG_SOURCE, {test_support::fixture("tone.mp3")});
        QByteArray said;
        QTRY_VERIFY2_WITH_TIMEOUT((said += source.readAllStandardOutput()).contains("ready"),
                                  qPrintable(source.errorString() + source.readAllStandardError()),
                                  timeoutMs);

        const auto target = [&] {
            QWindow *surface = video->surface();
            return surface->mapToGlobal(QPoint(surface->width() / 2, surface->height() / 2));
        };
        QTRY_VERIFY(target().x() > 200);
        QVERIFY(xdotool({"mousemove", "--sync", "60", "40", "mousedown", "1"}));
        // Past the drag distance, then over the picture in steps, as a hand moves.
        for (int step = 1; step <= 10; ++step) {
            const QPoint at = QPoint(60, 40) + (target() - QPoint(60, 40)) * step / 10;
            QVERIFY(xdotool({"mousemove", QString::number(at.x()), QString::number(at.y())}));
        }
        QVERIFY(xdotool({"mouseup", "1"}));
        QTRY_COMPARE_WITH_TIMEOUT(manager().fileName(), QStringLiteral("tone.mp3"), timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT((said += source.readAllStandardOutput()).contains("copy"),
                                 timeoutMs);
        source.kill();
        source.waitForFinished();
    }

    void aDropGivenToThePicturesOwnWindowOpens() {
        // Wayland's compositor gives a drop on the picture to its native window itself.
        manager().loadMedia(fixtureUrl("long.mp4"));
        QTRY_VERIFY(window().findChild<VideoPlayerView *>());
        QWindow *surface = window().findChild<VideoPlayerView *>()->surface();
        QTRY_VERIFY_WITH_TIMEOUT(manager().duration() > 20, timeoutMs);
        const std::shared_ptr<MediaPlayer> film = manager().player();
        // A subtitle file dropped there goes with the film, which plays on.
        const auto drop = [&](QMimeData &data) {
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                                  Qt::NoModifier);
            QApplication::sendEvent(surface, &enter);
            QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                               Qt::NoModifier);
            QApplication::sendEvent(surface, &dropped);
            return enter.isAccepted() && dropped.isAccepted();
        };
        QMimeData subtitles;
        subtitles.setUrls({fixtureUrl("words.srt")});
        QVERIFY(drop(subtitles));
        QTRY_VERIFY_WITH_TIMEOUT(
            std::any_of(manager().tracks().begin(), manager().tracks().end(),
                        [](const MediaTrack &t) { return t.isExternal && t.isSelected; }),
            timeoutMs);
        QCOMPARE(manager().player(), film);
        QMimeData song;
        song.setUrls({fixtureUrl("tone.mp3")});
        QVERIFY(drop(song));
        QTRY_COMPARE(manager().fileName(), QStringLiteral("tone.mp3"));
    }

    void openPanelAsksForOneMediaFile() {
        int runs = 0;
        open_panel::setRunner([&](QFileDialog &dialog) {
            ++runs;
            [&] {
                QCOMPARE(dialog.fileMode(), QFileDialog::ExistingFile);
                QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptOpen);
                // Kinds of file, read without their hundred and more patterns.
                QVERIFY(dialog.testOption(QFileDialog::HideNameFilterDetails));
                const QStringList filters = dialog.nameFilters();
                QCOMPARE(filters.size(), 4);
                for (const QString pattern :
                     {"*.mp3", "*.m4a", "*.wav", "*.mp4", "*.m4v", "*.mov", "*.avi", "*.mkv"})
                    QVERIFY(filters[0].startsWith("Media files (") && filters[0].contains(pattern));
                QVERIFY(!filters[0].contains("*.txt"));
                QVERIFY(filters[1].startsWith("Video files (") && filters[1].contains("*.mkv") &&
                        !filters[1].contains("*.mp3"));
                QVERIFY(filters[2].startsWith("Audio files (") && filters[2].contains("*.mp3") &&
                        !filters[2].contains("*.mkv"));
                QCOMPARE(filters[3], QStringLiteral("All files (*)"));
            }();
            if (runs == 1)
                return int(QDialog::Rejected);
            dialog.selectUrl(fixtureUrl("tone.m4a"));
            return int(QDialog::Accepted);
        });
        auto *openButton = window().findChild<DropZone *>()->findChild<QPushButton *>();
        QTest::mouseClick(openButton, Qt::LeftButton);
        QVERIFY(!manager().player());
        QTest::mouseClick(openButton, Qt::LeftButton);
        QCOMPARE(manager().fileName(), QStringLiteral("tone.m4a"));
        QTRY_VERIFY(transportBar().isVisible());
        QTest::mouseClick(find<QToolButton>("openFileButton"), Qt::LeftButton);
        QCOMPARE(runs, 3);
        QCOMPARE(find<QToolButton>("openFileButton")->toolTip(), QStringLiteral("Open new file"));
    }

    void transportBarDrivesThePlayer() {
        manager().loadMedia(fixtureUrl("clip.mp4"));
        QTRY_VERIFY(transportBar().isVisible());
        auto *repeat = find<QToolButton>("repeatButton");
        const QColor blue(10, 132, 255);
        const struct {
            RepeatMode mode;
            const char *symbol;
            const char *help;
            bool blue;
        } cycle[] = {{RepeatMode::allRepeat, "repeat", "Repeat all", true},
                     {RepeatMode::off, "arrow.right.to.line", "Stop at end", false},
                     {RepeatMode::one, "repeat.1", "Repeat one", true},
                     {RepeatMode::all, "arrow.forward.to.line", "Play all", true}};
        for (const auto &step : cycle) {
            QTest::mouseClick(repeat, Qt::LeftButton);
            QCOMPARE(manager().repeatMode(), step.mode);
            QCOMPARE(manager().isRepeating(), step.mode == RepeatMode::one);
            QTRY_COMPARE(repeat->property("symbol").toString(), QString(step.symbol));
            QCOMPARE(repeat->icon().name(), QString(step.symbol));
            QCOMPARE(repeat->toolTip(), QString(step.help));
            QCOMPARE(repeat->property("color").value<QColor>() == blue, step.blue);
        }

        auto *playPause = find<QToolButton>("playPauseButton");
        QTRY_COMPARE(playPause->property("symbol").toString(), QStringLiteral("pause.fill"));
        QTest::mouseClick(playPause, Qt::LeftButton);
        QVERIFY(!manager().isPlaying());
        QTRY_COMPARE(playPause->property("symbol").toString(), QStringLiteral("play.fill"));

        // Each movement of a held knob seeks at once.
        auto *slider = find<QSlider>("timeSlider");
        QTRY_COMPARE(slider->maximum(), 1000);
        slider->setSliderDown(true);
        slider->setValue(600);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(manager().currentTime() - 0.6) < 0.05, timeoutMs);
        slider->setValue(200);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(manager().currentTime() - 0.2) < 0.05, timeoutMs);
        slider->setSliderDown(false);
        QTRY_COMPARE(find<QLabel>("totalTime")->text(), QStringLiteral("0:01"));

        QTest::mouseClick(find<QToolButton>("stopButton"), Qt::LeftButton);
        QCOMPARE(manager().currentTime(), 0.0);
        QVERIFY(!manager().isPlaying());
    }

    void playlistFollowsTheCurrentRow() {
        for (int i = 0; i < 40; ++i)
            place("tone.wav", QStringLiteral("%1.wav").arg(i, 2, 10, QChar('0')));
        manager().loadMedia(QUrl::fromLocalFile(folder->filePath("00.wav")));
        auto *list = find<QListView>("playlist");
        QTRY_COMPARE(list->model()->rowCount(), 40);
        QTRY_COMPARE(find<QLabel>("playlistHeader")->text(), QStringLiteral("Playlist (40)"));
        QCOMPARE(find<QLabel>("position")->text(), QStringLiteral("1 / 40"));
        QVERIFY(!find<QToolButton>("previousButton")->isEnabled());
        QVERIFY(find<QToolButton>("nextButton")->isEnabled());
        QCOMPARE(list->verticalScrollBar()->value(), 0);

        // Moving far down scrolls the current row to the middle of the list.
        manager().setCurrentIndex(29);
        manager().loadMedia(QUrl::fromLocalFile(folder->filePath("29.wav")));
        QTest::mouseClick(find<QToolButton>("nextButton"), Qt::LeftButton);
        QCOMPARE(manager().currentIndex(), 30);
        QTRY_COMPARE(find<QLabel>("position")->text(), QStringLiteral("31 / 40"));
        const auto currentRowCentred = [&] {
            const QRect row = list->visualRect(list->model()->index(30, 0));
            return qAbs(row.center().y() - list->viewport()->height() / 2) <= row.height();
        };
        QTRY_VERIFY_WITH_TIMEOUT(currentRowCentred(), timeoutMs);
        QVERIFY(find<QToolButton>("previousButton")->isEnabled());

        // Clicking the current row loads it again.
        std::weak_ptr<MediaPlayer> before = manager().player();
        const QRect row = list->visualRect(list->model()->index(30, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
        QVERIFY(before.expired());
        QCOMPARE(manager().currentIndex(), 30);

        // Played through from the last entry, allRepeat wraps and the list follows to the top.
        manager().setRepeatMode(RepeatMode::allRepeat);
        manager().setCurrentIndex(39);
        manager().loadMedia(QUrl::fromLocalFile(folder->filePath("39.wav")));
        QTRY_VERIFY_WITH_TIMEOUT(manager().currentIndex() >= 0 && manager().currentIndex() < 3,
                                 timeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(list->verticalScrollBar()->value(), 0, timeoutMs);
    }

    void loadErrorIsShownInPlainWords() {
        manager().loadMedia(QUrl::fromLocalFile(folder->filePath("gone.mp3")));
        auto *error = find<ElidingLabel>("loadError");
        QTRY_COMPARE(error->fullText(), QStringLiteral("Cannot play gone.mp3: file not found"));
        QVERIFY(error->isVisible());
        manager().loadMedia(fixtureUrl("tone.mp3"));
        QTRY_VERIFY(!error->isVisible());

        const QUrl broken = place("text.mkv", "clip.mkv");
        manager().loadMedia(broken);
        auto *videoError = find<ElidingLabel>("videoLoadError");
        QTRY_VERIFY(videoError->isVisible());
        QCOMPARE(videoError->fullText(),
                 QStringLiteral("Cannot play clip.mkv: its format is not recognised"));
        QVERIFY(transportBar().isVisible());
        manager().loadMedia(fixtureUrl("clip.mp4"));
        QTRY_VERIFY(!videoError->isVisible());
        QTRY_VERIFY(window().findChild<VideoPlayerView *>());
    }

    void customFullScreenEntersAndLeavesExactly() {
        manager().loadMedia(fixtureUrl("long.mp4"));
        QTRY_VERIFY(window().findChild<VideoPlayerView *>());
        auto *video = window().findChild<VideoPlayerView *>();
        QTRY_VERIFY(video->isVisible());
        QWindow *const surface = video->surface();
        const WId surfaceId = surface->winId();
        QWindow *const mainWindow = window().windowHandle();
        // A windowed frame of the user's own making.
        if (window_system::desktopPlacesWindows())
            window().resize(640, 400);
        else
            window().setGeometry(QRect(100, 120, 640, 400));
        QTRY_COMPARE(window().size(), QSize(640, 400));
        QRect before = window().geometry();
        delegate->exitCustomFullScreen();
        QCOMPARE(window().geometry(), before);

        delegate->enterCustomFullScreen();
        QVERIFY(delegate->isInCustomFullScreen());
        QVERIFY(window().windowState() & Qt::WindowFullScreen);
        QVERIFY(!window().menuWidget()->isVisible());
        // The compositor gives it the whole output. (Xvfb has no window manager to do that.)
        if (window_system::desktopPlacesWindows())
            QTRY_COMPARE_WITH_TIMEOUT(window().size(), window().screen()->size(), timeoutMs);
        delegate->enterCustomFullScreen();
        QCOMPARE(*delegate->savedWindowFrame(), before);

        // Another video meanwhile leaves the window to the screen, drawn in the same surface.
        manager().loadMedia(fixtureUrl("clip.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(manager().currentTime() > 0.1, timeoutMs);
        // Its size known and its (ignored) fit request handled: on a busy machine the picture
        // may come well after the sound.
        QTRY_VERIFY_WITH_TIMEOUT(!manager().player()->presentationSize().isEmpty(), timeoutMs);
        QCoreApplication::processEvents();
        QVERIFY(window().windowState() & Qt::WindowFullScreen);
        QCOMPARE(video->surface(), surface);
        QCOMPARE(surface->winId(), surfaceId);
        QCOMPARE(window().windowHandle(), mainWindow);

        // Escape, with modifiers too, leaves, and the window is fitted to the film now playing.
        QTest::keyClick(&window(), Qt::Key_Escape, Qt::ShiftModifier);
        QVERIFY(!delegate->isInCustomFullScreen());
        QVERIFY(!(window().windowState() & Qt::WindowFullScreen));
        QVERIFY(window().menuWidget()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(window().width() < before.width(), timeoutMs);
        before = *delegate->savedWindowFrame();
        QTRY_COMPARE_WITH_TIMEOUT(window().size(), before.size(), timeoutMs);
        if (!window_system::desktopPlacesWindows())
            QCOMPARE(window().geometry(), before);
        QTRY_VERIFY_WITH_TIMEOUT(!content().isFullScreen(), timeoutMs);
        QCOMPARE(surface->winId(), surfaceId);
        QCOMPARE(window().windowHandle(), mainWindow);

        // The desktop taking the window out of full screen by itself ends the mode too; an
        // answer soon after a request may be a late one to an older request, and is not taken.
        delegate->enterCustomFullScreen();
        window().setWindowState(window().windowState() & ~Qt::WindowFullScreen);
        QVERIFY(delegate->isInCustomFullScreen());
        QVERIFY(window().windowState() & Qt::WindowFullScreen);
        // Once the compositor has answered (on a busy machine, it may take a while):
        if (window_system::desktopPlacesWindows())
            QTRY_COMPARE_WITH_TIMEOUT(window().size(), window().screen()->size(), timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!delegate->customFullScreen().isAwaitingAnswer(), timeoutMs);
        window().setWindowState(window().windowState() & ~Qt::WindowFullScreen);
        QVERIFY(!delegate->isInCustomFullScreen());
        QVERIFY(window().menuWidget()->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(window().size(), before.size(), timeoutMs);

        // The transport bar's button toggles it as well.
        QTest::mouseClick(find<QToolButton>("fullScreenButton"), Qt::LeftButton);
        QVERIFY(delegate->isInCustomFullScreen());
        QTRY_VERIFY_WITH_TIMEOUT(content().isFullScreen(), timeoutMs);
        QTest::mouseClick(find<QToolButton>("fullScreenButton"), Qt::LeftButton);
        QVERIFY(!delegate->isInCustomFullScreen());
        QTRY_COMPARE_WITH_TIMEOUT(window().size(), before.size(), timeoutMs);
    }

    void barFadesOnlyOverAPlayingVideoInFullScreen() {
        place("tone.wav", "a.wav");
        manager().setRepeatMode(RepeatMode::one);
        auto *idle = content().findChild<QTimer *>("mouseIdleTimer");

        // Audio in full screen: no idle count, the bar stays. (Entered once the song shows, as
        // a person would: the audio view's least size applied meanwhile would resize a window
        // Qt has not yet seen the compositor make full screen.)
        manager().loadMedia(QUrl::fromLocalFile(folder->filePath("a.wav")));
        QTRY_VERIFY(window().findChild<AudioPlayerView *>()->isVisible());
        delegate->enterCustomFullScreen();
        QTRY_VERIFY_WITH_TIMEOUT(content().isFullScreen(), timeoutMs);
        // (Qt's Wayland shell drops a request made before the compositor has answered the
        // one before: wait as a person would.)
        if (window_system::desktopPlacesWindows())
            QTRY_COMPARE_WITH_TIMEOUT(window().size(), window().screen()->size(), timeoutMs);
        QVERIFY(!idle->isActive());
        QCOMPARE(barOpacity(), 1.0);

        // A double-click on a playing video enters full screen; a press starts the count.
        delegate->exitCustomFullScreen();
        if (window_system::desktopPlacesWindows())
            QTRY_VERIFY_WITH_TIMEOUT(window().size() != window().screen()->size(), timeoutMs);
        manager().loadMedia(fixtureUrl("clip.mp4"));
        QTRY_VERIFY(window().findChild<VideoPlayerView *>());
        auto *video = window().findChild<VideoPlayerView *>();
        QVERIFY(QTest::qWaitForWindowExposed(video->surface()));
        // Delivered as the window system reports it; telling clicks apart is Qt's part.
        const QPointF inside(20, 20);
        QMouseEvent doubleClick(QEvent::MouseButtonDblClick, inside,
                                video->surface()->mapToGlobal(inside), Qt::LeftButton,
                                Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(video->surface(), &doubleClick);
        QVERIFY(delegate->isInCustomFullScreen());
        QTRY_VERIFY_WITH_TIMEOUT(content().isFullScreen(), 1000);
        // Once the compositor has made it the output's size, and the layout is still.
        if (window_system::desktopPlacesWindows())
            QTRY_COMPARE_WITH_TIMEOUT(window().size(), window().screen()->size(), timeoutMs);
        QTest::mousePress(video->surface(), Qt::LeftButton);
        QTest::mouseRelease(video->surface(), Qt::LeftButton);
        QVERIFY(idle->isActive());
        QSignalSpy fired(idle, &QTimer::timeout);
        QVERIFY(fired.wait(timeoutMs));
        QVERIFY(!content().showControls());
        QTRY_COMPARE_WITH_TIMEOUT(barOpacity(), 0.0, timeoutMs);
        QVERIFY(transportBar().isVisible());
        const int videoHeight = video->height();

        // The pointer goes with the bar, over the picture and the rest, and comes back with it
        // when it moves.
        QCOMPARE(video->surface()->cursor().shape(), Qt::BlankCursor);
        QCOMPARE(content().cursor().shape(), Qt::BlankCursor);
        QTest::mouseMove(video->surface(), QPoint(40, 40));
        QVERIFY(content().showControls());
        QCOMPARE(video->surface()->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(content().cursor().shape(), Qt::ArrowCursor);
        QVERIFY(fired.wait(timeoutMs));
        QTRY_COMPARE_WITH_TIMEOUT(barOpacity(), 0.0, timeoutMs);
        QCOMPARE(video->surface()->cursor().shape(), Qt::BlankCursor);

        // A click where the faded bar is only brings it back: no invisible Stop.
        QTest::mouseClick(find<QToolButton>("stopButton"), Qt::LeftButton);
        QVERIFY(manager().isPlaying());
        QVERIFY(content().showControls());
        QTest::mouseClick(find<QToolButton>("stopButton"), Qt::LeftButton);
        QVERIFY(!manager().isPlaying());
        manager().play();
        QVERIFY(fired.wait(timeoutMs));
        QTRY_COMPARE_WITH_TIMEOUT(barOpacity(), 0.0, timeoutMs);

        // A press shows it again, in place.
        QTest::mousePress(video->surface(), Qt::LeftButton);
        QTest::mouseRelease(video->surface(), Qt::LeftButton);
        QVERIFY(content().showControls());
        QTRY_COMPARE_WITH_TIMEOUT(barOpacity(), 1.0, timeoutMs);
        QCOMPARE(video->height(), videoHeight);

        // A paused video does not hide it.
        manager().pause();
        QTest::mousePress(video->surface(), Qt::LeftButton);
        QTest::mouseRelease(video->surface(), Qt::LeftButton);
        QVERIFY(fired.wait(timeoutMs));
        QVERIFY(content().showControls());
        QCOMPARE(barOpacity(), 1.0);
    }

    void stillPointerLetsTheBarHide() {
        manager().loadMedia(fixtureUrl("long.mp4"));
        QTRY_VERIFY(window().findChild<VideoPlayerView *>());
        auto *video = window().findChild<VideoPlayerView *>();
        QTRY_VERIFY(video->isVisible());
        auto *idle = content().findChild<QTimer *>("mouseIdleTimer");
        // (A Wayland client cannot move the pointer; there it rests wherever it was.)
        if (!window_system::desktopPlacesWindows()) {
            QCursor::setPos(video->mapToGlobal(video->rect().center()));
            QTRY_COMPARE(QCursor::pos(), video->mapToGlobal(video->rect().center()));
        }
        // Entered from the menu, with the pointer resting and never moving.
        delegate->enterCustomFullScreen();
        QTRY_VERIFY_WITH_TIMEOUT(content().isFullScreen(), timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!content().showControls(), timeoutMs);
        QVERIFY(!idle->isActive());
    }

    void aFilmLeftMidwayOffersToContinue() {
        const QUrl film = place("six-minutes.mkv", "film.mkv");
        auto leaveAt = [&](double seconds) {
            QTRY_VERIFY_WITH_TIMEOUT(manager().duration() > 300, timeoutMs);
            manager().seek(seconds);
            QTRY_VERIFY_WITH_TIMEOUT(manager().currentTime() >= seconds, timeoutMs);
            manager().loadMedia(fixtureUrl("tone.mp3"));
            manager().loadMedia(film);
        };
        manager().loadMedia(film);
        QTRY_VERIFY_WITH_TIMEOUT(manager().duration() > 300, timeoutMs);
        auto *offer = find<QPushButton>("resumeOffer");
        QVERIFY(!offer->isVisible());

        // Part of the window (it minimises and moves with it), inside the picture of this
        // small film, shortened rather than cut off, drawn over it; named for screen readers.
        // A click takes it.
        leaveAt(120);
        QTRY_VERIFY_WITH_TIMEOUT(offer->isVisible(), timeoutMs);
        QCOMPARE(offer->accessibleName(), QStringLiteral("Continue from 2:00"));
        QVERIFY(!offer->isWindow());
        auto *video = window().findChild<VideoPlayerView *>();
        const QRect inWindow(offer->mapTo(&window(), QPoint()), offer->size());
        QVERIFY(QRect(video->mapTo(&window(), QPoint()), video->size()).contains(inWindow));
        QVERIFY(
            offer->text() == offer->accessibleName() ||
            (offer->text().endsWith(QChar(0x2026)) && offer->sizeHint().width() <= offer->width()));
        // Drawn into the picture, which lies above whatever the window paints there.
        const QPoint edge = offer->pos() + QPoint(4, offer->height() / 2);
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QImage picture = video->grabPicture();
                const QPoint pixel = edge * video->devicePixelRatio();
                return picture.valid(pixel) && picture.pixelColor(pixel).rgb() == qRgb(28, 28, 30);
            },
            timeoutMs));
        // Clicked where the pointer meets the picture's own window; the keys stay where they were.
        content().setFocus();
        QTest::mouseClick(video->surface(), Qt::LeftButton, {}, offer->geometry().center());
        QTRY_VERIFY_WITH_TIMEOUT(manager().currentTime() >= 120, timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!offer->isVisible(), timeoutMs);
        QCOMPARE(window().focusWidget(), &content());

        // One Tab from the window's own keys reaches it, and Enter takes it, as it does
        // wherever the focus is in the content; the keys then go back to the window.
        if (!test_support::focusWindow(window()))
            QSKIP("this compositor has no keyboard to focus the window with");
        leaveAt(200);
        QTRY_VERIFY_WITH_TIMEOUT(offer->isVisible(), timeoutMs);
        QCOMPARE(offer->accessibleName(), QStringLiteral("Continue from 3:20"));
        content().setFocus();
        QTest::keyClick(window().windowHandle(), Qt::Key_Tab);
        QTRY_VERIFY(offer->hasFocus());
        QTest::keyClick(window().windowHandle(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(manager().currentTime() >= 200, timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!offer->isVisible(), timeoutMs);
        QVERIFY(content().hasFocus());
        leaveAt(240);
        QTRY_VERIFY_WITH_TIMEOUT(offer->isVisible(), timeoutMs);
        QTest::keyClick(window().windowHandle(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(manager().currentTime() >= 240, timeoutMs);
    }

    void aRecordingOffersToContinueInItsColumn() {
        const QUrl talk = place("six-minutes.mp3", "talk.mp3");
        manager().loadMedia(talk);
        QTRY_VERIFY_WITH_TIMEOUT(manager().duration() > 300, timeoutMs);
        manager().seek(150);
        QTRY_VERIFY_WITH_TIMEOUT(manager().currentTime() >= 150, timeoutMs);
        manager().loadMedia(fixtureUrl("tone.mp3"));
        manager().loadMedia(talk);

        auto *offer = find<QPushButton>("resumeOfferInColumn");
        QTRY_VERIFY_WITH_TIMEOUT(offer->isVisible(), timeoutMs);
        QCOMPARE(offer->text(), QStringLiteral("Continue from 2:30"));
        // A click takes it and leaves the window's keys where they were: the arrows still
        // change the volume rather than seek.
        content().setFocus();
        QTest::mouseClick(offer, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(manager().currentTime() >= 150, timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!offer->isVisible(), timeoutMs);
        QVERIFY(manager().isPlaying());
        QCOMPARE(window().focusWidget(), &content());

        // Reached with Tab from the playlist, Space takes it; gone by itself, it gives the keys
        // back to the playlist.
        if (!test_support::focusWindow(window()))
            QSKIP("this compositor has no keyboard to focus the window with");
        for (const bool press : {true, false}) {
            manager().loadMedia(fixtureUrl("tone.mp3"));
            manager().loadMedia(talk);
            QTRY_VERIFY_WITH_TIMEOUT(offer->isVisible(), timeoutMs);
            auto *list = find<QListView>("playlist");
            list->setFocus();
            offer->setFocus(Qt::TabFocusReason);
            QVERIFY(offer->hasFocus());
            if (press)
                QTest::keyClick(offer, Qt::Key_Space);
            else
                manager().withdrawResumeOffer();
            QTRY_VERIFY_WITH_TIMEOUT(!offer->isVisible(), timeoutMs);
            QVERIFY(list->hasFocus());
        }
    }

    void keysDriveTheWindowWithoutStealingFromControls() {
        if (!test_support::focusWindow(window()))
            QSKIP("this compositor has no keyboard to focus the window with");
        QWindow *keys = window().windowHandle();
        manager().loadMedia(fixtureUrl("long.mp3"));
        QTRY_VERIFY_WITH_TIMEOUT(manager().duration() > 50, timeoutMs);
        QVERIFY(content().hasFocus());
        QTest::keyClick(keys, Qt::Key_Space);
        QVERIFY(!manager().isPlaying());
        // Media keys have no text QTest could type: sent as the window system delivers them.
        for (const Qt::Key key : {Qt::Key_MediaTogglePlayPause, Qt::Key_MediaPause}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(QApplication::focusWidget(), &press);
            QCOMPARE(manager().isPlaying(), key == Qt::Key_MediaTogglePlayPause);
        }

        // Left and Right seek 5 s, never before the start.
        manager().seek(10);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(manager().currentTime() - 10) < 0.5, timeoutMs);
        QTest::keyClick(keys, Qt::Key_Right);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(manager().currentTime() - 15) < 0.5, timeoutMs);
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(keys, Qt::Key_Left);
        QTRY_VERIFY_WITH_TIMEOUT(manager().currentTime() < 0.5, timeoutMs);

        // Up and Down change the volume by 5 %, M mutes; the new level is shown.
        manager().setVolume(0.5);
        QTest::keyClick(keys, Qt::Key_Up);
        QCOMPARE(manager().volume(), 0.55);
        auto *overlay = find<QLabel>("volumeOverlay");
        QVERIFY(overlay->isVisible());
        QCOMPARE(overlay->text(), QStringLiteral("Volume 55 %"));
        QTest::keyClick(keys, Qt::Key_Down);
        QCOMPARE(manager().volume(), 0.5);
        QTest::keyClick(keys, Qt::Key_M);
        QVERIFY(manager().isMuted());
        QCOMPARE(overlay->text(), QStringLiteral("Muted"));
        QTest::keyClick(keys, Qt::Key_M);
        QVERIFY(!manager().isMuted());
        // A volume key is meant to be heard: it takes the sound out of mute.
        QTest::keyClick(keys, Qt::Key_M);
        QTest::keyClick(keys, Qt::Key_Down);
        QVERIFY(!manager().isMuted());
        QCOMPARE(manager().volume(), 0.45);
        QTest::keyClick(keys, Qt::Key_Up);
        QTRY_VERIFY_WITH_TIMEOUT(!overlay->isVisible(), timeoutMs);

        // A focused time slider keeps its arrow keys; Space still plays.
        auto *slider = find<SeekSlider>("timeSlider");
        slider->setFocus();
        const int before = slider->value();
        QTest::keyClick(keys, Qt::Key_Up);
        // The last report of the seek back to the start may land in between.
        QVERIFY2(qAbs(slider->value() - (before + 5000)) < 500,
                 qPrintable(QString::number(before)));
        QCOMPARE(manager().volume(), 0.5);
        QTest::keyClick(keys, Qt::Key_Space);
        QVERIFY(manager().isPlaying());

        // F is full screen for a video only.
        content().setFocus();
        QTest::keyClick(keys, Qt::Key_F);
        QVERIFY(!delegate->isInCustomFullScreen());
        manager().loadMedia(fixtureUrl("clip.mp4"));
        QTRY_VERIFY(window().findChild<VideoPlayerView *>());
        QTest::keyClick(keys, Qt::Key_F);
        QVERIFY(delegate->isInCustomFullScreen());
        QTest::keyClick(keys, Qt::Key_Escape);
        QVERIFY(!delegate->isInCustomFullScreen());

        // The wheel over the picture is the volume too, two notches two steps, out of mute.
        manager().setMuted(true);
        QWindow *surface = window().findChild<VideoPlayerView *>()->surface();
        const QPointF inside(surface->width() / 2.0, surface->height() / 2.0);
        QWheelEvent wheel(inside, surface->mapToGlobal(inside), {}, {0, -240}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(surface, &wheel);
        QCOMPARE(manager().volume(), 0.4);
        QVERIFY(!manager().isMuted());
        QTRY_VERIFY(overlay->isVisible());
        QCOMPARE(overlay->text(), QStringLiteral("Volume 40 %"));
    }

    void keyboardAloneReachesAndPressesEveryControl() {
        if (!test_support::focusWindow(window()))
            QSKIP("this compositor has no keyboard to focus the window with");
        QWindow *keys = window().windowHandle();
        for (const QString name : {"a.mp3", "b.mp3", "c.mp3"})
            place("long.mp3", name);
        manager().loadMedia(QUrl::fromLocalFile(folder->filePath("b.mp3")));
        QTRY_VERIFY_WITH_TIMEOUT(manager().duration() > 50, timeoutMs);
        const auto focused = [] {
            return QApplication::focusWidget() ? QApplication::focusWidget()->objectName()
                                               : QString();
        };
        // In the order they show: the list, its column, the time bar, the buttons below it.
        const QStringList order{"playlist",   "previousButton", "nextButton",
                                "timeSlider", "openFileButton", "repeatButton",
                                "stopButton", "playPauseButton"};
        for (const QString &name : order) {
            QTest::keyClick(keys, Qt::Key_Tab);
            QCOMPARE(focused(), name);
        }
        QTest::keyClick(keys, Qt::Key_Tab);
        QVERIFY(content().hasFocus());
        QTest::keyClick(keys, Qt::Key_Backtab);
        QCOMPARE(focused(), order.last());

        // Enter and Space press the focused button; Escape gives the window its keys back.
        QTest::keyClick(keys, Qt::Key_Return);
        QTRY_VERIFY(!manager().isPlaying());
        find<QToolButton>("stopButton")->setFocus();
        QTest::keyClick(keys, Qt::Key_Space);
        QTRY_VERIFY(manager().isStopped());
        QTest::keyClick(keys, Qt::Key_Escape);
        QVERIFY(content().hasFocus());

        // Enter plays the list's row; Space there stays play/pause.
        find<QListView>("playlist")->setFocus();
        QTest::keyClick(keys, Qt::Key_Down);
        QTest::keyClick(keys, Qt::Key_Return);
        QTRY_COMPARE(manager().currentIndex(), 2);
        QTRY_VERIFY(manager().isPlaying());
        QTest::keyClick(keys, Qt::Key_Space);
        QVERIFY(!manager().isPlaying());

        // A click beside the controls gives the window its keys back, the slider's arrows too.
        find<SeekSlider>("timeSlider")->setFocus();
        QWidget *column = find<QLabel>("format")->parentWidget()->parentWidget();
        QTest::mouseClick(column, Qt::LeftButton, {}, QPoint(4, 4));
        QVERIFY(content().hasFocus());
        // A click on a control acts but leaves the keys with the window.
        QTest::mouseClick(find<QToolButton>("playPauseButton"), Qt::LeftButton);
        QTRY_VERIFY(manager().isPlaying());
        QTest::mouseClick(find<SeekSlider>("timeSlider"), Qt::LeftButton);
        QVERIFY(content().hasFocus());
    }

    void keyboardFocusIsRingedOnEveryKindOfControl() {
        if (!test_support::focusWindow(window()))
            QSKIP("this compositor has no keyboard to focus the window with");
        manager().loadMedia(fixtureUrl("long.mp3"));
        QTRY_VERIFY_WITH_TIMEOUT(manager().duration() > 50, timeoutMs);
        manager().pause();
        const auto ringPixels = [](QWidget *control) {
            const QImage picture = control->grab().toImage();
            const QColor ring = style::focusRing();
            int count = 0;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x) {
                    const QColor pixel = picture.pixelColor(x, y);
                    count += std::abs(pixel.red() - ring.red()) +
                                 std::abs(pixel.green() - ring.green()) +
                                 std::abs(pixel.blue() - ring.blue()) <
                             40;
                }
            return count;
        };
        for (const QString name : {"playPauseButton", "timeSlider"}) {
            QWidget *control = find<QWidget>(name);
            control->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(control->hasFocus());
            // Round the control, well beyond a faint mark.
            QVERIFY2(ringPixels(control) > control->width(), qPrintable(name));
            content().setFocus(Qt::TabFocusReason);
            QVERIFY2(ringPixels(control) < control->width() / 4, qPrintable(name));
        }
    }

    void theVolumeOverlayLetsTheWheelThrough() {
        if (QGuiApplication::platformName() != u"xcb")
            QSKIP("where a popup lies on screen is the compositor's to say");
        manager().loadMedia(fixtureUrl("long.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(window().findChild<VideoPlayerView *>() &&
                                     window().findChild<VideoPlayerView *>()->isVisible(),
                                 timeoutMs);
        manager().setVolume(1.0);
        QWindow *surface = window().findChild<VideoPlayerView *>()->surface();
        const QPointF inside(surface->width() / 2.0, surface->height() / 5.0);
        QWheelEvent first(inside, surface->mapToGlobal(inside), {}, {0, -120}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(surface, &first);
        QCOMPARE(manager().volume(), 0.95);
        // The window system hands the next turns to the overlay now lying under the pointer.
        auto *overlay = find<QLabel>("volumeOverlay");
        QVERIFY(overlay->isVisible());
        const QPointF onOverlay(overlay->width() / 2.0, overlay->height() / 2.0);
        for (const double expected : {0.9, 0.85}) {
            QWheelEvent next(onOverlay, overlay->mapToGlobal(onOverlay), {}, {0, -120},
                             Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(overlay, &next);
            QCOMPARE(manager().volume(), expected);
        }
    }

    void timeSliderJumpsWhereClickedAndStepsBySeconds() {
        manager().loadMedia(fixtureUrl("long.mp3"));
        auto *slider = find<SeekSlider>("timeSlider");
        QTRY_VERIFY_WITH_TIMEOUT(slider->maximum() > 50000, timeoutMs);
        manager().pause();
        // A click on the track goes where it lands.
        QTest::mouseClick(slider, Qt::LeftButton, {},
                          QPoint(slider->width() * 3 / 4, slider->height() / 2));
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(manager().currentTime() - 45) < 5, timeoutMs);
        // Keys and the wheel move 5 seconds, a page 30.
        slider->setFocus();
        const int before = slider->value();
        QTest::keyClick(slider, Qt::Key_Left);
        QCOMPARE(slider->value(), before - 5000);
        QTest::keyClick(slider, Qt::Key_PageDown);
        QCOMPARE(slider->value(), before - 35000);
        QWheelEvent wheel(QPointF(10, 5), slider->mapToGlobal(QPointF(10, 5)), {}, {0, 120},
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(slider, &wheel);
        QCOMPARE(slider->value(), before - 30000);
        // Three notches at once are three steps.
        QWheelEvent fastWheel(QPointF(10, 5), slider->mapToGlobal(QPointF(10, 5)), {}, {0, 360},
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(slider, &fastWheel);
        QCOMPARE(slider->value(), before - 15000);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(manager().currentTime() - slider->value() / 1000.0) < 1,
                                 timeoutMs);
    }

    void durationsOfYearsKeepTheirRangeAndReadableTimes() {
        SeekSlider slider;
        const double monthAndMore = 40 * 24 * 3600.0;
        slider.setDuration(monthAndMore);
        QVERIFY(slider.maximum() > 0);
        QVERIFY(qAbs(slider.maximum() / slider.unitsPerSecond() - monthAndMore) < 1);
        slider.setPosition(monthAndMore / 2);
        QVERIFY(qAbs(slider.value() / slider.unitsPerSecond() - monthAndMore / 2) < 1);
        slider.setDuration(1e300);
        QVERIFY(slider.maximum() > 0);

        TimeLabel label(40);
        label.setText(timeString(monthAndMore));
        QCOMPARE(label.text(), QStringLiteral("57600:00"));
        QVERIFY(label.sizeHint().width() >= label.textWidth(label.text()));
    }

    void longNamesWrapThenElideAndNeverWidenTheWindow() {
        const QString word = QString("Everything_In_Its_Right_Place_").repeated(5);
        const QUrl song = place("tone.mp3", word + ".mp3");
        manager().loadMedia(song);
        auto *name = find<ElidingLabel>("fileName");
        QTRY_VERIFY(name->isVisible());
        const int width = window().width();
        QCOMPARE(name->fullText(), word + ".mp3");
        const QStringList lines = name->text().split(u'\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines.first().startsWith("Everything_In"));
        QVERIFY(lines.last().endsWith(QChar(0x2026)));
        for (const QString &line : lines)
            QVERIFY(name->fontMetrics().horizontalAdvance(line) <= name->width());
        QCOMPARE(window().width(), width);

        QCOMPARE(shownFileName("two\nlines.mp3"), QStringLiteral("two\uFFFDlines.mp3"));
        QCOMPARE(wrapAndElide("a b", name->font(), 1000, 2), QStringLiteral("a b"));
    }

    void videoMenuChoosesTracks() {
        manager().loadMedia(fixtureUrl("languages.mkv"));
        const auto audioTracks = [&] {
            return std::count_if(
                manager().tracks().begin(), manager().tracks().end(),
                [](const MediaTrack &t) { return t.kind == MediaTrack::Kind::audio; });
        };
        QTRY_COMPARE_WITH_TIMEOUT(audioTracks(), 2, timeoutMs);
        // mpv lists the tracks before it has chosen among them.
        QTRY_VERIFY_WITH_TIMEOUT(std::any_of(manager().tracks().begin(), manager().tracks().end(),
                                             [](const MediaTrack &t) {
                                                 return t.kind == MediaTrack::Kind::audio &&
                                                        t.isSelected;
                                             }),
                                 timeoutMs);
        const auto texts = [](const QMenu *menu) {
            QStringList result;
            for (const QAction *action : menu->actions()) {
                if (!action->isSeparator())
                    result << action->text() + (action->isChecked() ? "*" : "");
            }
            return result;
        };
        const auto mpvTrack = [&](const char *name) {
            char *value = mpv_get_property_string(manager().player()->engine()->handle(), name);
            const QString text = QString::fromUtf8(value);
            mpv_free(value);
            return text;
        };
        {
            // English preferred here: the English sound plays, the Japanese subtitles do not.
            TrackMenu menu(manager(), &window());
            auto *subtitles = menu.findChild<QMenu *>("subtitlesMenu");
            auto *audio = menu.findChild<QMenu *>("audioMenu");
            QVERIFY(subtitles && audio);
            QCOMPARE(texts(subtitles),
                     (QStringList{"Off*", "\u65e5\u672c\u8a9e", "Add Subtitle File..."}));
            QCOMPARE(texts(audio), (QStringList{"English*", "\u65e5\u672c\u8a9e"}));
            audio->actions().at(1)->trigger();
            subtitles->actions().at(1)->trigger();
        }
        QTRY_COMPARE_WITH_TIMEOUT(mpvTrack("aid"), QStringLiteral("2"), timeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(mpvTrack("sid"), QStringLiteral("1"), timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(std::any_of(manager().tracks().begin(), manager().tracks().end(),
                                             [](const MediaTrack &t) {
                                                 return t.kind == MediaTrack::Kind::subtitle &&
                                                        t.isSelected;
                                             }),
                                 timeoutMs);
        {
            TrackMenu menu(manager(), &window());
            QCOMPARE(texts(menu.findChild<QMenu *>("subtitlesMenu")).at(1),
                     QStringLiteral("\u65e5\u672c\u8a9e*"));
            menu.findChild<QMenu *>("subtitlesMenu")->actions().at(0)->trigger();
        }
        QTRY_COMPARE_WITH_TIMEOUT(mpvTrack("sid"), QStringLiteral("no"), timeoutMs);

        // No sound track and no subtitles: nothing to choose but a file to add.
        manager().loadMedia(fixtureUrl("clip.mp4"));
        {
            TrackMenu plain(manager(), &window());
            QVERIFY(!plain.findChild<QMenu *>("audioMenu"));
            QCOMPARE(texts(plain.findChild<QMenu *>("subtitlesMenu")),
                     (QStringList{"Off*", "Add Subtitle File..."}));
        }
        // One sound track leaves nothing to choose either.
        manager().loadMedia(fixtureUrl("english-speech.mkv"));
        QTRY_COMPARE_WITH_TIMEOUT(audioTracks(), 1, timeoutMs);
        {
            TrackMenu single(manager(), &window());
            QVERIFY(!single.findChild<QMenu *>("audioMenu"));
        }
        // Tracks that say neither language nor title are numbered, each kind from 1.
        manager().loadMedia(fixtureUrl("untagged-tracks.mkv"));
        QTRY_COMPARE_WITH_TIMEOUT(audioTracks(), 2, timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(std::any_of(manager().tracks().begin(), manager().tracks().end(),
                                             [](const MediaTrack &t) { return t.isSelected; }),
                                 timeoutMs);
        {
            TrackMenu untagged(manager(), &window());
            QCOMPARE(texts(untagged.findChild<QMenu *>("audioMenu")),
                     (QStringList{"Track 1*", "Track 2"}));
            QCOMPARE(texts(untagged.findChild<QMenu *>("subtitlesMenu")),
                     (QStringList{"Off*", "Track 1", "Track 2", "Add Subtitle File..."}));
        }
        QCOMPARE(TrackMenu::trackText({MediaTrack::Kind::audio, 3, "", "", false, false}, 3),
                 QStringLiteral("Track 3"));
    }

    void coverReplacesTheNoteAndOnlyASmallCopyIsKept() {
        auto *cover = find<QLabel>("cover");
        // What the label shows where the symbol was.
        const auto isRed = [&] {
            const QImage shown = cover->pixmap().toImage();
            const QColor centre = shown.pixelColor(shown.width() / 2, shown.height() / 2);
            return centre.red() > 200 && centre.green() < 50 && centre.blue() < 50;
        };
        manager().loadMedia(fixtureUrl("covered.mp3"));
        QTRY_VERIFY_WITH_TIMEOUT(!manager().coverArt().image.isNull(), timeoutMs);
        QTRY_VERIFY(isRed());
        QCOMPARE(cover->size(), QSize(60, 60));

        // No cover: the note symbol again (blue, or the background around it), never red.
        manager().loadMedia(fixtureUrl("tone.mp3"));
        QTRY_VERIFY(!isRed());
        QVERIFY(manager().coverArt().image.isNull());

        // A 4000x4000 cover is kept only as the small copy that is shown.
        manager().loadMedia(fixtureUrl("huge-cover.mp3"));
        QTRY_VERIFY_WITH_TIMEOUT(!manager().coverArt().image.isNull(), 2 * timeoutMs);
        QVERIFY(manager().coverArt().image.width() <= 256 &&
                manager().coverArt().image.height() <= 256);
    }

    void playbackMenuFollowsWhatPlays() {
        const auto action = [&](QMenu *menu, const QString &name) {
            for (QAction *item : menu->actions())
                if (item->objectName() == name)
                    return item;
            qFatal("no %s", qPrintable(name));
        };
        auto *playback = find<QMenu>("playbackMenu");
        auto *chapters = find<QMenu>("chaptersMenu");
        auto *subtitleTiming = find<QMenu>("subtitleTimingMenu");
        auto *notice = find<QLabel>("volumeOverlay");
        auto *speed = find<QToolButton>("speedLabel");
        // Nothing plays: nothing applies.
        for (QAction *item : playback->actions())
            QVERIFY2(item->isSeparator() || !item->isEnabled(), qPrintable(item->text()));

        // An audiobook: its chapter under its name, its pace changed; no frames to step.
        manager().loadMedia(place("audiobook.m4a", "book.m4a"));
        auto *chapter = find<ElidingLabel>("chapterTitle");
        QTRY_COMPARE_WITH_TIMEOUT(chapter->fullText(), QStringLiteral("Part One"), timeoutMs);
        QVERIFY(chapter->isVisible());
        QVERIFY(chapters->menuAction()->isEnabled());
        QVERIFY(!action(playback, "frameForward")->isEnabled());
        QVERIFY(!action(playback, "saveFrame")->isEnabled());
        QVERIFY(!subtitleTiming->menuAction()->isEnabled());
        manager().pause();
        manager().seek(3.5);
        QTRY_COMPARE_WITH_TIMEOUT(chapter->fullText(), QStringLiteral("Part Two"), timeoutMs);
        QVERIFY(!speed->isVisible());
        find<QAction>("faster")->trigger();
        QCOMPARE(manager().speed(), 1.25);
        QCOMPARE(notice->text(), QStringLiteral("Speed 1.25×"));
        QTRY_VERIFY(speed->isVisible());
        QCOMPARE(speed->text(), QStringLiteral("1.25×"));
        QCOMPARE(speed->accessibleName(), QStringLiteral("Speed 1.25×"));
        // 2.5 seconds left of the book take 2 at this pace.
        QCOMPARE(speed->toolTip(), QStringLiteral("0:02 left at 1.25×"));
        QTest::mouseClick(speed, Qt::LeftButton);
        QCOMPARE(manager().speed(), 1.0);
        QTRY_VERIFY(!speed->isVisible());

        // A film with chapters: marks, the chapter under the pointer, the one playing checked.
        const QString pictures = folder->filePath("Pictures");
        QDir().mkpath(pictures);
        QFile dirs(qEnvironmentVariable("XDG_CONFIG_HOME") + "/user-dirs.dirs");
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_PICTURES_DIR=\"" + QFile::encodeName(pictures) + "\"\n");
        dirs.close();
        manager().loadMedia(place("chapters.mkv", "film.mkv"));
        QTRY_VERIFY_WITH_TIMEOUT(manager().chapters().size() == 3 && manager().duration() > 5,
                                 timeoutMs);
        manager().pause();
        manager().seek(4.5);
        auto *slider = find<SeekSlider>("timeSlider");
        QTRY_VERIFY(slider->isVisible());
        // What the tooltip says (a tooltip window may not show on a compositor without a seat).
        QVERIFY2(slider->chapterTipAt(slider->width() / 2).endsWith(u"\u2013 Chapter 2"),
                 qPrintable(slider->chapterTipAt(slider->width() / 2)));
        // The preview names the chapter of the place pointed at too.
        auto *preview = window().findChild<TimePreviewController *>();
        QCOMPARE(preview->caption(1), QStringLiteral("0:01 \u2013 Opening"));
        QCOMPARE(preview->caption(3), QStringLiteral("0:03 \u2013 Chapter 2"));
        QVERIFY(action(playback, "frameForward")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(manager().currentChapter(), 2, timeoutMs);
        Q_EMIT chapters->aboutToShow();
        QCOMPARE(chapters->actions().size(), 3);
        QCOMPARE(chapters->actions().at(0)->text(), QStringLiteral("Opening\t0:00"));
        QVERIFY(chapters->actions().at(2)->isChecked());
        QVERIFY(!chapters->actions().at(1)->isChecked());
        chapters->actions().at(1)->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(manager().currentChapter(), 1, timeoutMs);

        // Save Frame says where the picture went.
        action(playback, "saveFrame")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(notice->text().startsWith("Frame saved as " + pictures + "/film "),
                                 timeoutMs);
        QCOMPARE(QDir(pictures).entryList(QDir::Files).size(), 1);

        // A film's subtitles moved later, said in milliseconds.
        manager().loadMedia(place("forced-subtitles.mkv", "speech.mkv"));
        QTRY_VERIFY_WITH_TIMEOUT(manager().showsSubtitles(), timeoutMs);
        QTRY_VERIFY(subtitleTiming->menuAction()->isEnabled());
        QVERIFY(!chapters->menuAction()->isEnabled());
        for (int i = 0; i < 3; ++i)
            action(subtitleTiming, "later")->trigger();
        QCOMPARE(notice->text(), QStringLiteral("Subtitles +300 ms"));
        action(subtitleTiming, "earlier")->trigger();
        QCOMPARE(manager().subtitleDelay(), 0.2);

        // The keys, where they can be sent.
        if (!test_support::canSendShortcuts(window()))
            QSKIP("shortcuts cannot be sent to a window here (see canSendShortcuts)");
        QWindow *keys = window().windowHandle();
        QTest::keyClick(keys, Qt::Key_BracketRight);
        QTest::keyClick(keys, Qt::Key_BracketRight);
        QCOMPARE(manager().speed(), 1.5);
        QTest::keyClick(keys, Qt::Key_Backspace);
        QCOMPARE(manager().speed(), 1.0);
        QTest::keyClick(keys, Qt::Key_H, Qt::ShiftModifier);
        QTest::keyClick(keys, Qt::Key_G, Qt::ShiftModifier);
        QCOMPARE(manager().subtitleDelay(), 0.0);
    }

    void songTagsShowUnderTheName() {
        manager().loadMedia(fixtureUrl("tagged.mp3"));
        auto *title = find<ElidingLabel>("tagTitle");
        auto *artistAndAlbum = find<ElidingLabel>("artistAndAlbum");
        QTRY_VERIFY_WITH_TIMEOUT(title->isVisible(), timeoutMs);
        QCOMPARE(title->fullText(), QStringLiteral("Blue Hour"));
        QCOMPARE(artistAndAlbum->fullText(), QStringLiteral("The Sonavels \u2014 Quiet Rooms"));
        // The playlist keeps file names.
        QCOMPARE(find<QListView>("playlist")
                     ->model()
                     ->index(int(manager().currentIndex()), 0)
                     .data()
                     .toString(),
                 QStringLiteral("tagged"));

        // A song without tags shows its name alone.
        manager().loadMedia(fixtureUrl("tone.mp3"));
        QTRY_VERIFY(!title->isVisible() && !artistAndAlbum->isVisible());

        // A title that only repeats the name adds nothing.
        MediaTags same{"Blue Hour", "", "Quiet Rooms"};
        QCOMPARE(tagLines(same, "blue hour.mp3").title, QString());
        QCOMPARE(tagLines(same, "blue hour.mp3").artistAndAlbum, QStringLiteral("Quiet Rooms"));
    }

    void playlistNumbersOfTenThousandAreNotClipped() {
        PlaylistModel model;
        QList<QUrl> many;
        for (int i = 0; i < 12000; ++i)
            many.append(QUrl::fromLocalFile(QStringLiteral("/m/%1.mp3").arg(i)));
        model.update(many, 0, false);
        PlaylistRowDelegate rows;
        QStyleOptionViewItem option;
        option.rect = QRect(0, 0, 300, rows.sizeHint(option, model.index(0)).height());
        QImage image(option.rect.size(), QImage::Format_ARGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        rows.paint(&painter, option, model.index(11999));
        painter.end();
        // "12000" is drawn whole and apart from the title: its ink, a clear gap, the title.
        QList<bool> inked;
        for (int x = 0; x < image.width(); ++x) {
            bool ink = false;
            for (int y = 0; y < image.height() && !ink; ++y)
                ink = qGray(image.pixel(x, y)) > 60;
            inked.append(ink);
        }
        const qsizetype numberStart = inked.indexOf(true);
        qsizetype numberEnd = numberStart;
        while (numberEnd < inked.size() && inked.mid(numberEnd, 4).contains(true))
            ++numberEnd;
        const int numberWidth =
            QFontMetrics(style::font(TextStyle::caption), &image).horizontalAdvance("12000");
        QVERIFY2(qAbs(numberEnd - numberStart - numberWidth) <= 3,
                 qPrintable(QStringLiteral("%1 %2").arg(numberEnd - numberStart).arg(numberWidth)));
        QVERIFY(inked.mid(numberEnd).contains(true));
    }

    void pointingAtTheTimeBarPreviewsThePlace() {
        manager().loadMedia(fixtureUrl("colours.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(manager().duration() > 19, timeoutMs);
        manager().pause();
        // The window fitted to the film first: the bar and the picture move with it.
        QTRY_VERIFY_WITH_TIMEOUT(!manager().player()->presentationSize().isEmpty(), timeoutMs);
        QCoreApplication::processEvents();
        auto *video = window().findChild<VideoPlayerView *>();
        QTRY_VERIFY(video->isVisible());
        auto *slider = find<SeekSlider>("timeSlider");
        TimePreviewController *previews = content().timePreview();
        // Through the window, as the window system gives the pointer's moves.
        auto movePointer = [&](QWidget *over, QPoint at) {
            QTest::mouseMove(window().windowHandle(), over->mapTo(&window(), at));
        };
        // Nothing is made before the pointer comes to the bar.
        QVERIFY(!previews->source());

        // The time where a click would take the knob, and that place's very frame, above the
        // pointer, drawn into the film's picture.
        QRect shownAt;
        // Where the pointer was in the picture when the preview was last seen there.
        int shownPointerX = 0;
        int shownPictureHeight = 0;
        auto previewShows = [&](QPoint at) {
            movePointer(slider, at);
            TimePreview *preview = previews->filmPreview();
            QTRY_VERIFY_WITH_TIMEOUT(preview && preview->isVisible(), timeoutMs);
            QVERIFY(QRect(QPoint(), video->size()).contains(preview->geometry()));
            const QString caption = preview->caption();
            QTest::mouseClick(slider, Qt::LeftButton, {}, at);
            QCOMPARE(timeString(slider->value() / slider->unitsPerSecond()), caption);
            // Its last picture shows from 19 s to the end.
            const int second = std::min(QStringView(caption).mid(2).toInt(), 19);
            movePointer(slider, at + QPoint(0, 1));
            QTRY_VERIFY2_WITH_TIMEOUT(!preview->pictureRect().isEmpty(),
                                      qPrintable(caption + QStringLiteral(" at %1").arg(at.x())),
                                      timeoutMs);
            QVERIFY(QTest::qWaitFor(
                [&] {
                    const QPoint middle = preview->pos() + preview->pictureRect().center();
                    return test_support::secondOfColours(
                               video->grabPicture(), middle * video->devicePixelRatio()) == second;
                },
                timeoutMs));
            shownAt = preview->geometry();
            shownPointerX = video->mapFromGlobal(slider->mapToGlobal(at)).x();
            shownPictureHeight = video->height();
        };
        const int middle = slider->height() / 2;
        previewShows(QPoint(slider->width() * 3 / 8, middle));
        if (QTest::currentTestFailed())
            return;
        QVERIFY(previews->source()->decoder());
        QVERIFY2(qAbs(shownAt.center().x() - shownPointerX) <= 2,
                 qPrintable(QStringLiteral("preview centred at %1, pointer at %2")
                                .arg(shownAt.center().x())
                                .arg(shownPointerX)));
        QCOMPARE(shownAt.bottom(), shownPictureHeight - 7);
        // At the ends of the bar it stays within the picture.
        previewShows(QPoint(1, middle));
        previewShows(QPoint(slider->width() - 2, middle));
        if (QTest::currentTestFailed())
            return;

        // The pointer gone from the bar, the preview goes.
        auto *playPause = find<QToolButton>("playPauseButton");
        movePointer(playPause, playPause->rect().center());
        QTRY_VERIFY(!previews->filmPreview()->isVisible());

        // In full screen too, above the bar where it is.
        delegate->enterCustomFullScreen();
        QTRY_VERIFY_WITH_TIMEOUT(content().isFullScreen(), timeoutMs);
        // (Xvfb has no window manager to give it the whole screen.)
        if (window_system::desktopPlacesWindows())
            QTRY_COMPARE_WITH_TIMEOUT(window().size(), window().screen()->size(), timeoutMs);
        previewShows(QPoint(slider->width() * 3 / 4, middle));
        if (QTest::currentTestFailed())
            return;
        delegate->exitCustomFullScreen();
        QTRY_VERIFY_WITH_TIMEOUT(!content().isFullScreen(), timeoutMs);

        // A song: its time alone, over its own view; the film's decoder is gone.
        QPointer<PreviewDecoder> decoder = previews->source()->decoder();
        manager().loadMedia(fixtureUrl("long.mp3"));
        QTRY_VERIFY_WITH_TIMEOUT(manager().duration() > 50, timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!decoder, timeoutMs);
        movePointer(slider, QPoint(slider->width() / 2, middle));
        TimePreview *songPreview = previews->songPreview();
        QTRY_VERIFY(songPreview && songPreview->isVisible());
        QVERIFY(songPreview->picture().isNull());
        QCOMPARE(songPreview->caption().left(2), QStringLiteral("0:"));
        QVERIFY(!previews->source()->decoder());
        QVERIFY(songPreview->geometry().bottom() < transportBar().y());
        QVERIFY(content().rect().contains(songPreview->geometry()));
        QVERIFY(!previews->filmPreview()->isVisible());
    }

    void filmNamedAtLaunchShowsItsPicture() {
        // The window first shows with the video's surface already in it.
        delegate = std::make_unique<AppDelegate>(
            QStringList{"sonavel", test_support::fixture("clip.mp4")}, renderingEngine());
        delegate->applicationDidFinishLaunching();
        QVERIFY(videoShowsClip());
    }

    void thePictureStaysRightThroughEveryChange() {
        // A film stored on its side is shown turned as its tag asks: a quarter turn
        // anticlockwise, as ffmpeg wrote it.
        const QImage turned =
            QImage(test_support::fixture("clip-frame.png")).transformed(QTransform().rotate(-90));
        // The upper part of testsrc holds still but for its counter; turned, it is on the left.
        const QRectF still(0.05, 0.3, 0.6, 0.65);
        manager().loadMedia(fixtureUrl("rotated.mp4"));
        QVERIFY(videoShows(turned, still));
        manager().pause();
        QVERIFY(videoShows(turned, still));

        auto *video = window().findChild<VideoPlayerView *>();
        const QSize before = video->size();
        window().resize(window().size() + QSize(160, 60));
        QTRY_VERIFY_WITH_TIMEOUT(video->size() != before, timeoutMs);
        QVERIFY(videoShows(turned, still));
        QTRY_COMPARE(shownPicture(video->size()).size(), video->size() * video->devicePixelRatio());

        // Playing: a paused picture is redrawn only when the window asks, and a Wayland
        // compositor may leave a window unexposed for a while after full screen.
        manager().play();
        // A window resized on every picture still shows the film whole afterwards.
        for (int step = 0; step < 30; ++step) {
            window().resize(window().size() + QSize(step % 2 ? -7 : 9, step % 3 ? 5 : -4));
            QCoreApplication::processEvents();
        }
        QVERIFY(videoShows(turned, still));
        delegate->enterCustomFullScreen();
        QTRY_VERIFY(window().windowState() & Qt::WindowFullScreen);
        // Scaled up to the whole output, its edges soften.
        QVERIFY(videoShows(turned, still, 100));
        delegate->exitCustomFullScreen();
        QTRY_VERIFY(!(window().windowState() & Qt::WindowFullScreen));
        QVERIFY(videoShows(turned, still));

        // Paused, the picture is drawn again at each size the window takes, with no one
        // asking for it (whatever is read back asks for a drawing itself).
        manager().pause();
        QWindow *surface = video->surface();
        QSize drawnAt;
        QObject::connect(manager().player()->engine()->renderer(), &MpvRenderer::frameRendered,
                         video, [&] {
                             if (surface->isExposed())
                                 drawnAt = surface->size();
                         });
        delegate->enterCustomFullScreen();
        QTRY_VERIFY(window().windowState() & Qt::WindowFullScreen);
        QTRY_COMPARE_WITH_TIMEOUT(drawnAt, surface->size(), timeoutMs);
        const QSize fullScreenSize = drawnAt;
        delegate->exitCustomFullScreen();
        QTRY_VERIFY(!(window().windowState() & Qt::WindowFullScreen));
        QTRY_VERIFY_WITH_TIMEOUT(surface->size() != fullScreenSize, timeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(drawnAt, surface->size(), timeoutMs);
        QVERIFY(videoShows(turned, still));

        // Subtitles are drawn in the picture, low down and nowhere else.
        manager().loadMedia(fixtureUrl("subtitled-black.mkv"));
        const auto brightRows = [&] {
            QList<int> rows;
            const QImage picture = shownPicture(QSize(320, 240));
            for (int y = 0; y < picture.height(); ++y) {
                for (int x = 0; x < picture.width(); ++x) {
                    if (qGray(picture.pixel(x, y)) > 200) {
                        rows.append(y * 100 / picture.height());
                        break;
                    }
                }
            }
            return rows;
        };
        QTRY_VERIFY_WITH_TIMEOUT(manager().isVideo() && manager().currentTime() > 0.2, timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!brightRows().isEmpty() && brightRows().first() > 60, timeoutMs);
    }

    void aFilmThatChangesSizeIsShownWholeAtEachSize() {
        // Round and round, so that neither size passes while no one looks.
        manager().setRepeatMode(RepeatMode::one);
        manager().loadMedia(fixtureUrl("size-change.mkv"));
        // Plain colours have no right way up: only how near the picture is counts.
        const auto showsPlain = [&](QColor colour, QSize size) {
            QImage plain(size, QImage::Format_RGB32);
            plain.fill(colour);
            return QTest::qWaitFor(
                [&] {
                    const QImage picture = shownPicture(size);
                    return !picture.isNull() &&
                           test_support::pictureDistance(picture, plain,
                                                         QRectF(0.05, 0.05, 0.9, 0.9)) < 30;
                },
                timeoutMs);
        };
        QVERIFY(showsPlain(Qt::red, QSize(320, 240)));
        QVERIFY(showsPlain(Qt::blue, QSize(640, 360)));
        // The window follows the film's new shape.
        auto *video = window().findChild<VideoPlayerView *>();
        QTRY_VERIFY_WITH_TIMEOUT(manager().player()->presentationSize() == QSizeF(640, 360) &&
                                     qAbs(video->width() * 9 - video->height() * 16) <= 32,
                                 timeoutMs);
    }

    void an8kFilmPlaysOnWithTheWindowAnswering() {
        manager().loadMedia(fixtureUrl("huge-8k.mkv"));
        QVERIFY(videoShows(QImage(test_support::fixture("huge-8k-frame.png"))));
        QTRY_VERIFY_WITH_TIMEOUT(manager().currentTime() > 1, timeoutMs);
        // What it reports is the film's own, drawing late or not.
        const MediaInformation information = manager().mediaInformation();
        QCOMPARE(QSize(information.width, information.height), QSize(7680, 4320));
        manager().pause();
        QTRY_VERIFY(!manager().isPlaying());
        QVERIFY(videoShows(QImage(test_support::fixture("huge-8k-frame.png")),
                           QRectF(0.05, 0.05, 0.6, 0.5)));
    }

    void aFailingOpenGlDriverHandsTheFilmToSoftware_data() {
        QTest::addColumn<QString>("film");
        QTest::newRow("with sound") << "chapters.mkv";
        // mpv ends a film whose only track goes with the old renderer.
        QTest::newRow("without sound") << "long.mp4";
    }

    void aFailingOpenGlDriverHandsTheFilmToSoftware() {
        QFETCH(QString, film);
        manager().setRepeatMode(RepeatMode::one);
        manager().loadMedia(fixtureUrl(film));
        const QImage frame(test_support::fixture("clip-frame.png"));
        // The upper part of testsrc holds still but for its counter.
        const QRectF still(0.3, 0.05, 0.65, 0.6);
        QVERIFY(videoShows(frame, still));
        MpvEngine *engine = manager().player()->engine().get();
        if (engine->renderer()->kind() != VideoRendererKind::openGl)
            QSKIP("films are drawn in software here");
        QTRY_VERIFY_WITH_TIMEOUT(manager().currentTime() > 1.5, timeoutMs);
        QSignalSpy changed(engine, &MpvEngine::rendererChanged);
        QSignalSpy failed(manager().player().get(), &MediaPlayer::failed);
        // What the renderer says once its context is lost (a driver that resets the device, or
        // refuses to make it current): no driver here can be made to fail on purpose.
        const double failedAt = manager().currentTime();
        Q_EMIT engine->renderer()->failed();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(engine->renderer()->kind(), VideoRendererKind::software);
        auto *video = window().findChild<VideoPlayerView *>();
        QTRY_COMPARE(video->surface()->surfaceType(), QSurface::RasterSurface);
        QVERIFY(videoShows(frame, still));
        // The film goes on from where it was, and the next one plays too.
        double earliest = failedAt;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                earliest = std::min(earliest, manager().currentTime());
                return manager().currentTime() > failedAt + 0.5;
            }(),
            timeoutMs);
        QCOMPARE_GE(earliest, failedAt - 0.5);
        QVERIFY(failed.isEmpty());
        manager().loadMedia(fixtureUrl("clip.mkv"));
        QVERIFY(videoShowsClip());
    }

    void videoShowsItsPictureWhateverCameBefore() {
        // Opened while the window is minimized (on Wayland only the desktop can bring a
        // minimised window back).
        const bool minimise = !window_system::desktopPlacesWindows();
        if (minimise)
            window().showMinimized();
        manager().loadMedia(fixtureUrl("clip.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(manager().currentTime() > 0.1, timeoutMs);
        if (minimise)
            window().showNormal();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        QVERIFY(videoShowsClip());

        // Right after an audio file, on the same surface, hidden and let go of meanwhile.
        auto *surface = window().findChild<VideoPlayerView *>();
        manager().loadMedia(fixtureUrl("tone.mp3"));
        QTRY_VERIFY(!surface->isVisible());
        QVERIFY(!surface->player());
        manager().loadMedia(fixtureUrl("clip.mkv"));
        QVERIFY(videoShowsClip());
        QCOMPARE(window().findChild<VideoPlayerView *>(), surface);

        // Right after another video, on the same surface.
        QTRY_COMPARE(surface->player(), manager().player());
        manager().loadMedia(fixtureUrl("clip.mov"));
        QTRY_COMPARE(surface->player(), manager().player());
        QVERIFY(videoShowsClip());
        QCOMPARE(window().findChild<VideoPlayerView *>(), surface);
    }
};

SONAVEL_TEST_MAIN(ViewsTest, QApplication)
#include "tst_views.moc"
