#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

// One Sonavel per user. The first start holds a lock file and listens on a local socket in the
// user's runtime folder; a later start hands its file (or just a wish to see the window) to it
// and ends. The lock, not the socket, decides who is first, so a socket left by a crash is
// simply replaced.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `folder` is where the lock and the socket live: $XDG_RUNTIME_DIR unless given.
    explicit SingleInstance(QString folder = {}, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock if no running Sonavel holds it, and then listens. False when another
    // instance runs (or the folder is unusable).
    bool claim();

    // From a later start: hands `absolutePath` (empty: just show the window) to the running
    // instance; true once it has confirmed. With `retry`, waits for an instance that is still
    // starting up.
    bool handOver(const QString &absolutePath, int timeoutMs = 3000, bool retry = true) const;

    QString socketPath() const;

    // Longest message accepted: a path can be long, but not this long.
    static constexpr qsizetype maximumMessageBytes = 64 * 1024;

Q_SIGNALS:
    void fileHandedOver(const QString &absolutePath);
    void activationRequested();

private:
    void accept();

    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
};
