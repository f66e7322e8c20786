#include "monitor/monitorcycle.h"

#include "monitor/outcome.h"

#include <QTimer>

namespace qos {

MonitorClocks MonitorClocks::Create(QObject *owner)
{
    MonitorClocks clocks;
    clocks.interval = new QTimer(owner);
    clocks.interval->setObjectName(QStringLiteral("Timer1"));
    clocks.interval->setInterval(1000);
    clocks.resume = new QTimer(owner);
    clocks.resume->setObjectName(QStringLiteral("Timer2"));
    clocks.resume->setInterval(500);
    return clocks;
}

MonitorCycle::MonitorCycle(const MonitorServices &services, const MonitorClocks &clocks, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_clocks(clocks)
    , m_probe(new AddressProbe(services.prober, services.notice, this))
{
    Q_ASSERT(clocks.interval && clocks.resume);
    connect(m_probe, &AddressProbe::attemptStarted, this,
            [this] { setStatus(QStringLiteral("Pinging ") + currentEntry()); });
    connect(m_probe, &AddressProbe::finished, this, &MonitorCycle::onAddressProbed);
    connect(m_clocks.interval, &QTimer::timeout, this, &MonitorCycle::IntervalClockTick);
    connect(m_clocks.resume, &QTimer::timeout, this, &MonitorCycle::ResumeClockTick);
}

MonitorCycle::~MonitorCycle()
{
    const QSignalBlocker quiet(this); // nobody is told of a run that ends with us
    if (m_active)
        endRun();
}

// ---- Commands and clocks ----

void MonitorCycle::StartMonitor()
{
    RunState &run = m_services.run;
    if (run.MonitorPaused == 1)
        return; // nothing changes, not even the buttons
    StopRequested = false;
    if (m_active)
        endRun();
    if (run.ResumeIndex != 0 && m_pausedGeneration != m_services.cfg.generation) {
        // Paused before the table was loaded anew: the index belongs to the old table.
        goIdle();
        return;
    }
    setMonitoring(true);
    m_clocks.interval->stop();
    beginRun();
    yieldTo(&MonitorCycle::beginLocations);
}

void MonitorCycle::StopMonitor()
{
    StopRequested = true; // a run in progress ends at its next step
    goIdle();
    LocationTable &table = m_services.cfg.table;
    for (int k = 1; k <= table.LocationCount(); ++k)
        setIndicator(k, Indicator::White);
}

void MonitorCycle::IntervalClockTick()
{
    RunState &run = m_services.run;
    run.SecondsCounter += 1;
    if (run.SecondsCounter >= IntervalTicks(m_services.cfg.settings.PINGINTERVAL)) {
        run.SecondsCounter = 0;
        if (m_monitoring && run.PlacementMode == 0 && !m_active)
            StartMonitor();
    }
}

void MonitorCycle::ResumeClockTick()
{
    const RunState &run = m_services.run;
    if (run.MonitorPaused == 0 && run.ResumeIndex >= 1)
        StartMonitor();
}

void MonitorCycle::StartClocks()
{
    m_clocks.interval->start();
    m_clocks.resume->start();
}

void MonitorCycle::ResetForStartup()
{
    if (m_active)
        endRun();
    StopRequested = false;
    setMonitoring(false);
    setStatus(QStringLiteral("IDLE"));
}

// ---- What the window shows ----

void MonitorCycle::setStatus(const QString &text)
{
    if (text == m_statusText)
        return;
    m_statusText = text;
    Q_EMIT statusTextChanged(text);
}

void MonitorCycle::setMonitoring(bool on)
{
    if (on == m_monitoring)
        return;
    m_monitoring = on;
    Q_EMIT monitoringChanged(on);
}

void MonitorCycle::setIndicator(int k, Indicator colour)
{
    m_services.cfg.table[k].center = colour;
    Q_EMIT indicatorChanged(k);
}

void MonitorCycle::restartIntervalClock()
{
    if (!m_clocks.interval->isActive())
        m_clocks.interval->start();
}

void MonitorCycle::goIdle()
{
    RunState &run = m_services.run;
    run.LastCycleHadOffline = 0;
    m_services.alerts.ClearAttention();
    setMonitoring(false);
    setStatus(QStringLiteral("IDLE"));
    run.ResumeIndex = 0;
    run.FirstCycle = 1;
    ForgetFailingCycles(m_services.cfg.table);
    restartIntervalClock();
}

// ---- Runs ----

void MonitorCycle::beginRun()
{
    m_active = true;
    ++m_epoch;
    m_generation = m_services.cfg.generation;
    m_walk = Walk{};
}

void MonitorCycle::endRun()
{
    m_probe->cancel();
    m_active = false;
    ++m_epoch;
    Q_EMIT runEnded();
}

void MonitorCycle::yieldTo(Step step)
{
    const quint64 epoch = m_epoch;
    QTimer::singleShot(0, this, [this, epoch, step] {
        if (mayContinue(epoch))
            (this->*step)();
    });
}

bool MonitorCycle::mayContinue(quint64 epoch)
{
    if (epoch != m_epoch || !m_active)
        return false; // a late answer for a run that is over
    if (m_services.cfg.generation != m_generation) {
        // The table was loaded anew while we waited: our indexes name other locations now.
        endRun();
        goIdle();
        return false;
    }
    if (StopRequested) {
        endRun();
        return false;
    }
    return true;
}

// ---- The steps of one cycle ----

void MonitorCycle::beginLocations()
{
    RunState &run = m_services.run;
    int first = 1;
    if (run.ResumeIndex != 0) {
        // A resumed cycle keeps what its part before the pause found, so an offline location seen
        // there still counts when the cycle decides about the attention picture at its end.
        first = qMax(1, run.ResumeIndex);
    } else {
        run.AnyOfflineThisCycle = 0;
    }
    m_walk.k = first;
    m_walk.last = m_services.cfg.table.LocationCount();
    nextLocation();
}

void MonitorCycle::nextLocation()
{
    RunState &run = m_services.run;
    const LocationTable &table = m_services.cfg.table;
    Walk &w = m_walk;
    for (;; ++w.k) {
        if (w.k > w.last || w.k > table.LocationCount()) {
            finishCycle();
            return;
        }
        run.ResumeIndex = 0;
        if (run.MonitorPaused == 1) {
            // The status line, the buttons and the stopped interval clock stay as they are.
            run.ResumeIndex = w.k;
            m_pausedGeneration = m_generation;
            endRun();
            return;
        }
        const LocationRecord &rec = table[w.k];
        w.AnyBad = w.BadListStarted = w.PartialIgnore = w.LastAttemptFailed = false;
        w.ignores = SplitAddressList(rec.ignore);
        w.entries = SplitAddressList(rec.siteip);
        if (rec.sitedisabled == QLatin1String("1")) {
            setIndicator(w.k, Indicator::Black); // `flash` and `holdbad` keep their values
            continue;
        }
        if (w.entries.isEmpty()) {
            applyResult();
            continue;
        }
        w.entry = 0;
        nextEntry();
        return;
    }
}

void MonitorCycle::nextEntry()
{
    Walk &w = m_walk;
    if (w.entry >= w.entries.size()) {
        applyResult();
        ++w.k;
        nextLocation();
        return;
    }
    const QString &entry = currentEntry();
    w.entryIgnored = !entry.isEmpty() && w.ignores.contains(entry);
    if (w.entryIgnored)
        w.PartialIgnore = true;
    yieldTo(&MonitorCycle::afterIgnoreTest); // ignored entries yield too
}

void MonitorCycle::afterIgnoreTest()
{
    Walk &w = m_walk;
    if (w.entryIgnored) {
        ++w.entry;
        nextEntry();
        return;
    }
    const quint64 epoch = m_epoch;
    m_probe->setContinueIf([this, epoch] { return mayContinue(epoch); });
    m_probe->start(currentEntry(), m_services.cfg.settings.PINGPACKETS, m_services.cfg.settings.PINGTIMEOUT);
}

void MonitorCycle::onAddressProbed(const AddressOutcome &outcome)
{
    // With no attempt at all the previous entry's outcome stands, as it always has.
    if (outcome.attempts > 0)
        m_walk.LastAttemptFailed = !outcome.answered;
    Q_EMIT addressProbed(m_walk.k, currentEntry(), outcome);
    entryDone();
}

void MonitorCycle::entryDone()
{
    Walk &w = m_walk;
    if (w.LastAttemptFailed) {
        w.AnyBad = true;
        QStringList &holdbad = m_services.cfg.table[w.k].holdbad;
        if (!w.BadListStarted) {
            holdbad.clear(); // replaced only by an evaluation that has a failure
            w.BadListStarted = true;
        }
        if (!currentEntry().isEmpty())
            holdbad << currentEntry();
    }
    ++w.entry;
    nextEntry();
}

void MonitorCycle::applyResult()
{
    const Walk &w = m_walk;
    ApplyCycleResult(m_services.cfg, m_services.run, m_services.alerts, w.k, w.AnyBad, w.PartialIgnore);
    Q_EMIT indicatorChanged(w.k);
}

void MonitorCycle::finishCycle()
{
    RunState &run = m_services.run;
    if (run.AnyOfflineThisCycle != 1) {
        run.LastCycleHadOffline = 0;
        m_services.alerts.ClearAttention();
    } else {
        run.LastCycleHadOffline = 1;
    }
    setStatus(QStringLiteral("Monitoring..."));
    restartIntervalClock();
    run.FirstCycle = 2;
    endRun();
    Q_EMIT cycleFinished();
}

} // namespace qos
