#include "playback/media_kind.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace media_kind {

QString lowerCaseExtension(QStringView fileName) {
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0)
        return {};
    return fileName.mid(dot + 1).toString().toLower();
}

QString fileName(const QUrl &url) {
    return url.fileName(QUrl::FullyDecoded);
}

bool isAudioExtension(QStringView lowerCaseExtension) {
    return std::find(audioExtensions.begin(), audioExtensions.end(), lowerCaseExtension) !=
           audioExtensions.end();
}

bool isVideoExtension(QStringView lowerCaseExtension) {
    return std::find(videoExtensions.begin(), videoExtensions.end(), lowerCaseExtension) !=
           videoExtensions.end();
}

} // namespace media_kind

namespace media_kind {

QUrl localFileUrl(const QString &argument) {
    if (argument.isEmpty())
        return {};
    static const QRegularExpression url(QStringLiteral("^(file:|[A-Za-z][A-Za-z0-9+.-]*://)"));
    if (url.match(argument).hasMatch()) {
        const QUrl location(argument);
        return location.isLocalFile() ? location : QUrl();
    }
    return QUrl::fromLocalFile(QFileInfo(argument).absoluteFilePath());
}

} // namespace media_kind
