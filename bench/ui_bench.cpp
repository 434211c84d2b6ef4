// Sonavel's own cost while playing in its window, as a user runs it:
//   ui_bench audio|video|paused FILE SECONDS
// prints the CPU used (percent of one core) over SECONDS after a warm-up, the peak resident
// memory, and for video the frames mpv dropped.
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

#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
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

} // namespace

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 4) {
        std::fprintf(stderr, "usage: ui_bench audio|video|paused FILE SECONDS\n");
        return 2;
    }
    const QString mode = arguments.at(1);
    const QString file = QFileInfo(arguments.at(2)).absoluteFilePath();
    const int seconds = arguments.at(3).toInt();

    MpvEngine::Options options;
    options.audioOutput = "null";
    AppDelegate delegate({QStringLiteral("sonavel"), file}, options);
    delegate.applicationDidFinishLaunching();
    if (!QTest::qWaitForWindowExposed(delegate.window()))
        return 1;
    PlayerManager &manager = *delegate.playerManager();
    manager.setRepeatMode(RepeatMode::one);
    idle(2000);
    if (mode == QLatin1String("paused"))
        manager.pause();
    idle(500);

    const int64_t droppedBefore = mpvCount(manager, "frame-drop-count");
    const int64_t voDroppedBefore = mpvCount(manager, "vo-delayed-frame-count");
    const double cpuBefore = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    idle(seconds * 1000);
    const double cpu = 100 * (cpuSeconds() - cpuBefore) / (clock.nsecsElapsed() / 1e9);
    std::printf("sonavel %s: cpu %.1f %% of one core, peak rss %ld KiB", qPrintable(mode), cpu,
                peakResidentKiB());
    if (mode == QLatin1String("video")) {
        std::printf(", dropped frames %lld (decoder) %lld (late)",
                    (long long)(mpvCount(manager, "frame-drop-count") - droppedBefore),
                    (long long)(mpvCount(manager, "vo-delayed-frame-count") - voDroppedBefore));
    }
    std::printf("\n");
    return 0;
}
