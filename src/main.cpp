#include "app/app_delegate.h"
#include "desktop/single_instance.h"
#include "playback/local_file.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Sonavel"));
    QApplication::setApplicationName(QStringLiteral("Sonavel"));
    QApplication::setDesktopFileName(QStringLiteral("io.sonavel.Sonavel"));

    // The file named on the command line, from its bytes: QApplication::arguments() would
    // have decoded them, and a name that is not UTF-8 would no longer name the file.
    const QUrl file = argc > 1 ? local_file::fromArgument(QByteArray(argv[1])) : QUrl();
    QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        arguments[1] = file.toString(QUrl::FullyEncoded);

    SingleInstance instance;
    switch (instance.claim()) {
    case SingleInstance::Claim::claimed:
    case SingleInstance::Claim::unavailable:
        break;
    case SingleInstance::Claim::heldByAnother:
        if (instance.handOver(file, SingleInstance::launchToken()))
            return 0;
        // A second window beside a stuck one would only play over it.
        std::fprintf(stderr, "sonavel: Sonavel is already running but does not answer; "
                             "the file was not opened\n");
        return 1;
    }

    AppDelegate delegate(arguments);
    QObject::connect(&instance, &SingleInstance::fileHandedOver, &delegate,
                     &AppDelegate::openFileHandedOver);
    QObject::connect(&instance, &SingleInstance::activationRequested, &delegate,
                     &AppDelegate::bringWindowForward);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return QApplication::exec();
}
