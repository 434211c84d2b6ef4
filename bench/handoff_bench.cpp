// A second `sonavel FILE` handing its file to the running instance:
//   handoff_bench SONAVEL FILE_A FILE_B
// prints the median time from the second start to the running instance's time advancing on the
// new file, and the median run time of the second process.
#include "app/app_delegate.h"
#include "desktop/single_instance.h"
#include "playback/media_player.h"
#include "playback/player_manager.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QMainWindow>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 4) {
        std::fprintf(stderr, "usage: handoff_bench SONAVEL FILE_A FILE_B\n");
        return 2;
    }
    const QString sonavel = arguments.at(1);
    const QStringList files{QFileInfo(arguments.at(2)).absoluteFilePath(),
                            QFileInfo(arguments.at(3)).absoluteFilePath()};

    SingleInstance instance;
    if (instance.claim() != SingleInstance::Claim::claimed) {
        std::fprintf(stderr, "another Sonavel runs in this runtime folder\n");
        return 1;
    }
    MpvEngine::Options silent;
    silent.audioOutput = "null";
    AppDelegate delegate({QStringLiteral("sonavel")}, silent);
    QObject::connect(&instance, &SingleInstance::fileHandedOver, &delegate,
                     &AppDelegate::openFileHandedOver);
    delegate.applicationDidFinishLaunching();
    PlayerManager &manager = *delegate.playerManager();
    manager.setRepeatMode(RepeatMode::one);

    std::vector<double> toPlaying, secondRun;
    for (int run = 0; run < 12; ++run) {
        const QString file = files.at(run % 2);
        QElapsedTimer clock;
        QEventLoop loop;
        QProcess second;
        double exited = -1;
        double playing = -1;
        QObject::connect(&second, &QProcess::finished,
                         [&] { exited = clock.nsecsElapsed() / 1e6; });
        QTimer poll;
        poll.setInterval(1);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            const auto &player = manager.player();
            if (playing < 0 && player && player->url().toLocalFile() == file &&
                player->engine()->timePosition() > 0)
                playing = clock.nsecsElapsed() / 1e6;
            if (playing >= 0 && exited >= 0)
                loop.quit();
        });
        clock.start();
        second.start(sonavel, {file});
        poll.start();
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        toPlaying.push_back(playing);
        secondRun.push_back(exited);
        second.waitForFinished();
    }
    std::printf("hand-off: to time advancing on the new file median %.1f ms; second process "
                "runs median %.1f ms\n",
                median(toPlaying), median(secondRun));
    return 0;
}
