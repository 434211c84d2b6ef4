#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// SIGTERM (the session ending), SIGINT and SIGHUP, turned into a signal on the main thread so
// that Sonavel ends as Quit does, with what it saves on the way out saved. The handler only
// writes to a pipe; everything else happens in the event loop. A signal's default action comes
// back as it is delivered: a second one ends a Sonavel that hangs, even where no event loop
// runs. A signal ignored when Sonavel started (`nohup`) stays ignored.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPipe();

    std::unique_ptr<QSocketNotifier> notifier_;
};
