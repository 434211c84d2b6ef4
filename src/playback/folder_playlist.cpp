#include "playback/folder_playlist.h"

#include "playback/local_file.h"
#include "playback/media_kind.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace folder_playlist {
namespace {

struct DirCloser {
    void operator()(DIR *dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

struct SortableName {
    QList<uint> key; // NFC code points: canonically equivalent names get equal keys
    QString name;
    QByteArray bytes; // the name as the file system has it
};

QList<uint> sortKey(const QString &name) {
    return name.normalized(QString::NormalizationForm_C).toUcs4();
}

void sortNames(QList<SortableName> &names) {
    std::stable_sort(names.begin(), names.end(), [](const SortableName &a, const SortableName &b) {
        if (a.key != b.key)
            return std::lexicographical_compare(a.key.begin(), a.key.end(), b.key.begin(),
                                                b.key.end());
        // Names that differ only in bytes that are not UTF-8 still get one order.
        return a.bytes < b.bytes;
    });
}

// Cheap byte-level test, so that only audio names are decoded and normalised.
bool hasAudioExtension(const char *name) {
    const char *dot = std::strrchr(name, '.');
    if (!dot || std::strlen(dot + 1) != 3)
        return false;
    char lowered[3];
    for (int i = 0; i < 3; ++i) {
        const char c = dot[1 + i];
        lowered[i] = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    const QLatin1StringView extension(lowered, 3);
    return std::any_of(media_kind::audioExtensions.begin(), media_kind::audioExtensions.end(),
                       [&](QStringView audio) { return audio == extension; });
}

} // namespace

void sortByName(QStringList &names) {
    QList<SortableName> sortable;
    sortable.reserve(names.size());
    for (QString &name : names)
        sortable.append({sortKey(name), std::move(name), {}});
    sortNames(sortable);
    names.clear();
    for (SortableName &entry : sortable)
        names.append(std::move(entry.name));
}

namespace {

// Folders, pipes and devices named like songs can never play: they are not listed. A link is
// judged by what it leads to; one that leads nowhere is listed, and says why when played.
bool mayBePlayable(DIR *dir, const dirent &entry) {
    switch (entry.d_type) {
    case DT_REG:
        return true;
    case DT_LNK:
    case DT_UNKNOWN: {
        // readdir's caller reads errno to tell the end from a failure.
        const int readdirErrno = errno;
        struct stat status {};
        const bool playable =
            fstatat(dirfd(dir), entry.d_name, &status, 0) != 0 || S_ISREG(status.st_mode);
        errno = readdirErrno;
        return playable;
    }
    default:
        return false;
    }
}

} // namespace

std::optional<QList<QUrl>> audioEntriesBeside(const QUrl &fileUrl) {
    const QByteArray path = local_file::path(fileUrl);
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return std::nullopt;
    const QByteArray folder = path.left(slash + 1);

    DirHandle dir(opendir(folder.constData()));
    if (!dir)
        return std::nullopt;

    QList<SortableName> names;
    errno = 0;
    while (const dirent *entry = readdir(dir.get())) {
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        if (!hasAudioExtension(name) || !mayBePlayable(dir.get(), *entry))
            continue;
        QString decoded = QString::fromUtf8(name);
        names.append({sortKey(decoded), std::move(decoded), QByteArray(name)});
    }
    if (errno != 0)
        return std::nullopt;

    sortNames(names);
    QList<QUrl> entries;
    entries.reserve(names.size());
    for (const SortableName &entry : names)
        entries.append(local_file::fromPath(folder + entry.bytes));
    return entries;
}

} // namespace folder_playlist
