#include "monitor/monitorcycle.h"

#include "monitor/statusline.h"

#include <QTimer>

#include <algorithm>
#include <utility>

namespace qos {
namespace {

// An entry the cycle does not probe: not empty and equal to one of the location's ignore entries.
bool IsIgnored(const QString &entry, const QStringList &ignores)
{
    return ContainsAddress(ignores, entry);
}

bool IsDisabled(const LocationRecord &rec)
{
    return rec.sitedisabled == QLatin1String("1");
}

} // namespace

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
    , m_sweep(new Sweep(services.prober, services.notice, this))
{
    Q_ASSERT(clocks.interval && clocks.resume);
    // While the List View is open, only the location the walk is in goes on being probed.
    m_sweep->setMayIssue([this](const SweepJob &job) {
        return m_services.run.MonitorPaused == 0 || job.location <= m_walk.k;
    });
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
    StopRequested = true;
    dropSpotChecks();
    if (m_active)
        endRun(); // what is in flight is cancelled; its late answers are dropped
    goIdle();
    m_services.states.showAllWaiting();
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

void MonitorCycle::restartIntervalClock()
{
    if (!m_clocks.interval->isActive())
        m_clocks.interval->start();
}

void MonitorCycle::goIdle()
{
    RunState &run = m_services.run;
    dropSpotChecks();
    m_services.states.monitoringStopped();
    setMonitoring(false);
    setStatus(QStringLiteral("IDLE"));
    run.ResumeIndex = 0;
    run.FirstCycle = 1;
    restartIntervalClock();
}

// ---- Runs ----

void MonitorCycle::beginRun()
{
    if (m_services.run.ResumeIndex == 0)
        m_cycleRunMs = 0; // a cycle of its own, not the rest of a paused one
    m_runClock.start();
    m_active = true;
    ++m_epoch;
    m_generation = m_services.cfg.generation;
    m_walk = Walk{};
    // The run's probes end at once when the table is loaded anew; the run itself ends next.
    m_token = CancelToken::Watching(m_services.cfg.generation, this,
                                    [this, epoch = m_epoch] { mayContinue(epoch); });
    m_sweep->setToken(m_token);
}

void MonitorCycle::endRun()
{
    m_token.cancel();
    m_sweep->cancel();
    if (m_active)
        m_cycleRunMs += m_runClock.elapsed();
    m_active = false;
    ++m_epoch;
    if (!m_spotQueue.isEmpty())
        QTimer::singleShot(0, this, &MonitorCycle::startSpotChecks);
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
    const int first = run.ResumeIndex != 0 ? qMax(1, run.ResumeIndex) : 1;
    m_services.states.cycleStarted(run.ResumeIndex != 0);
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
        if (IsDisabled(rec)) {
            m_services.states.showDisabled(w.k);
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
    w.entryIgnored = IsIgnored(currentEntry(), w.ignores);
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
    setStatus(QStringLiteral("Pinging ") + currentEntry());
    awaitEntry();
}

void MonitorCycle::awaitEntry()
{
    const SweepJob job{m_walk.k, m_walk.entry, currentEntry()};
    // The first entry of a run, or the table changed under the plan: plan anew from here.
    if (!m_sweep->planned(job))
        m_sweep->start(planFromHere(), m_services.cfg.settings);
    m_sweep->await(job, [this](const AddressOutcome &outcome) { onAddressProbed(outcome); });
}

QList<SweepJob> MonitorCycle::planFromHere() const
{
    QList<SweepJob> plan;
    const auto append = [&plan](int k, const QStringList &entries, const QStringList &ignores, int from) {
        for (int e = from; e < entries.size(); ++e) {
            if (!IsIgnored(entries.at(e), ignores))
                plan.append({k, e, entries.at(e)});
        }
    };
    const Walk &w = m_walk;
    append(w.k, w.entries, w.ignores, w.entry);
    const LocationTable &table = m_services.cfg.table;
    for (int k = w.k + 1; k <= qMin(w.last, table.LocationCount()); ++k) {
        if (!IsDisabled(table[k]))
            append(k, SplitAddressList(table[k].siteip), SplitAddressList(table[k].ignore), 0);
    }
    return plan;
}

void MonitorCycle::onAddressProbed(const AddressOutcome &outcome)
{
    // With no attempt at all the previous entry's outcome stands, as it always has.
    if (outcome.attempts > 0)
        m_walk.LastAttemptFailed = !outcome.answered;
    m_services.states.probed(m_walk.k, currentEntry(), outcome);
    entryDone();
}

void MonitorCycle::entryDone()
{
    Walk &w = m_walk;
    if (w.LastAttemptFailed) {
        w.AnyBad = true;
        m_services.states.cycleAddressFailed(w.k, currentEntry(), !w.BadListStarted);
        w.BadListStarted = true;
    }
    ++w.entry;
    nextEntry();
}

void MonitorCycle::applyResult()
{
    m_services.states.cycleEvaluated(m_walk.k, m_walk.AnyBad, m_walk.PartialIgnore);
}

void MonitorCycle::finishCycle()
{
    RunState &run = m_services.run;
    m_services.states.cycleFinished();
    m_lastCycleMs = m_cycleRunMs + m_runClock.elapsed();
    const LocationTable &table = m_services.cfg.table;
    bool anyEnabled = false;
    for (int k = 1; k <= table.LocationCount() && !anyEnabled; ++k)
        anyEnabled = !IsDisabled(table[k]);
    setStatus(anyEnabled ? QStringLiteral("Monitoring...") : QLatin1String(kNothingToMonitor));
    restartIntervalClock();
    run.FirstCycle = 2;
    endRun();
    Q_EMIT cycleFinished();
}

// ---- Probing one location at once ----

void MonitorCycle::ProbeSoon(int k)
{
    if (!m_monitoring || k < 1 || k > m_services.cfg.table.LocationCount() || m_spotQueue.contains(k))
        return;
    m_spotQueue.append(k);
    if (!m_active)
        QTimer::singleShot(0, this, &MonitorCycle::startSpotChecks);
}

void MonitorCycle::startSpotChecks()
{
    if (m_active || !m_monitoring)
        return; // the run's end comes back here
    const LocationTable &table = m_services.cfg.table;
    for (int k : std::exchange(m_spotQueue, {})) {
        const bool busy = std::any_of(m_spots.cbegin(), m_spots.cend(),
                                      [k](const SpotCheck *spot) { return spot->location() == k; });
        if (busy || k > table.LocationCount() || IsDisabled(table[k]))
            continue;
        m_spots.append(new SpotCheck(
            m_services.prober, m_services.notice, m_services.cfg, k,
            [this](int at, const QList<SpotCheck::Entry> &entries, bool partial) {
                spotDone(at, entries, partial);
            },
            this));
    }
}

void MonitorCycle::spotDone(int k, const QList<SpotCheck::Entry> &entries, bool partialIgnore)
{
    const auto it = std::find_if(m_spots.begin(), m_spots.end(),
                                 [k](const SpotCheck *spot) { return spot->location() == k; });
    if (it == m_spots.end())
        return;
    (*it)->deleteLater(); // we are inside its callback
    m_spots.erase(it);
    if (m_active || !m_monitoring)
        return; // a run began meanwhile and evaluates the location itself
    LocationStates &states = m_services.states;
    bool anyBad = false;
    for (const SpotCheck::Entry &e : entries) {
        states.probed(k, e.address, e.outcome);
        if (e.outcome.attempts > 0 && !e.outcome.answered) {
            states.cycleAddressFailed(k, e.address, !anyBad);
            anyBad = true;
        }
    }
    states.cycleEvaluated(k, anyBad, partialIgnore);
    Q_EMIT spotChecked(k);
}

void MonitorCycle::dropSpotChecks()
{
    m_spotQueue.clear();
    for (SpotCheck *spot : std::exchange(m_spots, {})) {
        spot->cancel();
        spot->deleteLater();
    }
}

} // namespace qos
