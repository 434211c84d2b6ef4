#include "i18n/localization.h"
#include "i18n/translation_table.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QSet>

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

    void everyLanguageHasEveryKey() {
        QSet<QStringView> keys;
        for (const TranslationRow &row : translationTable()) {
            keys.insert(row.key);
            for (QStringView text : row.texts)
                QVERIFY2(!text.isEmpty(), qPrintable(row.key.toString()));
        }
        QCOMPARE(keys.size(), qsizetype(translationKeyCount));
    }

    void lookupReturnsTheChosenLanguagesText() {
        const Localization german(QStringList{"de-AT"});
        QCOMPARE(german.get(u"file"), QStringLiteral("Ablage"));
        QCOMPARE(german.get(u"close"), QStringLiteral("Schließen"));
        const Localization japanese(QStringList{"ja-JP"});
        QCOMPARE(japanese.get(u"dragFile"), QStringLiteral("メディアファイルをここにドラッグ"));
        const Localization korean(QStringList{"ko"});
        QCOMPARE(korean.get(u"notNow"), QStringLiteral("나중에"));
        const Localization english(QStringList{"en-GB"});
        QCOMPARE(english.get(u"defaultPlayerMessage"),
                 QStringLiteral("Sonavel is not set as the default player for audio and video "
                                "files. Would you like to set it as default?"));
        // Three full stops, not an ellipsis character.
        QCOMPARE(english.get(u"openFile"), QStringLiteral("Open File..."));
        QCOMPARE(english.get(u"open"), QStringLiteral("Open..."));
    }

    void appNameAndUnknownKeysAreTheSameInEveryLanguage() {
        for (QStringView language : supportedLanguages) {
            const Localization localization(QStringList{language.toString()});
            QCOMPARE(localization.currentLanguage(), language.toString());
            QCOMPARE(localization.get(u"appName"), QStringLiteral("Sonavel"));
            QCOMPARE(localization.get(u"noSuchKey"), QStringLiteral("noSuchKey"));
        }
    }

    void globalLookupUsesTheSharedInstance() {
        QCOMPARE(L.get(u"appName"), QStringLiteral("Sonavel"));
        QCOMPARE(&Localization::shared(), &Localization::shared());
        QCOMPARE(L.get(u"quit"), Localization::shared().get(u"quit"));
    }
};

SONAVEL_TEST_MAIN(LocalizationTest, QCoreApplication)
#include "tst_localization.moc"
