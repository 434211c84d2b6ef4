// loadPlaylist on a folder of 10,000 entries, 5,000 of them audio.
#include "playback/player_manager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QString entryName(int i) {
    const char *audio[] = {"mp3", "m4a", "WAV"};
    const char *other[] = {"txt", "jpg", "flac", "cue", "nfo"};
    return i % 2 == 0 ? QStringLiteral("Track %1 - Artist.%2").arg(i).arg(audio[i % 3])
                      : QStringLiteral("file %1.%2").arg(i).arg(other[i % 5]);
}

QString makeFolder(const QTemporaryDir &folder) {
    for (int i = 0; i < 10000; ++i)
        QFile(QDir(folder.path()).filePath(entryName(i))).open(QIODevice::WriteOnly);
    return QDir(folder.path()).filePath(entryName(5000));
}

void loadPlaylistOn10000Entries(benchmark::State &state) {
    QTemporaryDir folder;
    const QUrl loaded = QUrl::fromLocalFile(makeFolder(folder));
    PlayerManager manager;
    for (auto _ : state) {
        manager.loadPlaylist(loaded);
        benchmark::DoNotOptimize(manager.currentIndex());
    }
    if (manager.playlist().size() != 5000 || manager.currentIndex() < 0)
        state.SkipWithError("wrong playlist");
}
BENCHMARK(loadPlaylistOn10000Entries)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
