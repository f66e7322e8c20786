#pragma once
// What the cycle benchmarks share: a timer that measures how long the window's thread was held up,
// a table of addresses, and one monitor cycle over it with its figures.
#include "monitor/monitorcycle.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

namespace qos::bench {

class QuietAlerts : public AlertSink {
public:
    void ShowAttention() override {}
    void ClearAttention() override {}
    void PlayAlertSound() override {}
    void PlayOnlineSound() override {}
};

// A 10 ms repeating timer that keeps its longest delay.
class FrameClock {
public:
    explicit FrameClock(QObject *context)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, context, [this] {
            m_longestUs = qMax(m_longestUs, m_sinceTick.nsecsElapsed() / 1000 - 10000);
            m_sinceTick.restart();
        });
    }
    void start()
    {
        m_timer.start();
        m_sinceTick.start();
    }
    double longestMs() const { return double(m_longestUs) / 1000.0; }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_longestUs = 0;
};

struct Figures {
    double cycleMs = 0;
    double longestTimerDelayMs = 0;
    int offline = 0;  // addresses counted offline
    int notGreen = 0; // locations not shown online
};

// perLocation addresses to a location, in the order given.
inline Configuration Table(const QStringList &addresses, int perLocation, int packets, int timeoutMs,
                           int window)
{
    Configuration cfg;
    cfg.settings.PINGPACKETS = qint16(packets);
    cfg.settings.PINGTIMEOUT = qint16(timeoutMs);
    cfg.settings.PINGINTERVAL = 3;
    cfg.settings.PINGINFLIGHT = qint16(window);
    for (qsizetype i = 0; i < addresses.size(); i += perLocation) {
        LocationRecord rec;
        rec.site = QStringLiteral("L%1").arg(cfg.table.LocationCount() + 1);
        rec.siteip = addresses.mid(i, perLocation).join(QLatin1Char(','));
        cfg.table.records << rec;
    }
    return cfg;
}

inline Figures RunCycle(Prober &prober, StartupNotice &notice, Configuration cfg)
{
    RunState run;
    QuietAlerts alerts;
    QObject owner;
    LocationStates states(cfg, run, alerts);
    MonitorCycle cycle(MonitorServices{cfg, run, prober, states, notice}, MonitorClocks::Create(&owner));
    Figures figures;
    FrameClock frame(&owner);
    QObject::connect(
        &states, &LocationStates::addressProbed, &owner,
        [&](int, const QString &, const AddressOutcome &outcome) { figures.offline += !outcome.answered; });
    QElapsedTimer clock;
    QObject::connect(&cycle, &MonitorCycle::cycleFinished, &owner, [&] {
        figures.cycleMs = double(clock.nsecsElapsed()) / 1e6;
        QCoreApplication::quit();
    });
    QTimer::singleShot(0, &owner, [&] {
        frame.start();
        clock.start();
        cycle.StartMonitor();
    });
    QCoreApplication::exec();
    figures.longestTimerDelayMs = frame.longestMs();
    for (int k = 1; k <= cfg.table.LocationCount(); ++k)
        figures.notGreen += cfg.table[k].center != Indicator::Green;
    return figures;
}

} // namespace qos::bench
