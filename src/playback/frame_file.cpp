#include "playback/frame_file.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace frame_file {

namespace {

// Bytes of the film's name kept: names stay well below the 255 bytes file systems allow.
constexpr qsizetype longestFilmName = 180;
constexpr int mostTries = 1000;

Result failure(Result::Outcome outcome, const QString &folder, int error = 0) {
    return {outcome, folder, error ? QString::fromLocal8Bit(std::strerror(error)) : QString()};
}

Result::Outcome outcomeOf(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return Result::Outcome::noSpace;
    case EACCES:
    case EPERM:
    case EROFS:
        return Result::Outcome::folderUnwritable;
    case ENOENT:
    case ENOTDIR:
        return Result::Outcome::folderMissing;
    default:
        return Result::Outcome::failed;
    }
}

bool writeAll(int descriptor, const QByteArray &bytes) {
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        left -= written;
    }
    return true;
}

QString numbered(const QString &fileName, int number) {
    if (number == 1)
        return fileName;
    const QFileInfo info(fileName);
    return QStringLiteral("%1 (%2).%3").arg(info.completeBaseName()).arg(number).arg(info.suffix());
}

} // namespace

QString name(const QString &filmFileName, double seconds) {
    QString film = QFileInfo(filmFileName).completeBaseName();
    if (film.isEmpty())
        film = QStringLiteral("Frame");
    while (film.toUtf8().size() > longestFilmName)
        film.chop(1);
    const qint64 ms = std::isfinite(seconds) && seconds > 0 ? std::llround(seconds * 1000) : 0;
    // No colons: some file systems and desktops refuse them in names.
    return QStringLiteral("%1 %2-%3-%4.%5.png")
        .arg(film)
        .arg(ms / 3'600'000)
        .arg(ms / 60'000 % 60, 2, 10, QChar(u'0'))
        .arg(ms / 1000 % 60, 2, 10, QChar(u'0'))
        .arg(ms % 1000, 3, 10, QChar(u'0'));
}

Result write(const QImage &image, const QString &folder, const QString &fileName) {
    if (image.isNull())
        return failure(Result::Outcome::failed, folder);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return failure(Result::Outcome::failed, folder);
    return writeBytes(bytes, folder, fileName);
}

Result writeBytes(const QByteArray &bytes, const QString &folder, const QString &fileName) {
    const QByteArray folderPath = QFile::encodeName(folder);
    struct stat status {};
    if (folder.isEmpty() || ::stat(folderPath.constData(), &status) != 0)
        return failure(Result::Outcome::folderMissing, folder);
    if (!S_ISDIR(status.st_mode))
        return failure(Result::Outcome::folderMissing, folder, ENOTDIR);
    if (::access(folderPath.constData(), W_OK | X_OK) != 0)
        return failure(Result::Outcome::folderUnwritable, folder, errno);

    QByteArray temporary = folderPath + "/.sonavel-frame-XXXXXX";
    const int descriptor = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0)
        return failure(outcomeOf(errno), folder, errno);
    // The picture is readable as the user's other files are, not only as a private temporary.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(descriptor, 0666 & ~mask);
    const bool written = writeAll(descriptor, bytes) && ::fsync(descriptor) == 0;
    const int writeError = errno;
    if (::close(descriptor) != 0 || !written) {
        ::unlink(temporary.constData());
        return failure(outcomeOf(written ? errno : writeError), folder,
                       written ? errno : writeError);
    }
    // The name is taken only by a complete file, and never from another file.
    for (int number = 1; number <= mostTries; ++number) {
        const QString path = QDir(folder).filePath(numbered(fileName, number));
        const QByteArray target = QFile::encodeName(path);
        if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE) == 0)
            return {Result::Outcome::saved, path, {}};
        if (errno == EEXIST)
            continue;
        // A file system that cannot promise not to replace: look first.
        if (errno == EINVAL) {
            if (::access(target.constData(), F_OK) == 0)
                continue;
            if (::rename(temporary.constData(), target.constData()) == 0)
                return {Result::Outcome::saved, path, {}};
        }
        const int renameError = errno;
        ::unlink(temporary.constData());
        return failure(outcomeOf(renameError), folder, renameError);
    }
    ::unlink(temporary.constData());
    return failure(Result::Outcome::failed, folder, EEXIST);
}

} // namespace frame_file
