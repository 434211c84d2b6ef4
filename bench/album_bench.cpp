// What is heard of an album, through a PulseAudio server of the benchmark's own (null sink,
// monitor recorded): how much of each song, and the silence between songs, for Sonavel and for
// bare mpv given the same files on its own playlist.
//   album_bench sonavel FILE...   plays the folder of the first file in "play all"
//   album_bench mpv FILE...       runs `mpv --no-config --no-video --ao=pulse FILE...`
// The files are rising tones made as the tests' album fixtures are (song k at 300 + 600k Hz).
#include "playback/player_manager.h"
#include "support/heard_sound.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>

namespace {

std::vector<heard_sound::Stretch> hearSonavel(const QStringList &files,
                                              heard_sound::SoundServer &sound) {
    MpvEngine::Options options;
    options.videoOutput = "null";
    options.audioOutput = "pulse";
    PlayerManager manager(options);
    manager.setRepeatMode(RepeatMode::all);
    sound.startRecording();
    manager.loadMedia(QUrl::fromLocalFile(QFileInfo(files.first()).absoluteFilePath()));
    if (!QTest::qWaitFor([&] { return manager.isStopped(); }, 120000))
        std::fprintf(stderr, "album_bench: the album did not end within two minutes\n");
    QTest::qWait(300);
    return heard_sound::stretches(sound.stopRecording());
}

std::vector<heard_sound::Stretch> hearMpv(const QStringList &files,
                                          heard_sound::SoundServer &sound) {
    sound.startRecording();
    QProcess mpv;
    mpv.start("mpv",
              QStringList{"--no-config", "--no-video", "--ao=pulse", "--really-quiet"} + files);
    mpv.waitForFinished(120000);
    QTest::qWait(300);
    return heard_sound::stretches(sound.stopRecording());
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: album_bench sonavel|mpv FILE...\n");
        return 2;
    }
    const QString who = arguments.takeFirst();
    heard_sound::SoundServer sound;
    if (!sound.start()) {
        std::fprintf(stderr, "album_bench: needs pulseaudio and parec\n");
        return 1;
    }
    const std::vector<heard_sound::Stretch> heard =
        who == "mpv" ? hearMpv(arguments, sound) : hearSonavel(arguments, sound);

    // Each song's part: where its pitch was first and last heard.
    double total = 0;
    QStringList silences;
    for (const heard_sound::Stretch &stretch : heard) {
        total += stretch.length;
        if (stretch.silenceAfter >= 0)
            silences << QString::number(stretch.silenceAfter * 1000, 'f', 1);
    }
    std::printf("%s: %.2f s heard of %lld songs in %zu stretches; silences between them: %s ms; "
                "last song heard to %.3f s\n",
                qPrintable(who), total, qint64(arguments.size()), heard.size(),
                silences.isEmpty() ? "none" : qPrintable(silences.join(", ")),
                heard.empty() ? 0.0 : heard.back().lastSongTo);
    for (const heard_sound::Stretch &stretch : heard)
        std::printf("  from song %d at %.3f s to song %d at %.3f s\n", stretch.firstSong + 1,
                    stretch.firstSongFrom, stretch.lastSong + 1, stretch.lastSongTo);
    return 0;
}
