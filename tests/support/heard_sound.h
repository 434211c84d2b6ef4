#pragma once

// Listening to what Sonavel plays: a PulseAudio server of the test's own whose only sink is a
// null sink, its monitor recorded; and reading the recording back as the rising tones the album
// fixtures are made of, where the pitch tells which song and how far into it.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace heard_sound {

constexpr int rate = 48000;

// Song k of the album fixtures sounds at 300 + 600k Hz rising 100 Hz a second: three seconds
// never overlap another song's pitch (tests/make_fixtures.sh makes them).
constexpr double baseHz(int song) {
    return 300 + 600 * song;
}
constexpr double risePerSecond = 100;

class SoundServer {
public:
    SoundServer() = default;
    SoundServer(const SoundServer &) = delete;
    SoundServer &operator=(const SoundServer &) = delete;
    ~SoundServer() {
        stopRecording();
        server_.kill();
        server_.waitForFinished();
    }

    // Starts the server and points this process's sound at it; false when PulseAudio is missing.
    bool start() {
        if (QStandardPaths::findExecutable("pulseaudio").isEmpty() ||
            QStandardPaths::findExecutable("parec").isEmpty())
            return false;
        const QString socket = folder_.filePath("native");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // Its own runtime and home, never the user's or another test's server.
        environment.insert("XDG_RUNTIME_DIR", folder_.path());
        environment.insert("HOME", folder_.path());
        server_.setProcessEnvironment(environment);
        server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server_.start("pulseaudio",
                      {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                       "--disallow-exit", "--log-level=error",
                       QStringLiteral("--load=module-null-sink sink_name=heard rate=%1").arg(rate),
                       QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 "
                                      "socket=%1")
                           .arg(socket)});
        if (!server_.waitForStarted())
            return false;
        qputenv("PULSE_SERVER", ("unix:" + socket).toLocal8Bit());
        return QTest::qWaitFor([&] { return QFile::exists(socket); }, 10000);
    }

    // Records the sink's monitor from now on, in mono at `rate`.
    bool startRecording() {
        recordingPath_ = folder_.filePath("heard.raw");
        QFile::remove(recordingPath_);
        recorder_.start("parec", {"--device=heard.monitor", "--format=s16le",
                                  QStringLiteral("--rate=%1").arg(rate), "--channels=1", "--raw",
                                  "--latency-msec=20", recordingPath_});
        // The monitor sends silence as soon as it records.
        return recorder_.waitForStarted() &&
               QTest::qWaitFor([&] { return QFileInfo(recordingPath_).size() > 0; }, 10000);
    }

    std::vector<int16_t> stopRecording() {
        if (recorder_.state() == QProcess::NotRunning)
            return {};
        recorder_.terminate();
        recorder_.waitForFinished();
        QFile file(recordingPath_);
        std::vector<int16_t> samples;
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            samples.resize(size_t(bytes.size()) / 2);
            std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
        }
        return samples;
    }

private:
    QTemporaryDir folder_;
    QProcess server_;
    QProcess recorder_;
    QString recordingPath_;
};

// An unbroken stretch of sound: where it lies in the recording, and which song it began and
// ended in, at what time of that song.
struct Stretch {
    double at = 0;
    double length = 0;
    int firstSong = -1;
    double firstSongFrom = 0;
    int lastSong = -1;
    double lastSongTo = 0;
    double silenceAfter = -1; // seconds until the next stretch; -1 after the last
};

// The pitch between samples `from` and `to`, from the zero crossings it holds.
inline double pitchHz(const std::vector<int16_t> &samples, size_t from, size_t to) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t i = from + 1; i < to && i < samples.size(); ++i) {
        if ((samples[i - 1] < 0) == (samples[i] < 0))
            continue;
        const double where = double(i - 1) + double(samples[i - 1]) / (samples[i - 1] - samples[i]);
        if (first < 0)
            first = where;
        last = where;
        ++crossings;
    }
    return crossings > 1 ? (crossings - 1) / (2 * (last - first) / rate) : 0;
}

// Which song a pitch belongs to and at what time of it.
inline std::pair<int, double> songAt(double hz) {
    const int song = int(std::lround((hz - baseHz(0) - 150) / 600));
    return {song, (hz - baseHz(song)) / risePerSecond};
}

// The stretches of sound in `samples`: silence is any 3 ms without a sample above -30 dB.
inline std::vector<Stretch> stretches(const std::vector<int16_t> &samples) {
    constexpr int loud = 1000;
    constexpr size_t shortestSilence = rate * 3 / 1000;
    constexpr size_t window = rate / 50;
    std::vector<std::pair<size_t, size_t>> runs;
    std::optional<size_t> start;
    size_t lastLoud = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(int(samples[i])) <= loud)
            continue;
        if (!start) {
            start = i;
        } else if (i - lastLoud > shortestSilence) {
            runs.emplace_back(*start, lastLoud);
            start = i;
        }
        lastLoud = i;
    }
    if (start)
        runs.emplace_back(*start, lastLoud);

    std::vector<Stretch> result;
    for (size_t k = 0; k < runs.size(); ++k) {
        const auto [from, to] = runs[k];
        if (to - from < 2 * window)
            continue; // a click, not a song
        Stretch stretch;
        stretch.at = double(from) / rate;
        stretch.length = double(to - from) / rate;
        const auto [firstSong, firstAt] = songAt(pitchHz(samples, from, from + window));
        const auto [lastSong, lastAt] = songAt(pitchHz(samples, to - window, to));
        stretch.firstSong = firstSong;
        // The pitch is measured over a window: its middle, not its edge.
        stretch.firstSongFrom = firstAt - 0.5 * window / rate;
        stretch.lastSong = lastSong;
        stretch.lastSongTo = lastAt + 0.5 * window / rate;
        if (!result.empty())
            result.back().silenceAfter = stretch.at - (result.back().at + result.back().length);
        result.push_back(stretch);
    }
    return result;
}

// Joins stretches split only by a moment of silence inside one song, where the output ran dry
// on a busy machine and went on from where it stopped; a silence that skips or changes songs
// keeps them apart.
inline std::vector<Stretch> withoutDropouts(const std::vector<Stretch> &heard) {
    std::vector<Stretch> joined;
    for (const Stretch &stretch : heard) {
        if (!joined.empty()) {
            Stretch &before = joined.back();
            if (before.lastSong == stretch.firstSong &&
                std::abs(stretch.firstSongFrom - before.lastSongTo) < 0.03) {
                before.length = stretch.at + stretch.length - before.at;
                before.lastSongTo = stretch.lastSongTo;
                before.silenceAfter = stretch.silenceAfter;
                continue;
            }
        }
        joined.push_back(stretch);
    }
    return joined;
}

inline QString describe(const std::vector<Stretch> &heard) {
    QString text;
    for (const Stretch &stretch : heard)
        text += QStringLiteral("[%1 s: song %2 from %3 s to song %4 at %5 s, then %6 ms silent] ")
                    .arg(stretch.at, 0, 'f', 3)
                    .arg(stretch.firstSong)
                    .arg(stretch.firstSongFrom, 0, 'f', 3)
                    .arg(stretch.lastSong)
                    .arg(stretch.lastSongTo, 0, 'f', 3)
                    .arg(stretch.silenceAfter * 1000, 0, 'f', 1);
    return text;
}

} // namespace heard_sound
