// Playback latencies on the real engine, silent and headless:
//   playback_bench start FILE...   loadMedia to the first time report (fresh and warm engine)
//   playback_bench switch FILE     end of one track to the next one's time advancing, in `all`
//                                  mode, over a folder of copies of FILE
//   playback_bench resume FILE     remembered positions: the state file with 1,000 entries,
//                                  reading it, and loadMedia with the offer taken at once to
//                                  the first time report at the remembered position
#include "playback/media_player.h"
#include "playback/player_manager.h"
#include "playback/resume_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

MpvEngine::Options headless() {
    MpvEngine::Options options;
    options.videoOutput = "null";
    options.audioOutput = "null";
    return options;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Milliseconds from loadMedia to the loaded player's first time report.
double timeToFirstReport(PlayerManager &manager, const QUrl &file) {
    QElapsedTimer clock;
    QEventLoop loop;
    clock.start();
    manager.loadMedia(file);
    QObject::connect(manager.player().get(), &MediaPlayer::timeReported, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    return clock.nsecsElapsed() / 1e6;
}

void start(const QStringList &files) {
    for (const QString &path : files) {
        const QUrl file = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
        std::vector<double> fresh, warm;
        for (int run = 0; run < 15; ++run) {
            PlayerManager manager(headless());
            fresh.push_back(timeToFirstReport(manager, file));
            warm.push_back(timeToFirstReport(manager, file));
        }
        std::printf("start %s: fresh engine median %.1f ms, warm engine median %.1f ms\n",
                    qPrintable(QFileInfo(path).fileName()), median(fresh), median(warm));
    }
}

void trackSwitch(const QString &path) {
    QTemporaryDir folder;
    constexpr int tracks = 12;
    for (int i = 0; i < tracks; ++i)
        QFile::copy(
            path, QDir(folder.path()).filePath(QStringLiteral("%1.wav").arg(i, 2, 10, QChar('0'))));
    PlayerManager manager(headless());
    std::vector<double> switches;
    QElapsedTimer sinceEnd;
    // Weak references: a new player may well reuse the address of the one before it.
    std::weak_ptr<MediaPlayer> watched;
    std::weak_ptr<MediaPlayer> ended;
    bool waitingForNext = false;
    QEventLoop loop;

    // Poll the engine finely: the 0.1 s reports are too coarse to time a switch.
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const std::shared_ptr<MediaPlayer> &player = manager.player();
        if (player && player != watched.lock()) {
            watched = player;
            QObject::connect(player.get(), &MediaPlayer::playedToEnd, &loop,
                             [&, weak = std::weak_ptr<MediaPlayer>(player)] {
                                 ended = weak;
                                 waitingForNext = true;
                                 sinceEnd.start();
                             });
        }
        if (waitingForNext && player && player != ended.lock() &&
            player->engine()->timePosition() > 0) {
            switches.push_back(sinceEnd.nsecsElapsed() / 1e6);
            waitingForNext = false;
        }
        if (!manager.isPlaying() && manager.currentIndex() == tracks - 1)
            loop.quit();
    });
    poll.start();
    manager.loadMedia(QUrl::fromLocalFile(QDir(folder.path()).filePath(QStringLiteral("00.wav"))));
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    if (switches.empty()) {
        std::printf("track switch: no switch observed\n");
        return;
    }
    std::printf("track switch over %zu switches: median %.1f ms, max %.1f ms\n", switches.size(),
                median(switches), *std::max_element(switches.begin(), switches.end()));
}

void resume(const QString &path) {
    QTemporaryDir state;
    const QString statePath = state.filePath(QStringLiteral("sonavel/positions.json"));
    {
        ResumeStore full(statePath);
        for (int i = 0; i < ResumeStore::capacity; ++i)
            full.remember("/home/someone/Videos/A Film of Some Length (2024)/"
                          "A.Film.of.Some.Length.2024.1080p.WEB." +
                              QByteArray::number(i) + ".mkv",
                          4'000'000'000LL + i, {1234.5, 2, 3});
        full.save();
    }
    std::printf("state file with %lld entries: %lld bytes\n", qlonglong(ResumeStore::capacity),
                qlonglong(QFileInfo(statePath).size()));

    std::vector<double> reads;
    for (int run = 0; run < 15; ++run) {
        QElapsedTimer clock;
        clock.start();
        ResumeStore store(statePath);
        store.find("/nothing", 0);
        reads.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::printf("reading it on first use: median %.2f ms\n", median(reads));

    const QUrl file = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    const QByteArray location = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    std::vector<double> jumps;
    for (int run = 0; run < 9; ++run) {
        ResumeStore store(statePath);
        PlayerManager manager(headless());
        manager.setResumeStore(&store);
        // Past the middle, where nothing has been read ahead.
        store.remember(location, QFileInfo(path).size(), {200, {}, {}});
        QElapsedTimer clock;
        QEventLoop loop;
        clock.start();
        manager.loadMedia(file);
        manager.takeResumeOffer();
        QObject::connect(manager.player().get(), &MediaPlayer::timeReported, &loop,
                         [&](double seconds) {
                             if (seconds >= 200)
                                 loop.quit();
                         });
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        jumps.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::printf("opening it and taking the offer, to playing at 3:20: median %.1f ms\n",
                median(jumps));
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() >= 2 && arguments.first() == QLatin1String("start")) {
        start(arguments.mid(1));
    } else if (arguments.size() == 2 && arguments.first() == QLatin1String("switch")) {
        trackSwitch(arguments.at(1));
    } else if (arguments.size() == 2 && arguments.first() == QLatin1String("resume")) {
        resume(arguments.at(1));
    } else {
        std::fprintf(stderr, "usage: playback_bench start FILE... | switch FILE | resume FILE\n");
        return 2;
    }
    return 0;
}
