#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <utility>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT,
#ifdef SIGHUP
                                      SIGHUP
#else
                                      SIGTERM
#endif
};

#ifdef Q_OS_UNIX
// A signal handler may only do async-signal-safe work: it writes one byte to a socket that the
// event loop watches, and puts the default action back so a second signal ends the process.
// The one global the handler can reach: it must be a plain array a signal handler may read.
int g_signalFds[2] = {-1, -1}; // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

void HandleSignal(int sig) {
    std::signal(sig, SIG_DFL);
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalFds[0], &byte, 1);
}
#endif

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> closeRequested, QObject* parent)
    : QObject(parent), m_closeRequested(std::move(closeRequested)) {
#ifdef Q_OS_UNIX
    if (g_signalFds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFds) != 0) {
        return;
    }
    m_notifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::onSignal);
    for (int sig : kSignals) {
        std::signal(sig, HandleSignal);
    }
#endif
}

TerminationSignals::~TerminationSignals() {
#ifdef Q_OS_UNIX
    if (m_notifier) {
        for (int sig : kSignals) {
            std::signal(sig, SIG_DFL);
        }
        delete m_notifier;
        ::close(g_signalFds[0]);
        ::close(g_signalFds[1]);
        g_signalFds[0] = g_signalFds[1] = -1;
    }
#endif
}

void TerminationSignals::onSignal() {
#ifdef Q_OS_UNIX
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(g_signalFds[1], &byte, 1);
#endif
    if (m_closeRequested) {
        m_closeRequested();
    }
}
