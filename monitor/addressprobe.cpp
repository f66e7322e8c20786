#include "monitor/addressprobe.h"

#include <QTimer>

namespace qos {

AddressProbe::AddressProbe(Prober &prober, StartupNotice &notice, QObject *parent)
    : QObject(parent)
    , m_prober(prober)
    , m_notice(notice)
{}

AddressProbe::~AddressProbe()
{
    cancel();
}

void AddressProbe::start(const QString &address, int attempts, int timeoutMs)
{
    cancel();
    m_address = address;
    m_attempts = attempts;
    m_timeoutMs = timeoutMs;
    m_running = true;
    m_told = false;
    m_outcome = AddressOutcome{};
    const quint64 epoch = m_epoch;
    // Even a probe with nothing to do answers from the event loop.
    QTimer::singleShot(0, this, [this, epoch] {
        if (mayGoOn(epoch))
            nextAttempt();
    });
}

void AddressProbe::cancel()
{
    ++m_epoch; // late answers of the old run are dropped
    m_running = false;
}

bool AddressProbe::mayGoOn(quint64 epoch)
{
    if (epoch != m_epoch || !m_running)
        return false;
    if (m_token.cancelled()) {
        cancel();
        return false;
    }
    return true;
}

void AddressProbe::nextAttempt()
{
    while (m_outcome.attempts < m_attempts) {
        ++m_outcome.attempts;
        const bool started = m_told ? m_prober.SocketsStartup() : m_notice.startup(m_prober);
        if (!started) {
            m_told = true;
            continue; // no echo went out: this attempt counts as unanswered
        }
        const quint64 epoch = m_epoch;
        Q_EMIT attemptStarted(m_outcome.attempts);
        QTimer::singleShot(0, this, [this, epoch] { afterYield(epoch); });
        return;
    }
    finish();
}

void AddressProbe::afterYield(quint64 epoch)
{
    if (!mayGoOn(epoch))
        return;
    if (m_address.isEmpty()) {
        sendEcho(QStringLiteral("***")); // not an address: the probe answers "invalid host"
        return;
    }
    m_prober.ResolveHostAddress(m_address, this, [this, epoch](const QString &dotted) {
        if (mayGoOn(epoch))
            sendEcho(dotted);
    });
}

void AddressProbe::sendEcho(const QString &target)
{
    m_outcome.resolved = target;
    const quint64 epoch = m_epoch;
    Q_EMIT resolved(target);
    if (epoch != m_epoch)
        return; // cancelled or restarted by a receiver
    if (target.isEmpty()) {
        echoAnswered({StatusInvalidHost, -1}); // no address: nothing goes out
        return;
    }
    m_prober.EchoProbe(target, m_timeoutMs, this, [this, epoch](const EchoResult &result) {
        if (mayGoOn(epoch))
            echoAnswered(result);
    });
}

void AddressProbe::echoAnswered(const EchoResult &result)
{
    m_outcome.add(result);
    if (m_outcome.answered) {
        finish(); // the first reply ends the attempts
        return;
    }
    nextAttempt();
}

void AddressProbe::finish()
{
    m_running = false;
    ++m_epoch;
    Q_EMIT finished(m_outcome);
}

} // namespace qos
