#include "desktop/single_instance.h"

#include "playback/local_file.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// "open <file URL>\n" or "show\n", answered with "ok\n", or "refused\n" for a request it will
// not carry out (an old instance just closes the connection). A URL has no line breaks, whatever
// the file's name holds. Either may follow "token <activation token>\n"; an instance from
// before tokens drops a connection that begins so, and is then asked again without one.
constexpr QByteArrayView openCommand = "open ";
constexpr QByteArrayView showCommand = "show";
constexpr QByteArrayView tokenCommand = "token ";
constexpr QByteArrayView confirmation = "ok\n";
constexpr QByteArrayView refusal = "refused\n";
constexpr int idleConnectionMs = 2000;
const QString socketName = QStringLiteral("io.sonavel.Sonavel.socket");
const QString lockName = QStringLiteral("io.sonavel.Sonavel.lock");
// A lock file is written right after it is created; one that still says nothing useful after
// this long was left half-written or damaged, and names no running Sonavel.
constexpr qint64 unreadableLockGraceMs = 1000;

bool fitsLocalSocket(const QString &path) {
    return QFile::encodeName(path).size() < qsizetype(sizeof(sockaddr_un::sun_path));
}

// A folder of this user's alone, as a socket outside the runtime folder must be in.
bool isPrivateFolder(const QByteArray &path) {
    struct stat status {};
    if (::lstat(path.constData(), &status) != 0) {
        if (::mkdir(path.constData(), 0700) != 0 || ::lstat(path.constData(), &status) != 0)
            return false;
    }
    return S_ISDIR(status.st_mode) && status.st_uid == ::getuid() && (status.st_mode & 077) == 0;
}

// Only a regular file of this user's can be a lock: anything else at its path (a FIFO would
// block the lock's open() for ever, a folder would fail it every time, a link leads elsewhere)
// was not made by Sonavel and is cleared away. False when it cannot be.
bool clearForeignLock(const QByteArray &path) {
    struct stat status {};
    if (::lstat(path.constData(), &status) != 0)
        return true;
    if (S_ISREG(status.st_mode) && status.st_uid == ::getuid())
        return true;
    return S_ISDIR(status.st_mode) ? ::rmdir(path.constData()) == 0
                                   : ::unlink(path.constData()) == 0;
}

} // namespace

SingleInstance::SingleInstance(QString folder, QObject *parent)
    : QObject(parent), folder_(std::move(folder)) {
    if (!folder_.isEmpty())
        return;
    folder_ = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    // Qt gives no runtime folder when its own fallback is not the user's alone; a relative path
    // would put the lock and socket wherever Sonavel was started.
    if (folder_.isEmpty() && isPrivateFolder(fallbackFolder()))
        folder_ = QFile::decodeName(fallbackFolder());
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPath() const {
    if (folder_.isEmpty())
        return {};
    const QString preferred = QDir(folder_).filePath(socketName);
    if (fitsLocalSocket(preferred))
        return preferred;
    // Both sides come here alike, so they still meet.
    const QByteArray fallback = fallbackFolder();
    if (!isPrivateFolder(fallback))
        return {};
    return QFile::decodeName(fallback) + u'/' + socketName;
}

QByteArray SingleInstance::fallbackFolder() {
    return "/tmp/sonavel-" + QByteArray::number(::getuid());
}

bool SingleInstance::lockOwnerIsGone() const {
    // Qt takes over a lock whose owner died; one that names no owner at all it never would.
    // Such a lock may be one a starting Sonavel has not finished writing: it is given the time
    // to be written, and is stale once that has passed, so that a start never fails for it.
    const QString path = QDir(folder_).filePath(lockName);
    QElapsedTimer waited;
    waited.start();
    while (true) {
        qint64 pid = 0;
        QString host, application;
        if (lock_->getLockInfo(&pid, &host, &application))
            return false;
        const QFileInfo file(path);
        if (!file.exists())
            return true;
        const qint64 age = file.lastModified().msecsTo(QDateTime::currentDateTime());
        // The waiting bound too: a clock set back would otherwise keep the lock young.
        if (qAbs(age) > unreadableLockGraceMs || waited.elapsed() > unreadableLockGraceMs)
            return true;
        QThread::msleep(20);
    }
}

SingleInstance::Claim SingleInstance::claim() {
    if (server_)
        return Claim::claimed;
    if (folder_.isEmpty())
        return Claim::unavailable;
    const QString lockPath = QDir(folder_).filePath(lockName);
    if (!clearForeignLock(QFile::encodeName(lockPath)))
        return Claim::unavailable;
    lock_ = std::make_unique<QLockFile>(lockPath);
    // A lock whose owner has died is taken over; a live owner keeps it.
    lock_->setStaleLockTime(0);
    bool locked = lock_->tryLock(0);
    if (!locked && lock_->error() == QLockFile::LockFailedError && lockOwnerIsGone()) {
        lock_->removeStaleLockFile();
        locked = lock_->tryLock(0);
    }
    if (!locked) {
        const bool held = lock_->error() == QLockFile::LockFailedError;
        lock_.reset();
        return held ? Claim::heldByAnother : Claim::unavailable;
    }

    const QString path = socketPath();
    if (path.isEmpty()) {
        // The socket's only place is a folder someone else could reach into. The lock is kept
        // all the same: a second window would play over this one.
        std::fprintf(stderr,
                     "sonavel: %s is not a folder of this user's alone; files opened while "
                     "Sonavel runs cannot be handed to it\n",
                     fallbackFolder().constData());
        return Claim::claimed;
    }
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // Holding the lock, whatever is at the socket's path is left over from a crash.
    QLocalServer::removeServer(path);
    if (!server->listen(path)) {
        // Nobody could reach us: let the next start try instead of waiting for us.
        lock_.reset();
        return Claim::unavailable;
    }
    connect(server.get(), &QLocalServer::newConnection, this, &SingleInstance::accept);
    server_ = std::move(server);
    return Claim::claimed;
}

std::optional<QUrl> SingleInstance::parseRequest(QByteArrayView line) {
    if (line == showCommand)
        return QUrl();
    if (!line.startsWith(openCommand))
        return std::nullopt;
    const QUrl file =
        QUrl::fromEncoded(line.sliced(openCommand.size()).toByteArray(), QUrl::StrictMode);
    // Only an absolute local file: what a second start sends, and nothing it could be tricked
    // into sending.
    QUrl local = local_file::fromUrl(file);
    if (local.isEmpty())
        return std::nullopt;
    return local;
}

void SingleInstance::accept() {
    while (QLocalSocket *connection = server_->nextPendingConnection()) {
        connection->setParent(this);
        // A client that says nothing useful is dropped after a while.
        QTimer::singleShot(idleConnectionMs, connection, &QLocalSocket::abort);
        connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
        // The token line, when there is one, comes first, and only once.
        auto token = std::make_shared<std::optional<QByteArray>>();
        connect(connection, &QLocalSocket::readyRead, this, [this, connection, token] {
            if (connection->bytesAvailable() > maximumMessageBytes + maximumTokenBytes) {
                connection->abort();
                return;
            }
            while (connection->state() == QLocalSocket::ConnectedState &&
                   connection->canReadLine()) {
                QByteArray line = connection->readLine(maximumMessageBytes);
                line.chop(1);
                if (!*token && line.startsWith(tokenCommand) &&
                    isActivationToken(QByteArrayView(line).sliced(tokenCommand.size()))) {
                    *token = line.sliced(tokenCommand.size());
                    continue;
                }
                const std::optional<QUrl> request = parseRequest(line);
                if (!request) {
                    // Said, so that the second start can tell the person why nothing opened.
                    connection->write(refusal.data(), refusal.size());
                    connection->flush();
                    connection->disconnectFromServer();
                    return;
                }
                connection->write(confirmation.data(), confirmation.size());
                connection->flush();
                connection->disconnectFromServer();
                const QByteArray activationToken = token->value_or(QByteArray());
                if (request->isEmpty())
                    Q_EMIT activationRequested(activationToken);
                else
                    Q_EMIT fileHandedOver(*request, activationToken);
                return;
            }
        });
    }
}

QByteArray SingleInstance::launchToken() {
    for (const char *name : {"XDG_ACTIVATION_TOKEN", "DESKTOP_STARTUP_ID"}) {
        const QByteArray token = qgetenv(name);
        if (isActivationToken(token))
            return token;
    }
    return {};
}

bool SingleInstance::isActivationToken(QByteArrayView token) {
    return !token.isEmpty() && token.size() <= maximumTokenBytes &&
           std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

SingleInstance::HandOver SingleInstance::handOver(const QUrl &file,
                                                  const QByteArray &activationToken, int timeoutMs,
                                                  bool retry) const {
    QByteArray request =
        file.isEmpty() ? showCommand.toByteArray() : openCommand.toByteArray() + file.toEncoded();
    if (request.size() >= maximumMessageBytes)
        return HandOver::refused;
    if (socketPath().isEmpty())
        return HandOver::unreachable;
    request.append('\n');
    const auto outcome = [](const Reply &reply) {
        if (!reply.connected)
            return HandOver::notListening;
        if (reply.line == confirmation)
            return HandOver::accepted;
        return reply.line == refusal ? HandOver::refused : HandOver::noAnswer;
    };
    if (!isActivationToken(activationToken))
        return outcome(exchange(request, timeoutMs, retry));

    QElapsedTimer clock;
    clock.start();
    const Reply reply =
        exchange(tokenCommand.toByteArray() + activationToken + '\n' + request, timeoutMs, retry);
    // Dropped unanswered: an instance that predates tokens. The file matters more.
    if (!reply.line || !reply.line->isEmpty())
        return outcome(reply);
    return outcome(exchange(request, int(std::max<qint64>(timeoutMs - clock.elapsed(), 1)), false));
}

SingleInstance::Reply SingleInstance::exchange(const QByteArray &message, int timeoutMs,
                                               bool retry) const {
    const QString path = socketPath();
    if (path.isEmpty())
        return {};
    QElapsedTimer clock;
    clock.start();
    const auto left = [&] { return int(std::max<qint64>(timeoutMs - clock.elapsed(), 1)); };
    // The running instance may be starting up and not yet listening: try again for a while.
    while (clock.elapsed() < timeoutMs) {
        QLocalSocket socket;
        socket.connectToServer(path);
        if (socket.waitForConnected(left())) {
            // Once asked, the answer is awaited to the end: asking again elsewhere could open
            // the file twice.
            socket.write(message);
            if (!socket.waitForBytesWritten(left()))
                return {true, std::nullopt};
            while (!socket.canReadLine() && socket.waitForReadyRead(left())) {
            }
            if (socket.canReadLine())
                return {true, socket.readLine()};
            // Closed by the other side without a word, or no answer in time.
            return {true, socket.state() != QLocalSocket::ConnectedState
                              ? std::optional<QByteArray>(QByteArray())
                              : std::nullopt};
        }
        if (!retry)
            return {};
        QThread::msleep(50);
    }
    return {};
}
