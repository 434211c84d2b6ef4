#pragma once

#include <QString>

class QFont;

// A file name as it is shown: control characters (a line break in a name, say) become
// replacement characters, so a name is always one line of visible text.
QString shownFileName(const QString &name);

// `text` broken into at most `maxLines` lines of at most `width` pixels in `font`, at spaces
// where it can and anywhere where it must, the last line elided when text is left over.
QString wrapAndElide(const QString &text, const QFont &font, int width, int maxLines);
