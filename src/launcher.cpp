// `sonavel`: hands the file to the Sonavel already running, or starts the player.
//
// A start from the file manager while Sonavel runs should cost next to nothing, so this front
// loads only Qt's core and network parts; the player, with libmpv and its codecs, is loaded
// only when it is needed. The player itself settles any race between simultaneous starts.
#include "app/command_line.h"
#include "desktop/single_instance.h"
#include "playback/local_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
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
        // One quick try: when nothing answers at once, the player takes over from here (and
        // says what was wrong with the file, if anything).
        switch (SingleInstance().handOver(file, SingleInstance::launchToken(), 250, false)) {
        case SingleInstance::HandOver::accepted:
            if (!request.file.isEmpty() && file.isEmpty())
                fprintf(stderr, "sonavel: %s does not name a local file; it was not opened\n",
                        request.file.constData());
            return 0;
        case SingleInstance::HandOver::refused:
            fprintf(stderr, "sonavel: the running Sonavel did not accept %s\n",
                    request.file.constData());
            return 1;
        case SingleInstance::HandOver::unreachable:
        case SingleInstance::HandOver::noAnswer:
            break;
        }
        player = playerPath();
    }
    if (player.isEmpty()) {
        fprintf(stderr, "sonavel: the player (sonavel-player) is not installed beside sonavel\n");
        return 1;
    }
    const QByteArray path = QFile::encodeName(player);
    execv(path.constData(), argv);
    perror("sonavel: cannot start the player");
    return 1;
}
