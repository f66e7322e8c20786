#pragma once
// Probes the addresses of a walk ahead of it, many at once, while the walk takes their outcomes one
// by one in its own order: the monitor cycle's walk over the table and "Ping All"'s walk over the
// address list.
//
// Invariants:
//  - The plan is a list of jobs (location, entry, address) in the walk's order. Probes start in
//    plan order, from the first await() on, while fewer than `window` run: anywhere ahead of the
//    walk, so a silent address holds one probe, never the ones behind it. Outcomes in before the
//    walk takes them are kept until it does. With a window of 1 a probe starts only when the walk
//    awaits it, exactly as a walk that probes one address at a time.
//  - m_next is the first job not started yet, or an earlier waiting one; every job before it that is
//    still waiting was refused (see below) or passed over. Each outcome and each await() costs O(1)
//    amortised: pump() moves m_next forward and never scans the running ones.
//  - Each address has its own AddressProbe: its attempts stay sequential, the first reply ends them,
//    and the sockets start-up notice is raised at most once for it.
//  - start() and cancel() end everything of the plan before: its running probes are cancelled (their
//    late answers are dropped by the probe), its outcomes and the walk's wait are forgotten.
//  - Jobs that mayIssue refuses wait, and a running one it refuses is cancelled before its next
//    attempt and waits again; it starts once mayIssue allows it. mayIssue refuses a tail of the
//    plan: once it refuses a job it refuses every later one too.
//  - Every probe carries the run's cancel token (setToken) and ends silently once it is cancelled;
//    the token's owner cancels the sweep when it ends the run.
//  - Probes are created as the window needs them and live as long as the sweep, so that none is
//    destroyed while one of its own callbacks is on the stack.
//  - One call starts a bounded number of probes; when more may start, the rest follow from the
//    event loop, so starting a plan of thousands never holds the window's thread up.
#include "monitor/addressprobe.h"
#include "store/model.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

namespace qos {

struct SweepJob {
    int location = 0;
    int entry = 0;   // the entry's place in its location's list
    QString address; // probed as it is (an empty text goes out as not-an-address)
};

class Sweep : public QObject {
    Q_OBJECT
public:
    Sweep(Prober &prober, StartupNotice &notice, QObject *parent = nullptr);
    ~Sweep() override;

    // The window a PINGINFLIGHT value gives: below 1 counts as 1 (one address at a time).
    static int WindowFor(qint16 setting) { return setting < 1 ? 1 : setting; }

    // The cancel token of the run the jobs started from now on belong to; unset, none is cancelled.
    void setToken(CancelToken token) { m_token = std::move(token); }
    // Whether a job may be probed now (see the invariants); unset allows every job.
    void setMayIssue(std::function<bool(const SweepJob &)> mayIssue) { m_mayIssue = std::move(mayIssue); }

    // A new plan, probed with the window PINGINFLIGHT gives and PINGPACKETS attempts of PINGTIMEOUT
    // ms per address (as the settings are now); nothing is probed before the first await().
    void start(QList<SweepJob> plan, const MainSettings &settings);
    void cancel();

    // The job is in the plan with this address and has not been awaited or passed over.
    bool planned(const SweepJob &job) const;
    // Calls done with the job's outcome once it is in: at once when it already is, else from the
    // event loop. Jobs before it that were never awaited are dropped. An unplanned job replaces the
    // plan, alone, with the attempts and timeout of the plan before.
    void await(const SweepJob &job, std::function<void(const AddressOutcome &)> done);

    int running() const { return m_running; }

private:
    enum class State { Waiting, Running, Done, Taken };
    struct Job {
        SweepJob job;
        State state = State::Waiting;
        int slot = -1; // the probe while running
        AddressOutcome outcome;
    };

    static quint64 keyOf(int location, int entry)
    {
        return (quint64(quint32(location)) << 32) | quint32(entry);
    }
    void replan(QList<SweepJob> plan);
    int indexOf(const SweepJob &job) const;
    void pump();
    bool mayStart(int index) const;
    void startJob(int index);
    void stopJob(int index);
    int takeSlot();
    void releaseSlot(int slot);
    void attemptStarted(int slot);
    void probeFinished(int slot, AddressOutcome outcome);
    void dropRefused();

    Prober &m_prober;
    StartupNotice &m_notice;
    CancelToken m_token;
    std::function<bool(const SweepJob &)> m_mayIssue;

    QList<Job> m_jobs;
    QHash<quint64, int> m_index; // key of (location, entry) -> place in m_jobs
    int m_window = 1;
    int m_attempts = 0;
    int m_timeoutMs = 0;
    int m_base = -1; // the job the walk awaits or took last; -1 before the first await
    int m_next = 0;  // where pump() looks for the next job to start
    int m_running = 0;
    std::function<void(const AddressOutcome &)> m_done; // the walk's wait for m_jobs[m_base]

    std::vector<AddressProbe *> m_probes; // children
    std::vector<int> m_slotJob;           // per probe: the job it runs, -1 when free
    std::vector<int> m_freeSlots;
    QTimer m_more; // starts what one pump() left to start
};

} // namespace qos
