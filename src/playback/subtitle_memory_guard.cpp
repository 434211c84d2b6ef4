#include "playback/subtitle_memory_guard.h"

#include <QFile>

#include <unistd.h>

SubtitleMemoryGuard::SubtitleMemoryGuard(qint64 budgetBytes, QObject *parent)
    : QObject(parent), budgetBytes_(budgetBytes), timer_(this) {
    timer_.setInterval(pollMs);
    connect(&timer_, &QTimer::timeout, this, &SubtitleMemoryGuard::check);
}

void SubtitleMemoryGuard::watch(bool styledSubtitlesShown) {
    if (!styledSubtitlesShown) {
        timer_.stop();
        return;
    }
    if (timer_.isActive())
        return;
    baselineBytes_ = residentBytes();
    timer_.start();
}

void SubtitleMemoryGuard::allowForPictures(QSizeF size) {
    picturesBytes_ =
        size.isEmpty() ? -1 : qint64(size.width()) * qint64(size.height()) * 4 * picturesAllowed;
}

qint64 SubtitleMemoryGuard::residentBytes() {
    // statm: total and resident size, in pages; one short read, cheap enough four times a second.
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readLine(128).split(' ');
    if (fields.size() < 2)
        return 0;
    return fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

void SubtitleMemoryGuard::check() {
    const qint64 now = residentBytes();
    if (picturesBytes_ < 0 || baselineBytes_ <= 0 || now <= 0 ||
        now - baselineBytes_ <= budgetBytes_ + picturesBytes_)
        return;
    timer_.stop();
    Q_EMIT overBudget();
}
