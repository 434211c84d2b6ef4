#include "app/single_instance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QUrl>

namespace {

// "open <file URL>\n" or "show\n", answered with "ok\n". A URL has no line breaks, whatever
// the file's name holds.
constexpr QByteArrayView openCommand = "open ";
constexpr QByteArrayView showCommand = "show";
constexpr int idleConnectionMs = 2000;

} // namespace

SingleInstance::SingleInstance(QString folder, QObject *parent)
    : QObject(parent), folder_(std::move(folder)) {
    if (folder_.isEmpty())
        folder_ = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPath() const {
    return QDir(folder_).filePath(QStringLiteral("io.sonavel.Sonavel.socket"));
}

bool SingleInstance::claim() {
    if (server_)
        return true;
    lock_ = std::make_unique<QLockFile>(
        QDir(folder_).filePath(QStringLiteral("io.sonavel.Sonavel.lock")));
    // A lock whose owner has died is taken over; a live owner keeps it.
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        lock_.reset();
        return false;
    }
    // Holding the lock, whatever is at the socket's path is left over from a crash.
    QLocalServer::removeServer(socketPath());
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(socketPath()))
        return false;
    connect(server.get(), &QLocalServer::newConnection, this, &SingleInstance::accept);
    server_ = std::move(server);
    return true;
}

void SingleInstance::accept() {
    while (QLocalSocket *connection = server_->nextPendingConnection()) {
        connection->setParent(this);
        // A client that says nothing useful is dropped after a while.
        QTimer::singleShot(idleConnectionMs, connection, &QLocalSocket::abort);
        connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
        connect(connection, &QLocalSocket::readyRead, this, [this, connection] {
            if (connection->bytesAvailable() > maximumMessageBytes) {
                connection->abort();
                return;
            }
            if (!connection->canReadLine()) {
                return;
            }
            QByteArray line = connection->readLine(maximumMessageBytes);
            line.chop(1);
            if (line.startsWith(openCommand)) {
                const QUrl file = QUrl::fromEncoded(line.mid(openCommand.size()), QUrl::StrictMode);
                const QString path = file.toLocalFile();
                if (!file.isValid() || !file.isLocalFile() || !QDir::isAbsolutePath(path)) {
                    connection->abort();
                    return;
                }
                connection->write("ok\n");
                connection->flush();
                connection->disconnectFromServer();
                Q_EMIT fileHandedOver(path);
            } else if (line == showCommand) {
                connection->write("ok\n");
                connection->flush();
                connection->disconnectFromServer();
                Q_EMIT activationRequested();
            } else {
                connection->abort();
            }
        });
    }
}

bool SingleInstance::handOver(const QString &absolutePath, int timeoutMs, bool retry) const {
    QByteArray message = absolutePath.isEmpty()
                             ? QByteArray(showCommand.data(), showCommand.size())
                             : QByteArray(openCommand.data(), openCommand.size()) +
                                   QUrl::fromLocalFile(absolutePath).toEncoded();
    if (message.size() >= maximumMessageBytes)
        return false;
    message.append('\n');

    QElapsedTimer clock;
    clock.start();
    // The running instance may be starting up and not yet listening: try again for a while.
    while (clock.elapsed() < timeoutMs) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(timeoutMs)) {
            socket.write(message);
            if (!socket.waitForBytesWritten(timeoutMs))
                return false;
            while (!socket.canReadLine() && socket.waitForReadyRead(timeoutMs)) {
            }
            return socket.readLine() == "ok\n";
        }
        if (!retry)
            return false;
        QThread::msleep(50);
    }
    return false;
}
