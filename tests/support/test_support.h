#pragma once

#include "playback/mpv_engine.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cstdlib>

namespace test_support {

// Generous for a busy 2-core machine; conditions are polled, never slept for.
constexpr int timeoutMs = 15000;

// Fixtures made by tests/make_fixtures.sh before the tests run.
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

// Points the settings of the test process at a folder of its own, before Qt reads it.
inline void isolateSettings() {
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
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
