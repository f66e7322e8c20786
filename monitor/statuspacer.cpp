#include "monitor/statuspacer.h"

namespace qos {

StatusPacer::StatusPacer(QObject *parent)
    : QObject(parent)
{
    m_clock.setInterval(kTickMs);
    connect(&m_clock, &QTimer::timeout, this, &StatusPacer::tick);
}

void StatusPacer::offer(const QString &text)
{
    if (text == m_lastShown && !m_hasWaiting)
        return; // the same line again changes nothing and costs nothing
    if (!text.startsWith(QLatin1String("Pinging "))) {
        m_hasWaiting = false;
        m_shown = 0;
        m_clock.stop();
        m_lastShown = text;
        Q_EMIT show(text);
        return;
    }
    if (m_shown < kAtOnce) {
        ++m_shown;
        if (!m_clock.isActive())
            m_clock.start();
        m_lastShown = text;
        Q_EMIT show(text);
        return;
    }
    m_waiting = text;
    m_hasWaiting = true;
}

void StatusPacer::tick()
{
    m_shown = 0;
    if (!m_hasWaiting) {
        m_clock.stop();
        return;
    }
    m_hasWaiting = false;
    m_shown = 1;
    m_lastShown = m_waiting;
    Q_EMIT show(m_waiting);
}

} // namespace qos
