#include "platform/TerminationSignals.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_writeFd = -1; // the only state a signal handler may touch
const int HandledSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void OnSignal(int signalNumber)
{
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] ssize_t written = ::write(g_writeFd, &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_fds) != 0)
        return;
    g_writeFd = m_fds[0];
    m_notifier = new QSocketNotifier(m_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::ReadSignal);

    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : HandledSignals)
        sigaction(signalNumber, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    for (int signalNumber : HandledSignals)
        std::signal(signalNumber, SIG_DFL);
    g_writeFd = -1;
    for (int fd : m_fds)
        if (fd >= 0)
            ::close(fd);
}

void TerminationSignals::ReadSignal()
{
    unsigned char byte = 0;
    while (::read(m_fds[1], &byte, 1) == 1)
        emit Received(byte);
}
