#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

class QTranslator;

// The two-letter code of the language to speak: the first two characters of the first
// preferred language when they name a supported language exactly, "en" otherwise.
QString chooseLanguage(const QStringList &preferredLanguages);

// The language codes a film's audio and subtitle tracks are chosen by, most preferred first:
// for each preferred language its two-letter code and both three-letter ones, as containers
// name languages either way ("ja", "jpn").
QStringList trackLanguageCodes(const QStringList &preferredLanguages);

// Loads into `translator` Qt's own texts in `language` (a supported two-letter code) from
// `folder`, where Debian keeps them as qtbase_*.qm: the labels and buttons of Qt's dialogs.
// False when there are none for it.
bool loadQtTranslations(QTranslator &translator, const QString &language, const QString &folder);

// Text lookup by translation key, in the language chosen once at construction.
class Localization {
public:
    // Chooses from QLocale::uiLanguages().
    Localization();
    explicit Localization(const QStringList &preferredLanguages);

    // The one instance, created on first use; thread-safe, never changed afterwards.
    static const Localization &shared();

    const QString &currentLanguage() const { return currentLanguage_; }
    // The text of `key` in the current language, else in English, else `key` itself.
    QString get(QStringView key) const;

private:
    QString currentLanguage_;
    QHash<QString, QHash<QString, QString>> translations_;
};

// The global lookup, spelled as everywhere in the code: L.get("appName").
struct LocalizationLookup {
    QString get(QStringView key) const { return Localization::shared().get(key); }
};
inline constexpr LocalizationLookup L{};
