#include "playback/resume_store.h"

#include "playback/sync_offset.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int formatVersion = 1;
// Beyond any file or film: a number past these was not written by Sonavel.
constexpr double largestSize = 0x1p62;
constexpr double latestSeconds = 1e7;

std::optional<int64_t> trackFrom(const QJsonValue &value) {
    if (!value.isDouble() || value.toDouble() < 0 || value.toDouble() > 1e9)
        return std::nullopt;
    return int64_t(value.toDouble());
}

// Only a regular file of the user's own is the state file: a link would lead reads and writes
// elsewhere, into a file of another purpose or another folder.
bool isOwnRegularFile(const QString &path) {
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISREG(status.st_mode) &&
           status.st_uid == ::geteuid();
}

} // namespace

ResumeStore::ResumeStore(QString filePath) : filePath_(std::move(filePath)) {}

QString ResumeStore::defaultFilePath() {
    // Only an absolute XDG_STATE_HOME counts, as freedesktop.org's base directory rules say.
    QString folder = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(folder))
        folder = QDir::homePath() + QStringLiteral("/.local/state");
    return folder + QStringLiteral("/sonavel/positions.json");
}

void ResumeStore::load() {
    if (loaded_)
        return;
    loaded_ = true;
    QFile file(filePath_);
    if (!isOwnRegularFile(filePath_) || file.size() > largestFileBytes ||
        !file.open(QIODevice::ReadOnly))
        return;
    const QJsonObject root = QJsonDocument::fromJson(file.read(largestFileBytes)).object();
    if (root.value(QStringLiteral("format")).toInt() != formatVersion)
        return;
    const QJsonArray files = root.value(QStringLiteral("files")).toArray();
    for (const QJsonValue &value : files) {
        const QJsonObject object = value.toObject();
        Entry entry;
        entry.location =
            QByteArray::fromBase64(object.value(QStringLiteral("location")).toString().toLatin1(),
                                   QByteArray::AbortOnBase64DecodingErrors);
        // Checked as numbers first: converting one out of range is undefined.
        const double size = object.value(QStringLiteral("size")).toDouble(-1);
        entry.point.seconds = object.value(QStringLiteral("seconds")).toDouble(-1);
        if (!(size >= 0 && size <= largestSize) || !(entry.point.seconds <= latestSeconds))
            continue;
        entry.size = qint64(size);
        entry.point.audioTrack = trackFrom(object.value(QStringLiteral("audio")));
        entry.point.subtitleTrack = trackFrom(object.value(QStringLiteral("subtitle")));
        entry.point.subtitleDelay =
            sync_offset::bounded(object.value(QStringLiteral("subtitleDelay")).toDouble());
        entry.point.audioDelay =
            sync_offset::bounded(object.value(QStringLiteral("audioDelay")).toDouble());
        if (!entry.location.startsWith('/') || entry.size < 0 ||
            !std::isfinite(entry.point.seconds) || entry.point.seconds < 0 ||
            indexOf(entry.location, entry.size) >= 0)
            continue;
        entries_.append(std::move(entry));
        if (entries_.size() == capacity)
            break;
    }
}

qsizetype ResumeStore::indexOf(const QByteArray &location, qint64 size) const {
    for (qsizetype index = 0; index < entries_.size(); ++index) {
        if (entries_[index].size == size && entries_[index].location == location)
            return index;
    }
    return -1;
}

std::optional<ResumePoint> ResumeStore::find(const QByteArray &location, qint64 size) {
    load();
    const qsizetype index = indexOf(location, size);
    if (index < 0)
        return std::nullopt;
    return entries_[index].point;
}

void ResumeStore::remember(const QByteArray &location, qint64 size, const ResumePoint &point) {
    load();
    const qsizetype index = indexOf(location, size);
    if (index == 0 && entries_.first().point == point)
        return;
    if (index >= 0)
        entries_.remove(index);
    entries_.prepend({location, size, point});
    if (entries_.size() > capacity)
        entries_.resize(capacity);
    changed_ = true;
}

void ResumeStore::forget(const QByteArray &location, qint64 size) {
    load();
    const qsizetype index = indexOf(location, size);
    if (index < 0)
        return;
    entries_.remove(index);
    changed_ = true;
}

qsizetype ResumeStore::count() {
    load();
    return entries_.size();
}

bool ResumeStore::save() {
    if (!changed_)
        return true;
    QJsonArray files;
    for (const Entry &entry : std::as_const(entries_)) {
        QJsonObject object{
            {QStringLiteral("location"), QString::fromLatin1(entry.location.toBase64())},
            {QStringLiteral("size"), double(entry.size)},
            {QStringLiteral("seconds"), entry.point.seconds}};
        if (entry.point.audioTrack)
            object.insert(QStringLiteral("audio"), double(*entry.point.audioTrack));
        if (entry.point.subtitleTrack)
            object.insert(QStringLiteral("subtitle"), double(*entry.point.subtitleTrack));
        if (entry.point.subtitleDelay != 0)
            object.insert(QStringLiteral("subtitleDelay"), entry.point.subtitleDelay);
        if (entry.point.audioDelay != 0)
            object.insert(QStringLiteral("audioDelay"), entry.point.audioDelay);
        files.append(object);
    }
    const QByteArray contents = QJsonDocument(QJsonObject{{QStringLiteral("format"), formatVersion},
                                                          {QStringLiteral("files"), files}})
                                    .toJson(QJsonDocument::Compact);

    // The folder and the file are the user's alone: they say what was watched.
    const QString folder = QFileInfo(filePath_).path();
    QDir().mkpath(QFileInfo(folder).path());
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    // Whatever else is there (a link, another's file) is replaced, never written through.
    struct stat status {};
    const QByteArray path = QFile::encodeName(filePath_);
    if (!isOwnRegularFile(filePath_) && ::lstat(path.constData(), &status) == 0 &&
        !S_ISDIR(status.st_mode))
        ::unlink(path.constData());
    QSaveFile file(filePath_);
    // Unbuffered, so that a short write (a full disk) is seen here: Qt's buffered commit
    // reports success for a file cut short, which would replace every position with a part.
    const bool saved = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                       file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                       file.write(contents) == contents.size() && file.commit();
    if (!saved) {
        if (!saidCannotWrite_)
            std::fprintf(stderr, "sonavel: cannot keep the positions to continue from in %s: %s\n",
                         qPrintable(filePath_), qPrintable(file.errorString()));
        saidCannotWrite_ = true;
        return false;
    }
    changed_ = false;
    return true;
}
