#include "playback/player_manager.h"
#include "support/heard_sound.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTimer>

using test_support::timeoutMs;

// What a person hears: Sonavel plays into a sound server of the test's own, and the recording
// of its output is read back as the rising tones of the album fixtures.
class HeardPlaybackTest : public QObject {
    Q_OBJECT

    heard_sound::SoundServer sound;
    std::unique_ptr<PlayerManager> manager;
    std::unique_ptr<QTemporaryDir> folder;

    QUrl place(const QString &fixtureName, const QString &name) {
        return test_support::placeFixture(fixtureName, folder->path(), name);
    }

    double mpvTime() {
        double seconds = 0;
        mpv_get_property(manager->engine()->handle(), "time-pos", MPV_FORMAT_DOUBLE, &seconds);
        return seconds;
    }

    // Plays until the manager stops by itself, and returns what was heard.
    std::vector<heard_sound::Stretch> hearUntilStopped(const QUrl &file) {
        if (!sound.startRecording())
            qFatal("cannot record the test's sound server");
        manager->loadMedia(file);
        const bool stopped = QTest::qWaitFor([&] { return manager->isStopped(); }, 4 * timeoutMs);
        // The end may still be on its way through the server.
        QTest::qWait(200);
        const std::vector<heard_sound::Stretch> heard =
            heard_sound::withoutDropouts(heard_sound::stretches(sound.stopRecording()));
        if (!stopped)
            qWarning("did not stop by itself");
        qInfo("heard: %s", qPrintable(heard_sound::describe(heard)));
        return heard;
    }

private Q_SLOTS:
    void initTestCase() {
        if (!sound.start())
            QSKIP("PulseAudio is not installed: nothing to listen with");
    }
    void init() {
        MpvEngine::Options options;
        options.videoOutput = "null";
        options.audioOutput = "pulse";
        manager = std::make_unique<PlayerManager>(options);
        folder = std::make_unique<QTemporaryDir>();
    }
    void cleanup() {
        manager.reset();
        folder.reset();
    }

    void anAlbumIsHeardWholeWithoutGaps() {
        const QUrl first = place("album-1.wav", "1.wav");
        place("album-2.wav", "2.wav");
        place("album-3.wav", "3.wav");
        place("album-4.mp3", "4.mp3");
        manager->setRepeatMode(RepeatMode::all);

        // The view follows the moment the next song is heard: mpv counts a song's time from its
        // first sample heard, below zero while the output still plays the one before.
        QList<double> heardWhenShown;
        qint64 shown = -1;
        QTimer watch;
        watch.setInterval(2);
        connect(&watch, &QTimer::timeout, this, [&] {
            if (manager->currentIndex() != shown && manager->player()) {
                shown = manager->currentIndex();
                heardWhenShown.append(mpvTime());
            }
        });
        watch.start();
        const std::vector<heard_sound::Stretch> heard = hearUntilStopped(first);
        watch.stop();

        // One unbroken sound from the first song's start to the last one's end (but where a busy
        // machine let the output run dry): every format change (48 kHz mono, 44.1 kHz stereo,
        // an mp3) without a gap.
        QVERIFY2(heard.size() == 1, qPrintable(heard_sound::describe(heard)));
        QCOMPARE(heard.front().firstSong, 0);
        QVERIFY(heard.front().firstSongFrom < 0.05);
        QCOMPARE(heard.front().lastSong, 3);
        QVERIFY2(heard.front().lastSongTo > 1.97, qPrintable(heard_sound::describe(heard)));

        QCOMPARE(heardWhenShown.size(), 4);
        for (double seconds : heardWhenShown)
            QVERIFY2(seconds > -0.03, qPrintable(QString::number(seconds)));
        QCOMPARE(manager->currentIndex(), 3);
    }

    void theEndOfEveryFileIsHeard_data() {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<RepeatMode>("mode");
        QTest::newRow("last song of an album") << "album-1.wav" << RepeatMode::all;
        QTest::newRow("song in stop at end") << "album-1.wav" << RepeatMode::off;
        QTest::newRow("film") << "tone-film.mp4" << RepeatMode::allRepeat;
    }
    void theEndOfEveryFileIsHeard() {
        QFETCH(QString, fixture);
        QFETCH(RepeatMode, mode);
        manager->setRepeatMode(mode);
        const QUrl file = place(fixture, "only." + QFileInfo(fixture).suffix());
        const std::vector<heard_sound::Stretch> heard = hearUntilStopped(file);
        QVERIFY2(heard.size() == 1, qPrintable(heard_sound::describe(heard)));
        QCOMPARE(heard.front().lastSong, 0);
        QVERIFY2(heard.front().lastSongTo > 1.97, qPrintable(heard_sound::describe(heard)));
        QCOMPARE(manager->currentTime(), 0.0);
    }

    void eachPassOfRepeatOneIsHeardToTheEnd() {
        manager->setRepeatMode(RepeatMode::one);
        if (!sound.startRecording())
            QFAIL("cannot record");
        manager->loadMedia(place("album-2.wav", "one.wav"));
        const std::shared_ptr<MediaPlayer> player = manager->player();
        QSignalSpy ends(player.get(), &MediaPlayer::playedToEnd);
        QTRY_VERIFY_WITH_TIMEOUT(ends.size() >= 2, 3 * timeoutMs);
        manager->stop();
        const std::vector<heard_sound::Stretch> heard =
            heard_sound::withoutDropouts(heard_sound::stretches(sound.stopRecording()));
        qInfo("heard: %s", qPrintable(heard_sound::describe(heard)));
        // Two whole passes at least, then the third cut by Stop.
        QVERIFY2(heard.size() >= 2, qPrintable(heard_sound::describe(heard)));
        for (size_t pass = 0; pass < 2; ++pass) {
            QCOMPARE(heard[pass].firstSong, 1);
            QVERIFY(heard[pass].firstSongFrom < 0.05);
            QVERIFY2(heard[pass].lastSongTo > 1.97, qPrintable(heard_sound::describe(heard)));
        }
    }

    void whatThePersonEndsEndsAtOnce() {
        // Stop a second into a song, or Next: nothing more of it is heard.
        manager->setRepeatMode(RepeatMode::all);
        const QUrl first = place("album-1.wav", "1.wav");
        place("album-2.wav", "2.wav");
        if (!sound.startRecording())
            QFAIL("cannot record");
        manager->loadMedia(first);
        QTRY_VERIFY_WITH_TIMEOUT(manager->currentTime() > 0.8, timeoutMs);
        manager->playNext();
        QTRY_VERIFY_WITH_TIMEOUT(manager->currentTime() > 0.8, timeoutMs);
        manager->stop();
        QTest::qWait(600);
        const std::vector<heard_sound::Stretch> heard =
            heard_sound::withoutDropouts(heard_sound::stretches(sound.stopRecording()));
        qInfo("heard: %s", qPrintable(heard_sound::describe(heard)));
        QVERIFY(!heard.empty());
        QCOMPARE(heard.back().lastSong, 1);
        QVERIFY2(heard.back().lastSongTo < 1.5, qPrintable(heard_sound::describe(heard)));
        for (const heard_sound::Stretch &stretch : heard)
            QVERIFY2(stretch.lastSong != 0 || stretch.lastSongTo < 1.5,
                     qPrintable(heard_sound::describe(heard)));
    }

    void twiceAsFastKeepsThePitch() {
        // A steady 440 Hz for six seconds, heard in three, still at 440 Hz: not an octave up.
        if (!sound.startRecording())
            QFAIL("cannot record");
        manager->setRepeatMode(RepeatMode::off);
        manager->loadMedia(place("steady.wav", "steady.wav"));
        manager->setSpeed(2);
        QVERIFY(QTest::qWaitFor([&] { return manager->isStopped(); }, 4 * timeoutMs));
        QTest::qWait(200);
        const std::vector<int16_t> samples = sound.stopRecording();
        const std::vector<heard_sound::Stretch> heard =
            heard_sound::withoutDropouts(heard_sound::stretches(samples));
        qInfo("heard: %s", qPrintable(heard_sound::describe(heard)));
        QVERIFY(!heard.empty());
        const heard_sound::Stretch &tone = heard.front();
        QVERIFY2(tone.length > 2.7 && tone.length < 3.4, qPrintable(heard_sound::describe(heard)));
        const auto sample = [&](double seconds) { return size_t(seconds * heard_sound::rate); };
        const double hz = heard_sound::pitchHz(samples, sample(tone.at + 0.5), sample(tone.at + 2));
        QVERIFY2(qAbs(hz - 440) < 10, qPrintable(QString::number(hz)));
    }
};

SONAVEL_TEST_MAIN(HeardPlaybackTest, QCoreApplication)
#include "tst_heard_playback.moc"
