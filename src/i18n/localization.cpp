#include "i18n/localization.h"

#include "i18n/translation_table.h"

#include <QLocale>
#include <QTranslator>

#include <algorithm>

QString chooseLanguage(const QStringList &preferredLanguages) {
    const QString first =
        preferredLanguages.isEmpty() ? QStringLiteral("en") : preferredLanguages.first();
    const QStringView prefix = QStringView(first).left(2);
    const bool supported = std::find(supportedLanguages.begin(), supportedLanguages.end(),
                                     prefix) != supportedLanguages.end();
    return supported ? prefix.toString() : QStringLiteral("en");
}

QStringList trackLanguageCodes(const QStringList &preferredLanguages) {
    QStringList codes;
    for (const QString &name : preferredLanguages) {
        const QLocale::Language language = QLocale(name).language();
        if (language == QLocale::AnyLanguage || language == QLocale::C)
            continue;
        for (const QLocale::LanguageCodeType type :
             {QLocale::ISO639Part1, QLocale::ISO639Part2B, QLocale::ISO639Part2T}) {
            const QString code = QLocale::languageToCode(language, type);
            if (!code.isEmpty() && !codes.contains(code))
                codes.append(code);
        }
    }
    return codes;
}

bool loadQtTranslations(QTranslator &translator, const QString &language, const QString &folder) {
    // The language's main country: Qt ships Portuguese as Brazil's and Chinese as simplified,
    // the forms Sonavel's own texts are in.
    return translator.load(QLocale(language), QStringLiteral("qtbase"), QStringLiteral("_"),
                           folder);
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
