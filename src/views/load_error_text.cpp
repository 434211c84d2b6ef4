#include "views/load_error_text.h"

#include "i18n/localization.h"

namespace {

QString reasonText(const LoadError &error) {
    using Reason = LoadError::Reason;
    switch (error.reason) {
    case Reason::none:
        return {};
    case Reason::notLocal:
        return L.get(u"errorNotLocal");
    case Reason::notFound:
        return L.get(u"errorNotFound");
    case Reason::permissionDenied:
        return L.get(u"errorPermissionDenied");
    case Reason::unreadable:
        // The system's words for an unusual cause are better than none.
        return error.detail.isEmpty()
                   ? L.get(u"errorUnreadable")
                   : L.get(u"errorUnreadable") + QStringLiteral(" (%1)").arg(error.detail);
    case Reason::isFolder:
        return L.get(u"errorIsFolder");
    case Reason::notRegularFile:
        return L.get(u"errorNotRegularFile");
    case Reason::empty:
        return L.get(u"errorEmpty");
    case Reason::changedWhilePlaying:
        return L.get(u"errorChanged");
    case Reason::unknownFormat:
        return L.get(u"errorUnknownFormat");
    case Reason::undecodable:
        return L.get(u"errorUndecodable");
    case Reason::playlistFile:
        return L.get(u"errorPlaylist");
    case Reason::engineUnavailable:
        return L.get(u"errorEngine");
    }
    return {};
}

// A name long enough to fill the label would push the reason out of sight: its middle goes,
// keeping its start and its extension, and never half a character.
QString shortenedName(const QString &name) {
    constexpr qsizetype longest = 60, head = 40, tail = 19;
    if (name.size() <= longest)
        return name;
    qsizetype headEnd = head;
    if (name.at(headEnd).isLowSurrogate())
        --headEnd;
    qsizetype tailStart = name.size() - tail;
    if (name.at(tailStart).isLowSurrogate())
        ++tailStart;
    return name.left(headEnd) + QChar(0x2026) + name.mid(tailStart);
}

} // namespace

QString loadErrorText(const QString &fileName, const LoadError &error) {
    if (error.isEmpty())
        return {};
    return L.get(u"cannotPlay").arg(shortenedName(fileName), reasonText(error));
}
