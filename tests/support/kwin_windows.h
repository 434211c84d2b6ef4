#pragma once

// Reads where KWin placed a window, for tests run by tests/on_kwin.sh. A Wayland client cannot
// learn its own position, so a one-off KWin script prints it into KWin's log, read back here.

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <QTest>
#include <QUuid>

#include <optional>

namespace kwin {

struct Output {
    QRect geometry;
    QRect usable; // without panels; what maximising fills
};

struct Window {
    QRect frame; // including any decoration KWin draws
    bool fullScreen = false;
    bool active = false;
    Output output;
};

inline QString logPath() {
    return QString::fromLocal8Bit(qgetenv("SONAVEL_KWIN_LOG"));
}

inline bool isRunning() {
    const QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    return !logPath().isEmpty() && bus && bus->isServiceRegistered("org.kde.KWin").value();
}

// Runs `script` in KWin and returns what it printed after `print(marker + " " + ...)`, the
// script reaching its own marker as `marker`. `timeoutMs` bounds the wait for KWin to run it
// on a busy machine.
inline std::optional<QString> runScript(const QString &script, int timeoutMs = 10000) {
    if (!isRunning())
        return std::nullopt;
    // Unique, so neither earlier answers in the log nor other scripts are mistaken for ours.
    const QString marker = "sonavel-" + QUuid::createUuid().toString(QUuid::Id128);
    QTemporaryFile file(QDir::tempPath() + "/kwin-XXXXXX.js");
    if (!file.open())
        return std::nullopt;
    // A script's error is its answer.
    file.write(("const marker = \"" + marker + "\";\ntry {\n" + script +
                "\n} catch (error) {\n    print(marker + \" \" + error);\n}\n")
                   .toUtf8());
    file.close();

    QDBusInterface scripting("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting");
    const QDBusReply<int> id = scripting.call("loadScript", file.fileName(), marker);
    if (!id.isValid() || id.value() < 0) {
        qWarning("KWin did not load the script: %s", qPrintable(id.error().message()));
        return std::nullopt;
    }
    scripting.call("start");

    QFile log(logPath());
    std::optional<QString> answer;
    const bool answered = QTest::qWaitFor(
        [&] {
            if (!log.isOpen() && !log.open(QIODevice::ReadOnly))
                return false;
            log.seek(0);
            const QByteArray text = log.readAll();
            const qsizetype at = text.indexOf(marker.toUtf8());
            const qsizetype end = at < 0 ? -1 : text.indexOf('\n', at);
            if (end < 0) // not printed, or not fully written yet
                return false;
            answer =
                QString::fromUtf8(text.mid(at + marker.size(), end - at - marker.size())).trimmed();
            return true;
        },
        timeoutMs);
    scripting.call("unloadScript", marker);
    if (!answered)
        qWarning("no answer from KWin script %s in %s", qPrintable(marker), qPrintable(logPath()));
    return answer;
}

// The script's text that finds `best`, the largest normal window of `pid` (menus and tooltips
// are popups), null if it has none.
inline QString findLargestWindow(qint64 pid) {
    return QStringLiteral(R"(
const area = g => g.width * g.height;
let best = null;
for (const c of workspace.clientList()) {
    if (c.pid === %1 && c.normalWindow && !c.popupWindow
        && (!best || area(c.frameGeometry) > area(best.frameGeometry)))
        best = c;
}
)")
        .arg(pid);
}

// The largest normal window of `pid`, or nothing if it has none.
inline std::optional<Window> windowOf(qint64 pid, int timeoutMs = 10000) {
    const std::optional<QString> printed = runScript(findLargestWindow(pid) + R"(
const r = g => [g.x, g.y, g.width, g.height].map(Math.round).join(" ");
print(marker + " " + (!best ? "none" : [r(best.frameGeometry), +best.fullScreen, +best.active,
    r(workspace.clientArea(KWin.ScreenArea, best)),
    r(workspace.clientArea(KWin.MaximizeArea, best))].join(" ")));
)",
                                                     timeoutMs);
    const QStringList answer = printed ? printed->split(' ') : QStringList();
    if (answer.size() != 14)
        return std::nullopt;
    const auto rect = [&](int from) {
        return QRect(answer[from].toInt(), answer[from + 1].toInt(), answer[from + 2].toInt(),
                     answer[from + 3].toInt());
    };
    return Window{rect(0), answer[4] == "1", answer[5] == "1", {rect(6), rect(10)}};
}

// As the user or the desktop would: moves and resizes the largest window of `pid` to `frame`
// (KWin's frame, decoration included), or ends its full screen.
inline bool moveWindow(qint64 pid, const QRect &frame) {
    return runScript(findLargestWindow(pid) + QStringLiteral(R"(
if (best)
    best.frameGeometry = {x: %1, y: %2, width: %3, height: %4};
print(marker + " " + !!best);
)")
                                                  .arg(frame.x())
                                                  .arg(frame.y())
                                                  .arg(frame.width())
                                                  .arg(frame.height())) == QStringLiteral("true");
}
inline bool endFullScreen(qint64 pid) {
    return runScript(findLargestWindow(pid) + R"(
if (best)
    best.fullScreen = false;
print(marker + " " + !!best);
)") == QStringLiteral("true");
}

// For each other window of `pid` (its dialogs), whether its parent is the largest window of
// `pid` ("child" or "orphan") and whether it is stacked above that window ("above", "below").
inline std::optional<QString> dialogStanding(qint64 pid) {
    return runScript(findLargestWindow(pid) + R"(
const said = [];
for (const c of workspace.clientList()) {
    if (best && c.pid === best.pid && c !== best && !c.popupWindow)
        said.push((c.transientFor === best ? "child" : "orphan") + ","
            + (c.stackingOrder > best.stackingOrder ? "above" : "below"));
}
print(marker + " " + said.join(" "));
)");
}

// Polls until the window of `pid` exists and satisfies `ready`, and returns its last state:
// KWin lists a window only once its first frame arrives, and follows resizes a little later.
template <typename Ready>
std::optional<Window> waitForWindow(qint64 pid, Ready ready, int timeoutMs = 10000) {
    std::optional<Window> window;
    (void)QTest::qWaitFor([&] { return (window = windowOf(pid)) && ready(*window); }, timeoutMs);
    return window;
}

inline std::optional<Window> waitForWindow(qint64 pid, int timeoutMs = 10000) {
    return waitForWindow(
        pid, [](const Window &) { return true; }, timeoutMs);
}

} // namespace kwin
