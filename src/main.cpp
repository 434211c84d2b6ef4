#include "app/app_delegate.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[]) {
    // The video renderer's context shares its pictures with the window's.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Sonavel"));
    QApplication::setApplicationName(QStringLiteral("Sonavel"));
    QApplication::setDesktopFileName(QStringLiteral("io.sonavel.Sonavel"));

    AppDelegate delegate(QApplication::arguments());
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    return QApplication::exec();
}
