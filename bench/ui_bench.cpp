// Sonavel's own cost while playing in its window, as a user runs it:
//   ui_bench audio|video|paused FILE SECONDS
// prints the CPU used (percent of one core) over SECONDS after a warm-up, the peak resident
// memory, and for video the frames mpv dropped.
//   ui_bench video-2x FILE SECONDS        the same video played at twice its speed
//   ui_bench empty - SECONDS              the window with nothing loaded
//   ui_bench after-video SONG SECONDS VIDEO  a song playing after a video played for a while
//   ui_bench alternate SONG COUNT VIDEO      COUNT loads alternating the two, each played a
//                                            little; peak memory after 20 loads and at the end
#include "app/app_delegate.h"
#include "playback/media_player.h"
#include "playback/mpv_engine.h"
#include "playback/player_manager.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long statusKiB(const QByteArray &field) {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').first().toLong();
    }
    return 0;
}

long peakResidentKiB() {
    return statusKiB("VmHWM:");
}

int64_t mpvCount(PlayerManager &manager, const char *property) {
    int64_t count = 0;
    mpv_get_property(manager.player()->engine()->handle(), property, MPV_FORMAT_INT64, &count);
    return count;
}

// Waits in a plain event loop: QTest::qWait polls every few milliseconds, which would count.
void idle(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Loads `file` and waits until it has played a little.
bool playAWhile(PlayerManager &manager, const QString &file, double seconds) {
    manager.loadMedia(QUrl::fromLocalFile(file));
    QElapsedTimer clock;
    clock.start();
    while (manager.currentTime() < seconds && clock.elapsed() < 20000)
        idle(20);
    return manager.currentTime() >= seconds;
}

int alternate(PlayerManager &manager, const QString &song, const QString &video, int count) {
    long afterTwenty = 0, residentAfterTwenty = 0;
    for (int load = 1; load <= count; ++load) {
        if (!playAWhile(manager, load % 2 ? video : song, 0.2)) {
            std::fprintf(stderr, "load %d did not play\n", load);
            return 1;
        }
        if (load == 20) {
            afterTwenty = peakResidentKiB();
            residentAfterTwenty = statusKiB("VmRSS:");
        }
    }
    const long end = peakResidentKiB();
    std::printf("sonavel alternate: peak rss %ld KiB after 20 loads, %ld KiB after %d (%+.1f %%); "
                "rss now %ld KiB, after 20 %ld KiB\n",
                afterTwenty, end, count, 100.0 * (end - afterTwenty) / afterTwenty,
                statusKiB("VmRSS:"), residentAfterTwenty);
    return 0;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Sonavel"));
    QApplication::setApplicationName(QStringLiteral("Sonavel"));
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 4) {
        std::fprintf(stderr,
                     "usage: ui_bench audio|video|video-2x|paused|empty|after-video|alternate "
                     "FILE SECONDS|COUNT [VIDEO]\n");
        return 2;
    }
    const QString mode = arguments.at(1);
    const QString file = QFileInfo(arguments.at(2)).absoluteFilePath();
    const int seconds = arguments.at(3).toInt();
    const QString video = QFileInfo(arguments.value(4)).absoluteFilePath();
    const bool film = mode.startsWith(QLatin1String("video"));
    const bool startsWithFile = mode != QLatin1String("empty") &&
                                mode != QLatin1String("after-video") &&
                                mode != QLatin1String("alternate");

    MpvEngine::Options options;
    options.audioOutput = "null";
    QStringList launchArguments{QStringLiteral("sonavel")};
    if (startsWithFile)
        launchArguments.append(file);
    AppDelegate delegate(launchArguments, options);
    delegate.applicationDidFinishLaunching();
    // A film's window first shows once the film's size is known: until then it has no
    // native window, which qWaitForWindowExposed takes as a failure at once.
    if (!QTest::qWaitFor(
            [&] {
                QWindow *window = delegate.window()->windowHandle();
                return window && window->isExposed();
            },
            10000)) {
        std::fprintf(stderr, "the window never showed\n");
        return 1;
    }
    PlayerManager &manager = *delegate.playerManager();
    manager.setRepeatMode(RepeatMode::one);
    if (mode == QLatin1String("alternate"))
        return alternate(manager, file, video, seconds);
    if (mode == QLatin1String("after-video")) {
        if (!playAWhile(manager, video, 3) || !playAWhile(manager, file, 0.5))
            return 1;
    }
    if (mode == QLatin1String("video-2x"))
        manager.setSpeed(2);
    idle(2000);
    if (mode == QLatin1String("paused"))
        manager.pause();
    idle(500);

    const bool playing = manager.player() != nullptr;
    const int64_t droppedBefore = playing ? mpvCount(manager, "frame-drop-count") : 0;
    const int64_t voDroppedBefore = playing ? mpvCount(manager, "vo-delayed-frame-count") : 0;
    const double cpuBefore = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    idle(seconds * 1000);
    const double cpu = 100 * (cpuSeconds() - cpuBefore) / (clock.nsecsElapsed() / 1e9);
    std::printf("sonavel %s: cpu %.1f %% of one core, peak rss %ld KiB, rss now %ld KiB",
                qPrintable(mode), cpu, peakResidentKiB(), statusKiB("VmRSS:"));
    if (film) {
        std::printf(", dropped frames %lld (decoder) %lld (late)",
                    (long long)(mpvCount(manager, "frame-drop-count") - droppedBefore),
                    (long long)(mpvCount(manager, "vo-delayed-frame-count") - voDroppedBefore));
    }
    std::printf("\n");
    return 0;
}
