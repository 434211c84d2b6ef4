#include "views/chapter_text.h"

#include "i18n/localization.h"

QString chapterText(const QList<Chapter> &chapters, qsizetype index) {
    if (index < 0 || index >= chapters.size())
        return {};
    const QString &title = chapters.at(index).title;
    return title.isEmpty() ? L.get(u"chapterNumber").arg(index + 1) : title;
}
