#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QUrl>

// Linux file names are bytes, not text: a name that is not valid UTF-8 must still reach the
// file system unchanged. A file's location is kept as a file URL whose path holds those bytes
// percent-encoded; QUrl keeps sequences that are not UTF-8 encoded, so nothing is lost on the
// way, and the name shown to the user gets replacement characters only.
namespace local_file {

// The location of the file at `absolutePath` (bytes as the file system has them).
QUrl fromPath(const QByteArray &absolutePath);
// The path bytes of a local file location; empty for anything else.
QByteArray path(const QUrl &url);

// `url` as a location of this machine's file, or empty when it is anything else: another
// host's file, a relative path, a name with a NUL in it, a query or a fragment. Every way a
// file comes in (the command line, a hand-over, a drop) passes through this.
QUrl fromUrl(const QUrl &url);

// The location a command-line argument names: a path, made absolute against `workingFolder`,
// unless it is an absolute file:// URL. Empty for an empty argument or a URL of anything but
// a local file.
QUrl fromArgument(const QByteArray &argument, const QByteArray &workingFolder);
// Whether `text` begins as a file:// URL does, in any case.
bool isFileUrl(QByteArrayView text);
// The same against the process's working folder.
QUrl fromArgument(const QByteArray &argument);

} // namespace local_file
