#include "playback/resume_rule.h"
#include "playback/resume_store.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

using resume_rule::Verdict;

class ResumeStoreTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> state;

    QString storePath() const { return state->filePath("sonavel/positions.json"); }
    void writeStateFile(const QByteArray &contents) {
        QVERIFY(QDir().mkpath(state->filePath("sonavel")));
        QFile file(storePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(contents), contents.size());
    }

private Q_SLOTS:
    void init() { state = std::make_unique<QTemporaryDir>(); }

    void whatLeavingAFileKeeps_data() {
        QTest::addColumn<double>("position");
        QTest::addColumn<double>("duration");
        QTest::addColumn<Verdict>("verdict");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("a song") << 120.0 << 299.0 << Verdict::leaveAsIs;
        QTest::newRow("five minutes, midway") << 120.0 << 300.0 << Verdict::remember;
        QTest::newRow("hardly begun") << 29.9 << 3600.0 << Verdict::leaveAsIs;
        QTest::newRow("just begun") << 30.0 << 3600.0 << Verdict::remember;
        // Of an hour the last 5 % (3 minutes) counts as the end; of six minutes, 30 seconds.
        QTest::newRow("before the credits") << 3419.0 << 3600.0 << Verdict::remember;
        QTest::newRow("in the credits") << 3420.0 << 3600.0 << Verdict::forget;
        QTest::newRow("six minutes, near the end") << 329.0 << 360.0 << Verdict::remember;
        QTest::newRow("six minutes, at the end") << 330.0 << 360.0 << Verdict::forget;
        QTest::newRow("length unknown") << 120.0 << nan << Verdict::leaveAsIs;
        QTest::newRow("position unknown") << nan << 3600.0 << Verdict::leaveAsIs;
    }
    void whatLeavingAFileKeeps() {
        QFETCH(double, position);
        QFETCH(double, duration);
        QFETCH(Verdict, verdict);
        QCOMPARE(resume_rule::onLeaving(position, duration), verdict);
    }

    void positionsOutliveTheRunPrivately() {
        const QByteArray odd("/films/caf\xe9 \n\"x\".mkv"); // not UTF-8, with a line break
        {
            ResumeStore store(storePath());
            store.remember(odd, 1234, {321.5, 2, 0});
            store.remember("/films/b.mkv", 99, {40, std::nullopt, std::nullopt});
            QVERIFY(store.save());
        }
        ResumeStore again(storePath());
        QCOMPARE(again.find(odd, 1234), (ResumePoint{321.5, 2, 0}));
        QCOMPARE(again.find("/films/b.mkv", 99), (ResumePoint{40, std::nullopt, std::nullopt}));
        // Another file of another size in the same place is not the one left.
        QVERIFY(!again.find(odd, 1235));
        again.forget(odd, 1234);
        QVERIFY(again.save());
        QVERIFY(!ResumeStore(storePath()).find(odd, 1234));

        // What was watched is the user's alone.
        QCOMPARE(QFile::permissions(storePath()) & 0x0077, QFileDevice::Permissions());
        QCOMPARE(QFile::permissions(state->filePath("sonavel")) & 0x0077,
                 QFileDevice::Permissions());
    }

    void theLeastRecentlyUsedGoFirst() {
        ResumeStore store(storePath());
        for (int index = 0; index < ResumeStore::capacity + 5; ++index)
            store.remember("/films/" + QByteArray::number(index), index, {60, {}, {}});
        // Used again: no longer the oldest, so the next new file pushes out the one after it.
        store.remember("/films/5", 5, {90, {}, {}});
        store.remember("/films/1004", 1004, {61, {}, {}});
        store.remember("/films/new", 1, {60, {}, {}});
        QVERIFY(store.save());
        QFile saved(storePath());
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QJsonDocument::fromJson(saved.readAll())["files"].toArray().size(),
                 ResumeStore::capacity);

        ResumeStore again(storePath());
        QCOMPARE(again.count(), ResumeStore::capacity);
        QCOMPARE(again.find("/films/5", 5)->seconds, 90.0);
        QCOMPARE(again.find("/films/1004", 1004)->seconds, 61.0);
        for (int gone : {0, 1, 2, 3, 4, 6})
            QVERIFY2(!again.find("/films/" + QByteArray::number(gone), gone),
                     qPrintable(QString::number(gone)));
        QVERIFY(again.find("/films/7", 7));
    }

    void aStateFileThatMakesNoSenseIsReplaced_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("garbled") << QByteArray("\x00\xff{{not json", 12);
        QTest::newRow("cut short")
            << QByteArray("{\"format\":1,\"files\":[{\"location\":\"L2E=\",\"si");
        QTest::newRow("another format") << QByteArray(
            "{\"format\":2,\"files\":[{\"location\":\"L2E=\",\"size\":1,\"seconds\":60}]}");
        QTest::newRow("odd entries") << QByteArray(
            "{\"format\":1,\"files\":[{\"location\":\"cmVsYXRpdmU=\",\"size\":1,\"seconds\":60},"
            "{\"location\":\"L2E=\",\"size\":-1,\"seconds\":60},"
            "{\"location\":\"L2E=\",\"size\":1,\"seconds\":-5},\"x\",7,"
            "{\"location\":\"not base64!\",\"size\":1,\"seconds\":60}]}");
        QTest::newRow("numbers out of range") << QByteArray(
            "{\"format\":1,\"files\":[{\"location\":\"L2E=\",\"size\":1e19,\"seconds\":60},"
            "{\"location\":\"L2E=\",\"size\":1,\"seconds\":1e300},"
            "{\"location\":\"L2E=\",\"size\":1,\"seconds\":1e400}]}");
        QTest::newRow("huge") << QByteArray(ResumeStore::largestFileBytes + 1, ' ');
    }
    void aStateFileThatMakesNoSenseIsReplaced() {
        QFETCH(QByteArray, contents);
        writeStateFile(contents);
        ResumeStore store(storePath());
        QCOMPARE(store.count(), 0);
        store.remember("/films/a.mkv", 7, {60, {}, {}});
        QVERIFY(store.save());
        QCOMPARE(ResumeStore(storePath()).find("/films/a.mkv", 7)->seconds, 60.0);
    }

    void aLinkAtTheStateFileIsReplacedNotWrittenThrough() {
        QVERIFY(QDir().mkpath(state->filePath("sonavel")));
        const QString notes = state->filePath("notes.txt");
        QFile target(notes);
        QVERIFY(target.open(QIODevice::WriteOnly));
        // Were it read, this would offer a place in /a.
        target.write(
            "{\"format\":1,\"files\":[{\"location\":\"L2E=\",\"size\":1,\"seconds\":60}]}");
        target.close();
        const QFileDevice::Permissions permissions = target.permissions();
        QVERIFY(QFile::link(notes, storePath()));
        ResumeStore store(storePath());
        QVERIFY(!store.find("/a", 1));
        store.remember("/films/a.mkv", 7, {60, {}, {}});
        QVERIFY(store.save());
        QVERIFY(!QFileInfo(storePath()).isSymLink());
        QCOMPARE(ResumeStore(storePath()).find("/films/a.mkv", 7)->seconds, 60.0);
        QVERIFY(target.open(QIODevice::ReadOnly));
        QVERIFY(target.readAll().contains("L2E="));
        QCOMPARE(target.permissions(), permissions);

        // A link that leads nowhere creates nothing where it leads.
        const QString elsewhere = state->filePath("elsewhere/positions.json");
        QVERIFY(QFile::remove(storePath()));
        QVERIFY(QFile::link(elsewhere, storePath()));
        store.remember("/films/b.mkv", 8, {61, {}, {}});
        QVERIFY(store.save());
        QVERIFY(!QFile::exists(elsewhere));
        QCOMPARE(ResumeStore(storePath()).find("/films/b.mkv", 8)->seconds, 61.0);
    }

    void anUnreadableStateFileIsReplaced() {
        if (const std::optional<bool> passed =
                test_support::passesAsOrdinaryUser("anUnreadableStateFileIsReplaced")) {
            QVERIFY(*passed);
            return;
        }
        writeStateFile(
            "{\"format\":1,\"files\":[{\"location\":\"L2E=\",\"size\":1,\"seconds\":60}]}");
        QVERIFY(QFile::setPermissions(storePath(), QFileDevice::WriteOwner));
        ResumeStore store(storePath());
        QVERIFY(!store.find("/a", 1));
        store.remember("/b", 1, {60, {}, {}});
        QVERIFY(store.save());
        QVERIFY(ResumeStore(storePath()).find("/b", 1));
    }

    void aPlaceThatCannotBeWrittenLosesOnlyThePositions() {
        // A folder where the file should be, and a state folder that is a file.
        QVERIFY(QDir().mkpath(storePath()));
        ResumeStore store(storePath());
        QCOMPARE(store.count(), 0);
        store.remember("/films/a.mkv", 7, {60, {}, {}});
        QVERIFY(!store.save());
        QVERIFY(!store.save());
        QVERIFY(QFileInfo(storePath()).isDir());

        QFile blocker(state->filePath("blocked"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ResumeStore blocked(state->filePath("blocked/sonavel/positions.json"));
        blocked.remember("/films/a.mkv", 7, {60, {}, {}});
        QVERIFY(!blocked.save());
        QVERIFY(blocked.find("/films/a.mkv", 7));
    }

    void theStateFolderFollowsXdgStateHome() {
        qputenv("XDG_STATE_HOME", QFile::encodeName(state->path()));
        QCOMPARE(ResumeStore::defaultFilePath(), state->filePath("sonavel/positions.json"));
        qputenv("XDG_STATE_HOME", "relative/state");
        QCOMPARE(ResumeStore::defaultFilePath(),
                 QDir::homePath() + QStringLiteral("/.local/state/sonavel/positions.json"));
    }
};

SONAVEL_TEST_MAIN(ResumeStoreTest, QCoreApplication)
#include "tst_resume_store.moc"
