#include "monitor/locationstates.h"

#include "store/model.h"
#include "store/text.h"

#include <limits>
#include <utility>

namespace qos {

bool OfflineColour(Indicator colour)
{
    return colour == Indicator::Red || colour == Indicator::DarkRed;
}

namespace {

Turn TurnOf(Indicator from, Indicator to)
{
    if (OfflineColour(to) && !OfflineColour(from))
        return Turn::Offline;
    if (OfflineColour(from) && (to == Indicator::Green || to == Indicator::Cyan))
        return Turn::Back;
    return Turn::None;
}

} // namespace

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

Indicator OutcomeIndicator(bool offline, bool partialIgnore)
{
    if (offline)
        return partialIgnore ? Indicator::DarkRed : Indicator::Red;
    return partialIgnore ? Indicator::Cyan : Indicator::Green;
}

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
    , m_generation(cfg.generation)
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
    if (turn != Turn::None && std::exchange(m_acknowledged, false))
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
        m_generation = m_cfg.generation;
    }
    return m_known;
}

const LocationStates::Known *LocationStates::knownOf(int k, const QString &address) const
{
    if (m_generation != m_cfg.generation)
        return nullptr;
    const auto it = m_known.constFind(Key(k, AddressKey(TrimSpaces(address))));
    return it == m_known.cend() ? nullptr : &*it;
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
    if (k >= 1 && k <= m_cfg.table.LocationCount())
        known().insert(Key(k, AddressKey(TrimSpaces(address))),
                       Known{outcome.status, outcome.answered, outcome.told()});
    Q_EMIT addressProbed(k, address, outcome);
}

// ---- Applying an evaluation ----

void LocationStates::setIndicator(int k, Indicator colour, Turn turned)
{
    rec(k).center = colour;
    Q_EMIT changed(StateChange{k, colour, turned});
}

void LocationStates::applyOutcome(int k, bool offline, bool partialIgnore, const Rule &rule, bool onlineSound)
{
    LocationRecord &r = rec(k);
    const Indicator colour = OutcomeIndicator(offline, partialIgnore);
    const Turn turn = TurnOf(r.center, colour);
    noteTurn(turn);
    if (offline) {
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
        if (rule.sounds && onlineSound && r.center != colour && m_run.FirstCycle != 1)
            m_alerts.PlayOnlineSound();
    }
    r.center = colour;
    if (rule.announce && turn != Turn::None)
        m_alerts.LocationTurned(r, turn == Turn::Offline);
    setIndicator(k, colour, turn);
}

// ---- The monitor cycle ----

void LocationStates::cycleStarted(bool resumed)
{
    // A resumed cycle keeps what its part before the pause found, so an offline location seen there
    // still counts when the cycle decides about the attention picture at its end.
    if (!resumed)
        m_run.AnyOfflineThisCycle = 0;
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
    LocationRecord &r = rec(k);
    if (!anyBad) {
        // Failing cycles that were not yet enough to show it offline: it never went, so it is not back.
        const bool unseen = m_cfg.settings.OFFLINECYCLES > 1 && r.failingCycles > 0 && !LocationFlagged(r);
        r.failingCycles = 0;
        applyOutcome(k, false, partialIgnore, kCycle, !unseen);
        return;
    }
    r.failingCycles = qMin(r.failingCycles + 1, int(std::numeric_limits<qint16>::max()));
    if (r.failingCycles >= m_cfg.settings.OFFLINECYCLES || LocationFlagged(r))
        applyOutcome(k, true, partialIgnore, kCycle);
    else
        setIndicator(k, r.center); // not yet: told unchanged, as every evaluation is
}

void LocationStates::cycleFinished()
{
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
}

void LocationStates::showAllWaiting()
{
    for (int k = 1; k <= m_cfg.table.LocationCount(); ++k)
        setIndicator(k, Indicator::White);
}

void LocationStates::monitoringStopped()
{
    if (std::exchange(m_acknowledged, false))
        Q_EMIT acknowledgedChanged(false);
    m_run.LastCycleHadOffline = 0;
    m_alerts.ClearAttention();
    for (LocationRecord &r : m_cfg.table.records)
        r.failingCycles = 0;
}

// ---- The List View ----

void LocationStates::pingAllFinished(int k, const QStringList &failing, bool enabled, bool partialIgnore)
{
    rec(k).holdbad = failing;
    if (enabled)
        applyOutcome(k, !failing.isEmpty(), partialIgnore, kPingAll);
}

void LocationStates::pingIpFinished(int k, const PingIp &ping)
{
    LocationRecord &r = rec(k);
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
        bool offline = false;
        bool ignoredRows = false;
        const QStringList ignores = SplitAddressList(r.ignore);
        for (const QString &entry : SplitAddressList(r.siteip)) {
            if (ContainsAddress(ignores, entry))
                ignoredRows = true;
            else if (!TrimSpaces(entry).isEmpty() && health(k, entry) == AddressHealth::Failing)
                offline = true;
        }
        if (!offline)
            setFlash(k, false);
        const Indicator colour = OutcomeIndicator(offline, ignoredRows);
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
