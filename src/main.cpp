#include "app/app_delegate.h"
#include "app/single_instance.h"
#include "playback/media_kind.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Sonavel"));
    QApplication::setApplicationName(QStringLiteral("Sonavel"));
    QApplication::setDesktopFileName(QStringLiteral("io.sonavel.Sonavel"));

    const QStringList arguments = QApplication::arguments();
    SingleInstance instance;
    if (!instance.claim()) {
        const QUrl file = media_kind::localFileUrl(arguments.value(1));
        if (instance.handOver(file.isEmpty() ? QString() : file.toLocalFile()))
            return 0;
        // The running instance does not answer: play here rather than not at all.
    }

    AppDelegate delegate(arguments);
    QObject::connect(&instance, &SingleInstance::fileHandedOver, &delegate,
                     &AppDelegate::openFileHandedOver);
    QObject::connect(&instance, &SingleInstance::activationRequested, &delegate,
                     &AppDelegate::bringWindowForward);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return QApplication::exec();
}
