#include "app/app_delegate.h"
#include "app/command_line.h"
#include "app/termination_signals.h"
#include "desktop/single_instance.h"
#include "desktop/start_turn.h"
#include "playback/local_file.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[]) {
    const command_line::Parsed request = command_line::parse(argc, argv);
    if (request.request != command_line::Request::play)
        return command_line::answer(request.request);

    // Qt is given no arguments to read its own options from: every argument is a file.
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    QApplication::setApplicationVersion(QStringLiteral(SONAVEL_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Sonavel"));
    QApplication::setApplicationName(QStringLiteral("Sonavel"));
    QApplication::setDesktopFileName(QStringLiteral("io.sonavel.Sonavel"));

    // The file named on the command line, from its bytes: decoding them would lose a name
    // that is not UTF-8.
    const QUrl file = local_file::fromArgument(request.file);
    if (!request.file.isEmpty() && file.isEmpty())
        std::fprintf(stderr, "sonavel: %s does not name a local file; it was not opened\n",
                     request.file.constData());
    QStringList arguments = QApplication::arguments();
    if (!request.file.isEmpty())
        arguments.append(file.toString(QUrl::FullyEncoded));

    // Before the lock is taken: from then on a signal ends Sonavel as Quit does, with the
    // lock and socket removed.
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &application,
                     [] { QCoreApplication::quit(); });

    SingleInstance instance;
    switch (instance.claim()) {
    case SingleInstance::Claim::claimed:
    case SingleInstance::Claim::unavailable:
        break;
    case SingleInstance::Claim::heldByAnother:
        switch (instance.handOver(file, SingleInstance::launchToken())) {
        case SingleInstance::HandOver::accepted:
            return 0;
        case SingleInstance::HandOver::refused:
            std::fprintf(stderr, "sonavel: the running Sonavel did not accept %s\n",
                         request.file.constData());
            return 1;
        case SingleInstance::HandOver::unreachable:
            std::fprintf(stderr,
                         "sonavel: Sonavel is already running, but cannot be reached: %s is not "
                         "a folder of this user's alone; the file was not opened\n",
                         SingleInstance::fallbackFolder().constData());
            return 1;
        case SingleInstance::HandOver::noAnswer:
        case SingleInstance::HandOver::notListening:
            break;
        }
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
    // Starts waiting behind this one go on once it answers, which it does from here on.
    QTimer::singleShot(0, &instance, [&instance] { StartTurn::endInherited(instance.folder()); });
    return QApplication::exec();
}
