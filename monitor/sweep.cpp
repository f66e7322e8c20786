#include "monitor/sweep.h"

#include <utility>

namespace qos {
namespace {

// Probes started in one go: a plan of thousands does not hold the window up while they start, and
// the echoes leave at 32 a millisecond anyway; the rest start from the event loop.
constexpr int kStartsAtOnce = 256;

} // namespace

Sweep::Sweep(Prober &prober, StartupNotice &notice, QObject *parent)
    : QObject(parent)
    , m_prober(prober)
    , m_notice(notice)
{
    m_more.setSingleShot(true);
    m_more.setInterval(0);
    connect(&m_more, &QTimer::timeout, this, &Sweep::pump);
}

Sweep::~Sweep()
{
    cancel();
}

void Sweep::start(QList<SweepJob> plan, const MainSettings &settings)
{
    m_window = WindowFor(settings.PINGINFLIGHT);
    m_attempts = settings.PINGPACKETS;
    m_timeoutMs = settings.PINGTIMEOUT;
    replan(std::move(plan));
}

void Sweep::replan(QList<SweepJob> plan)
{
    cancel();
    m_jobs.reserve(plan.size());
    for (SweepJob &job : plan) {
        m_index.insert(keyOf(job.location, job.entry), int(m_jobs.size()));
        m_jobs.append(Job{std::move(job), State::Waiting, -1, {}});
    }
}

void Sweep::cancel()
{
    m_done = nullptr;
    m_more.stop();
    for (std::size_t slot = 0; slot < m_slotJob.size(); ++slot) {
        if (m_slotJob[slot] >= 0) {
            m_probes[slot]->cancel();
            releaseSlot(int(slot));
        }
    }
    m_running = 0;
    m_jobs.clear();
    m_index.clear();
    m_base = -1;
    m_next = 0;
}

int Sweep::indexOf(const SweepJob &job) const
{
    const int i = m_index.value(keyOf(job.location, job.entry), -1);
    return i >= 0 && m_jobs.at(i).job.address == job.address ? i : -1;
}

bool Sweep::planned(const SweepJob &job) const
{
    const int i = indexOf(job);
    return i >= 0 && m_jobs.at(i).state != State::Taken;
}

void Sweep::await(const SweepJob &job, std::function<void(const AddressOutcome &)> done)
{
    if (!planned(job))
        replan({job});
    const int i = indexOf(job);
    for (int passed = qMax(m_base, 0); passed < i; ++passed) {
        stopJob(passed);
        m_jobs[passed].state = State::Taken;
    }
    m_base = i;
    m_next = qMax(m_next, i);
    pump();
    Job &awaited = m_jobs[i];
    if (awaited.state != State::Done) {
        m_done = std::move(done);
        return;
    }
    awaited.state = State::Taken;
    const AddressOutcome outcome = std::exchange(awaited.outcome, {});
    done(outcome);
}

// Starts waiting jobs in plan order while fewer than the window run, up to the first one mayIssue
// refuses; kStartsAtOnce at most, the others from the event loop.
void Sweep::pump()
{
    if (m_base < 0)
        return;
    for (int started = 0; m_running < m_window && m_next < m_jobs.size();) {
        if (m_jobs.at(m_next).state != State::Waiting) {
            ++m_next;
            continue;
        }
        if (!mayStart(m_next))
            break;
        if (started++ == kStartsAtOnce) {
            m_more.start();
            break;
        }
        startJob(m_next++);
    }
}

bool Sweep::mayStart(int index) const
{
    if (m_window == 1 && index != m_base)
        return false; // one at a time: only what the walk awaits
    return !m_mayIssue || m_mayIssue(m_jobs.at(index).job);
}

void Sweep::startJob(int index)
{
    const int slot = takeSlot();
    Job &job = m_jobs[index];
    job.state = State::Running;
    job.slot = slot;
    m_slotJob[slot] = index;
    ++m_running;
    m_probes[slot]->setToken(m_token);
    m_probes[slot]->start(job.job.address, m_attempts, m_timeoutMs);
}

// A running job goes back to waiting, its probe cancelled.
void Sweep::stopJob(int index)
{
    Job &job = m_jobs[index];
    if (job.state != State::Running)
        return;
    m_probes[job.slot]->cancel();
    releaseSlot(job.slot);
    --m_running;
    job.slot = -1;
    job.state = State::Waiting;
    m_next = qMin(m_next, index);
}

int Sweep::takeSlot()
{
    if (!m_freeSlots.empty()) {
        const int slot = m_freeSlots.back();
        m_freeSlots.pop_back();
        return slot;
    }
    const int slot = int(m_probes.size());
    auto *probe = new AddressProbe(m_prober, m_notice, this);
    connect(probe, &AddressProbe::attemptStarted, this, [this, slot] { attemptStarted(slot); });
    connect(probe, &AddressProbe::finished, this,
            [this, slot](const AddressOutcome &outcome) { probeFinished(slot, outcome); });
    m_probes.push_back(probe);
    m_slotJob.push_back(-1);
    return slot;
}

void Sweep::releaseSlot(int slot)
{
    m_slotJob[slot] = -1;
    m_freeSlots.push_back(slot);
}

// Before each attempt of a job: one that mayIssue refuses now goes back to waiting, and so do the
// other running ones it refuses.
void Sweep::attemptStarted(int slot)
{
    const int i = m_slotJob[slot];
    if (i >= 0 && m_mayIssue && !m_mayIssue(m_jobs.at(i).job))
        dropRefused(); // this probe among them
}

void Sweep::dropRefused()
{
    for (std::size_t slot = 0; slot < m_slotJob.size(); ++slot) {
        const int i = m_slotJob[slot];
        if (i >= 0 && !m_mayIssue(m_jobs.at(i).job))
            stopJob(i);
    }
}

// outcome is a copy: the probe's own may be reset below, when pump() starts it again.
void Sweep::probeFinished(int slot, AddressOutcome outcome)
{
    const int i = m_slotJob[slot];
    if (i < 0)
        return;
    releaseSlot(slot);
    --m_running;
    Job &job = m_jobs[i];
    job.slot = -1;
    if (i != m_base || !m_done) {
        job.state = State::Done;
        job.outcome = std::move(outcome);
        pump();
        return;
    }
    job.state = State::Taken;
    auto done = std::exchange(m_done, nullptr);
    pump();
    done(outcome);
}

} // namespace qos
