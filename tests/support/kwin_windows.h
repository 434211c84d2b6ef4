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

// The largest normal window of `pid` (menus and tooltips are popups), or nothing if it has none.
// `timeoutMs` bounds the wait for KWin to run the script on a busy machine.
inline std::optional<Window> windowOf(qint64 pid, int timeoutMs = 10000) {
    if (!isRunning())
        return std::nullopt;
    // Unique, so neither earlier answers in the log nor other scripts are mistaken for ours.
    const QString marker = "sonavel-" + QUuid::createUuid().toString(QUuid::Id128);
    QTemporaryFile script(QDir::tempPath() + "/kwin-XXXXXX.js");
    if (!script.open())
        return std::nullopt;
    script.write(QStringLiteral(R"(
const r = g => [g.x, g.y, g.width, g.height].map(Math.round).join(" ");
const area = g => g.width * g.height;
let best = null;
for (const c of workspace.clientList()) {
    if (c.pid === %1 && c.normalWindow && !c.popupWindow
        && (!best || area(c.frameGeometry) > area(best.frameGeometry)))
        best = c;
}
print("%2 " + (!best ? "none" : [r(best.frameGeometry), +best.fullScreen, +best.active,
    r(workspace.clientArea(KWin.ScreenArea, best)),
    r(workspace.clientArea(KWin.MaximizeArea, best))].join(" ")));
)")
                     .arg(pid)
                     .arg(marker)
                     .toUtf8());
    script.close();

    QDBusInterface scripting("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting");
    const QDBusReply<int> id = scripting.call("loadScript", script.fileName(), marker);
    if (!id.isValid() || id.value() < 0) {
        qWarning("KWin did not load the script: %s", qPrintable(id.error().message()));
        return std::nullopt;
    }
    scripting.call("start");

    QFile log(logPath());
    QStringList answer;
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
            answer = QString::fromUtf8(text.mid(at, end - at)).split(' ').mid(1);
            return true;
        },
        timeoutMs);
    scripting.call("unloadScript", marker);

    if (!answered)
        qWarning("no answer from KWin script %s in %s", qPrintable(marker), qPrintable(logPath()));
    if (answer.size() != 14)
        return std::nullopt;
    const auto rect = [&](int from) {
        return QRect(answer[from].toInt(), answer[from + 1].toInt(), answer[from + 2].toInt(),
                     answer[from + 3].toInt());
    };
    return Window{rect(0), answer[4] == "1", answer[5] == "1", {rect(6), rect(10)}};
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
