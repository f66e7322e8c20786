#pragma once
// The monitor cycle: "Start Monitor" / "Stop Monitor", the interval clock (`Timer1`) and the resume
// clock (`Timer2`), walking the enabled locations in table order and probing every monitored address.
// The addresses are probed ahead of the walk by a sweep, up to PINGINFLIGHT at once; the walk takes
// their outcomes in table order and applies them exactly as a walk probing one at a time would.
//
// Invariants:
//  - Nothing blocks. The cycle is a chain of steps; between two steps it returns to the event loop
//    (a zero-delay timer, or the prober's callback), so the window, "Stop Monitor", the List View and
//    the clocks run in between. Every step after such a return first checks that its run is still
//    the current one, that the location table has not been loaded anew, and that Stop was not
//    pressed; otherwise it ends the run and changes nothing.
//  - At most one run is current. Starting a run drops whatever an older run was waiting for; ending
//    one (finished, paused, stopped, table loaded anew) cancels its token and its sweep, so no
//    outcome probed before a pause is used after it.
//  - Each run has one cancel token, handed to its sweep's probes; it lapses by itself when the table
//    is loaded anew, and the run then ends from the event loop as at any other step.
//  - While `MonitorPaused` is 1 nothing is probed for the locations after the one the walk is in.
//  - The interval clock is stopped from the start of a run until it finishes or monitoring stops,
//    so cycles never overlap; a paused run keeps it stopped.
//  - The cycle owns no widget and decides no location's state: it tells LocationStates what it
//    found. The window shows statusText() in `Label3`, shows and enables `Command4` while
//    monitoring() is true and `Command3` otherwise.
#include "monitor/addressprobe.h"
#include "monitor/canceltoken.h"
#include "monitor/locationstates.h"
#include "monitor/runstate.h"
#include "monitor/spotcheck.h"
#include "monitor/sweep.h"
#include "probe/prober.h"
#include "probe/startupnotice.h"
#include "store/model.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

class QTimer;

namespace qos {

// The objects the cycle works with; all of them outlive it.
struct MonitorServices {
    Configuration &cfg;
    RunState &run;
    Prober &prober;
    LocationStates &states; // where every outcome goes
    StartupNotice &notice; // the one sockets start-up failure box, shared with the List View
};

// The two clocks of the Map View.
struct MonitorClocks {
    QTimer *interval = nullptr; // `Timer1`, 1000 ms
    QTimer *resume = nullptr;   // `Timer2`, 500 ms

    // Creates both clocks as children of owner, with their objectNames and intervals, not started.
    static MonitorClocks Create(QObject *owner);
};

class MonitorCycle : public QObject {
    Q_OBJECT
public:
    // The clocks may come from the window (its `Timer1` and `Timer2`) or from MonitorClocks::Create;
    // the cycle connects to their timeouts and starts and stops the interval clock, nothing else.
    MonitorCycle(const MonitorServices &services, const MonitorClocks &clocks, QObject *parent = nullptr);
    ~MonitorCycle() override;

    // Number of interval clock ticks between two automatic cycles.
    static qint64 IntervalTicks(qint16 pingIntervalMinutes) { return qint64(pingIntervalMinutes) * 60; }

    // Text of the status line `Label3`: "IDLE", "Pinging " + entry, "Monitoring...", or
    // kNothingToMonitor when a cycle found no enabled location.
    QString statusText() const { return m_statusText; }
    // How long the last complete cycle ran (its runs' time, without a pause between them); nothing
    // before the first.
    std::optional<qint64> lastCycleMs() const { return m_lastCycleMs; }
    // True while monitoring is on: "Stop Monitor" shown and enabled, "Start Monitor" hidden and disabled.
    bool monitoring() const { return m_monitoring; }
    bool startMonitorEnabled() const { return !m_monitoring; }
    // True while a run is in progress (not while idle, waiting for the next cycle, or paused).
    bool running() const { return m_active; }
    bool stopRequested() const { return StopRequested; }

public Q_SLOTS:
    // "Start Monitor" (`Command3`); the clocks call it too. Does nothing while `MonitorPaused` is 1;
    // continues at `ResumeIndex` when that is set.
    void StartMonitor();
    // "Stop Monitor" (`Command4`).
    void StopMonitor();
    // One tick of `Timer1` / `Timer2`. Connected to the clocks; tests call them directly.
    void IntervalClockTick();
    void ResumeClockTick();
    // Location k changed (added on the map, its addresses edited, enabled). While monitoring is on
    // it is probed at once (once a run in progress has ended) and evaluated as the cycle would; the
    // next cycle keeps its time.
    void ProbeSoon(int k);
    // Starts both clocks; the Map View calls this once at the end of its start-up.
    void StartClocks();
    // Back to the start-up state without touching the indicators: any run ends, monitoring is off,
    // the status line reads "IDLE". For a Map View that is set up anew.
    void ResetForStartup();

Q_SIGNALS:
    void statusTextChanged(const QString &text);
    void monitoringChanged(bool on);
    // A cycle went past its last location ("Monitoring...").
    void cycleFinished();
    // A run ended: its cycle finished, paused, was stopped or dropped (not when the cycle goes).
    void runEnded();
    // The probe ProbeSoon asked for has been evaluated.
    void spotChecked(int k);

private:
    using Step = void (MonitorCycle::*)();

    // Scratch values of the run in progress.
    struct Walk {
        int k = 0;    // location under evaluation
        int last = 0; // highest location index when the cycle began
        QStringList entries;
        QStringList ignores;
        int entry = 0; // index into entries
        bool entryIgnored = false;
        // Per location:
        bool AnyBad = false;
        bool BadListStarted = false;
        bool PartialIgnore = false;
        bool LastAttemptFailed = false; // reset once per location, not per entry
    };

    void setStatus(const QString &text);
    void setMonitoring(bool on);
    void restartIntervalClock();
    // Leaves the monitoring state as Stop does: attention down, "Start Monitor", "IDLE", no resume.
    void goIdle();

    void beginRun();
    void endRun();
    void yieldTo(Step step);
    // For a step that follows a return to the event loop: false when the run it belongs to is over.
    bool mayContinue(quint64 epoch);

    // The steps, in the order they run.
    void beginLocations();
    void nextLocation();
    void nextEntry();
    void afterIgnoreTest();
    void awaitEntry();
    void onAddressProbed(const AddressOutcome &outcome);
    void entryDone();
    void applyResult();
    void finishCycle();
    void startSpotChecks();
    void spotDone(int k, const QList<SpotCheck::Entry> &entries, bool partialIgnore);
    void dropSpotChecks();

    const QString &currentEntry() const { return m_walk.entries.at(m_walk.entry); }
    // The sweep's jobs from the walk's current entry on: this location's entries as the walk split
    // them, the later enabled locations' as the table holds them now.
    QList<SweepJob> planFromHere() const;

    MonitorServices m_services;
    MonitorClocks m_clocks;
    Sweep *m_sweep; // a child: ends with us
    CancelToken m_token; // of the current run
    QString m_statusText = QStringLiteral("IDLE");
    bool m_monitoring = false;
    bool StopRequested = false;

    bool m_active = false;
    quint64 m_epoch = 0;            // bumped at every start and end of a run
    quint64 m_generation = 0;       // cfg.generation the current run's indexes belong to
    quint64 m_pausedGeneration = 0; // cfg.generation ResumeIndex belongs to
    Walk m_walk;
    QElapsedTimer m_runClock; // since the current run began
    qint64 m_cycleRunMs = 0;  // the cycle's earlier runs (before a pause)
    std::optional<qint64> m_lastCycleMs;
    QList<int> m_spotQueue;     // locations to probe once no run is in progress
    QList<SpotCheck *> m_spots; // children, in flight
};

} // namespace qos
