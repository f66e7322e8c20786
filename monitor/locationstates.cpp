#include "monitor/locationstates.h"

#include "store/model.h"
#include "store/text.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace qos {

// The two ways an evaluation's outcome applies: the cycle's, and Ping All's without sounds, without
// the turn for notifications, lowering the attention picture whenever no location is flagged.
struct LocationStates::Rule {
    bool sounds;
    bool announce;
    bool clearOnlyAfterOfflineCycle;
};
namespace {
constexpr LocationStates::Rule kCycle{true, true, true};
constexpr LocationStates::Rule kPingAll{false, false, false};
} // namespace

void ForgetOffline(QStringList &holdbad, const QString &address)
{
    holdbad.removeIf([&address](const QString &e) { return SameAddress(e, address); });
}

void RememberOffline(QStringList &holdbad, const QString &address)
{
    if (!address.isEmpty() && !ContainsAddress(holdbad, address))
        holdbad << address;
}

bool LocationFlagged(const LocationRecord &rec)
{
    bool ok = false;
    return rec.flash.trimmed().toInt(&ok) == 1 && ok;
}

LocationStates::LocationStates(Configuration &cfg, RunState &run, AlertSink &alerts, QObject *parent)
    : QObject(parent)
    , m_cfg(cfg)
    , m_run(run)
    , m_alerts(alerts)
{}

bool LocationStates::flaggedCountValid() const
{
    return m_flagged >= 0 && m_flaggedGeneration == m_cfg.generation &&
           m_flaggedRows == m_cfg.table.LocationCount();
}

bool LocationStates::anyFlagged() const
{
    if (!flaggedCountValid()) {
        m_flagged = 0;
        for (int k = 1; k <= m_cfg.table.LocationCount(); ++k)
            m_flagged += LocationFlagged(m_cfg.table[k]) ? 1 : 0;
        m_flaggedGeneration = m_cfg.generation;
        m_flaggedRows = m_cfg.table.LocationCount();
    }
    return m_flagged > 0;
}

void LocationStates::setFlash(int k, bool flagged)
{
    LocationRecord &r = rec(k);
    if (flaggedCountValid())
        m_flagged += int(flagged) - int(LocationFlagged(r));
    r.flash = QLatin1String(flagged ? "1" : "0");
}

bool LocationStates::anyShownOffline() const
{
    for (int k = 1; k <= m_cfg.table.LocationCount(); ++k) {
        if (OfflineColour(m_cfg.table[k].center))
            return true;
    }
    return false;
}

QStringList LocationStates::shownOffline() const
{
    QStringList sites;
    for (int k = 1; k <= m_cfg.table.LocationCount(); ++k) {
        if (OfflineColour(m_cfg.table[k].center))
            sites << m_cfg.table[k].site;
    }
    return sites;
}

void LocationStates::acknowledge()
{
    m_alerts.Silence();
    m_alerts.ClearAttention();
    if (!std::exchange(m_acknowledged, true))
        Q_EMIT acknowledgedChanged(true);
}

void LocationStates::noteTurn(Turn turn)
{
    const bool alarmTurn = turn == Turn::Offline || turn == Turn::Back; // slow never needed one
    if (alarmTurn && std::exchange(m_acknowledged, false))
        Q_EMIT acknowledgedChanged(false);
}

void LocationStates::showAttention()
{
    if (!m_acknowledged)
        m_alerts.ShowAttention();
}

QHash<LocationStates::Key, LocationStates::Known> &LocationStates::known()
{
    if (m_generation != m_cfg.generation) {
        m_known.clear();
        m_known.reserve(AddressCount(m_cfg.table)); // as the history's tracks
        m_windows.clear();
        m_generation = m_cfg.generation;
    }
    return m_known;
}

ProbeWindow &LocationStates::window(int k)
{
    known(); // a table loaded anew forgets the probes with the outcomes
    if (m_windows.size() <= size_t(k))
        m_windows.resize(size_t(k) + 1);
    return m_windows[size_t(k)];
}

const LocationStates::Known *LocationStates::knownOf(int k, const QString &address) const
{
    if (m_generation != m_cfg.generation)
        return nullptr;
    const auto it = m_known.constFind(Key(k, AddressKey(TrimSpaces(address))));
    return it == m_known.cend() ? nullptr : &*it;
}

SlowFigures LocationStates::slowFigures(int k) const
{
    if (m_generation != m_cfg.generation || k < 0 || size_t(k) >= m_windows.size())
        return SlowFigures{};
    return m_windows[size_t(k)].figures();
}

const ParentLinks &LocationStates::links() const
{
    if (m_linksStale || m_linksGeneration != m_cfg.generation ||
        m_links.parent.size() != size_t(m_cfg.table.LocationCount()) + 1) {
        m_links = ResolveParents(m_cfg.table);
        m_linksGeneration = m_cfg.generation;
        m_linksStale = false;
    }
    return m_links;
}

int LocationStates::parentOf(int k) const
{
    const std::vector<int> &parent = links().parent;
    return k >= 1 && size_t(k) < parent.size() ? parent[size_t(k)] : 0;
}

AddressHealth LocationStates::health(int k, const QString &address) const
{
    if (const Known *known = knownOf(k, address))
        return known->answered ? AddressHealth::Answering : AddressHealth::Failing;
    if (k >= 1 && k <= m_cfg.table.LocationCount() && ContainsAddress(m_cfg.table[k].holdbad, TrimSpaces(address)))
        return AddressHealth::Failing;
    return AddressHealth::NotProbed;
}

QString LocationStates::latestStatus(int k, const QString &address) const
{
    const Known *known = knownOf(k, address);
    if (!known)
        return {};
    return known->told ? ProbeStatusText(known->status) : QLatin1String(NotProbedText);
}

void LocationStates::probed(int k, const QString &address, const AddressOutcome &outcome)
{
    if (k >= 1 && k <= m_cfg.table.LocationCount()) {
        known().insert(Key(k, AddressKey(TrimSpaces(address))),
                       Known{outcome.status, outcome.answered, outcome.told()});
        window(k).add(outcome);
    }
    Q_EMIT addressProbed(k, address, outcome);
}

// ---- Applying an evaluation ----

void LocationStates::setIndicator(int k, Indicator colour, Turn turned)
{
    rec(k).center = colour;
    Q_EMIT changed(StateChange{k, colour, turned});
}

Evaluation LocationStates::evaluation(int k, int failing, bool partialIgnore) const
{
    const LocationRecord &r = m_cfg.table[k];
    const QStringList ignores = SplitAddressList(r.ignore);
    Evaluation e;
    e.failing = failing;
    e.partialIgnore = partialIgnore;
    for (const QString &entry : SplitAddressList(r.siteip))
        e.monitored += ContainsAddress(ignores, entry) ? 0 : 1;
    return e;
}

Surroundings LocationStates::surroundings(int k, const Evaluation &e) const
{
    Surroundings s;
    s.partial = m_cfg.settings.PARTIAL != 0;
    const int p = parentOf(k);
    s.parentDown = p > 0 && DownColour(m_cfg.table[p].center);
    s.slow = e.failing == 0 && CrossesSlow(slowFigures(k), m_cfg.settings);
    return s;
}

void LocationStates::applyOutcome(int k, const Evaluation &e, const Rule &rule, bool onlineSound)
{
    LocationRecord &r = rec(k);
    const Indicator colour = DecideIndicator(e, surroundings(k, e));
    const Turn turn = TurnOf(r.center, colour);
    noteTurn(turn);
    if (OfflineColour(colour)) {
        setFlash(k, true);
        m_run.AnyOfflineThisCycle = 1;
        showAttention();
        if (rule.sounds && r.center != colour && !m_acknowledged)
            m_alerts.PlayAlertSound();
    } else {
        setFlash(k, false);
        // Only when it matters.
        if ((!rule.clearOnlyAfterOfflineCycle || m_run.LastCycleHadOffline == 1) && !anyFlagged()) {
            m_run.LastCycleHadOffline = 0;
            m_alerts.ClearAttention();
        }
        if (rule.sounds && onlineSound && BackOnlineSound(r.center, colour) && m_run.FirstCycle != 1)
            m_alerts.PlayOnlineSound();
    }
    const Indicator before = std::exchange(r.center, colour);
    if (rule.announce)
        announce(k, before, turn);
    setIndicator(k, colour, turn);
}

void LocationStates::announce(int k, Indicator before, Turn turn)
{
    const LocationRecord &r = rec(k);
    if (turn != Turn::None)
        m_alerts.LocationTurned(r, turn, turn == Turn::Slow ? SlowFiguresText(slowFigures(k)) : QString());
    if (r.center != Indicator::Unreachable || before == Indicator::Unreachable)
        return;
    // The cause: the first location up the parents that is not unreachable itself.
    int cause = parentOf(k);
    for (int steps = 0;
         cause > 0 && rec(cause).center == Indicator::Unreachable && steps < m_cfg.table.LocationCount();
         ++steps)
        cause = parentOf(cause);
    if (cause > 0)
        m_alerts.LocationBehindUnreachable(rec(cause));
}

// ---- The monitor cycle ----

void LocationStates::cycleStarted(bool resumed)
{
    // A resumed cycle keeps what its part before the pause found, so an offline location seen there
    // still counts when the cycle decides about the attention picture at its end.
    if (!resumed)
        m_run.AnyOfflineThisCycle = 0;
    if (resumed && m_walking)
        return; // its held children still wait for their parents
    m_walking = true;
    ++m_cycle;
    clearHeld();
}

void LocationStates::cycleAddressFailed(int k, const QString &address, bool first)
{
    QStringList &holdbad = rec(k).holdbad;
    if (first)
        holdbad.clear(); // replaced only by an evaluation that has a failure
    if (!address.isEmpty())
        holdbad << address;
}

void LocationStates::cycleEvaluated(int k, bool anyBad, bool partialIgnore)
{
    const Evaluation e =
        evaluation(k, anyBad ? int(qMax(qsizetype(1), rec(k).holdbad.size())) : 0, partialIgnore);
    const int p = parentOf(k);
    if (m_walking && p > 0 && (size_t(p) >= m_decidedIn.size() || m_decidedIn[size_t(p)] != m_cycle)) {
        hold(k, e); // its parent comes later in this cycle
        return;
    }
    decide(k, e);
}

void LocationStates::decide(int k, const Evaluation &e)
{
    LocationRecord &r = rec(k);
    if (e.failing == 0) {
        // Failing cycles that were not yet enough to show it offline: it never went, so it is not back.
        const bool unseen = m_cfg.settings.OFFLINECYCLES > 1 && r.failingCycles > 0 && !LocationFlagged(r);
        r.failingCycles = 0;
        applyOutcome(k, e, kCycle, !unseen);
    } else {
        r.failingCycles = qMin(r.failingCycles + 1, int(std::numeric_limits<qint16>::max()));
        if (r.failingCycles >= m_cfg.settings.OFFLINECYCLES || LocationFlagged(r))
            applyOutcome(k, e, kCycle);
        else
            setIndicator(k, r.center); // not yet: told unchanged, as every evaluation is
    }
    decided(k);
}

void LocationStates::decided(int k)
{
    if (!m_walking)
        return;
    if (m_decidedIn.size() <= size_t(k))
        m_decidedIn.resize(size_t(m_cfg.table.LocationCount()) + 1);
    m_decidedIn[size_t(k)] = m_cycle;
    if (m_heldByParent.isEmpty())
        return;
    QList<int> children = m_heldByParent.values(k);
    std::sort(children.begin(), children.end()); // in table order
    for (const int child : std::as_const(children))
        if (const std::optional<Evaluation> e = unhold(child))
            decide(child, *e);
}

void LocationStates::clearHeld()
{
    m_held.clear();
    m_heldByParent.clear();
}

void LocationStates::hold(int k, const Evaluation &e)
{
    unhold(k);
    const int parent = parentOf(k);
    m_held.insert(k, HeldChild{parent, e});
    m_heldByParent.insert(parent, k);
}

std::optional<Evaluation> LocationStates::unhold(int k)
{
    const auto it = m_held.find(k);
    if (it == m_held.end())
        return std::nullopt;
    m_heldByParent.remove(it->parent, k);
    const Evaluation e = it->evaluation;
    m_held.erase(it);
    return e;
}

// The cycle ended with children whose parents it did not decide: each goes after its own parent.
void LocationStates::releaseHeld()
{
    while (!m_held.isEmpty()) {
        auto it = m_held.begin();
        while (m_held.contains(parentOf(it.key())))
            it = m_held.find(parentOf(it.key()));
        const int k = it.key();
        decide(k, *unhold(k));
    }
}

void LocationStates::cycleFinished()
{
    releaseHeld();
    m_walking = false;
    if (m_run.AnyOfflineThisCycle != 1) {
        m_run.LastCycleHadOffline = 0;
        m_alerts.ClearAttention();
    } else {
        m_run.LastCycleHadOffline = 1;
    }
}

void LocationStates::showDisabled(int k)
{
    setIndicator(k, Indicator::Black); // `flash` and `holdbad` keep their values
    decided(k);
}

void LocationStates::showAllWaiting()
{
    m_walking = false;
    clearHeld();
    for (int k = 1; k <= m_cfg.table.LocationCount(); ++k)
        setIndicator(k, Indicator::White);
}

void LocationStates::monitoringStopped()
{
    if (std::exchange(m_acknowledged, false))
        Q_EMIT acknowledgedChanged(false);
    m_run.LastCycleHadOffline = 0;
    m_alerts.ClearAttention();
    m_walking = false;
    clearHeld();
    for (LocationRecord &r : m_cfg.table.records)
        r.failingCycles = 0;
}

// ---- The List View ----

void LocationStates::pingAllFinished(int k, const QStringList &failing, bool enabled, bool partialIgnore)
{
    unhold(k); // newer than what the cycle found
    rec(k).holdbad = failing;
    if (enabled)
        applyOutcome(k, evaluation(k, int(failing.size()), partialIgnore), kPingAll);
}

void LocationStates::pingIpFinished(int k, const PingIp &ping)
{
    LocationRecord &r = rec(k);
    unhold(k);
    if (ping.answered) {
        ForgetOffline(r.holdbad, ping.address);
        if (ping.enabled && r.holdbad.isEmpty())
            setFlash(k, false);
    } else {
        if (ping.enabled && !ping.ignored) // an ignored address or a disabled location flags nothing
            setFlash(k, true);
        if (ping.enabled && !ping.movedIgnored)
            RememberOffline(r.holdbad, ping.address);
    }
    if (ping.ignored || !ping.monitoring)
        return; // an ignored address changes neither the marker nor the indicator
    if (ping.enabled) {
        int failing = 0;
        bool ignoredRows = false;
        const QStringList ignores = SplitAddressList(r.ignore);
        for (const QString &entry : SplitAddressList(r.siteip)) {
            if (ContainsAddress(ignores, entry))
                ignoredRows = true;
            else if (!TrimSpaces(entry).isEmpty() && health(k, entry) == AddressHealth::Failing)
                ++failing;
        }
        const Evaluation e = evaluation(k, failing, ignoredRows);
        const Indicator colour = DecideIndicator(e, surroundings(k, e));
        if (!OfflineColour(colour))
            setFlash(k, false);
        const Turn turn = TurnOf(r.center, colour);
        noteTurn(turn);
        setIndicator(k, colour, turn);
    }
    attentionFromFlags();
}

void LocationStates::attentionFromFlags()
{
    if (anyFlagged())
        showAttention();
    else
        m_alerts.ClearAttention();
}

void LocationStates::setEnabled(int k, bool enabled)
{
    setIndicator(k, enabled ? Indicator::White : Indicator::Black);
    if (enabled)
        Q_EMIT locationEnabled(k);
}

void LocationStates::ignoresChanged(int k, bool partialIgnore)
{
    if (partialIgnore)
        return;
    const Indicator colour = rec(k).center;
    if (colour == Indicator::Cyan)
        setIndicator(k, Indicator::Green);
    else if (colour == Indicator::DarkRed)
        setIndicator(k, Indicator::Red);
}

void LocationStates::addressRemoved(int k, const QString &address)
{
    known().remove(Key(k, AddressKey(TrimSpaces(address))));
    ForgetOffline(rec(k).holdbad, TrimSpaces(address));
}

} // namespace qos
