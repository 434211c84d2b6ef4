#pragma once

#include <QString>
#include <QStringView>
#include <QUrl>

#include <array>

// A file's kind is decided by its name's extension alone, never by its contents.
namespace media_kind {

inline constexpr std::array<QStringView, 3> audioExtensions{u"mp3", u"m4a", u"wav"};
inline constexpr std::array<QStringView, 5> videoExtensions{u"mp4", u"m4v", u"mov", u"avi", u"mkv"};
inline constexpr std::array<QStringView, 5> subtitleExtensions{u"srt", u"ass", u"ssa", u"vtt",
                                                               u"sub"};

// The text after the last dot of a file name, lower-cased; empty when there is no dot.
QString lowerCaseExtension(QStringView fileName);
// The last path component of a location, as shown to the user.
QString fileName(const QUrl &url);

bool isAudioExtension(QStringView lowerCaseExtension);
bool isVideoExtension(QStringView lowerCaseExtension);
bool isSubtitleExtension(QStringView lowerCaseExtension);

} // namespace media_kind
