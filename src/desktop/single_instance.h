#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

// One Sonavel per user. The first start holds a lock file and listens on a local socket in the
// user's runtime folder; a later start hands its file (or just a wish to see the window) to it
// and ends. The lock, not the socket, decides who is first, so a socket left by a crash is
// simply replaced.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        claimed,       // this is the one Sonavel; files handed over arrive here
        heldByAnother, // a running Sonavel holds the lock: hand over to it
        unavailable,   // no lock or socket can be had here: run alone, taking nothing
    };

    // `folder` is where the lock and the socket live: $XDG_RUNTIME_DIR unless given. Without
    // a runtime folder of the user's own, the private fallbackFolder(); never the working
    // folder or a shared one.
    explicit SingleInstance(QString folder = {}, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock unless a running Sonavel holds it, and then listens.
    Claim claim();

    enum class HandOver {
        accepted,
        // The running instance answered that it will not open it (not a local file it takes).
        refused,
        // No private place for the socket exists (see fallbackFolder): it cannot be reached.
        unreachable,
        // Connected and asked, but no answer came in time: a running Sonavel that is stuck.
        noAnswer,
        // Nothing listens at the socket: no Sonavel runs, or it is still starting.
        notListening,
    };
    // Where the lock and the socket are; empty when no private place exists.
    QString folder() const { return folder_; }

    // From a later start: hands `file` (empty: just show the window) to the running instance,
    // with the activation token this start was given (see launchToken), which lets the running
    // instance bring its window forward. With `retry`, waits for an instance that is still
    // starting.
    HandOver handOver(const QUrl &file, const QByteArray &activationToken = {},
                      int timeoutMs = handOverTimeoutMs, bool retry = true) const;

    // The token the desktop started this process with to let its window come forward:
    // XDG_ACTIVATION_TOKEN on Wayland, DESKTOP_STARTUP_ID on X11. Empty when there is none or
    // it is not a token (see isActivationToken).
    static QByteArray launchToken();
    // Tokens are opaque, but printable ASCII without spaces, and short.
    static bool isActivationToken(QByteArrayView token);

    // Where the socket is: in the runtime folder, or, when that path is too long for a local
    // socket, in a private folder of the user's under /tmp. Empty when neither can be used.
    QString socketPath() const;
    // Where the socket goes when the runtime folder's path is too long for one; trusted only
    // while it is this user's alone.
    static QByteArray fallbackFolder();

    // Longest message accepted: a path can be long, but not this long.
    static constexpr qsizetype maximumMessageBytes = 64 * 1024;
    static constexpr int handOverTimeoutMs = 5000;
    static constexpr qsizetype maximumTokenBytes = 4096;

    // What a line from the socket asks for: a file to open, or an empty URL to show the window.
    // nullopt for anything else.
    static std::optional<QUrl> parseRequest(QByteArrayView line);

Q_SIGNALS:
    // `activationToken` is empty when the later start had none.
    void fileHandedOver(const QUrl &file, const QByteArray &activationToken);
    void activationRequested(const QByteArray &activationToken);

private:
    void accept();
    bool lockOwnerIsGone() const;
    struct Reply {
        bool connected = false;
        // The answer's line; empty when the other side closed without one; nullopt when none
        // came in time.
        std::optional<QByteArray> line;
    };
    Reply exchange(const QByteArray &message, int timeoutMs, bool retry) const;

    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
};
