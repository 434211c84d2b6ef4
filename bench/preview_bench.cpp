// The time bar's preview as a person uses it, in the window on a display server:
//   preview_bench FILM SONG [unused]
// With the film loaded and paused, the pointer is put on 40 places of the bar in turn, each one
// not seen before; prints the time from the pointer's arrival to the place's first picture
// (a keyframe) being shown and drawn into the film, and to the very frame once the pointer has
// rested, as median and 95th percentile. Then the pointer sweeps the bar back and forth for
// 5 s while the film plays: the pictures shown, and how long after the sweep stops the last
// place's very frame comes (a backlog would show here). Memory (resident, KiB) before the
// pointer first comes, after the places, after the sweep, and once a song replaced the film.
// "unused" never points at the bar: the same memory figures without the preview.
#include "app/app_delegate.h"
#include "playback/media_player.h"
#include "playback/mpv_engine.h"
#include "playback/mpv_renderer.h"
#include "playback/player_manager.h"
#include "playback/preview_source.h"
#include "views/content_view.h"
#include "views/seek_slider.h"
#include "views/time_preview_controller.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

void idle(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Waits for `signal` of `sender`; false when it did not come within `milliseconds`.
template <typename Sender, typename Signal>
bool waitFor(Sender *sender, Signal signal, int milliseconds = 10000) {
    QEventLoop loop;
    bool came = false;
    const auto connection = QObject::connect(sender, signal, &loop, [&] {
        came = true;
        loop.quit();
    });
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(connection);
    return came;
}

bool waitUntil(const std::function<bool()> &condition, int milliseconds = 20000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < milliseconds)
        idle(20);
    return condition();
}

QString figures(std::vector<double> values) {
    if (values.empty())
        return QStringLiteral("none");
    std::sort(values.begin(), values.end());
    const double median = values[values.size() / 2];
    const double p95 = values[std::min(values.size() - 1, size_t(values.size() * 0.95))];
    return QStringLiteral("median %1 ms, 95th percentile %2 ms (%3 places)")
        .arg(median, 0, 'f', 1)
        .arg(p95, 0, 'f', 1)
        .arg(values.size());
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Sonavel"));
    QApplication::setApplicationName(QStringLiteral("Sonavel"));
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: preview_bench FILM SONG [unused]\n");
        return 2;
    }
    const QString film = QFileInfo(arguments.at(1)).absoluteFilePath();
    const QString song = QFileInfo(arguments.at(2)).absoluteFilePath();
    const bool unused = arguments.value(3) == QLatin1String("unused");

    MpvEngine::Options options;
    options.audioOutput = "null";
    AppDelegate delegate(QStringList{QStringLiteral("sonavel")}, options);
    delegate.applicationDidFinishLaunching();
    QMainWindow *window = delegate.window();
    if (!QTest::qWaitForWindowExposed(window)) {
        std::fprintf(stderr, "the window never showed\n");
        return 1;
    }
    PlayerManager &manager = *delegate.playerManager();
    manager.loadMedia(QUrl::fromLocalFile(film));
    if (!waitUntil([&] { return manager.currentTime() > 1 && manager.duration() > 10; })) {
        std::fprintf(stderr, "the film did not play\n");
        return 1;
    }
    manager.pause();
    idle(1000);
    auto *slider = window->findChild<SeekSlider *>(QStringLiteral("timeSlider"));
    auto *content = static_cast<ContentView *>(window->centralWidget());
    auto pointAt = [&](int x) {
        QTest::mouseMove(window->windowHandle(),
                         slider->mapTo(window, QPoint(x, slider->height() / 2)));
    };
    const long before = residentKiB();
    long afterPlaces = before, afterSweep = before;

    if (!unused) {
        MpvRenderer *renderer = manager.player()->engine()->renderer();
        std::vector<double> shown, drawn, exact;
        // Forty places not seen before, in an order a person might choose them.
        std::vector<int> places;
        for (int i = 0; i < 40; ++i)
            places.push_back(20 + (slider->width() - 24) * i / 40);
        std::shuffle(places.begin(), places.end(), *QRandomGenerator::global());
        pointAt(2);
        PreviewSource *source = content->timePreview()->source();
        waitFor(source, &PreviewSource::pictureChanged);
        idle(500);
        for (const int x : places) {
            QElapsedTimer clock;
            clock.start();
            pointAt(x);
            if (!waitFor(source, &PreviewSource::pictureChanged))
                continue;
            shown.push_back(clock.nsecsElapsed() / 1e6);
            if (waitFor(renderer, &MpvRenderer::frameRendered))
                drawn.push_back(clock.nsecsElapsed() / 1e6);
            if (waitFor(source, &PreviewSource::pictureChanged))
                exact.push_back(clock.nsecsElapsed() / 1e6);
            idle(300);
        }
        afterPlaces = residentKiB();
        std::printf("pointer to the place's first picture shown: %s\n", qPrintable(figures(shown)));
        std::printf("  and drawn into the film: %s\n", qPrintable(figures(drawn)));
        std::printf("pointer to the very frame, the pointer resting (%d ms counts as rest): %s\n",
                    PreviewSource::restMs, qPrintable(figures(exact)));

        // A sweep at a mouse's 125 reports a second, back and forth, while the film plays.
        manager.play();
        int moves = 0, pictures = 0;
        const auto counting =
            QObject::connect(source, &PreviewSource::pictureChanged, [&] { ++pictures; });
        QElapsedTimer sweep;
        sweep.start();
        int x = 2, step = 6;
        while (sweep.elapsed() < 5000) {
            pointAt(x);
            ++moves;
            if (x + step < 2 || x + step > slider->width() - 3)
                step = -step;
            x += step;
            idle(8);
        }
        QObject::disconnect(counting);
        QElapsedTimer settle;
        settle.start();
        // The last picture after the sweep is the very frame of where the pointer stopped.
        while (waitFor(source, &PreviewSource::pictureChanged, 2000)) {
        }
        afterSweep = residentKiB();
        std::printf("sweep of 5 s: %d pointer moves, %d pictures shown; the last %.0f ms after "
                    "the pointer stopped (%d ms of it the rest)\n",
                    moves, pictures, settle.nsecsElapsed() / 1e6 - 2000, PreviewSource::restMs);
    }

    manager.loadMedia(QUrl::fromLocalFile(song));
    if (!waitUntil([&] { return manager.currentTime() > 0.5; })) {
        std::fprintf(stderr, "the song did not play\n");
        return 1;
    }
    idle(1500);
    std::printf("resident memory: %ld KiB before the pointer came, %+ld KiB after the places, "
                "%+ld KiB after the sweep, %ld KiB once a song replaced the film%s\n",
                before, afterPlaces - before, afterSweep - before, residentKiB(),
                unused ? " (the preview never used)" : "");
    return 0;
}
