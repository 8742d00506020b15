#include "app/terminationsignal.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace lumivox {

namespace {

int g_writeEnd = -1;
constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// A signal handler may only do async-signal-safe things: write one byte.
void onSignal(int)
{
    const char byte = 1;
    if (g_writeEnd >= 0)
        [[maybe_unused]] const auto written = ::write(g_writeEnd, &byte, 1);
}

} // namespace

TerminationSignal::TerminationSignal(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, m_fds) != 0)
        return;
    g_writeEnd = m_fds[0];
    auto *notifier = new QSocketNotifier(m_fds[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte;
        [[maybe_unused]] const auto read = ::read(m_fds[1], &byte, 1);
        Q_EMIT received();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kSignals)
        ::sigaction(s, &action, nullptr);
}

TerminationSignal::~TerminationSignal()
{
    for (int s : kSignals)
        std::signal(s, SIG_DFL);
    g_writeEnd = -1;
    for (int fd : m_fds) {
        if (fd >= 0)
            ::close(fd);
    }
}

} // namespace lumivox
