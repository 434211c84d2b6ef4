#include "app/termination_signals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array handledSignals = {SIGTERM, SIGINT, SIGHUP};
// The handler can reach nothing but globals; one set of handlers per process.
int pipeEnds[2] = {-1, -1};
// Which of them were ignored when Sonavel started (`nohup`, a background job): they stay so.
std::array<bool, handledSignals.size()> ignoredAtStart{};

void onSignal(int signalNumber) {
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a signal waiting to be read: this one may be dropped.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &number, 1);
    errno = savedErrno;
}

void restoreDefaults() {
    for (std::size_t i = 0; i < handledSignals.size(); ++i) {
        if (!ignoredAtStart[i])
            std::signal(handledSignals[i], SIG_DFL);
    }
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) {
    if (pipeEnds[0] >= 0 || ::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(pipeEnds[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Back to the default action as it is delivered: the pipe is read only by the event loop,
    // and a second signal must end a Sonavel whose loop does not run.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (std::size_t i = 0; i < handledSignals.size(); ++i) {
        struct sigaction current {};
        ::sigaction(handledSignals[i], nullptr, &current);
        ignoredAtStart[i] = current.sa_handler == SIG_IGN;
        if (!ignoredAtStart[i])
            ::sigaction(handledSignals[i], &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals() {
    if (!notifier_)
        return;
    restoreDefaults();
    notifier_.reset();
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void TerminationSignals::readPipe() {
    unsigned char number = 0;
    if (::read(pipeEnds[0], &number, 1) != 1)
        return;
    restoreDefaults();
    Q_EMIT received(number);
}
