#include "playback/local_file.h"

#include <climits>
#include <unistd.h>

namespace local_file {

QUrl fromPath(const QByteArray &absolutePath) {
    // "//music/a.mp3" is "/music/a.mp3" to Linux, but to a URL it would name a host "music".
    qsizetype extraSlashes = 0;
    while (absolutePath.size() > extraSlashes + 1 && absolutePath[extraSlashes] == '/' &&
           absolutePath[extraSlashes + 1] == '/')
        ++extraSlashes;
    if (extraSlashes > 0)
        return fromPath(absolutePath.mid(extraSlashes));
    // A UTF-8 name gets the very URL Qt would make of it, so that locations compare equal
    // whichever way they were made.
    const QString text = QString::fromUtf8(absolutePath);
    if (text.toUtf8() == absolutePath)
        return QUrl::fromLocalFile(text);
    return QUrl::fromEncoded("file://" + absolutePath.toPercentEncoding("/"));
}

QByteArray path(const QUrl &url) {
    if (!url.isLocalFile())
        return {};
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

QUrl fromUrl(const QUrl &url) {
    const QByteArray bytes = path(url);
    // Another host's file (file://host/...) is not a local file, whatever Qt calls it; a NUL
    // would end the name early and name another file.
    const bool thisHost = url.host().isEmpty() || url.host() == u"localhost";
    if (url.isValid() && thisHost && bytes.startsWith('/') && !bytes.contains('\0') &&
        !url.hasQuery() && !url.hasFragment())
        return fromPath(bytes);
    return {};
}

bool isFileUrl(QByteArrayView text) {
    return text.size() >= 7 && text.first(7).compare("file://", Qt::CaseInsensitive) == 0;
}

QUrl fromArgument(const QByteArray &argument, const QByteArray &workingFolder) {
    if (argument.isEmpty())
        return {};
    // Only an absolute file:// URL is read as one: "file:song.mp3" is a file in this folder.
    // A scheme's case means nothing (RFC 3986).
    if (isFileUrl(argument))
        return fromUrl(QUrl::fromEncoded(argument, QUrl::StrictMode));
    if (argument.startsWith('/'))
        return fromPath(argument);
    QByteArray folder = workingFolder;
    if (!folder.endsWith('/'))
        folder.append('/');
    return fromPath(folder + argument);
}

QUrl fromArgument(const QByteArray &argument) {
    char buffer[PATH_MAX] = "/";
    // Without a working folder (it was deleted) a relative name names nothing.
    if (!argument.startsWith('/') && !isFileUrl(argument) && !getcwd(buffer, sizeof buffer))
        return {};
    return fromArgument(argument, QByteArray(buffer));
}

} // namespace local_file
