// From the start of the program to the window's first show and to the first picture drawn in
// it, for one launch with FILE named on the command line (as the desktop starts Sonavel):
//   first_show_bench FILE
// prints "shown MS picture MS" (picture -1 for a song). bench/run.sh takes the median of runs.

#include "app/app_delegate.h"
#include "playback/mpv_engine.h"
#include "playback/mpv_renderer.h"
#include "playback/player_manager.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[]) {
    QElapsedTimer clock;
    clock.start();
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Sonavel"));
    QApplication::setApplicationName(QStringLiteral("Sonavel"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: first_show_bench FILE\n");
        return 2;
    }
    MpvEngine::Options options;
    options.audioOutput = "null";
    AppDelegate delegate({QStringLiteral("sonavel"), QFileInfo(argv[1]).absoluteFilePath()},
                         options);
    delegate.applicationDidFinishLaunching();

    qint64 shown = -1;
    qint64 picture = -1;
    bool watching = false;
    PlayerManager &manager = *delegate.playerManager();
    // Looked at every millisecond: the renderer appears with the first film.
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (shown < 0 && delegate.window()->isVisible())
            shown = clock.elapsed();
        MpvRenderer *renderer = manager.player() ? manager.engine()->renderer() : nullptr;
        if (!watching && renderer) {
            watching = true;
            // Drawn into the window only once it is shown; before, nothing is drawn anywhere.
            QObject::connect(renderer, &MpvRenderer::frameRendered, [&] {
                if (picture < 0 && delegate.window()->isVisible())
                    picture = clock.elapsed();
            });
        }
        const bool done = shown >= 0 && (!manager.isVideo() || picture >= 0);
        if (done || clock.elapsed() > 20000)
            QApplication::exit(done ? 0 : 1);
    });
    poll.start();
    const int status = QApplication::exec();
    std::printf("shown %lld picture %lld\n", shown, picture);
    return status;
}
