#include "i18n/localization.h"
#include "i18n/translation_table.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTranslator>

class LocalizationTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void languageComesFromTheFirstPreferredLanguage_data() {
        QTest::addColumn<QStringList>("preferred");
        QTest::addColumn<QString>("language");
        QTest::newRow("de-CH") << QStringList{"de-CH"} << "de";
        QTest::newRow("zh-Hans-CN") << QStringList{"zh-Hans-CN"} << "zh";
        QTest::newRow("zh-TW") << QStringList{"zh-TW"} << "zh";
        QTest::newRow("pt-BR") << QStringList{"pt-BR"} << "pt";
        QTest::newRow("ja") << QStringList{"ja"} << "ja";
        QTest::newRow("only the first counts") << QStringList{"sv", "de"} << "en";
        QTest::newRow("fil is not fi") << QStringList{"fil"} << "en";
        QTest::newRow("empty list") << QStringList{} << "en";
        QTest::newRow("one character") << QStringList{"d"} << "en";
        QTest::newRow("case matters") << QStringList{"DE-de"} << "en";
        QTest::newRow("C locale") << QStringList{"C"} << "en";
    }
    void languageComesFromTheFirstPreferredLanguage() {
        QFETCH(QStringList, preferred);
        QFETCH(QString, language);
        QCOMPARE(chooseLanguage(preferred), language);
        QCOMPARE(Localization(preferred).currentLanguage(), language);
    }

    void trackLanguagesInEveryCodeContainersUse() {
        QCOMPARE(trackLanguageCodes({"ja-JP", "en-US"}), (QStringList{"ja", "jpn", "en", "eng"}));
        QCOMPARE(trackLanguageCodes({"de"}), (QStringList{"de", "ger", "deu"}));
        QCOMPARE(trackLanguageCodes({"C", ""}), QStringList());
    }

    void qtsOwnTextsComeInEveryLanguage() {
        const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        if (!QFile::exists(folder + "/qtbase_de.qm"))
            QSKIP("Qt's translations (qt6-translations-l10n) are not installed");
        // Portuguese and Chinese in the forms Sonavel writes them: Brazil's, simplified.
        const QHash<QString, QString> cancel{
            {"de", "Abbrechen"}, {"pt", "Cancelar"}, {"zh", "取消"}, {"ja", "キャンセル"}};
        for (const QStringView language : supportedLanguages) {
            QTranslator translator;
            QVERIFY2(loadQtTranslations(translator, language.toString(), folder),
                     qPrintable(language.toString()));
            const QString expected = cancel.value(language.toString());
            if (!expected.isEmpty())
                QCOMPARE(translator.translate("QPlatformTheme", "Cancel"), expected);
        }
        QTranslator none;
        QVERIFY(!loadQtTranslations(none, "de", QTemporaryDir().path()));
    }

    void everyLanguageHasEveryKey() {
        QSet<QStringView> keys;
        for (const TranslationRow &row : translationTable()) {
            keys.insert(row.key);
            for (QStringView text : row.texts)
                QVERIFY2(!text.isEmpty(), qPrintable(row.key.toString()));
        }
        QCOMPARE(keys.size(), qsizetype(translationKeyCount));
    }

    // Which language's text comes back; the texts themselves are the table's, not restated.
    void lookupReturnsTheChosenLanguagesTextOrTheKey() {
        const Localization german(QStringList{"de-AT"});
        QCOMPARE(german.get(u"file"), QStringLiteral("Ablage"));
        for (QStringView language : supportedLanguages) {
            const Localization localization(QStringList{language.toString()});
            QCOMPARE(localization.currentLanguage(), language.toString());
            QCOMPARE(localization.get(u"appName"), QStringLiteral("Sonavel"));
            QCOMPARE(localization.get(u"noSuchKey"), QStringLiteral("noSuchKey"));
        }
        QCOMPARE(&Localization::shared(), &Localization::shared());
    }
};

SONAVEL_TEST_MAIN(LocalizationTest, QCoreApplication)
#include "tst_localization.moc"
