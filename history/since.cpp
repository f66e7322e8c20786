#include "history/since.h"

#include "history/figures.h"
#include "store/text.h"

namespace qos {
namespace {

// The later states are sides of their own: "slow since" tells when it became slow.
enum class Side { Neutral, Up, Down, Breaks, Unreachable, PartlyDown, Slow };

Side SideOf(State state)
{
    switch (state) {
    case State::Unreachable:
        return Side::Unreachable;
    case State::PartlyDown:
        return Side::PartlyDown;
    case State::Slow:
        return Side::Slow;
    default:
        break;
    }
    if (IsUp(state))
        return Side::Up;
    if (IsDown(state))
        return Side::Down;
    return state == State::Disabled ? Side::Breaks : Side::Neutral;
}

QString StateWord(State state)
{
    if (state == State::OnlinePartial)
        return StateName(State::Online);
    if (state == State::OfflinePartial)
        return StateName(State::Offline);
    return StateName(state);
}

QString Since(State state, std::optional<qint64> sinceMs, qint64 nowMs, const QTimeZone &zone)
{
    if (!sinceMs)
        return StateWord(state);
    QString text = StateWord(state) + QStringLiteral(" since ") + ClockText(*sinceMs, nowMs, zone);
    if (IsDown(state) || state == State::Slow)
        text += QStringLiteral(" (%1)").arg(DurationText(nowMs - *sinceMs));
    return text;
}

} // namespace

std::optional<qint64> SinceMs(const EventLog &log, const QString &site, const QString &address, State now)
{
    const Side side = SideOf(now);
    const std::optional<quint32> siteId = log.idOf(site);
    const std::optional<quint32> addressId =
        address.isEmpty() ? std::optional<quint32>(0) : log.idOf(address);
    if (!siteId || !addressId)
        return std::nullopt;
    std::optional<qint64> since;
    const QList<HistoryEvent> &events = log.events();
    for (qsizetype i = events.size() - 1; i >= 0; --i) {
        const HistoryEvent &e = events.at(i);
        if (e.location != *siteId || e.address != *addressId)
            continue;
        const Side to = SideOf(e.to);
        if (side == Side::Neutral || side == Side::Breaks)
            return e.to == now ? std::optional<qint64>(e.timeMs) : std::nullopt;
        if (to == side)
            since = e.timeMs;
        else if (to != Side::Neutral)
            break;
    }
    return since;
}

LocationFacts FactsOf(const Configuration &cfg, const LocationStates &states, const EventLog &log, int k)
{
    LocationFacts f;
    if (k < 1 || k > cfg.table.LocationCount())
        return f;
    const LocationRecord &rec = cfg.table[k];
    f.site = rec.site;
    f.state = StateOf(rec.center);
    f.sinceMs = SinceMs(log, rec.site, {}, f.state);
    f.failing = rec.holdbad;
    if (f.state == State::Slow)
        f.slowFigures = SlowFiguresText(states.slowFigures(k));
    const QStringList ignores = SplitAddressList(rec.ignore);
    for (const QString &entry : SplitAddressList(rec.siteip)) {
        if (TrimSpaces(entry).isEmpty())
            continue;
        if (ContainsAddress(ignores, entry)) {
            ++f.ignored;
            continue;
        }
        ++f.monitored;
        if (states.health(k, entry) == AddressHealth::Answering)
            ++f.answering;
    }
    return f;
}

QString SinceText(const LocationFacts &f, qint64 nowMs, const QTimeZone &zone)
{
    return f.site + QLatin1Char(' ') + Since(f.state, f.sinceMs, nowMs, zone);
}

QString LocationLine(const LocationFacts &f, qint64 nowMs, const QTimeZone &zone)
{
    QString line = SinceText(f, nowMs, zone);
    if (IsUp(f.state) || f.state == State::PartlyDown) {
        line += QStringLiteral(", %1 of %2 answering").arg(f.answering).arg(f.monitored);
        if (f.ignored > 0)
            line += QStringLiteral(", %1 ignored").arg(f.ignored);
        if (!f.slowFigures.isEmpty())
            line += QStringLiteral(", ") + f.slowFigures;
    }
    if (IsDown(f.state) && !f.failing.isEmpty()) {
        line += QStringLiteral(": ") + f.failing.mid(0, kMaxLineAddresses).join(QStringLiteral(", "));
        if (f.failing.size() > kMaxLineAddresses)
            line += QStringLiteral(" and %1 more").arg(f.failing.size() - kMaxLineAddresses);
    }
    return line;
}

QString AddressSinceText(State state, std::optional<qint64> sinceMs, qint64 nowMs, const QTimeZone &zone)
{
    return IsAddressState(state) ? Since(state, sinceMs, nowMs, zone) : QString();
}

} // namespace qos
