#include "app/signalwatch.h"

#include <QSocketNotifier>

#include <csignal>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace qos {
namespace {

sigset_t StopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

bool BlockStopSignals()
{
    const sigset_t set = StopSignals();
    return pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}

SignalWatch::SignalWatch(QObject *parent)
    : QObject(parent)
{
    const sigset_t set = StopSignals();
    m_fd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_fd < 0)
        return;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatch::readSignals);
}

SignalWatch::~SignalWatch()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

void SignalWatch::readSignals()
{
    signalfd_siginfo info;
    while (::read(m_fd, &info, sizeof info) == ssize_t(sizeof info)) {
        if (info.ssi_signo == SIGHUP)
            Q_EMIT reloadRequested();
        else
            Q_EMIT stopRequested(int(info.ssi_signo));
    }
}

} // namespace qos
