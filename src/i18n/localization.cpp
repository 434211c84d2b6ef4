#include "i18n/localization.h"

#include "i18n/translation_table.h"

#include <QLocale>

#include <algorithm>

QString chooseLanguage(const QStringList &preferredLanguages) {
    const QString first =
        preferredLanguages.isEmpty() ? QStringLiteral("en") : preferredLanguages.first();
    const QStringView prefix = QStringView(first).left(2);
    const bool supported = std::find(supportedLanguages.begin(), supportedLanguages.end(),
                                     prefix) != supportedLanguages.end();
    return supported ? prefix.toString() : QStringLiteral("en");
}

Localization::Localization() : Localization(QLocale::system().uiLanguages()) {}

Localization::Localization(const QStringList &preferredLanguages)
    : currentLanguage_(chooseLanguage(preferredLanguages)) {
    for (const TranslationRow &row : translationTable()) {
        for (std::size_t language = 0; language < supportedLanguages.size(); ++language) {
            translations_[supportedLanguages[language].toString()].insert(
                row.key.toString(), row.texts[language].toString());
        }
    }
}

const Localization &Localization::shared() {
    static const Localization instance;
    return instance;
}

QString Localization::get(QStringView key) const {
    const QString keyText = key.toString();
    for (const QString &language : {currentLanguage_, QStringLiteral("en")}) {
        const auto table = translations_.constFind(language);
        if (table == translations_.constEnd())
            continue;
        const auto text = table->constFind(keyText);
        if (text != table->constEnd())
            return *text;
    }
    return keyText;
}
