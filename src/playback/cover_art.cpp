#include "playback/cover_art.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QSaveFile>

#include <memory>
#include <sys/stat.h>

extern "C" {
#include <libavformat/avformat.h>
}

namespace cover_art {
namespace {

struct FormatCloser {
    void operator()(AVFormatContext *context) const { avformat_close_input(&context); }
};
using FormatHandle = std::unique_ptr<AVFormatContext, FormatCloser>;

// The encoded picture attached to the file, as stored.
QByteArray attachedPicture(const QByteArray &path) {
    // Regular files only: opening a FIFO named like a song would wait for a writer forever.
    struct stat file {};
    if (::stat(path.constData(), &file) != 0 || !S_ISREG(file.st_mode))
        return {};
    AVFormatContext *opened = nullptr;
    // Only this file: no protocol but "file", no network, whatever the file says.
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int status = avformat_open_input(&opened, path.constData(), nullptr, &options);
    av_dict_free(&options);
    if (status < 0)
        return {};
    FormatHandle format(opened);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream *stream = format->streams[i];
        if ((stream->disposition & AV_DISPOSITION_ATTACHED_PIC) && stream->attached_pic.size > 0)
            return QByteArray(reinterpret_cast<const char *>(stream->attached_pic.data),
                              stream->attached_pic.size);
    }
    return {};
}

QUrl saveOnce(const QByteArray &encoded, const QByteArray &format, const QString &cacheFolder) {
    if (cacheFolder.isEmpty() || !QDir().mkpath(cacheFolder))
        return {};
    const QString name =
        QString::fromLatin1(QCryptographicHash::hash(encoded, QCryptographicHash::Sha1).toHex()) +
        u'.' + QString::fromLatin1(format.isEmpty() ? QByteArray("img") : format);
    const QString file = QDir(cacheFolder).filePath(name);
    if (!QFile::exists(file)) {
        QSaveFile save(file);
        // Unbuffered: a short write on a full disk must fail here, or a cut cover would be
        // kept under its whole content's name for good.
        if (!save.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
            save.write(encoded) != encoded.size() || !save.commit())
            return {};
    }
    return QUrl::fromLocalFile(file);
}

} // namespace

std::optional<CoverArt> read(const QByteArray &path, QSize maximumPixels,
                             const QString &cacheFolder) {
    QByteArray encoded = attachedPicture(path);
    if (encoded.isEmpty())
        return std::nullopt;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize full = reader.size();
    if (full.isValid())
        reader.setScaledSize(full.scaled(maximumPixels.boundedTo(full), Qt::KeepAspectRatio));
    const QByteArray format = reader.format();
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    if (image.width() > maximumPixels.width() || image.height() > maximumPixels.height())
        image = image.scaled(maximumPixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return CoverArt{std::move(image), saveOnce(encoded, format, cacheFolder)};
}

} // namespace cover_art
