#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// A picture of a film's frame kept as a PNG file: its name, and writing it so that the folder
// never holds half of one.
namespace frame_file {

struct Result {
    enum class Outcome { saved, folderMissing, folderUnwritable, noSpace, failed };
    Outcome outcome = Outcome::failed;
    // The file written; otherwise the folder it was meant for.
    QString path;
    // The system's words for a failure the outcomes do not name.
    QString detail;
};

// "Holiday 0-01-23.450.png" for the film "Holiday.mkv" at 83.45 s: the film and the time, in
// characters every file system takes, short enough for any of them.
QString name(const QString &filmFileName, double seconds);
// Writes `image` as a PNG into `folder` under `fileName` ("Holiday 0-01-23.450 (2).png" when that
// is taken: nothing is replaced). The bytes go to a hidden file in the same folder that takes
// the name only once complete; on any failure nothing is left behind.
Result write(const QImage &image, const QString &folder, const QString &fileName);
// The same for bytes already encoded.
Result writeBytes(const QByteArray &bytes, const QString &folder, const QString &fileName);

} // namespace frame_file
