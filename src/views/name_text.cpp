#include "views/name_text.h"

#include "playback/media_player.h"

#include <QFontMetrics>
#include <QStringList>
#include <QTextLayout>

QString shownFileName(const QString &name) {
    QString shown = name;
    for (QChar &c : shown) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = QChar::ReplacementCharacter;
    }
    return shown;
}

QString wrapAndElide(const QString &text, const QFont &font, int width, int maxLines) {
    if (text.isEmpty() || width <= 0 || maxLines <= 0)
        return {};
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (lines.size() == maxLines - 1) {
            // The last line allowed takes the rest, cut short with an ellipsis if need be.
            const QString rest = text.mid(line.textStart());
            lines.append(QFontMetrics(font).elidedText(rest, Qt::ElideRight, width));
            break;
        }
        lines.append(text.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines.join(u'\n');
}

TagLines tagLines(const MediaTags &tags, const QString &fileName) {
    const QString baseName = fileName.left(fileName.lastIndexOf(u'.'));
    TagLines lines;
    if (!tags.title.isEmpty() && tags.title.compare(baseName, Qt::CaseInsensitive) != 0 &&
        tags.title.compare(fileName, Qt::CaseInsensitive) != 0)
        lines.title = shownFileName(tags.title);
    QStringList parts;
    for (const QString &part : {tags.artist, tags.album}) {
        if (!part.isEmpty())
            parts.append(shownFileName(part));
    }
    lines.artistAndAlbum = parts.join(QStringLiteral(" \u2014 "));
    return lines;
}
