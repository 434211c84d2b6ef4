// The least a Qt program playing a film through libmpv can cost: one window holding a native
// widget, and libmpv drawing into it with its own X11 output; nothing else. Prints the output
// ui_bench prints, so renderer_bench.sh reads both alike.
//   qt_mpv_floor FILM SECONDS
#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QTimer>

#include <mpv/client.h>

#include <clocale>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {

struct MpvDeleter {
    void operator()(mpv_handle *handle) const { mpv_terminate_destroy(handle); }
};

long peakResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int64_t count(mpv_handle *mpv, const char *property) {
    int64_t value = 0;
    mpv_get_property(mpv, property, MPV_FORMAT_INT64, &value);
    return value;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: qt_mpv_floor FILM SECONDS\n");
        return 2;
    }
    QMainWindow window;
    auto *video = new QWidget;
    video->setAttribute(Qt::WA_NativeWindow);
    video->setAttribute(Qt::WA_OpaquePaintEvent);
    window.setCentralWidget(video);
    window.show();

    // libmpv reads numbers in the C locale.
    std::setlocale(LC_NUMERIC, "C");
    std::unique_ptr<mpv_handle, MpvDeleter> mpv(mpv_create());
    int64_t windowId = int64_t(video->winId());
    mpv_set_option(mpv.get(), "wid", MPV_FORMAT_INT64, &windowId);
    mpv_set_option_string(mpv.get(), "vo", "x11");
    mpv_set_option_string(mpv.get(), "ao", "null");
    mpv_set_option_string(mpv.get(), "loop-file", "inf");
    mpv_set_option_string(mpv.get(), "autofit", "100%x100%");
    if (mpv_initialize(mpv.get()) < 0)
        return 1;
    const char *load[] = {"loadfile", argv[1], nullptr};
    mpv_command(mpv.get(), load);
    // The window takes the film's size, as a player's does.
    QTimer fit;
    QObject::connect(&fit, &QTimer::timeout, [&] {
        int64_t width = count(mpv.get(), "dwidth"), height = count(mpv.get(), "dheight");
        if (width > 0 && height > 0) {
            video->setFixedSize(int(width), int(height));
            fit.stop();
        }
    });
    fit.start(20);

    const int seconds = QByteArray(argv[2]).toInt();
    int64_t droppedBefore = 0, lateBefore = 0;
    double cpuBefore = 0;
    // Measured after the same warm-up ui_bench allows.
    QTimer::singleShot(2500, [&] {
        droppedBefore = count(mpv.get(), "frame-drop-count");
        lateBefore = count(mpv.get(), "vo-delayed-frame-count");
        cpuBefore = cpuSeconds();
        QTimer::singleShot(seconds * 1000, [&] {
            std::printf("qt floor: cpu %.1f %% of one core, peak rss %ld KiB, dropped frames "
                        "%lld (decoder) %lld (late)\n",
                        100 * (cpuSeconds() - cpuBefore) / seconds, peakResidentKiB(),
                        (long long)(count(mpv.get(), "frame-drop-count") - droppedBefore),
                        (long long)(count(mpv.get(), "vo-delayed-frame-count") - lateBefore));
            app.quit();
        });
    });
    return app.exec();
}
