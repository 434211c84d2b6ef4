#include "app/command_line.h"

#include <cstdio>

namespace command_line {

namespace {

QByteArray helpText() {
    return "Usage: sonavel [FILE]\n"
           "  or:  sonavel -- FILE\n"
           "Play a song or a film at once. A song shows the other songs of its folder as a\n"
           "playlist; a film gets a window fitted to its size.\n"
           "\n"
           "FILE is a path or an absolute file:// URL. When Sonavel is already running, FILE\n"
           "plays in its window. Every argument but the two options below names a file; put\n"
           "\"--\" before a file named like one of them.\n"
           "\n"
           "Options:\n"
           "  --help     show this help and exit\n"
           "  --version  show the version and exit\n";
}

QByteArray versionText() {
    return "Sonavel " SONAVEL_VERSION "\n"
           "Copyright (c) 2026 The Sonavel developers\n"
           "License: MIT <https://opensource.org/license/mit>\n";
}

} // namespace

Parsed parse(const QList<QByteArray> &arguments) {
    if (arguments.isEmpty())
        return {};
    const QByteArray &first = arguments.first();
    if (first == "--help")
        return {Request::showHelp, {}};
    if (first == "--version")
        return {Request::showVersion, {}};
    if (first == "--")
        return {Request::play, arguments.value(1)};
    return {Request::play, first};
}

Parsed parse(int argc, char *const argv[]) {
    QList<QByteArray> arguments;
    for (int index = 1; index < argc; ++index)
        arguments.append(QByteArray(argv[index]));
    return parse(arguments);
}

int answer(Request request) {
    const QByteArray text = request == Request::showHelp ? helpText() : versionText();
    const bool written =
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout) == size_t(text.size());
    // A closed or full standard output is a failure the caller should see.
    return std::fflush(stdout) == 0 && written ? 0 : 1;
}

} // namespace command_line
