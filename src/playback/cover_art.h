#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QUrl>

#include <optional>

// A song's embedded cover picture (ID3 APIC, MP4 covr, a FLAC picture), read through
// libavformat, which libmpv brings anyway. Only a copy scaled to what is shown is kept: a 46 MB
// cover is decoded, scaled and let go.
struct CoverArt {
    QImage image;    // at most the size asked for, aspect kept
    QUrl cachedFile; // the cover as embedded, saved once in the user's cache folder; may be empty
};

namespace cover_art {

// Reads and scales the cover of the file at `path`; nullopt when it has none or it cannot be
// decoded. Slow for large covers: call it off the main thread. Saves the encoded picture under
// `cacheFolder` (named by its content, so each cover is written once) unless that is empty.
std::optional<CoverArt> read(const QByteArray &path, QSize maximumPixels,
                             const QString &cacheFolder);

} // namespace cover_art
