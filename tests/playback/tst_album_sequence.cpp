#include "playback/album_sequence.h"

#include <QTest>

class AlbumSequenceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nextEntryFollowsTheRepeatMode_data() {
        QTest::addColumn<RepeatMode>("mode");
        QTest::addColumn<qint64>("current");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<qint64>("next"); // -1: none

        QTest::newRow("all, first of three") << RepeatMode::all << 0LL << 3LL << 1LL;
        QTest::newRow("all, last") << RepeatMode::all << 2LL << 3LL << -1LL;
        QTest::newRow("all, not listed") << RepeatMode::all << -1LL << 3LL << -1LL;
        QTest::newRow("repeat all, middle") << RepeatMode::allRepeat << 1LL << 3LL << 2LL;
        QTest::newRow("repeat all wraps") << RepeatMode::allRepeat << 2LL << 3LL << 0LL;
        QTest::newRow("repeat all, alone") << RepeatMode::allRepeat << 0LL << 1LL << 0LL;
        QTest::newRow("repeat all, not listed") << RepeatMode::allRepeat << -1LL << 3LL << 0LL;
        QTest::newRow("repeat all, empty") << RepeatMode::allRepeat << -1LL << 0LL << -1LL;
        QTest::newRow("one stays") << RepeatMode::one << 0LL << 3LL << -1LL;
        QTest::newRow("off stops") << RepeatMode::off << 0LL << 3LL << -1LL;
    }
    void nextEntryFollowsTheRepeatMode() {
        QFETCH(RepeatMode, mode);
        QFETCH(qint64, current);
        QFETCH(qint64, count);
        QFETCH(qint64, next);
        const std::optional<qint64> found = AlbumSequence::nextEntry(mode, current, count);
        QCOMPARE(found.value_or(-1), next);
    }

    void failuresArePassedOnceRoundAndOnlyOnTheAlbumsWay() {
        AlbumSequence album;
        // A file the person chose stays with its error.
        album.chosen();
        QVERIFY(!album.passesFailure(5));

        // Reached by the album: passed, but not a whole round of them.
        album.movedOn();
        QVERIFY(album.passesFailure(3));
        QVERIFY(album.passesFailure(3));
        QVERIFY(!album.passesFailure(3));

        // A song that plays starts the count again; so does the person's choice.
        album.played();
        QVERIFY(album.passesFailure(3));
        QVERIFY(album.passesFailure(3));
        album.chosen();
        album.movedOn();
        QVERIFY(album.passesFailure(2));
        QVERIFY(!album.passesFailure(2));
    }
};

QTEST_APPLESS_MAIN(AlbumSequenceTest)
#include "tst_album_sequence.moc"
