#include "playback/chapters.h"
#include "playback/frame_file.h"
#include "playback/playback_speed.h"
#include "playback/subtitle_scale.h"
#include "playback/sync_offset.h"
#include "support/test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>

#include <csignal>
#include <sys/resource.h>

// The rules with numbers in them: chapters as files give them, speed steps, timing and size
// steps, and a frame's picture file.
class PlaybackRulesTest : public QObject {
    Q_OBJECT

    static QStringList filesIn(const QString &folder) {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

private Q_SLOTS:
    void chaptersAreTidiedWhateverTheFileSays() {
        // Out of order, twice at one place (the title kept), past the end, below zero, not a
        // number.
        const QList<Chapter> given{{5, "Five"}, {1, ""},          {1, "One"},      {12, "Past"},
                                   {10, "End"}, {-0.02, "Start"}, {NAN, "Nowhere"}};
        const QList<Chapter> tidied = chapters::tidy(given, 10);
        QCOMPARE(tidied, (QList<Chapter>{{0, "Start"}, {1, "One"}, {5, "Five"}}));
        // Without a known duration nothing is past the end yet.
        QCOMPARE(chapters::tidy({{12, "Past"}}, 0).size(), 1);
        QVERIFY(chapters::tidy({}, 10).isEmpty());
    }

    void chapterPlacesAndSteps() {
        const QList<Chapter> list{{2, "A"}, {10, "B"}, {20, "C"}};
        QCOMPARE(chapters::indexAt(list, 0), -1);
        QCOMPARE(chapters::indexAt(list, 2), 0);
        QCOMPARE(chapters::indexAt(list, 9.99), 0);
        QCOMPARE(chapters::indexAt(list, 10), 1);
        QCOMPARE(chapters::indexAt(list, 1e9), 2);
        QCOMPARE(chapters::indexAt(list, NAN), -1);
        QCOMPARE(chapters::indexAt({}, 5), -1);

        QCOMPARE(chapters::nextStart(list, 0), std::optional<double>(2));
        QCOMPARE(chapters::nextStart(list, 10), std::optional<double>(20));
        QCOMPARE(chapters::nextStart(list, 25), std::nullopt);
        // Within the grace after a start, the one before; later, this one's start.
        QCOMPARE(chapters::previousStart(list, 11), std::optional<double>(2));
        QCOMPARE(chapters::previousStart(list, 12.5), std::optional<double>(10));
        QCOMPARE(chapters::previousStart(list, 2.5), std::optional<double>(2));
        QCOMPARE(chapters::previousStart(list, 1), std::nullopt);
    }

    void speedStepsStayInTheirRange() {
        QCOMPARE(playback_speed::faster(1), 1.25);
        QCOMPARE(playback_speed::slower(1), 0.75);
        // Between steps: the next step either way.
        QCOMPARE(playback_speed::faster(1.1), 1.25);
        QCOMPARE(playback_speed::slower(1.1), 1.0);
        QCOMPARE(playback_speed::faster(4), 4.0);
        QCOMPARE(playback_speed::faster(3), 4.0);
        QCOMPARE(playback_speed::slower(0.25), 0.25);
        QCOMPARE(playback_speed::faster(NAN), 1.0);
        QVERIFY(playback_speed::isWithinRange(0.25));
        QVERIFY(playback_speed::isWithinRange(4));
        QVERIFY(!playback_speed::isWithinRange(0.2));
        QVERIFY(!playback_speed::isWithinRange(4.01));
        QVERIFY(!playback_speed::isWithinRange(INFINITY));
        QCOMPARE(playback_speed::clockSeconds(90, 1.5), 60.0);
        QCOMPARE(playback_speed::clockSeconds(-3, 2), 0.0);
        QCOMPARE(playback_speed::text(1.5), QStringLiteral("1.5×"));
        QCOMPARE(playback_speed::text(0.25), QStringLiteral("0.25×"));
        QCOMPARE(playback_speed::text(2), QStringLiteral("2×"));
    }

    void timingAndSizeStepOnTheirGrid() {
        double offset = 0;
        for (int i = 0; i < 10; ++i)
            offset = sync_offset::stepped(offset, 1);
        QCOMPARE(offset, 1.0);
        for (int i = 0; i < 13; ++i)
            offset = sync_offset::stepped(offset, -1);
        QCOMPARE(offset, -0.3);
        QCOMPARE(sync_offset::stepped(60, 1), 60.0);
        QCOMPARE(sync_offset::stepped(-60, -1), -60.0);
        QCOMPARE(sync_offset::bounded(NAN), 0.0);
        QCOMPARE(sync_offset::bounded(-1e12), -60.0);

        QCOMPARE(subtitle_scale::stepped(1, 1), 1.1);
        QCOMPARE(subtitle_scale::stepped(3, 1), 3.0);
        QCOMPARE(subtitle_scale::stepped(0.5, -1), 0.5);
        QCOMPARE(subtitle_scale::bounded(NAN), 1.0);
        QCOMPARE(subtitle_scale::bounded(100), 3.0);
    }

    void framePictureNames() {
        QCOMPARE(frame_file::name("Holiday.mkv", 83.45), QStringLiteral("Holiday 0-01-23.450.png"));
        QCOMPARE(frame_file::name("a.b.mp4", 3725.0004), QStringLiteral("a.b 1-02-05.000.png"));
        QCOMPARE(frame_file::name("x.mp4", NAN), QStringLiteral("x 0-00-00.000.png"));
        QCOMPARE(frame_file::name("", 1), QStringLiteral("Frame 0-00-01.000.png"));
        // A very long name is cut to fit any file system's 255 bytes.
        const QString longName = frame_file::name(QString(300, QChar(u'é')) + ".mkv", 1);
        QVERIFY(longName.toUtf8().size() <= 255);
        QVERIFY(longName.endsWith(" 0-00-01.000.png"));
    }

    void framePictureIsWrittenWholeOrNotAtAll() {
        QTemporaryDir folder;
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::red);
        const frame_file::Result saved = frame_file::write(image, folder.path(), "f.png");
        QCOMPARE(saved.outcome, frame_file::Result::Outcome::saved);
        QCOMPARE(QImageReader(saved.path).read().size(), QSize(64, 48));
        QCOMPARE(frame_file::write(image, folder.path(), "f.png").path,
                 folder.filePath("f (2).png"));
        QCOMPARE(filesIn(folder.path()), (QStringList{"f (2).png", "f.png"}));

        const QString missing = folder.filePath("gone");
        const frame_file::Result notThere = frame_file::write(image, missing, "f.png");
        QCOMPARE(notThere.outcome, frame_file::Result::Outcome::folderMissing);
        QCOMPARE(notThere.path, missing);
        QVERIFY(!QFileInfo::exists(missing));
        QCOMPARE(frame_file::write(image, saved.path, "f.png").outcome,
                 frame_file::Result::Outcome::folderMissing);
        QCOMPARE(frame_file::write(QImage(), folder.path(), "g.png").outcome,
                 frame_file::Result::Outcome::failed);
        QCOMPARE(filesIn(folder.path()).size(), 2);
    }

    void aFullDiskLeavesNoHalfPicture() {
        // A file size limit fails the write as a full disk does, at the same call.
        QTemporaryDir folder;
        const QByteArray bytes(256 * 1024, 'x');
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit before{};
        getrlimit(RLIMIT_FSIZE, &before);
        rlimit small = before;
        small.rlim_cur = 64 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const frame_file::Result full = frame_file::writeBytes(bytes, folder.path(), "f.png");
        setrlimit(RLIMIT_FSIZE, &before);
        QCOMPARE(full.outcome, frame_file::Result::Outcome::noSpace);
        QVERIFY(filesIn(folder.path()).isEmpty());
    }

    void anUnwritableFolderIsSaid() {
        if (const std::optional<bool> passed =
                test_support::passesAsOrdinaryUser("anUnwritableFolderIsSaid")) {
            QVERIFY(*passed);
            return;
        }
        QTemporaryDir folder;
        QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner);
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::blue);
        QCOMPARE(frame_file::write(image, folder.path(), "f.png").outcome,
                 frame_file::Result::Outcome::folderUnwritable);
        QFile::setPermissions(folder.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(filesIn(folder.path()).isEmpty());
    }
};

SONAVEL_TEST_MAIN(PlaybackRulesTest, QCoreApplication)
#include "tst_playback_rules.moc"
