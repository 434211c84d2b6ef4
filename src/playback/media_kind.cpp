#include "playback/media_kind.h"

#include <algorithm>

namespace media_kind {

QString lowerCaseExtension(QStringView fileName) {
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0)
        return {};
    return fileName.mid(dot + 1).toString().toLower();
}

QString fileName(const QUrl &url) {
    // A folder given with a trailing slash ("sonavel /music/") is named by its last part, and
    // the root by "/": an error must say what it is about.
    QString path = url.path(QUrl::FullyDecoded);
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    if (path == u"/")
        return path;
    return path.mid(path.lastIndexOf(u'/') + 1);
}

bool isAudioExtension(QStringView lowerCaseExtension) {
    return std::find(audioExtensions.begin(), audioExtensions.end(), lowerCaseExtension) !=
           audioExtensions.end();
}

bool isVideoExtension(QStringView lowerCaseExtension) {
    return std::find(videoExtensions.begin(), videoExtensions.end(), lowerCaseExtension) !=
           videoExtensions.end();
}

bool isSubtitleExtension(QStringView lowerCaseExtension) {
    return std::find(subtitleExtensions.begin(), subtitleExtensions.end(), lowerCaseExtension) !=
           subtitleExtensions.end();
}

} // namespace media_kind
