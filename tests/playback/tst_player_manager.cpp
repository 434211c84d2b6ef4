#include "playback/local_file.h"
#include "playback/media_player.h"
#include "playback/player_manager.h"
#include "playback/window_delegate.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using test_support::timeoutMs;

namespace {

struct FitRequest {
    QSizeF size;
    bool isVideo;
};

class RecordingWindowDelegate : public WindowDelegate {
public:
    void resizeAndPositionWindow(QSizeF size, bool isVideo) override {
        requests.append({size, isVideo});
    }
    QList<FitRequest> requests;
};

QUrl fixtureUrl(const QString &name) {
    return QUrl::fromLocalFile(test_support::fixture(name));
}

} // namespace

class PlayerManagerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<PlayerManager> manager;
    std::unique_ptr<RecordingWindowDelegate> delegate;
    std::unique_ptr<QTemporaryDir> folder;

    QUrl place(const QString &fixtureName, const QString &name) {
        return test_support::placeFixture(fixtureName, folder->path(), name);
    }

    QString mpvProperty(const char *name) {
        char *value = mpv_get_property_string(manager->engine()->handle(), name);
        const QString text = QString::fromUtf8(value);
        mpv_free(value);
        return text;
    }

    // Time advancing past `seconds` proves the file really plays.
    bool playsPast(double seconds) {
        return QTest::qWaitFor([&] { return manager->currentTime() > seconds; }, timeoutMs);
    }

private Q_SLOTS:
    void init() {
        manager = std::make_unique<PlayerManager>(test_support::headlessEngine());
        delegate = std::make_unique<RecordingWindowDelegate>();
        manager->setWindowDelegate(delegate.get());
        folder = std::make_unique<QTemporaryDir>();
    }
    void cleanup() {
        manager.reset();
        delegate.reset();
        folder.reset();
    }

    void freshManagerHasNothingLoaded() {
        QVERIFY(!manager->player());
        QCOMPARE(manager->repeatMode(), RepeatMode::all);
        QVERIFY(!manager->isRepeating());
        QVERIFY(!manager->isPlaying());
        QCOMPARE(manager->currentIndex(), -1);
        QVERIFY(manager->playlist().isEmpty());
        QVERIFY(!manager->hasPrevious() && !manager->hasNext());
        QVERIFY(manager->fileName().isEmpty());
        QVERIFY(manager->loadError().isEmpty());
    }

    void repeatModeCyclesAndEveryAssignmentPublishes() {
        QCOMPARE(repeat_mode::next(RepeatMode::all), RepeatMode::allRepeat);
        QCOMPARE(repeat_mode::next(RepeatMode::allRepeat), RepeatMode::off);
        QCOMPARE(repeat_mode::next(RepeatMode::off), RepeatMode::one);
        QCOMPARE(repeat_mode::next(RepeatMode::one), RepeatMode::all);
        QCOMPARE(repeat_mode::fromRawValue(3), RepeatMode::allRepeat);
        QVERIFY(!repeat_mode::fromRawValue(4) && !repeat_mode::fromRawValue(-1));
        QCOMPARE(repeat_mode::iconName(RepeatMode::one), QStringLiteral("repeat.1"));
        QCOMPARE(repeat_mode::description(RepeatMode::off), QStringLiteral("Stop at end"));

        QSignalSpy changes(manager.get(), &PlayerManager::objectWillChange);
        manager->setRepeatMode(RepeatMode::all);
        QCOMPARE(changes.size(), 1);
        manager->setIsRepeating(false);
        QCOMPARE(changes.size(), 2);
    }

    void transportWithoutAFileOnlyChangesState() {
        manager->togglePlayPause();
        QVERIFY(manager->isPlaying());
        manager->togglePlayPause();
        QVERIFY(!manager->isPlaying());
        manager->seek(12);
        manager->stop();
        QVERIFY(!manager->player());
        QCOMPARE(manager->currentTime(), 0.0);
    }

    void audioFilePlaysWithItsFolderAsPlaylist() {
        place("tone.mp3", "b.mp3");
        place("tone.wav", "A.wav");
        place("tone.m4a", "D.M4A");
        place("tone.mp3", ".hidden.mp3");
        place("tone.mp3", "c.txt");
        const QUrl song = place("tone.mp3", "a b.mp3");

        manager->loadMedia(song);
        QVERIFY(manager->player());
        QVERIFY(manager->isPlaying());
        QVERIFY(!manager->isVideo());
        QCOMPARE(manager->fileName(), QStringLiteral("a b.mp3"));
        QCOMPARE(manager->currentURL(), song);
        QStringList names;
        for (const QUrl &url : manager->playlist())
            names << url.fileName();
        QCOMPARE(names, (QStringList{".hidden.mp3", "A.wav", "D.M4A", "a b.mp3", "b.mp3"}));
        QCOMPARE(manager->currentIndex(), 3);
        QVERIFY(manager->hasPrevious() && manager->hasNext());

        QVERIFY(playsPast(0.2));
        QTRY_COMPARE_WITH_TIMEOUT(manager->duration() > 0.9, true, timeoutMs);
        QVERIFY(manager->loadError().isEmpty());
        // Audio leaves the window as it is: one request, with no size.
        QCOMPARE(delegate->requests.size(), 1);
        QCOMPARE(delegate->requests.first().size, QSizeF(0, 0));
        QVERIFY(!delegate->requests.first().isVideo);
    }

    void transportCommandsThePlayer() {
        manager->loadMedia(fixtureUrl("clip.mp4"));
        QVERIFY(playsPast(0.1));

        manager->pause();
        QVERIFY(!manager->isPlaying());
        manager->seek(0.6);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(manager->currentTime() - 0.6) < 0.05, timeoutMs);

        manager->stop();
        QVERIFY(manager->player());
        QCOMPARE(manager->currentTime(), 0.0);
        QVERIFY(manager->duration() > 0);
        QTRY_VERIFY_WITH_TIMEOUT(manager->player()->currentTime() < 0.05, timeoutMs);

        manager->togglePlayPause();
        QVERIFY(manager->isPlaying());
        QVERIFY(playsPast(0.1));

        // Before the start means the start (mpv alone would count from the end).
        manager->loadMedia(fixtureUrl("long.mp3"));
        QVERIFY(playsPast(0.5));
        manager->seek(-2);
        QTRY_VERIFY_WITH_TIMEOUT(manager->currentTime() < 0.5, timeoutMs);
        QVERIFY(manager->currentTime() < 1);
    }

    void videoFitsTheWindowToItsPictureOnce_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSizeF>("size");
        QTest::newRow("mp4") << "clip.mp4" << QSizeF(320, 240);
        QTest::newRow("m4v") << "clip.m4v" << QSizeF(320, 240);
        QTest::newRow("mov") << "clip.mov" << QSizeF(320, 240);
        QTest::newRow("avi") << "clip.avi" << QSizeF(320, 240);
        QTest::newRow("mkv") << "clip.mkv" << QSizeF(320, 240);
        QTest::newRow("full hd") << "full-hd.mp4" << QSizeF(1920, 1080);
        QTest::newRow("rotated") << "rotated.mp4" << QSizeF(240, 320);
    }
    void videoFitsTheWindowToItsPictureOnce() {
        QFETCH(QString, file);
        QFETCH(QSizeF, size);
        manager->loadMedia(fixtureUrl("tone.mp3"));
        manager->loadMedia(fixtureUrl(file));
        QVERIFY(manager->isVideo());
        QVERIFY(manager->playlist().isEmpty());
        QCOMPARE(manager->currentIndex(), -1);
        QVERIFY(playsPast(0.2));
        QTRY_COMPARE_WITH_TIMEOUT(delegate->requests.size(), 2, timeoutMs);
        QCOMPARE(delegate->requests.last().size, size);
        QVERIFY(delegate->requests.last().isVideo);
        QVERIFY(manager->loadError().isEmpty());
    }

    void otherFilesPlayAsAudioWithoutPlaylist() {
        place("tone.mp3", "song.mp3");
        for (const QString name : {"notes.flac", "nodot"}) {
            const QUrl file = place("tone.wav", name);
            manager->loadMedia(file);
            QVERIFY(!manager->isVideo());
            QVERIFY(manager->playlist().isEmpty());
            QCOMPARE(manager->currentIndex(), -1);
            QVERIFY(!manager->hasPrevious() && !manager->hasNext());
            QVERIFY(playsPast(0.1));
        }
        QCOMPARE(delegate->requests.size(), 2);
        QVERIFY(!delegate->requests.last().isVideo);
    }

    void endOfTrackFollowsTheRepeatMode() {
        const QUrl first = place("tone.mp3", "1.mp3");
        const QUrl second = place("tone.wav", "2.mp3");
        const QUrl third = place("tone.m4a", "3.m4a");

        // all: plays on, then stops after the last entry.
        manager->loadMedia(first);
        QTRY_COMPARE_WITH_TIMEOUT(manager->currentURL(), second, timeoutMs);
        QCOMPARE(manager->currentIndex(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(manager->currentURL(), third, timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(!manager->isPlaying(), timeoutMs);
        QCOMPARE(manager->currentURL(), third);
        QCOMPARE(manager->currentTime(), 0.0);
        QVERIFY(manager->player());

        // allRepeat: wraps from the last entry to the first.
        manager->setRepeatMode(RepeatMode::allRepeat);
        manager->play();
        QTRY_COMPARE_WITH_TIMEOUT(manager->currentURL(), first, timeoutMs);
        QCOMPARE(manager->currentIndex(), 0);
        QVERIFY(manager->isPlaying());

        // one: the same player plays again from the start.
        manager->setRepeatMode(RepeatMode::one);
        const std::shared_ptr<MediaPlayer> player = manager->player();
        QSignalSpy ends(player.get(), &MediaPlayer::playedToEnd);
        QTRY_VERIFY_WITH_TIMEOUT(ends.size() >= 1, timeoutMs);
        QVERIFY(playsPast(0.3));
        QTRY_VERIFY_WITH_TIMEOUT(manager->currentTime() < 0.3, timeoutMs);
        QCOMPARE(manager->player(), player);
        QVERIFY(manager->isPlaying());

        // off: stops at the start, file kept.
        manager->setRepeatMode(RepeatMode::off);
        QTRY_VERIFY_WITH_TIMEOUT(!manager->isPlaying(), timeoutMs);
        QCOMPARE(manager->player(), player);
        QCOMPARE(manager->currentTime(), 0.0);
    }

    void allRepeatReplaysALoneFileButStopsAVideo() {
        manager->setRepeatMode(RepeatMode::allRepeat);
        const QUrl lone = place("tone.wav", "lone.wav");
        manager->loadMedia(lone);
        std::weak_ptr<MediaPlayer> first = manager->player();
        QTRY_VERIFY_WITH_TIMEOUT(first.expired() && manager->player(), timeoutMs);
        QCOMPARE(manager->currentURL(), lone);
        QCOMPARE(manager->currentIndex(), 0);

        manager->loadMedia(fixtureUrl("clip.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(!manager->isPlaying(), timeoutMs);
        QCOMPARE(manager->currentURL(), fixtureUrl("clip.mp4"));
    }

    void navigationMovesThroughTheFolder() {
        const QUrl first = place("tone.mp3", "a.mp3");
        const QUrl second = place("tone.mp3", "b.mp3");
        manager->loadMedia(first);
        manager->playPrevious();
        QCOMPARE(manager->currentURL(), first);
        manager->playNext();
        QCOMPARE(manager->currentURL(), second);
        QCOMPARE(manager->currentIndex(), 1);
        QVERIFY(manager->hasPrevious() && !manager->hasNext());
        manager->playNext();
        QCOMPARE(manager->currentURL(), second);
        manager->playPrevious();
        QCOMPARE(manager->currentURL(), first);

        // A video empties the playlist.
        manager->loadMedia(fixtureUrl("clip.mkv"));
        QVERIFY(manager->playlist().isEmpty());
        QCOMPARE(manager->currentIndex(), -1);
    }

    void oddlyNamedFilesPlay_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("spaces") << "a song with spaces.mp3";
        QTest::newRow("composed") << QStringLiteral("caf\u00e9 \u97f3\u697d.mp3");
        QTest::newRow("decomposed") << QStringLiteral("cafe\u0301.mp3");
        QTest::newRow("quotes") << "it's \"quoted\".mp3";
        QTest::newRow("leading dash") << "--help.mp3";
        QTest::newRow("colon") << "http:odd.mp3";
        QTest::newRow("newline") << "two\nlines.mp3";
        QTest::newRow("percent") << "100%25 #1?.mp3";
    }
    void oddlyNamedFilesPlay() {
        QFETCH(QString, name);
        const QUrl file = place("tone.mp3", name);
        manager->loadMedia(file);
        QCOMPARE(manager->fileName(), name);
        QCOMPARE(manager->currentIndex(), 0);
        QVERIFY(playsPast(0.1));
        QVERIFY(manager->loadError().isEmpty());
    }

    void namesThatAreNotUtf8Play() {
        // Bytes a file system allows and UTF-8 does not, in the file and in its neighbour.
        const QByteArray folderBytes = QFile::encodeName(folder->path()) + '/';
        QFile tone(test_support::fixture("tone.mp3"));
        QVERIFY(tone.open(QIODevice::ReadOnly));
        const QByteArray audio = tone.readAll();
        for (const QByteArray &name : {QByteArray("bad\xff.mp3"), QByteArray("caf\xe9.MP3")}) {
            const int out = ::open(folderBytes + name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
            QVERIFY(out >= 0);
            QCOMPARE(::write(out, audio.constData(), audio.size()), ssize_t(audio.size()));
            ::close(out);
        }
        const QUrl bad = local_file::fromArgument("bad\xff.mp3", folderBytes);
        QCOMPARE(local_file::path(bad), folderBytes + "bad\xff.mp3");
        manager->loadMedia(bad);
        QCOMPARE(manager->fileName(), QStringLiteral("bad\uFFFD.mp3"));
        QVERIFY(playsPast(0.2));
        QVERIFY(manager->loadError().isEmpty());
        QCOMPARE(manager->playlist().size(), 2);
        QCOMPARE(manager->currentIndex(), 0);
        manager->playNext();
        QCOMPARE(local_file::path(manager->currentURL()), folderBytes + "caf\xe9.MP3");
        QVERIFY(playsPast(0.2));
        QVERIFY(manager->loadError().isEmpty());
    }

    void kindComesFromTheLastExtensionWhateverItsCase() {
        const QUrl video = place("clip.mp4", "My.Holiday.2024.MP4");
        manager->loadMedia(video);
        QVERIFY(manager->isVideo());
        QVERIFY(manager->playlist().isEmpty());
        const QUrl song = place("tone.mp3", "a.mkv.Mp3");
        manager->loadMedia(song);
        QVERIFY(!manager->isVideo());
        QCOMPARE(manager->playlist(), QList<QUrl>{song});
        QVERIFY(playsPast(0.1));
    }

    void repeatOneReplaysAVideoWithoutSound() {
        manager->setRepeatMode(RepeatMode::one);
        manager->loadMedia(fixtureUrl("clip.mp4"));
        const std::shared_ptr<MediaPlayer> player = manager->player();
        QSignalSpy ends(player.get(), &MediaPlayer::playedToEnd);
        QTRY_VERIFY_WITH_TIMEOUT(ends.size() >= 2, 2 * timeoutMs);
        QCOMPARE(manager->player(), player);
        QVERIFY(manager->isPlaying());
    }

    void tracksFollowThePreferredLanguages_data() {
        QTest::addColumn<QString>("film");
        QTest::addColumn<QStringList>("languages");
        QTest::addColumn<QString>("audio");
        QTest::addColumn<QString>("subtitles");
        // Subtitles come on only for speech the reader does not understand, or when forced.
        QTest::newRow("japanese speech for a japanese reader")
            << "languages.mkv" << QStringList{"ja", "jpn"} << "2"
            << "no";
        QTest::newRow("english speech for an english reader")
            << "languages.mkv" << QStringList{"en", "eng"} << "1"
            << "no";
        QTest::newRow("english speech for a japanese reader")
            << "english-speech.mkv" << QStringList{"ja", "jpn"} << "1"
            << "1";
        QTest::newRow("forced subtitles under understood speech")
            << "forced-subtitles.mkv" << QStringList{"ja", "jpn"} << "1"
            << "1";
    }
    void tracksFollowThePreferredLanguages() {
        QFETCH(QString, film);
        QFETCH(QStringList, languages);
        QFETCH(QString, audio);
        QFETCH(QString, subtitles);
        MpvEngine::Options options = test_support::headlessEngine();
        options.trackLanguages = languages;
        manager = std::make_unique<PlayerManager>(options);
        manager->loadMedia(fixtureUrl(film));
        QVERIFY(playsPast(0.1));
        QCOMPARE(mpvProperty("aid"), audio);
        QCOMPARE(mpvProperty("sid"), subtitles);
    }

    void theReadersOwnChoiceOfSubtitlesHolds() {
        // Left off for speech the reader understands, then turned on: later reports of the
        // tracks do not undo it.
        MpvEngine::Options options = test_support::headlessEngine();
        options.trackLanguages = {"en", "eng"};
        manager = std::make_unique<PlayerManager>(options);
        manager->loadMedia(fixtureUrl("languages.mkv"));
        QVERIFY(playsPast(0.1));
        QCOMPARE(mpvProperty("sid"), QStringLiteral("no"));
        manager->selectTrack(MediaTrack::Kind::subtitle, 1);
        QTRY_COMPARE_WITH_TIMEOUT(mpvProperty("sid"), QStringLiteral("1"), timeoutMs);
        QVERIFY(playsPast(manager->currentTime() + 0.5));
        QCOMPARE(mpvProperty("sid"), QStringLiteral("1"));

        // Turned off in a film whose speech would show them: it comes back without.
        options.trackLanguages = {"ja", "jpn"};
        manager = std::make_unique<PlayerManager>(options);
        ResumeStore store(folder->filePath("state/positions.json"));
        const QUrl film = place("english-speech.mkv", "film.mkv");
        store.remember(QFile::encodeName(film.toLocalFile()), QFileInfo(film.toLocalFile()).size(),
                       {1, std::nullopt, 0});
        manager->setResumeStore(&store);
        manager->loadMedia(film);
        QVERIFY(playsPast(0.3));
        QCOMPARE(mpvProperty("sid"), QStringLiteral("no"));
    }

    void subtitlesBesideAFilmOrDroppedOnItAreShown() {
        MpvEngine::Options options = test_support::headlessEngine();
        options.trackLanguages = {"en", "eng"};
        manager = std::make_unique<PlayerManager>(options);
        const QUrl film = place("clip.mp4", "film.mp4");
        for (const char *name : {"film.en.srt", "extra.srt"}) {
            QFile subtitle(folder->filePath(name));
            QVERIFY(subtitle.open(QIODevice::WriteOnly));
            subtitle.write("1\n00:00:00,000 --> 00:00:05,000\nHello\n");
        }
        manager->loadMedia(film);
        QVERIFY(playsPast(0.1));
        QCOMPARE(mpvProperty("sid"), QStringLiteral("1"));
        QCOMPARE(mpvProperty("current-tracks/sub/external"), QStringLiteral("yes"));

        // Dropped on the playing film: added and shown, the film goes on.
        const std::shared_ptr<MediaPlayer> player = manager->player();
        manager->openFile(QUrl::fromLocalFile(folder->filePath("extra.srt")));
        QTRY_COMPARE_WITH_TIMEOUT(mpvProperty("sid"), QStringLiteral("2"), timeoutMs);
        QCOMPARE(manager->player(), player);
        QCOMPARE(manager->currentURL(), film);

        // Given to a song, or to no file at all, a subtitle file changes nothing.
        const QUrl subtitles = QUrl::fromLocalFile(folder->filePath("extra.srt"));
        manager->loadMedia(fixtureUrl("long.mp3"));
        QVERIFY(playsPast(0.1));
        const std::shared_ptr<MediaPlayer> song = manager->player();
        const qsizetype listed = manager->playlist().size();
        manager->openFile(subtitles);
        QCOMPARE(manager->player(), song);
        QCOMPARE(manager->currentURL(), fixtureUrl("long.mp3"));
        QCOMPARE(manager->playlist().size(), listed);
        QVERIFY(manager->loadError().isEmpty());
        QVERIFY(manager->isPlaying());
        PlayerManager empty(test_support::headlessEngine());
        empty.openFile(subtitles);
        QVERIFY(!empty.player());
    }

    void badFilesSayWhyAndDoNotPlay_data() {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("name");
        QTest::addColumn<LoadError::Reason>("reason");
        QTest::newRow("empty") << "empty.mp3"
                               << "empty.mp3" << LoadError::Reason::empty;
        QTest::newRow("random bytes") << "random.mp3"
                                      << "random.mp3" << LoadError::Reason::unknownFormat;
        QTest::newRow("text as video") << "text.mkv"
                                       << "clip.mkv" << LoadError::Reason::unknownFormat;
        QTest::newRow("folder") << ""
                                << "folder.mp3" << LoadError::Reason::isFolder;
        QTest::newRow("fifo") << ""
                              << "fifo.mp3" << LoadError::Reason::notRegularFile;
        QTest::newRow("below a file") << ""
                                      << "empty.mp3/song.mp3" << LoadError::Reason::notFound;
    }
    void badFilesSayWhyAndDoNotPlay() {
        QFETCH(QString, fixture);
        QFETCH(QString, name);
        QFETCH(LoadError::Reason, reason);
        manager->setRepeatMode(RepeatMode::allRepeat);
        place("empty.mp3", "empty.mp3");
        QVERIFY(QDir(folder->path()).mkdir("folder.mp3"));
        QCOMPARE(mkfifo(QFile::encodeName(folder->filePath("fifo.mp3")).constData(), 0600), 0);
        const QUrl file =
            fixture.isEmpty() ? QUrl::fromLocalFile(folder->filePath(name)) : place(fixture, name);
        manager->loadMedia(file);
        QTRY_COMPARE_WITH_TIMEOUT(manager->loadError().reason, reason, timeoutMs);
        QVERIFY(manager->player());
        QCOMPARE(manager->currentURL(), file);
        // A file that fails is not playing, and cannot be made to.
        QVERIFY(!manager->isPlaying());
        manager->togglePlayPause();
        QVERIFY(!manager->isPlaying());
    }

    void unreadableFilesSayPermissionDenied() {
        if (const std::optional<bool> passed =
                test_support::passesAsOrdinaryUser("unreadableFilesSayPermissionDenied")) {
            QVERIFY(*passed);
            return;
        }
        QTemporaryDir mine;
        const QUrl locked = test_support::placeFixture("tone.mp3", mine.path(), "locked.mp3");
        QVERIFY(QFile::setPermissions(locked.toLocalFile(), QFileDevice::WriteOwner));
        QVERIFY(QDir(mine.path()).mkdir("closed"));
        const QUrl inClosed =
            test_support::placeFixture("tone.mp3", mine.filePath("closed"), "a.mp3");
        QVERIFY(QFile::setPermissions(mine.filePath("closed"), QFileDevice::WriteOwner));
        for (const QUrl &file : {locked, inClosed}) {
            manager->loadMedia(file);
            QTRY_COMPARE_WITH_TIMEOUT(manager->loadError().reason,
                                      LoadError::Reason::permissionDenied, timeoutMs);
        }
        QVERIFY(QFile::setPermissions(mine.filePath("closed"), QFileDevice::ReadOwner |
                                                                   QFileDevice::WriteOwner |
                                                                   QFileDevice::ExeOwner));
    }

    void fileCutShortWhilePlayingSaysSo_data() {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("seekToTheEnd");
        QTest::newRow("cut, played on to the cut") << qint64(4096) << false;
        QTest::newRow("emptied, then sought to the end") << qint64(0) << true;
    }
    void fileCutShortWhilePlayingSaysSo() {
        QFETCH(qint64, size);
        QFETCH(bool, seekToTheEnd);
        const QUrl song = place("long.mp3", "long.mp3");
        manager->loadMedia(song);
        QVERIFY(playsPast(0.2));
        QVERIFY(QFile::resize(song.toLocalFile(), size));
        if (seekToTheEnd)
            manager->seek(manager->duration() - 0.1);
        QTRY_COMPARE_WITH_TIMEOUT(manager->loadError().reason,
                                  LoadError::Reason::changedWhilePlaying, timeoutMs);
        QVERIFY(!manager->isPlaying());
        QCOMPARE(manager->currentURL(), song);
    }

    void aCoverReadAfterTheSongWasLeftIsDropped() {
        // A cache of this test's own, where the cover read is seen to have ended.
        const QString cache = folder->filePath("cache");
        const QByteArray previous = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
        const auto restore = qScopeGuard([&] {
            if (previous.isEmpty())
                qunsetenv("XDG_CACHE_HOME");
            else
                qputenv("XDG_CACHE_HOME", previous);
        });
        // A cover that takes a while to read, and a song without one straight after.
        manager->loadMedia(fixtureUrl("huge-cover.mp3"));
        manager->loadMedia(place("tone.mp3", "plain.mp3"));
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(cache + "/sonavel/covers").isEmpty(), 2 * timeoutMs);
        // Its report, were it taken, arrives right after.
        QTest::qWait(200);
        QVERIFY(manager->coverArt().image.isNull());
        QCOMPARE(manager->fileName(), QStringLiteral("plain.mp3"));
    }

    void anAlbumGoesOnPastFilesThatCannotPlay() {
        const QUrl first = place("tone.mp3", "a.mp3");
        place("empty.mp3", "b.mp3");
        place("random.mp3", "c.mp3");
        place("text.mkv", "d.mp3");
        const QUrl last = place("tone.wav", "e.mp3");
        // What can never play is not listed: a folder, a pipe, a link to a folder.
        QVERIFY(QDir(folder->path()).mkdir("f.mp3"));
        QCOMPARE(mkfifo(QFile::encodeName(folder->filePath("g.mp3")).constData(), 0600), 0);
        QVERIFY(QFile::link(folder->path(), folder->filePath("h.mp3")));
        QVERIFY(QFile::link(folder->filePath("gone"), folder->filePath("i.mp3")));
        manager->setRepeatMode(RepeatMode::all);
        manager->loadMedia(first);
        QCOMPARE(manager->playlist().size(), 6);
        QCOMPARE(manager->playlist().at(4), last);

        // The song ends, three broken files are passed by, the last good one plays, and the
        // link that leads nowhere ends the album with its error.
        QTRY_COMPARE_WITH_TIMEOUT(manager->currentIndex(), 4, 3 * timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(manager->duration() > 0.5, timeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(manager->currentIndex(), 5, timeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(manager->loadError().reason, LoadError::Reason::notFound,
                                  timeoutMs);

        // In "repeat all", with the good songs gone bad meanwhile (the playing one goes on from
        // what it opened): once round, then it stays on the last error.
        manager->setRepeatMode(RepeatMode::allRepeat);
        manager->loadMedia(last);
        QTRY_VERIFY_WITH_TIMEOUT(manager->duration() > 0.5, timeoutMs);
        for (const QString name : {"a.mp3", "e.mp3"}) {
            QVERIFY(QFile::remove(folder->filePath(name)));
            place("empty.mp3", name);
        }
        QTRY_VERIFY_WITH_TIMEOUT(manager->currentIndex() == 4 && !manager->loadError().isEmpty(),
                                 4 * timeoutMs);
        const quint64 stopped = manager->loadSerial();
        QTest::qWait(300);
        QCOMPARE(manager->loadSerial(), stopped);
    }

    void aSongGoneBeforeItsTurnSaysSoAsALoadWould() {
        // Queued behind a long song, then deleted before mpv reaches it: it is not found, and,
        // no longer listed, ends "play all" there.
        const QUrl first = place("long.mp3", "a.mp3");
        const QUrl gone = place("tone.wav", "b.mp3");
        place("tone.mp3", "c.mp3");
        manager->setRepeatMode(RepeatMode::all);
        manager->loadMedia(first);
        QTRY_VERIFY_WITH_TIMEOUT(manager->duration() > 50, timeoutMs);
        QVERIFY(QFile::remove(gone.toLocalFile()));
        manager->seek(manager->duration() - 0.5);
        QTRY_COMPARE_WITH_TIMEOUT(manager->currentURL(), gone, 2 * timeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(manager->loadError().reason, LoadError::Reason::notFound,
                                  timeoutMs);
        QCOMPARE(manager->currentIndex(), -1);
        QVERIFY(!manager->isPlaying());
    }

    void aPauseWhileTheEndIsHeardHoldsUntilPlayedOn() {
        // mpv has read the whole file and the output still plays its end: a pause now is the
        // person's, not the end, and the end comes once they play on.
        manager->setRepeatMode(RepeatMode::off);
        manager->loadMedia(fixtureUrl("tone.wav"));
        QTRY_VERIFY_WITH_TIMEOUT(mpvProperty("eof-reached") == "yes", timeoutMs);
        manager->pause();
        QSignalSpy ends(manager->player().get(), &MediaPlayer::playedToEnd);
        QVERIFY(!ends.wait(1000));
        QVERIFY(!manager->isStopped());
        manager->play();
        QTRY_VERIFY_WITH_TIMEOUT(manager->isStopped(), timeoutMs);
        QCOMPARE(ends.size(), 1);
    }

    void aLateChangeOfRepeatModeStillDecides() {
        const QUrl first = place("long.mp3", "a.mp3");
        const QUrl second = place("tone.mp3", "b.mp3");
        manager->setRepeatMode(RepeatMode::all);
        manager->loadMedia(first);
        QTRY_VERIFY_WITH_TIMEOUT(manager->duration() > 50, timeoutMs);
        // In the last second, after the next song was queued: the song stops at its end.
        manager->seek(manager->duration() - 1);
        QTRY_VERIFY_WITH_TIMEOUT(manager->currentTime() > manager->duration() - 0.9, timeoutMs);
        manager->setRepeatMode(RepeatMode::off);
        QTRY_VERIFY_WITH_TIMEOUT(manager->isStopped(), timeoutMs);
        QCOMPARE(manager->currentURL(), first);

        // From "repeat one" to "play all" in the last second: it moves on after all.
        manager->setRepeatMode(RepeatMode::one);
        manager->play();
        manager->seek(manager->duration() - 1);
        QTRY_VERIFY_WITH_TIMEOUT(manager->currentTime() > manager->duration() - 0.9, timeoutMs);
        manager->setRepeatMode(RepeatMode::all);
        QTRY_COMPARE_WITH_TIMEOUT(manager->currentURL(), second, timeoutMs);
        QCOMPARE(manager->currentIndex(), 1);
        QVERIFY(playsPast(0.2));
    }

    void folderOfBrokenFilesDoesNotSpinInAllRepeat() {
        manager->setRepeatMode(RepeatMode::allRepeat);
        place("text.mkv", "a.mp3");
        place("empty.mp3", "b.mp3");
        const QUrl first = place("random.mp3", "c.mp3");
        QVERIFY(QDir(folder->path()).mkdir("d.mp3"));
        QSignalSpy changes(manager.get(), &PlayerManager::objectWillChange);
        for (const QString name : {"a.mp3", "b.mp3", "d.mp3"}) {
            manager->loadMedia(QUrl::fromLocalFile(folder->filePath(name)));
            QTRY_VERIFY_WITH_TIMEOUT(!manager->loadError().isEmpty(), timeoutMs);
            const std::shared_ptr<MediaPlayer> broken = manager->player();
            // Whatever mpv makes of it, an error is not an end: nothing moves on by itself.
            QTest::qWait(300);
            QCOMPARE(manager->player(), broken);
        }
        Q_UNUSED(first);
    }

    void foldersGivenAsFilesAreNamed() {
        QVERIFY(QDir(folder->path()).mkdir("Music"));
        for (const auto &[url, name] :
             {std::pair{QUrl::fromLocalFile(folder->filePath("Music/")), QStringLiteral("Music")},
              std::pair{QUrl::fromLocalFile(folder->filePath("Music//")), QStringLiteral("Music")},
              std::pair{QUrl::fromLocalFile("/"), QStringLiteral("/")}}) {
            manager->loadMedia(url);
            QCOMPARE(manager->fileName(), name);
            QTRY_COMPARE_WITH_TIMEOUT(manager->loadError().reason, LoadError::Reason::isFolder,
                                      timeoutMs);
        }
    }

    void missingFileAndUnlistableFolder() {
        const QUrl gone = QUrl::fromLocalFile(folder->filePath("vanished/song.mp3"));
        manager->loadMedia(gone);
        QCOMPARE(manager->playlist(), QList<QUrl>{gone});
        QCOMPARE(manager->currentIndex(), 0);
        QVERIFY(!manager->hasPrevious() && !manager->hasNext());
        QTRY_COMPARE_WITH_TIMEOUT(manager->loadError().reason, LoadError::Reason::notFound,
                                  timeoutMs);

        // A file whose folder disappears after it was opened.
        QTemporaryDir doomed;
        const QUrl song = test_support::placeFixture("tone.mp3", doomed.path(), "x.mp3");
        manager->loadMedia(song);
        QVERIFY(doomed.remove());
        manager->loadMedia(song);
        QCOMPARE(manager->playlist(), QList<QUrl>{song});
        QCOMPARE(manager->currentIndex(), 0);
    }

    void nothingRemoteIsEverOpened() {
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        const QString address =
            QStringLiteral("http://127.0.0.1:%1/song.mp3").arg(listener.serverPort());

        QFile list(folder->filePath("list.m3u"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(QStringLiteral("#EXTM3U\n%1\n").arg(address).toUtf8());
        list.close();
        QFile pls(folder->filePath("list.pls"));
        QVERIFY(pls.open(QIODevice::WriteOnly));
        pls.write(
            QStringLiteral("[playlist]\nFile1=%1\nNumberOfEntries=1\n").arg(address).toUtf8());
        pls.close();

        for (const QUrl &url : {QUrl::fromLocalFile(list.fileName()),
                                QUrl::fromLocalFile(pls.fileName()), QUrl(address)}) {
            manager->loadMedia(url);
            QTRY_VERIFY_WITH_TIMEOUT(!manager->loadError().isEmpty(), timeoutMs);
        }
        // Give a stray connection the time to arrive, then check none did.
        QVERIFY(!listener.waitForNewConnection(500));
        QVERIFY(!listener.hasPendingConnections());
    }

    void playsWithoutASoundDevice() {
        MpvEngine::Options automatic = test_support::headlessEngine();
        automatic.audioOutput.clear();
        manager = std::make_unique<PlayerManager>(automatic);
        manager->setRepeatMode(RepeatMode::off);
        manager->loadMedia(fixtureUrl("tone.mp3"));
        QVERIFY(playsPast(0.2));
        QTRY_VERIFY_WITH_TIMEOUT(!manager->isPlaying(), timeoutMs);
        QVERIFY(manager->loadError().isEmpty());
    }

    void manyLoadsInARow() {
        const QList<QUrl> files{fixtureUrl("tone.mp3"), fixtureUrl("clip.mp4"),
                                QUrl::fromLocalFile(folder->filePath("missing.wav")),
                                fixtureUrl("text.mkv"), fixtureUrl("tone.m4a")};
        for (int i = 0; i < 200; ++i) {
            manager->loadMedia(files[i % files.size()]);
            if (i % 7 == 0)
                QCoreApplication::processEvents();
        }
        QCOMPARE(manager->currentURL(), files.last());
        QVERIFY(playsPast(0.2));
        QVERIFY(manager->loadError().isEmpty());
    }

    // Waits until the loaded file's length is known and it plays at `seconds` or later.
    bool playsAt(double seconds) {
        if (!QTest::qWaitFor([&] { return manager->duration() > 0; }, timeoutMs))
            return false;
        manager->seek(seconds);
        return QTest::qWaitFor([&] { return manager->currentTime() >= seconds; }, timeoutMs);
    }

    void aLongFileContinuesWhereItWasLeftWithItsTracks() {
        MpvEngine::Options options = test_support::headlessEngine();
        options.trackLanguages = {"en", "eng"};
        manager = std::make_unique<PlayerManager>(options);
        ResumeStore store(folder->filePath("state/positions.json"));
        manager->setResumeStore(&store);
        const QUrl film = place("six-minutes.mkv", "film.mkv");
        const QUrl recording = place("four-minutes.mp3", "talk.mp3");
        const QByteArray filmPath = QFile::encodeName(film.toLocalFile());

        // Left for another file, with the Japanese sound and no subtitles chosen.
        manager->loadMedia(film);
        QVERIFY(!manager->resumeOffer());
        QVERIFY(playsAt(120));
        manager->selectTrack(MediaTrack::Kind::audio, 2);
        manager->selectTrack(MediaTrack::Kind::subtitle, 0);
        QTRY_COMPARE_WITH_TIMEOUT(mpvProperty("aid"), QStringLiteral("2"), timeoutMs);
        manager->loadMedia(recording);
        const std::optional<ResumePoint> kept =
            ResumeStore(store.filePath()).find(filmPath, QFileInfo(film.toLocalFile()).size());
        QVERIFY(kept);
        QVERIFY(qAbs(kept->seconds - 120) < 5);
        QCOMPARE(kept->audioTrack, std::optional<int64_t>(2));
        QCOMPARE(kept->subtitleTrack, std::optional<int64_t>(0));
        // Under five minutes: never kept.
        QVERIFY(playsAt(120));
        manager->loadMedia(film);
        QVERIFY(!store.find(QFile::encodeName(recording.toLocalFile()),
                            QFileInfo(recording.toLocalFile()).size()));

        // Opened again: it plays from the start with the tracks chosen before, and offers
        // the place it was left; taking the offer jumps there for all to see.
        QCOMPARE(manager->resumeOffer(), std::optional<double>(kept->seconds));
        QVERIFY(playsPast(0.2));
        QVERIFY(manager->currentTime() < 30);
        QTRY_COMPARE_WITH_TIMEOUT(mpvProperty("aid"), QStringLiteral("2"), timeoutMs);
        QCOMPARE(mpvProperty("sid"), QStringLiteral("no"));
        QSignalSpy seeked(manager.get(), &PlayerManager::seeked);
        manager->takeResumeOffer();
        QVERIFY(!manager->resumeOffer());
        QVERIFY(seeked.wait(timeoutMs));
        QVERIFY(qAbs(seeked.last().first().toDouble() - kept->seconds) < 1);
        QTRY_VERIFY_WITH_TIMEOUT(manager->currentTime() >= kept->seconds, timeoutMs);

        // Stopped in the credits: finished, so forgotten.
        QVERIFY(playsAt(340));
        manager->stop();
        QVERIFY(
            !ResumeStore(store.filePath()).find(filmPath, QFileInfo(film.toLocalFile()).size()));
    }

    void anOfferNotTakenLetsTheFilePlayOn() {
        ResumeStore store(folder->filePath("state/positions.json"));
        manager->setResumeStore(&store);
        const QUrl film = place("six-minutes.mkv", "film.mkv");
        const QByteArray filmPath = QFile::encodeName(film.toLocalFile());
        const qint64 size = QFileInfo(film.toLocalFile()).size();
        store.remember(filmPath, size, {200, {}, {}});

        // Left in its first 30 seconds: what was kept stays.
        manager->loadMedia(film);
        QVERIFY(manager->resumeOffer());
        QVERIFY(playsPast(0.2));
        manager->loadMedia(fixtureUrl("tone.mp3"));
        QCOMPARE(store.find(filmPath, size)->seconds, 200.0);

        // A seek elsewhere declines it.
        manager->loadMedia(film);
        QVERIFY(manager->resumeOffer());
        QVERIFY(playsAt(40));
        QVERIFY(!manager->resumeOffer());

        // Nothing done: the offer goes by itself and the film plays on from its start.
        manager->loadMedia(film);
        QVERIFY(manager->resumeOffer());
        QTRY_VERIFY_WITH_TIMEOUT(!manager->resumeOffer(), PlayerManager::resumeOfferMs + timeoutMs);
        QVERIFY(manager->currentTime() < 30);
        QVERIFY(manager->isPlaying());

        // Taken at once, before the film has even loaded: it still jumps.
        manager->loadMedia(fixtureUrl("tone.mp3"));
        store.remember(filmPath, size, {200, {}, {}});
        manager->loadMedia(film);
        manager->takeResumeOffer();
        QTRY_VERIFY_WITH_TIMEOUT(manager->currentTime() >= 200 && manager->isPlaying(), timeoutMs);
        QVERIFY(playsPast(201));

        // A place the film does not have is not offered.
        manager->loadMedia(fixtureUrl("tone.mp3"));
        store.remember(filmPath, size, {5000, {}, {}});
        manager->loadMedia(film);
        QTRY_VERIFY_WITH_TIMEOUT(manager->duration() > 0, timeoutMs);
        QVERIFY(!manager->resumeOffer());

        // Another film put in its place is not resumed.
        manager->loadMedia(fixtureUrl("tone.mp3"));
        place("long.mp4", "film.mkv");
        manager->loadMedia(film);
        QVERIFY(!manager->resumeOffer());
    }

    void destroyingTheManagerStopsPlayback() {
        manager->loadMedia(fixtureUrl("tone.wav"));
        QVERIFY(playsPast(0.1));
        std::weak_ptr<MediaPlayer> player = manager->player();
        manager.reset();
        QVERIFY(player.expired());
    }
};

SONAVEL_TEST_MAIN(PlayerManagerTest, QCoreApplication)
#include "tst_player_manager.moc"
