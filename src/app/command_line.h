#pragma once

#include <QByteArray>
#include <QList>

// What `sonavel` was asked to do. Only "--help" and "--version", as the first argument, are
// options: every other argument names a file (also "-x.mp3"), and "--" lets a file named
// like an option through. Qt's own options are not read either, for the same reason.
namespace command_line {

enum class Request { play, showHelp, showVersion };

struct Parsed {
    Request request = Request::play;
    // The file's name as given, in its own bytes; empty when no file was named.
    QByteArray file;
};

// `arguments` without the program's own name.
Parsed parse(const QList<QByteArray> &arguments);
Parsed parse(int argc, char *const argv[]);

// Answers an option on standard output; the exit status.
int answer(Request request);

} // namespace command_line
