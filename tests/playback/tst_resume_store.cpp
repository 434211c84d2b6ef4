#include "playback/cover_art.h"
#include "playback/resume_rule.h"
#include "playback/resume_store.h"
#include "support/test_support.h"
#include "views/time_text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <limits>
#include <sys/resource.h>

using resume_rule::Verdict;

// Runs `write` as on a full file system: writing past `bytes` fails (with EFBIG rather
// than ENOSPC, and without the signal that would end the test).
template <typename Write> auto withRoomFor(rlim_t bytes, Write write) {
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    ::getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit small = oldLimit;
    small.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const auto result = write();
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);
    return result;
}

class ResumeStoreTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> state;

    QString storePath() const { return state->filePath("sonavel/positions.json"); }
    static QByteArray readAll(const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
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
        QTest::newRow("a film, hardly begun") << 20.0 << 3600.0 << Verdict::leaveAsIs;
        QTest::newRow("a film, midway") << 1800.0 << 3600.0 << Verdict::remember;
        QTest::newRow("a film, in the credits") << 3500.0 << 3600.0 << Verdict::forget;
        QTest::newRow("length unknown") << 120.0 << nan << Verdict::leaveAsIs;
        QTest::newRow("position unknown") << nan << 3600.0 << Verdict::leaveAsIs;
    }
    void whatLeavingAFileKeeps() {
        QFETCH(double, position);
        QFETCH(double, duration);
        QFETCH(Verdict, verdict);
        QCOMPARE(resume_rule::onLeaving(position, duration), verdict);
    }

    void offeredTimesCountHours() {
        QCOMPARE(clockString(5025.9), QStringLiteral("1:23:45"));
        QCOMPARE(clockString(3600), QStringLiteral("1:00:00"));
        QCOMPARE(clockString(3599), QStringLiteral("59:59"));
        QCOMPARE(clockString(std::numeric_limits<double>::infinity()), QStringLiteral("0:00"));
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

    void aFullDiskKeepsWhatWasWritten() {
        {
            ResumeStore store(storePath());
            store.remember("/films/kept.mkv", 7, {60, {}, {}});
            QVERIFY(store.save());
        }
        const QByteArray before = readAll(storePath());
        ResumeStore store(storePath());
        for (int i = 0; i < 50; ++i)
            store.remember(QByteArray("/films/") + QByteArray::number(i), 7, {60, {}, {}});
        QVERIFY(!withRoomFor(before.size() + 100, [&] { return store.save(); }));
        QCOMPARE(readAll(storePath()), before);
        QCOMPARE(QDir(state->filePath("sonavel")).entryList(QDir::Files),
                 QStringList{"positions.json"});
        QVERIFY(store.save()); // and written once there is room again
        QVERIFY(ResumeStore(storePath()).find("/films/49", 7));

        // A cover cut short is not kept under its whole content's name.
        const QString covers = state->filePath("covers");
        const QString song = test_support::fixture("covered.mp3");
        QVERIFY(withRoomFor(100, [&] {
                    return cover_art::read(QFile::encodeName(song), QSize(64, 64), covers);
                })->cachedFile.isEmpty());
        QVERIFY(QDir(covers).isEmpty());
        const QUrl cached =
            cover_art::read(QFile::encodeName(song), QSize(64, 64), covers)->cachedFile;
        QVERIFY(!QImage(cached.toLocalFile()).isNull());
    }

    void aRelativeStateHomeIsIgnored() {
        qputenv("XDG_STATE_HOME", "relative/state");
        QCOMPARE(ResumeStore::defaultFilePath(),
                 QDir::homePath() + QStringLiteral("/.local/state/sonavel/positions.json"));
    }
};

SONAVEL_TEST_MAIN(ResumeStoreTest, QCoreApplication)
#include "tst_resume_store.moc"
