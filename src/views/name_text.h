#pragma once

#include <QString>

class QFont;
struct MediaTags;

// A file name as it is shown: control characters (a line break in a name, say) become
// replacement characters, so a name is always one line of visible text.
QString shownFileName(const QString &name);

// `text` broken into at most `maxLines` lines of at most `width` pixels in `font`, at spaces
// where it can and anywhere where it must, the last line elided when text is left over.
QString wrapAndElide(const QString &text, const QFont &font, int width, int maxLines);

// What a song's tags add under its file name: the tag's title where it says more than the name,
// and "artist — album" from what of the two it has. Empty strings where there is nothing to add.
struct TagLines {
    QString title;
    QString artistAndAlbum;
};
TagLines tagLines(const MediaTags &tags, const QString &fileName);
