// `sonavel`: hands the file to the Sonavel already running, or starts the player.
//
// A start from the file manager while Sonavel runs should cost next to nothing, so this front
// loads only Qt's core and network parts; the player, with libmpv and its codecs, is loaded
// only when it is needed. Starts at the same moment take turns (see StartTurn); the player
// itself settles any race left.
#include "app/command_line.h"
#include "desktop/single_instance.h"
#include "desktop/start_turn.h"
#include "playback/local_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

QString playerPath() {
    const QDir here(QCoreApplication::applicationDirPath());
    for (const QString &candidate :
         {here.filePath(QStringLiteral("sonavel-player")),
          here.filePath(QStringLiteral("../" SONAVEL_LIBEXEC_DIR "/sonavel/sonavel-player"))}) {
        if (QFileInfo(candidate).isExecutable())
            return QFileInfo(candidate).absoluteFilePath();
    }
    return {};
}

// How long a start waits for a player that is loading, on a busy machine, before it gives up:
// for its answer, and for its turn to start one. A start that gives up on its turn starts a
// player of its own, which finds out for itself whether another runs.
constexpr int answerWaitMs = 20000;
constexpr int startTurnWaitMs = 20000;

// What the hand-over to a running Sonavel came to: the exit status, or nullopt when none
// listens and this start has to start the player.
std::optional<int> handOver(const SingleInstance &instance, const QUrl &file,
                            const QByteArray &named) {
    switch (instance.handOver(file, SingleInstance::launchToken(), answerWaitMs, false)) {
    case SingleInstance::HandOver::accepted:
        if (!named.isEmpty() && file.isEmpty())
            fprintf(stderr, "sonavel: %s does not name a local file; it was not opened\n",
                    named.constData());
        return 0;
    case SingleInstance::HandOver::refused:
        fprintf(stderr, "sonavel: the running Sonavel did not accept %s\n", named.constData());
        return 1;
    case SingleInstance::HandOver::noAnswer:
        // It has the request: a second player would open the file again once it wakes.
        fprintf(stderr, "sonavel: Sonavel is already running but does not answer; the file "
                        "was not opened\n");
        return 1;
    case SingleInstance::HandOver::unreachable:
    case SingleInstance::HandOver::notListening:
        break;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[]) {
    const command_line::Parsed request = command_line::parse(argc, argv);
    if (request.request != command_line::Request::play)
        return command_line::answer(request.request);
    QString player;
    {
        // Qt is given no arguments to read its own options from: every argument is a file.
        int qtArgc = 1;
        QCoreApplication application(qtArgc, argv);
        // The name's bytes as given: they need not be UTF-8.
        const QUrl file = local_file::fromArgument(request.file);
        const SingleInstance instance;
        if (const std::optional<int> status = handOver(instance, file, request.file))
            return *status;
        // None answers. Starts at the same moment take turns, so that only the first loads a
        // player and the rest hand over to it.
        StartTurn turn(instance.folder(), startTurnWaitMs);
        if (turn.isHeld()) {
            if (const std::optional<int> status = handOver(instance, file, request.file))
                return *status;
        }
        player = playerPath();
        if (player.isEmpty()) {
            fprintf(stderr,
                    "sonavel: the player (sonavel-player) is not installed beside sonavel\n");
            return 1;
        }
        turn.keepAcrossExec();
    }
    const QByteArray path = QFile::encodeName(player);
    execv(path.constData(), argv);
    perror("sonavel: cannot start the player");
    return 1;
}
