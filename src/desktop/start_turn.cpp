#include "desktop/start_turn.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray turnPath(const QString &folder) {
    return QFile::encodeName(QDir(folder).filePath(QStringLiteral("io.sonavel.Sonavel.start")));
}

} // namespace

StartTurn::StartTurn(const QString &folder, int timeoutMs) {
    if (folder.isEmpty())
        return;
    // No link is followed and nothing but a file of this user's is used: the folder may be
    // one under /tmp.
    const int descriptor =
        ::open(turnPath(folder).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (descriptor < 0)
        return;
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_uid != ::getuid()) {
        ::close(descriptor);
        return;
    }
    QElapsedTimer waited;
    waited.start();
    while (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        if (waited.elapsed() >= timeoutMs) {
            ::close(descriptor);
            return;
        }
        QThread::msleep(5);
    }
    descriptor_ = descriptor;
}

StartTurn::~StartTurn() {
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

void StartTurn::keepAcrossExec() {
    if (descriptor_ < 0)
        return;
    const int flags = ::fcntl(descriptor_, F_GETFD);
    if (flags < 0 || ::fcntl(descriptor_, F_SETFD, flags & ~FD_CLOEXEC) != 0)
        return;
    ::setenv(environmentName, QByteArray::number(descriptor_).constData(), 1);
    descriptor_ = -1;
}

void StartTurn::endInherited(const QString &folder) {
    const QByteArray named = qgetenv(environmentName);
    ::unsetenv(environmentName);
    bool isNumber = false;
    const int descriptor = named.toInt(&isNumber);
    if (!isNumber || descriptor < 0 || folder.isEmpty())
        return;
    struct stat held {
    }, turnFile{};
    if (::fstat(descriptor, &held) == 0 && ::lstat(turnPath(folder).constData(), &turnFile) == 0 &&
        held.st_dev == turnFile.st_dev && held.st_ino == turnFile.st_ino)
        ::close(descriptor);
}
