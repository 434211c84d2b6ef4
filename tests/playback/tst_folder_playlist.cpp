#include "playback/folder_playlist.h"
#include "playback/local_file.h"
#include "support/test_support.h"

#include <QCoreApplication>

class FolderPlaylistTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void namesSortByCodePointWithoutCaseOrNumbers() {
        QStringList names{"b.mp3", "A.wav", "D.M4A", ".hidden.mp3", "2.mp3", "10.mp3", "1.mp3"};
        folder_playlist::sortByName(names);
        QCOMPARE(names, (QStringList{".hidden.mp3", "1.mp3", "10.mp3", "2.mp3", "A.wav", "D.M4A",
                                     "b.mp3"}));
    }

    void namesCompareByCodePointNotUtf16Unit() {
        // U+FF01 sorts before U+1F3B5, though its UTF-16 unit is larger than a surrogate's.
        QStringList names{QStringLiteral("\U0001F3B5.mp3"), QStringLiteral("\uFF01.mp3")};
        folder_playlist::sortByName(names);
        QCOMPARE(names.first(), QStringLiteral("\uFF01.mp3"));
    }

    void canonicallyEquivalentNamesSortAlike() {
        const QString composed = QStringLiteral("caf\u00e9.mp3");
        const QString decomposed = QStringLiteral("cafe\u0301.mp3");
        // Both sort as the composed form (U+00E9 after "f"), whatever their own form.
        for (const QString &name : {composed, decomposed}) {
            QStringList names{"caff.mp3", name, "cafz.mp3", "cafa.mp3"};
            folder_playlist::sortByName(names);
            QCOMPARE(names, (QStringList{"cafa.mp3", "caff.mp3", "cafz.mp3", name}));
        }
        // Equal names keep their listing order.
        QStringList both{decomposed, composed};
        folder_playlist::sortByName(both);
        QCOMPARE(both, (QStringList{decomposed, composed}));
    }

    void listingKeepsDirectAudioEntriesOnly() {
        QTemporaryDir folder;
        const QStringList names{"b.mp3",        "A.wav",     "c.txt",     "D.M4A",
                                ".hidden.mp3",  "mp3",       "song.MP3",  "with space.wav",
                                "x.mp3.bak",    "\"q\".mp3", "-dash.mp3", "co:lon.mp3",
                                "new\nline.mp3"};
        for (const QString &name : names) {
            QFile file(QDir(folder.path()).filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(QDir(folder.path()).mkpath("folder.mp3/inner.mp3"));

        const auto entries =
            folder_playlist::audioEntriesBeside(QUrl::fromLocalFile(folder.filePath("b.mp3")));
        QVERIFY(entries);
        QStringList listed;
        for (const QUrl &url : *entries) {
            QCOMPARE(url, QUrl::fromLocalFile(folder.filePath(url.fileName())));
            listed << url.fileName();
        }
        // A folder named like a song can never play: not listed.
        QCOMPARE(listed,
                 (QStringList{"\"q\".mp3", "-dash.mp3", ".hidden.mp3", "A.wav", "D.M4A", "b.mp3",
                              "co:lon.mp3", "new\nline.mp3", "song.MP3", "with space.wav"}));
    }

    void unlistableFolderGivesNothing() {
        QTemporaryDir folder;
        const QUrl file = QUrl::fromLocalFile(folder.filePath("gone/a.mp3"));
        QVERIFY(!folder_playlist::audioEntriesBeside(file));
        QVERIFY(!folder_playlist::audioEntriesBeside(QUrl("http://example.invalid/a.mp3")));
    }

    void commandLineNamesAreBytesAndPathsUnlessAbsoluteFileUrls() {
        const auto path = [](const QByteArray &argument) {
            return local_file::path(local_file::fromArgument(argument, "/work/dir"));
        };
        QCOMPARE(path("song.mp3"), QByteArray("/work/dir/song.mp3"));
        QCOMPARE(path("/abs/song.mp3"), QByteArray("/abs/song.mp3"));
        // Found by fuzzing: a path beginning "//" named a host "abs" as a URL.
        QCOMPARE(path("//abs/song.mp3"), QByteArray("/abs/song.mp3"));
        QCOMPARE(path("file:////abs/song.mp3"), QByteArray("/abs/song.mp3"));
        // A name that is not UTF-8 is kept byte for byte.
        QCOMPARE(path("bad\xff\xfe.mp3"), QByteArray("/work/dir/bad\xff\xfe.mp3"));
        // "file:" without an absolute URL is a name like any other.
        QCOMPARE(path("file:colon.mp3"), QByteArray("/work/dir/file:colon.mp3"));
        QCOMPARE(path("http://example.org/a.mp3"),
                 QByteArray("/work/dir/http://example.org/a.mp3"));
        QCOMPARE(path("file:///music/a%20b%FF.mp3"), QByteArray("/music/a b\xff.mp3"));
        QCOMPARE(path("file://localhost/music/a.mp3"), QByteArray("/music/a.mp3"));
        QVERIFY(local_file::fromArgument("file://host/music/a.mp3", "/").isEmpty());
        QVERIFY(local_file::fromArgument("file:///a.mp3#x", "/").isEmpty());
        // A scheme in any case is the scheme; a NUL would cut the name short at another file.
        QCOMPARE(path("FILE:///music/a.mp3"), QByteArray("/music/a.mp3"));
        QCOMPARE(path("File://localhost/music/a.mp3"), QByteArray("/music/a.mp3"));
        QVERIFY(local_file::fromArgument("file:///music/a.mp3%00.srt", "/").isEmpty());
        QVERIFY(local_file::fromArgument("FILE:///%00", "/").isEmpty());
        QVERIFY(local_file::fromArgument("", "/").isEmpty());
        // Locations of UTF-8 names are Qt's own, so they compare equal however they were made.
        QCOMPARE(local_file::fromPath("/m/caf\xc3\xa9 #1?.mp3"),
                 QUrl::fromLocalFile(QStringLiteral("/m/caf\u00e9 #1?.mp3")));
    }
};

SONAVEL_TEST_MAIN(FolderPlaylistTest, QCoreApplication)
#include "tst_folder_playlist.moc"
