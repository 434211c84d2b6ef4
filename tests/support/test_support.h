#pragma once

#include "playback/mpv_engine.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRectF>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWidget>

#include <cstdlib>
#include <optional>
#include <unistd.h>

namespace test_support {

// Generous for a busy 2-core machine; conditions are polled, never slept for.
constexpr int timeoutMs = 15000;

// Fixtures made by tests/make_fixtures.sh before the tests run.
// Permissions do not stop root: under root, runs the test function `name` again as an
// ordinary user and says whether it passed; nullopt when this is no root, to go on as is.
inline std::optional<bool> passesAsOrdinaryUser(const char *name) {
    if (geteuid() != 0)
        return std::nullopt;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                            QCoreApplication::applicationFilePath(), name});
    return child.waitForFinished(4 * timeoutMs) && child.exitCode() == 0;
}

inline QString fixture(const QString &name) {
    const QByteArray folder = qgetenv("SONAVEL_FIXTURES");
    return QDir(QString::fromLocal8Bit(folder)).filePath(name);
}

// Silent and headless: mpv decodes and discards, so no display or sound device is needed.
inline MpvEngine::Options headlessEngine() {
    MpvEngine::Options options;
    options.videoOutput = "null";
    options.audioOutput = "null";
    return options;
}

// Copies a fixture into `folder` under `name`; returns its location.
inline QUrl placeFixture(const QString &fixtureName, const QString &folder, const QString &name) {
    const QString target = QDir(folder).filePath(name);
    QFile::remove(target);
    if (!QFile::copy(fixture(fixtureName), target))
        qFatal("cannot copy fixture %s to %s", qPrintable(fixtureName), qPrintable(target));
    return QUrl::fromLocalFile(target);
}

// Mean colour distance between two pictures of the same scene, sampled on a grid over the
// region given in fractions of each picture (away from edges, bars and moving parts).
inline double pictureDistance(const QImage &shown, const QImage &reference, QRectF region) {
    double total = 0;
    int samples = 0;
    for (double fx = region.left(); fx <= region.right(); fx += region.width() / 12) {
        for (double fy = region.top(); fy <= region.bottom(); fy += region.height() / 12) {
            const QColor a =
                shown.pixelColor(int(fx * (shown.width() - 1)), int(fy * (shown.height() - 1)));
            const QColor b = reference.pixelColor(int(fx * (reference.width() - 1)),
                                                  int(fy * (reference.height() - 1)));
            total +=
                qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue());
            ++samples;
        }
    }
    return total / samples;
}

// Whether `shown` holds `reference` the right way up: close to it, and far from it upside down.
// Decoders convert colours a little differently, hence the allowance.
inline bool showsUpright(const QImage &shown, const QImage &reference, QRectF region,
                         double tolerance = 60) {
    const double upright = pictureDistance(shown, reference, region);
    const double flipped = pictureDistance(shown, reference.mirrored(false, true), region);
    if (upright < tolerance && flipped > 2 * upright)
        return true;
    qWarning("picture distance upright %f, flipped %f", upright, flipped);
    return false;
}

// The second of colours.mp4 shown at `pixel` of `picture` (its colour tells it), or -1 when the
// colour there is none of that film's.
inline int secondOfColours(const QImage &picture, QPoint pixel) {
    if (!picture.valid(pixel))
        return -1;
    const QColor colour = picture.pixelColor(pixel);
    const int second = qRound(colour.red() / 12.0);
    if (second < 0 || second > 19 || qAbs(colour.red() - 12 * second) > 5 ||
        qAbs(colour.green() - (240 - 12 * second)) > 8 || qAbs(colour.blue() - 128) > 8)
        return -1;
    return second;
}

inline int secondOfColours(const QImage &picture) {
    return secondOfColours(picture, picture.rect().center());
}

// Points the settings of the test process at a folder of its own, before Qt reads it.
// The default-player question stays away (it would wait for an answer), unless a test asks.
// Activates `window` and says whether it got the keyboard: a headless Wayland compositor
// without a seat never gives it, and then keys and shortcuts cannot be tried there.
inline bool focusWindow(QWidget &window) {
    window.activateWindow();
    return QTest::qWaitFor([&] { return window.isActiveWindow(); }, 2000);
}

// Whether shortcuts (keys with modifiers, matched by Qt's shortcut map) can be sent to `window`
// with QTest: not on Wayland, where such synthetic keys were seen never to match (KWin; weston
// has no keyboard at all). Plain keys do arrive there; the shortcut map is Qt's same code.
inline bool canSendShortcuts(QWidget &window) {
    return focusWindow(window) && !QGuiApplication::platformName().startsWith("wayland");
}

inline void isolateSettings() {
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QDir(config.path()).mkpath(QStringLiteral("Sonavel"));
    QFile settings(config.filePath(QStringLiteral("Sonavel/Sonavel.conf")));
    if (settings.open(QIODevice::WriteOnly))
        settings.write("[General]\nDontAskDefaultPlayer=true\n");
}

} // namespace test_support

#define SONAVEL_TEST_MAIN(TestClass, ApplicationClass)                                             \
    int main(int argc, char *argv[]) {                                                             \
        test_support::isolateSettings();                                                           \
        ApplicationClass application(argc, argv);                                                  \
        ApplicationClass::setOrganizationName(QStringLiteral("Sonavel"));                          \
        ApplicationClass::setApplicationName(QStringLiteral("Sonavel"));                           \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
