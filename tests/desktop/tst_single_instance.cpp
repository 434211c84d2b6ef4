#include "desktop/single_instance.h"
#include "playback/resume_store.h"
#include "support/test_support.h"

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <future>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/time.h>

using test_support::timeoutMs;

class SingleInstanceTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> runtime;

    // A real second start of Sonavel, sharing this test's runtime folder, with `variables`
    // added to its environment.
    std::unique_ptr<QProcess> start(const QStringList &arguments,
                                    const QMap<QString, QString> &variables = {},
                                    const QString &errorLog = {},
                                    const QString &program = QStringLiteral(SONAVEL_BINARY)) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("XDG_ACTIVATION_TOKEN");
        environment.remove("DESKTOP_STARTUP_ID");
        environment.insert("XDG_RUNTIME_DIR", runtime->path());
        environment.insert("XDG_CONFIG_HOME", runtime->filePath("config"));
        for (auto variable = variables.begin(); variable != variables.end(); ++variable) {
            if (variable.value().isNull())
                environment.remove(variable.key());
            else
                environment.insert(variable.key(), variable.value());
        }
        process->setProcessEnvironment(environment);
        process->setWorkingDirectory(test_support::fixture(QString()));
        if (errorLog.isEmpty())
            process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        else
            process->setStandardErrorFile(errorLog);
        process->start(program, arguments);
        return process;
    }

    // A client with blocking calls, on a thread of its own: the server here needs this
    // thread's event loop to answer.
    bool handOver(const QString &path, const QString &folder = {},
                  const QByteArray &activationToken = {}) {
        const QUrl file = path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path);
        auto result =
            std::async(std::launch::async, [folder = folder.isEmpty() ? runtime->path() : folder,
                                            file, activationToken] {
                return SingleInstance(folder).handOver(file, activationToken) ==
                       SingleInstance::HandOver::accepted;
            });
        const bool answered = QTest::qWaitFor(
            [&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
            timeoutMs);
        return answered && result.get();
    }

    // Whether the instance turns away a client that says `message`: it closes the connection,
    // with no answer but that it refuses.
    static bool isDropped(const SingleInstance &instance, const QByteArray &message) {
        QLocalSocket client;
        client.connectToServer(instance.socketPath());
        if (!client.waitForConnected(timeoutMs))
            return false;
        client.write(message);
        client.flush();
        const bool closed = QTest::qWaitFor(
            [&] { return client.state() == QLocalSocket::UnconnectedState; }, timeoutMs);
        const QByteArray answer = client.readAll();
        return closed && (answer.isEmpty() || answer == "refused\n");
    }

private Q_SLOTS:
    void init() {
        runtime = std::make_unique<QTemporaryDir>();
        QVERIFY(QFile::setPermissions(runtime->path(), QFileDevice::ReadOwner |
                                                           QFileDevice::WriteOwner |
                                                           QFileDevice::ExeOwner));
    }

    void secondStartHandsItsFileOver() {
        SingleInstance primary(runtime->path());
        QCOMPARE(primary.claim(), SingleInstance::Claim::claimed);
        QCOMPARE(SingleInstance(runtime->path()).claim(), SingleInstance::Claim::heldByAnother);
        QSignalSpy files(&primary, &SingleInstance::fileHandedOver);
        QSignalSpy shows(&primary, &SingleInstance::activationRequested);

        // A relative name is made absolute against the second start's working folder.
        auto second = start({"tone.mp3"});
        QVERIFY(files.wait(timeoutMs));
        QCOMPARE(files.first().first().toUrl().toLocalFile(), test_support::fixture("tone.mp3"));
        QVERIFY(second->waitForFinished(timeoutMs));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);

        // Any name travels whole; no file just brings the window forward.
        const QString odd = runtime->filePath("two\nlines \"and\" ümlaut %20.mp3");
        QVERIFY(handOver(odd));
        QTRY_COMPARE(files.size(), 2);
        QCOMPARE(files.last().first().toUrl().toLocalFile(), odd);
        auto third = start({});
        QVERIFY(shows.wait(timeoutMs));
        QVERIFY(third->waitForFinished(timeoutMs));
        QCOMPARE(third->exitCode(), 0);

        // Only this user may connect.
        const QFileInfo socket(primary.socketPath());
        QVERIFY(!(socket.permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther |
                                          QFileDevice::ReadGroup | QFileDevice::WriteGroup)));
    }

    // Packagers, bug reports and help2man ask without a display; nothing else may happen.
    void helpAndVersionAnswerAndDoNothingElse() {
        for (const QString &program :
             {QStringLiteral(SONAVEL_BINARY), QStringLiteral(SONAVEL_PLAYER)}) {
            for (const QStringList &arguments : {QStringList{"--version"}, QStringList{"--help"},
                                                 QStringList{"--version", "a.mp3"}}) {
                const QString context = program + ' ' + arguments.join(' ');
                auto answer = start(arguments, {{"DISPLAY", ":404"}, {"WAYLAND_DISPLAY", "none"}},
                                    {}, program);
                QVERIFY2(answer->waitForFinished(timeoutMs), qPrintable(context));
                QCOMPARE(answer->exitCode(), 0);
                const QByteArray output = answer->readAllStandardOutput();
                QVERIFY2(output.startsWith(arguments.first() == "--help"
                                               ? QByteArray("Usage: sonavel [FILE]\n")
                                               : QByteArray("Sonavel " SONAVEL_VERSION "\n")),
                         qPrintable(context + ": " + output));
                QVERIFY2(QDir(runtime->path()).entryList(QDir::Files | QDir::System).isEmpty(),
                         qPrintable(context));
            }
        }

        // A running Sonavel is neither handed a file nor asked forward.
        SingleInstance primary(runtime->path());
        QCOMPARE(primary.claim(), SingleInstance::Claim::claimed);
        QSignalSpy files(&primary, &SingleInstance::fileHandedOver);
        QSignalSpy shows(&primary, &SingleInstance::activationRequested);
        auto answer = start({"--help"});
        QTRY_COMPARE_WITH_TIMEOUT(answer->state(), QProcess::NotRunning, timeoutMs);
        QCOMPARE(answer->exitCode(), 0);
        QCOMPARE(files.size() + shows.size(), 0);
    }

    void everyOtherArgumentIsAFile() {
        SingleInstance primary(runtime->path());
        QCOMPARE(primary.claim(), SingleInstance::Claim::claimed);
        QSignalSpy files(&primary, &SingleInstance::fileHandedOver);
        QSignalSpy shows(&primary, &SingleInstance::activationRequested);
        const QList<std::pair<QStringList, QString>> cases = {
            {{"--", "--help"}, "--help"},
            {{"./--version"}, "--version"},
            {{"-x.mp3"}, "-x.mp3"},
            {{"-platform", "wayland"}, "-platform"},
            {{"--Help"}, "--Help"},
            {{"--", "--"}, "--"},
            {{"tone.mp3", "--help"}, "tone.mp3"},
        };
        for (const auto &[arguments, name] : cases) {
            auto second = start(arguments);
            QVERIFY2(files.wait(timeoutMs), qPrintable(arguments.join(' ')));
            QCOMPARE(QDir::cleanPath(files.takeFirst().first().toUrl().toLocalFile()),
                     test_support::fixture(name));
            QTRY_COMPARE_WITH_TIMEOUT(second->state(), QProcess::NotRunning, timeoutMs);
            QCOMPARE(second->exitCode(), 0);
        }
        // "--" alone names no file: the window comes forward.
        auto second = start({"--"});
        QVERIFY(shows.wait(timeoutMs));
        QTRY_COMPARE_WITH_TIMEOUT(second->state(), QProcess::NotRunning, timeoutMs);
        QCOMPARE(files.size(), 0);
    }

    void aSignalEndsSonavelAsQuitDoes_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM, the session ending") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void aSignalEndsSonavelAsQuitDoes() {
        QFETCH(int, signalNumber);
        auto player = start({}, {}, {}, QStringLiteral(SONAVEL_PLAYER));
        const QString lock = runtime->filePath("io.sonavel.Sonavel.lock");
        const QString socket = SingleInstance(runtime->path()).socketPath();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock) && QFile::exists(socket), timeoutMs);
        QCOMPARE(::kill(pid_t(player->processId()), signalNumber), 0);
        QVERIFY(player->waitForFinished(timeoutMs));
        QCOMPARE(player->exitStatus(), QProcess::NormalExit);
        QCOMPARE(player->exitCode(), 0);
        QVERIFY(!QFile::exists(lock));
        QVERIFY(!QFile::exists(socket));
    }

    void theSessionEndingKeepsWhereAFilmWasLeft() {
        // Silent, and steered from the desktop's media controls as a user might.
        QVERIFY(QDir().mkpath(runtime->filePath("config/Sonavel")));
        QFile settings(runtime->filePath("config/Sonavel/Sonavel.conf"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[General]\nvolume=0\n");
        settings.close();
        const QString film = test_support::fixture("six-minutes.mkv");
        auto player = start({film}, {{"XDG_STATE_HOME", runtime->filePath("state")}}, {},
                            QStringLiteral(SONAVEL_PLAYER));
        auto playerctl = [](const QStringList &arguments) {
            QProcess control;
            control.start("playerctl", QStringList{"--player=sonavel"} + arguments);
            control.waitForFinished(timeoutMs);
            return QString::fromUtf8(control.readAllStandardOutput()).trimmed();
        };
        QTRY_COMPARE_WITH_TIMEOUT(playerctl({"status"}), QStringLiteral("Playing"), timeoutMs);
        // Asked again until it is there: the media controls refuse a position for a track
        // they are not yet showing.
        QVERIFY(QTest::qWaitFor(
            [&] {
                if (playerctl({"position"}).toDouble() >= 120)
                    return true;
                playerctl({"position", "120"});
                return false;
            },
            timeoutMs));

        QCOMPARE(::kill(pid_t(player->processId()), SIGTERM), 0);
        QVERIFY(player->waitForFinished(timeoutMs));
        QCOMPARE(player->exitCode(), 0);
        const std::optional<ResumePoint> kept =
            ResumeStore(runtime->filePath("state/sonavel/positions.json"))
                .find(QFile::encodeName(film), QFileInfo(film).size());
        QVERIFY(kept);
        QVERIFY(kept->seconds >= 120 && kept->seconds < 150);
    }

    void anythingButALockFileAtItsPathIsClearedAway_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO, which would block the lock's open()") << "fifo";
        QTest::newRow("folder") << "folder";
        QTest::newRow("link to a file elsewhere") << "link";
    }
    void anythingButALockFileAtItsPathIsClearedAway() {
        QFETCH(QString, kind);
        const QByteArray lock = QFile::encodeName(runtime->filePath("io.sonavel.Sonavel.lock"));
        const QString elsewhere = runtime->filePath("elsewhere");
        if (kind == "fifo")
            QCOMPARE(::mkfifo(lock.constData(), 0600), 0);
        else if (kind == "folder")
            QVERIFY(QDir().mkdir(QFile::decodeName(lock)));
        else
            QVERIFY(QFile::link(elsewhere, QFile::decodeName(lock)));
        SingleInstance primary(runtime->path());
        QCOMPARE(primary.claim(), SingleInstance::Claim::claimed);
        QVERIFY(QFileInfo(QFile::decodeName(lock)).isFile());
        QVERIFY(!QFile::exists(elsewhere));
        QSignalSpy files(&primary, &SingleInstance::fileHandedOver);
        QVERIFY(handOver("/music/a.mp3"));
        QTRY_COMPARE(files.size(), 1);
    }

    void leftoversOfACrashAreRecovered() {
        // A lock naming a process that is gone, and a dead socket.
        QFile lock(runtime->filePath("io.sonavel.Sonavel.lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write("2147483000\nsonavel\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
        SingleInstance probe(runtime->path());
        QFile socket(probe.socketPath());
        QVERIFY(socket.open(QIODevice::WriteOnly));
        socket.close();

        SingleInstance primary(runtime->path());
        QCOMPARE(primary.claim(), SingleInstance::Claim::claimed);
        QSignalSpy files(&primary, &SingleInstance::fileHandedOver);
        QVERIFY(handOver("/music/a.mp3"));
        QTRY_COMPARE(files.size(), 1);
    }

    void lockNamingNoLiveSonavelIsTakenOver_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("garbled") << QByteArray("\xff\xfe not a lock at all");
    }
    void lockNamingNoLiveSonavelIsTakenOver() {
        QFETCH(QByteArray, contents);
        const QByteArray lockPath = QFile::encodeName(runtime->filePath("io.sonavel.Sonavel.lock"));
        QFile lock(QFile::decodeName(lockPath));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(contents);
        lock.close();
        // Just written, it may be a lock a start is still filling in: it is given the time to be
        // written, then taken over, so that this start does not fail for it.
        {
            SingleInstance young(runtime->path());
            QCOMPARE(young.claim(), SingleInstance::Claim::claimed);
        }
        // A lock filled in meanwhile names a live owner, and is left to it.
        QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
        lock.write(contents);
        lock.close();
        auto writer = std::async(std::launch::async, [&] {
            QThread::msleep(200);
            QFile filled(QFile::decodeName(lockPath));
            if (filled.open(QIODevice::WriteOnly | QIODevice::Truncate))
                filled.write(QByteArray::number(getppid()) + "\nsonavel\n" +
                             QSysInfo::machineHostName().toUtf8() + "\n");
        });
        QCOMPARE(SingleInstance(runtime->path()).claim(), SingleInstance::Claim::heldByAnother);
        writer.wait();
        // Left unreadable for a minute: nobody is writing it.
        QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
        lock.write(contents);
        lock.close();
        const struct timeval aMinuteAgo[2] = {{time(nullptr) - 60, 0}, {time(nullptr) - 60, 0}};
        QCOMPARE(utimes(lockPath.constData(), aMinuteAgo), 0);
        SingleInstance primary(runtime->path());
        QCOMPARE(primary.claim(), SingleInstance::Claim::claimed);
        QSignalSpy files(&primary, &SingleInstance::fileHandedOver);
        QVERIFY(handOver("/music/a.mp3"));
        QTRY_COMPARE(files.size(), 1);
    }

    void anUntrustedFallbackFolderStillKeepsOneSonavel() {
        QString deep = runtime->path();
        while (QFile::encodeName(deep).size() < 120)
            deep += QStringLiteral("/a-rather-long-folder-name");
        QVERIFY(QDir().mkpath(deep));
        // Open to others: no socket may go there.
        const QByteArray fallback = SingleInstance::fallbackFolder();
        ::mkdir(fallback.constData(), 0700);
        QCOMPARE(::chmod(fallback.constData(), 0755), 0);
        const auto restore = qScopeGuard([&] { ::chmod(fallback.constData(), 0700); });
        SingleInstance primary(deep);
        QCOMPARE(primary.claim(), SingleInstance::Claim::claimed);
        QVERIFY(primary.socketPath().isEmpty());
        SingleInstance second(deep);
        QCOMPARE(second.claim(), SingleInstance::Claim::heldByAnother);
        QCOMPARE(second.handOver(QUrl::fromLocalFile("/music/a.mp3")),
                 SingleInstance::HandOver::unreachable);
    }

    void socketPathTooLongFallsBackToAPrivateFolder() {
        QString deep = runtime->path();
        while (QFile::encodeName(deep).size() < 120)
            deep += QStringLiteral("/a-rather-long-folder-name");
        QVERIFY(QDir().mkpath(deep));
        SingleInstance primary(deep);
        QCOMPARE(primary.claim(), SingleInstance::Claim::claimed);
        const QFileInfo folder(QFileInfo(primary.socketPath()).path());
        QVERIFY(primary.socketPath().size() < 108);
        QCOMPARE(folder.permissions() &
                     ~(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                       QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser),
                 QFileDevice::Permissions());
        QSignalSpy files(&primary, &SingleInstance::fileHandedOver);
        QVERIFY(handOver("/music/a.mp3", deep));
        QTRY_COMPARE(files.size(), 1);
    }

    void aStuckInstanceGetsNoSecondWindow() {
        SingleInstance stuck(runtime->path());
        QCOMPARE(stuck.claim(), SingleInstance::Claim::claimed);
        // This thread does not turn its event loop while it waits: the instance never answers.
        auto second = start({"tone.mp3"});
        QVERIFY(second->waitForFinished(4 * timeoutMs));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 1);
    }

    void garbageOnTheSocketIsDropped() {
        SingleInstance primary(runtime->path());
        QCOMPARE(primary.claim(), SingleInstance::Claim::claimed);
        QSignalSpy files(&primary, &SingleInstance::fileHandedOver);
        QSignalSpy shows(&primary, &SingleInstance::activationRequested);
        for (const QByteArray &garbage :
             {QByteArray(200 * 1024, 'x'), QByteArray("open relative/path.mp3\n"),
              QByteArray("open file:relative.mp3\n"), QByteArray("open file://host/a.mp3\n"),
              QByteArray("open file:///a.mp3?query\n"), QByteArray("open file:///a%00b.mp3\n"),
              QByteArray("open http://example.org/a.mp3\n"), QByteArray("rm -rf /\n"),
              QByteArray("\0\0\0\n", 4)}) {
            QVERIFY2(isDropped(primary, garbage), garbage.left(40).constData());
        }
        QCOMPARE(files.size() + shows.size(), 0);
        // Found by fuzzing: "//" at the start of a path is one slash, not a host.
        QCOMPARE(SingleInstance::parseRequest("open file:////music/a.mp3"),
                 QUrl::fromLocalFile("/music/a.mp3"));
        QVERIFY(handOver("/music/b.mp3"));
        QTRY_COMPARE(files.size(), 1);

        // A well-formed request it will not carry out is answered as such, and a second start
        // says so rather than that nothing answers; so does one whose name is no local file.
        QLocalSocket client;
        client.connectToServer(primary.socketPath());
        QVERIFY(client.waitForConnected(timeoutMs));
        client.write("open file://host/a.mp3\n");
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState, timeoutMs);
        QCOMPARE(client.readAll(), QByteArray("refused\n"));
        const QString errors = runtime->filePath("errors.log");
        for (const QString &argument :
             {"/" + QString(30000, u'\u00e9'), QStringLiteral("file:///a%00b.mp3")}) {
            auto second = start({argument}, {}, errors);
            QTRY_COMPARE_WITH_TIMEOUT(second->state(), QProcess::NotRunning, timeoutMs);
            QFile log(errors);
            QVERIFY(log.open(QIODevice::ReadOnly));
            const QByteArray said = log.readAll();
            QVERIFY2(!said.contains("does not answer"), said.constData());
            QVERIFY2(said.contains("did not accept") || said.contains("not name a local file"),
                     said.constData());
        }
        QCOMPARE(files.size(), 1);
    }

    void activationTokensTravelWithTheRequest() {
        QVERIFY(SingleInstance::isActivationToken("sonavel-1-host-_TIME1234"));
        for (const QByteArray &notAToken :
             {QByteArray(), QByteArray("two words"), QByteArray("tab\there"),
              QByteArray("caf\xc3\xa9"), QByteArray(4097, 'x')})
            QVERIFY2(!SingleInstance::isActivationToken(notAToken), notAToken.constData());

        SingleInstance primary(runtime->path());
        QCOMPARE(primary.claim(), SingleInstance::Claim::claimed);
        QSignalSpy files(&primary, &SingleInstance::fileHandedOver);
        QSignalSpy shows(&primary, &SingleInstance::activationRequested);
        // Second starts as the desktop makes them: Wayland's token first, else X11's id.
        auto second = start({"tone.mp3"}, {{"XDG_ACTIVATION_TOKEN", "wayland_token-42"},
                                           {"DESKTOP_STARTUP_ID", "x11-id_TIME1"}});
        QVERIFY(files.wait(timeoutMs));
        QCOMPARE(files.last().at(1).toByteArray(), QByteArray("wayland_token-42"));
        auto third = start({}, {{"DESKTOP_STARTUP_ID", "sonavel-1-host-_TIME1234"}});
        QVERIFY(shows.wait(timeoutMs));
        QCOMPARE(shows.last().at(0).toByteArray(), QByteArray("sonavel-1-host-_TIME1234"));
        for (const auto *process : {second.get(), third.get()}) {
            QTRY_COMPARE_WITH_TIMEOUT(process->state(), QProcess::NotRunning, timeoutMs);
            QCOMPARE(process->exitCode(), 0);
        }
        // Something that is not a token is not sent: the file goes without one.
        QVERIFY(handOver("/music/a.mp3", {}, "two words"));
        QTRY_COMPARE(files.size(), 2);
        QCOMPARE(files.last().at(1).toByteArray(), QByteArray());

        // A token line anywhere but first and once, or not a token, drops the connection.
        for (const QByteArray &garbage :
             {QByteArray("token a b\nopen file:///a.mp3\n"),
              QByteArray("token a\ntoken b\nopen file:///a.mp3\n"), QByteArray("token \nshow\n"),
              QByteArray("token " + QByteArray(5000, 'x') + "\nshow\n")}) {
            QVERIFY2(isDropped(primary, garbage), garbage.left(40).constData());
        }
        QCOMPARE(files.size(), 2);
        QCOMPARE(shows.size(), 1);
    }

    void aSonavelFromBeforeTokensStillGetsTheFile() {
        // Such an instance drops a connection whose first line it does not know.
        QLocalServer older;
        const QString path = SingleInstance(runtime->path()).socketPath();
        QVERIFY(older.listen(path));
        QByteArrayList received;
        connect(&older, &QLocalServer::newConnection, this, [&] {
            QLocalSocket *connection = older.nextPendingConnection();
            connect(connection, &QLocalSocket::readyRead, connection, [&, connection] {
                if (!connection->canReadLine())
                    return;
                const QByteArray line = connection->readLine();
                received.append(line);
                if (line.startsWith("open ")) {
                    connection->write("ok\n");
                    connection->disconnectFromServer();
                } else {
                    connection->abort();
                }
            });
        });
        QVERIFY(handOver("/music/c.mp3", {}, "a-token"));
        QCOMPARE(received, (QByteArrayList{"token a-token\n", "open file:///music/c.mp3\n"}));
    }

    void handOverOnWaylandActivatesTheWindowWithItsToken() {
        if (QStandardPaths::findExecutable("mutter").isEmpty())
            QSKIP("needs mutter");
        // GNOME's compositor, which lets a window forward with a token (weston 10 has no
        // activation at all).
        QProcess compositor;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", runtime->path());
        compositor.setProcessEnvironment(environment);
        compositor.setStandardOutputFile(QProcess::nullDevice());
        compositor.setStandardErrorFile(QProcess::nullDevice());
        compositor.start("mutter", {"--headless", "--wayland", "--no-x11", "--virtual-monitor",
                                    "1280x1024", "--wayland-display", "sonavel-mutter"});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(runtime->filePath("sonavel-mutter")), 4 * timeoutMs);

        const QMap<QString, QString> wayland{{"WAYLAND_DISPLAY", "sonavel-mutter"},
                                             {"QT_QPA_PLATFORM", "wayland"},
                                             {"WAYLAND_DEBUG", "client"}};
        const QString log = runtime->filePath("player.log");
        const auto logged = [&](const QByteArray &text) {
            QFile file(log);
            return file.open(QIODevice::ReadOnly) && file.readAll().contains(text);
        };
        auto player = start({"tone.mp3"}, wayland, log);
        QTRY_VERIFY_WITH_TIMEOUT(logged("xdg_toplevel@"), 4 * timeoutMs);
        auto second = start({"tone.wav"}, {{"XDG_ACTIVATION_TOKEN", "mutter-token-7"}});
        QVERIFY(second->waitForFinished(timeoutMs));
        QCOMPARE(second->exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(logged(".activate(\"mutter-token-7\""), timeoutMs);

        player->terminate();
        QVERIFY(player->waitForFinished(timeoutMs));
        compositor.terminate();
        QVERIFY(compositor.waitForFinished(timeoutMs));
    }

    // The launcher copied beside a stand-in player that notes each start in `log` and then
    // becomes the real player.
    QString launcherCountingPlayers(const QString &log) {
        const QString folder = runtime->filePath("bin");
        QDir().mkpath(folder);
        const QString launcher = folder + QStringLiteral("/sonavel");
        QFile::copy(QStringLiteral(SONAVEL_BINARY), launcher);
        QFile player(folder + QStringLiteral("/sonavel-player"));
        if (!player.open(QIODevice::WriteOnly))
            return {};
        player.write("#!/bin/sh\necho started >> '" + QFile::encodeName(log) + "'\nexec '" +
                     SONAVEL_PLAYER + "' \"$@\"\n");
        player.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                              QFileDevice::ExeOwner);
        return launcher;
    }

    static int linesIn(const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
    }

    void aCrowdOfStartsLoadsOnePlayer() {
        const QString log = runtime->filePath("players.log");
        const QString launcher = launcherCountingPlayers(log);
        std::vector<std::unique_ptr<QProcess>> starts;
        for (const char *file : {"tone.wav", "tone.mp3", "clip.mp4", "clip.mkv", "tone.wav", ""})
            starts.push_back(start({QString::fromLatin1(file)}, {}, {}, launcher));
        // Five hand over and end; the first keeps running, the only player loaded.
        const auto finished = [&] {
            return std::count_if(starts.begin(), starts.end(), [](const auto &process) {
                return process->state() == QProcess::NotRunning;
            });
        };
        QTRY_COMPARE_WITH_TIMEOUT(finished(), 5, 3 * timeoutMs);
        QCOMPARE(linesIn(log), 1);
        for (const auto &process : starts) {
            if (process->state() == QProcess::NotRunning) {
                QCOMPARE(process->exitCode(), 0);
            } else {
                process->terminate();
                QVERIFY(process->waitForFinished(timeoutMs));
            }
        }
    }

    void aBusyInstanceGetsTheFileOnce() {
        SingleInstance busy(runtime->path());
        QCOMPARE(busy.claim(), SingleInstance::Claim::claimed);
        QSignalSpy files(&busy, &SingleInstance::fileHandedOver);
        const QString log = runtime->filePath("players.log");
        auto second = start({"tone.mp3"}, {}, {}, launcherCountingPlayers(log));
        // As a Sonavel busy loading a film answers late: the start waits for the answer rather
        // than loading a player that would hand the same file over again.
        QThread::msleep(1500);
        QTRY_COMPARE_WITH_TIMEOUT(second->state(), QProcess::NotRunning, timeoutMs);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(files.size(), 1);
        QCOMPARE(linesIn(log), 0);
    }

    void withoutARuntimeFolderTheLockStaysPrivate() {
        // Qt's own fallback runtime folder is unusable (not a folder): Qt then gives none.
        QTemporaryDir temporary;
        QFile blocker(
            temporary.filePath("runtime-" + QString::fromLocal8Bit(getpwuid(getuid())->pw_name)));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QMap<QString, QString> variables{{"XDG_RUNTIME_DIR", QString()},
                                               {"TMPDIR", temporary.path()}};
        auto first = start({}, variables, {}, QStringLiteral(SONAVEL_PLAYER));
        const QString lock = QFile::decodeName(SingleInstance::fallbackFolder()) +
                             QStringLiteral("/io.sonavel.Sonavel.lock");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock), timeoutMs);
        auto second = start({"tone.mp3"}, variables);
        QVERIFY(second->waitForFinished(timeoutMs));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);
        // Nothing in the working folder or the shared temporary one.
        const QStringList ours{QStringLiteral("io.sonavel.*")};
        QVERIFY(QDir(test_support::fixture(QString())).entryList(ours).isEmpty());
        QVERIFY(QDir(temporary.path()).entryList(ours).isEmpty());
        first->terminate();
        QVERIFY(first->waitForFinished(timeoutMs));
    }
};

SONAVEL_TEST_MAIN(SingleInstanceTest, QCoreApplication)
#include "tst_single_instance.moc"
