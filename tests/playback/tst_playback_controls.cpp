#include "playback/frame_saver.h"
#include "playback/player_manager.h"
#include "playback/resume_store.h"
#include "support/test_support.h"

#include <QFileInfo>
#include <QImageReader>
#include <QSignalSpy>
#include <QStandardPaths>

using test_support::timeoutMs;

// Speed, chapters, timing, frame steps and Save Frame, through the real engine on films and
// songs made by ffmpeg.
class PlaybackControlsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<PlayerManager> manager;
    std::unique_ptr<QTemporaryDir> folder;

    QUrl fixtureUrl(const QString &name) {
        return QUrl::fromLocalFile(test_support::fixture(name));
    }
    double mpvDouble(const char *name) {
        double value = NAN;
        mpv_get_property(manager->engine()->handle(), name, MPV_FORMAT_DOUBLE, &value);
        return value;
    }
    bool loaded(const QString &name) {
        manager->loadMedia(fixtureUrl(name));
        return QTest::qWaitFor([&] { return manager->duration() > 0; }, timeoutMs);
    }
    // Paused at `seconds`, the time reported from there (a sound track's priming shifts it a
    // little).
    bool pausedAt(double seconds) {
        manager->pause();
        QSignalSpy seeked(manager.get(), &PlayerManager::seeked);
        manager->seek(seconds);
        // The file's own start may still be reported first.
        return QTest::qWaitFor(
                   [&] {
                       return !seeked.isEmpty() &&
                              qAbs(seeked.last().first().toDouble() - seconds) < 0.05;
                   },
                   timeoutMs) &&
               qAbs(manager->currentTime() - seconds) < 0.05;
    }
    // Points the desktop's pictures folder at `path`, as its user folders file would.
    void setPicturesFolder(const QString &path) {
        const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        QFile dirs(config + "/user-dirs.dirs");
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_PICTURES_DIR=\"" + QFile::encodeName(path) + "\"\n");
        dirs.close();
        QCOMPARE(FrameSaver::picturesFolder(), path);
    }

private Q_SLOTS:
    void init() {
        manager = std::make_unique<PlayerManager>(test_support::headlessEngine());
        folder = std::make_unique<QTemporaryDir>();
    }
    void cleanup() {
        manager.reset();
        folder.reset();
    }

    void speedIsHeldInItsRangeAndEachFileStartsAtNormal() {
        // Nothing loaded: nothing to speed up.
        manager->setSpeed(2);
        QCOMPARE(manager->speed(), 1.0);
        QVERIFY(loaded("long.mp3"));
        manager->setSpeed(2);
        QCOMPARE(manager->speed(), 2.0);
        QTRY_COMPARE_WITH_TIMEOUT(mpvDouble("speed"), 2.0, timeoutMs);
        // Time runs twice as fast.
        const double from = manager->currentTime();
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(manager->currentTime() > from + 3, timeoutMs);
        QVERIFY2(clock.elapsed() < 2600, qPrintable(QString::number(clock.elapsed())));
        manager->setSpeed(10);
        QCOMPARE(manager->speed(), 4.0);
        manager->setSpeed(0.01);
        QCOMPARE(manager->speed(), 0.25);
        manager->setSpeed(std::nan(""));
        QCOMPARE(manager->speed(), 0.25);
        QTRY_COMPARE_WITH_TIMEOUT(mpvDouble("speed"), 0.25, timeoutMs);
        QVERIFY(loaded("clip.mp4"));
        QCOMPARE(manager->speed(), 1.0);
        QCOMPARE(mpvDouble("speed"), 1.0);
    }

    void chaptersOfAFilmAndAnAudiobook() {
        QVERIFY(loaded("chapters.mkv"));
        QTRY_COMPARE_WITH_TIMEOUT(manager->chapters().size(), 3, timeoutMs);
        QCOMPARE(manager->chapters().at(0), (Chapter{0, "Opening"}));
        QCOMPARE(manager->chapters().at(1), (Chapter{2, ""}));
        QCOMPARE(manager->chapters().at(2), (Chapter{4, "Ending"}));
        QVERIFY(pausedAt(2.5));
        QCOMPARE(manager->currentChapter(), 1);
        QVERIFY(manager->nextChapter());
        QTRY_COMPARE_WITH_TIMEOUT(manager->currentChapter(), 2, timeoutMs);
        QVERIFY(!manager->nextChapter());
        // Just after a start: the one before; further in: back to this one's start.
        QVERIFY(manager->previousChapter());
        QTRY_COMPARE_WITH_TIMEOUT(manager->currentTime(), 2.0, timeoutMs);
        QVERIFY(pausedAt(3.5));
        QVERIFY(manager->previousChapter());
        QTRY_COMPARE_WITH_TIMEOUT(manager->currentChapter(), 0, timeoutMs);
        manager->goToChapter(2);
        QTRY_COMPARE_WITH_TIMEOUT(manager->currentTime(), 4.0, timeoutMs);

        QVERIFY(loaded("audiobook.m4a"));
        QTRY_COMPARE_WITH_TIMEOUT(manager->chapters(),
                                  (QList<Chapter>{{0, "Part One"}, {3, "Part Two"}}), timeoutMs);
        QCOMPARE(manager->currentChapter(), 0);

        // Another file's chapters go with it; hundreds come in order.
        QVERIFY(loaded("tone.mp3"));
        QVERIFY(manager->chapters().isEmpty());
        QVERIFY(!manager->nextChapter());
        QVERIFY(loaded("many-chapters.mkv"));
        QTRY_COMPARE_WITH_TIMEOUT(manager->chapters().size(), 300, timeoutMs);
        QVERIFY(
            std::is_sorted(manager->chapters().cbegin(), manager->chapters().cend(),
                           [](const Chapter &a, const Chapter &b) { return a.start < b.start; }));
    }

    void delaysAreKeptWithThePlaceToContinueFrom() {
        ResumeStore store(folder->filePath("state/positions.json"));
        manager->setResumeStore(&store);
        const QUrl film = test_support::placeFixture("six-minutes.mkv", folder->path(), "f.mkv");
        manager->loadMedia(film);
        QTRY_VERIFY_WITH_TIMEOUT(manager->duration() > 0, timeoutMs);
        QVERIFY(pausedAt(120));
        manager->setSubtitleDelay(0.3);
        manager->setAudioDelay(-0.2);
        // The engine keeps them as floats.
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(mpvDouble("sub-delay") - 0.3) < 1e-6, timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(mpvDouble("audio-delay") + 0.2) < 1e-6, timeoutMs);
        // Beyond a minute is held there.
        manager->setSubtitleDelay(1e9);
        QCOMPARE(manager->subtitleDelay(), 60.0);
        manager->setSubtitleDelay(0.3);

        // Another file starts in time; the film again has its delays at once.
        QVERIFY(loaded("clip.mp4"));
        QCOMPARE(manager->subtitleDelay(), 0.0);
        QCOMPARE(mpvDouble("sub-delay"), 0.0);
        QCOMPARE(mpvDouble("audio-delay"), 0.0);
        QCOMPARE(
            ResumeStore(store.filePath())
                .find(QFile::encodeName(film.toLocalFile()), QFileInfo(film.toLocalFile()).size())
                ->subtitleDelay,
            0.3);
        manager->loadMedia(film);
        QCOMPARE(manager->subtitleDelay(), 0.3);
        QCOMPARE(manager->audioDelay(), -0.2);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(mpvDouble("sub-delay") - 0.3) < 1e-6, timeoutMs);
    }

    void framesStepOneAtATimeOnlyInAFilm() {
        // 25 frames a second.
        QVERIFY(loaded("long.mp4"));
        QVERIFY(pausedAt(1.0));
        manager->stepFrame(true);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(manager->currentTime() - 1.04) < 0.005, timeoutMs);
        QVERIFY(!manager->isPlaying());
        manager->stepFrame(true);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(manager->currentTime() - 1.08) < 0.005, timeoutMs);
        manager->stepFrame(false);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(manager->currentTime() - 1.04) < 0.005, timeoutMs);
        // Playing, a step pauses on the next frame.
        manager->play();
        QVERIFY(QTest::qWaitFor([&] { return manager->currentTime() > 1.3; }, timeoutMs));
        manager->stepFrame(true);
        QVERIFY(!manager->isPlaying());
        int paused = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            mpv_get_property(manager->engine()->handle(), "pause", MPV_FORMAT_FLAG, &paused) >= 0 &&
                paused,
            timeoutMs);
        // Staying put takes a while to see: once the step has landed, time stands still.
        QTest::qWait(400);
        const double stopped = manager->currentTime();
        QCOMPARE(stopped, mpvDouble("time-pos"));
        QTest::qWait(400);
        QCOMPARE(manager->currentTime(), stopped);

        QVERIFY(loaded("long.mp3"));
        const double before = manager->currentTime();
        manager->stepFrame(true);
        QVERIFY(manager->isPlaying());
        QVERIFY(manager->currentTime() >= before);
        QVERIFY(manager->grabFrame().isNull());
    }

    void saveFrameWritesAPictureOfTheFilmsOwnSize() {
        const QString pictures = folder->filePath("Pictures");
        QVERIFY(QDir().mkpath(pictures));
        setPicturesFolder(pictures);
        FrameSaver saver(*manager);
        QSignalSpy finished(&saver, &FrameSaver::finished);
        QVERIFY(!saver.save());
        QVERIFY(loaded("long.mp4"));
        QVERIFY(pausedAt(0.4));
        QVERIFY(saver.save());
        QVERIFY(saver.save());
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, timeoutMs);
        const auto first = finished.at(0).at(0).value<frame_file::Result>();
        const auto second = finished.at(1).at(0).value<frame_file::Result>();
        QCOMPARE(first.outcome, frame_file::Result::Outcome::saved);
        QCOMPARE(QFileInfo(first.path).fileName(), QStringLiteral("long 0-00-00.400.png"));
        QCOMPARE(QFileInfo(second.path).fileName(), QStringLiteral("long 0-00-00.400 (2).png"));
        QImageReader reader(first.path);
        QCOMPARE(reader.format(), QByteArray("png"));
        const QImage picture = reader.read();
        QCOMPARE(picture.size(), QSize(320, 240));
        // The testsrc picture itself, not a black or empty frame.
        QVERIFY(picture.pixelColor(160, 120) != picture.pixelColor(20, 20));
        QCOMPARE(QDir(pictures).entryList(QDir::Files | QDir::Hidden).size(), 2);

        // The folder gone: said, and nothing written anywhere.
        QVERIFY(QDir(pictures).removeRecursively());
        QVERIFY(saver.save());
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 3, timeoutMs);
        QCOMPARE(finished.at(2).at(0).value<frame_file::Result>().outcome,
                 frame_file::Result::Outcome::folderMissing);
        QVERIFY(!QFileInfo::exists(pictures));
    }
};

SONAVEL_TEST_MAIN(PlaybackControlsTest, QCoreApplication)
#include "tst_playback_controls.moc"
