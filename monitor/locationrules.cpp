#include "monitor/locationrules.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace qos {

Indicator OutcomeIndicator(bool offline, bool partialIgnore)
{
    if (offline)
        return partialIgnore ? Indicator::DarkRed : Indicator::Red;
    return partialIgnore ? Indicator::Cyan : Indicator::Green;
}

Indicator DecideIndicator(const Evaluation &e, const Surroundings &s)
{
    if (e.failing <= 0)
        return s.slow ? Indicator::Slow : OutcomeIndicator(false, e.partialIgnore);
    if (s.partial && e.failing < e.monitored)
        return Indicator::PartlyDown;
    if (s.parentDown)
        return Indicator::Unreachable;
    return OutcomeIndicator(true, e.partialIgnore);
}

bool OfflineColour(Indicator colour)
{
    return colour == Indicator::Red || colour == Indicator::DarkRed || colour == Indicator::PartlyDown;
}

bool DownColour(Indicator colour)
{
    return colour == Indicator::Red || colour == Indicator::DarkRed || colour == Indicator::Unreachable;
}

bool UpColour(Indicator colour)
{
    return colour == Indicator::Green || colour == Indicator::Cyan || colour == Indicator::Slow;
}

Turn TurnOf(Indicator from, Indicator to)
{
    if (OfflineColour(to) && !OfflineColour(from))
        return Turn::Offline;
    if (OfflineColour(from) && UpColour(to))
        return Turn::Back;
    if (to == Indicator::Slow && from != Indicator::Slow)
        return Turn::Slow;
    if (from == Indicator::Slow && (to == Indicator::Green || to == Indicator::Cyan))
        return Turn::NotSlow;
    return Turn::None;
}

bool BackOnlineSound(Indicator from, Indicator to)
{
    if (from == to)
        return false;
    if (to == Indicator::Slow)
        return OfflineColour(from);
    return (to == Indicator::Green || to == Indicator::Cyan) && from != Indicator::Slow &&
           from != Indicator::Unreachable;
}

bool CrossesSlow(const SlowFigures &f, const MainSettings &settings)
{
    if (f.probes == 0)
        return false;
    const bool slowTrips = settings.SLOWMS > 0 && f.medianUs > qint64(settings.SLOWMS) * 1000;
    const bool lossy = settings.SLOWLOSS > 0 && f.lossPercent > double(settings.SLOWLOSS);
    return slowTrips || lossy;
}

QString SlowFiguresText(const SlowFigures &f)
{
    const QString median = f.medianUs < 0
                               ? QStringLiteral("no reply")
                               : QStringLiteral("median %1 ms")
                                     .arg(double(f.medianUs) / 1000.0, 0, 'f', f.medianUs < 10000 ? 1 : 0);
    return QStringLiteral("%1, loss %2% over the last %3 probes")
        .arg(median)
        .arg(std::lround(f.lossPercent))
        .arg(f.probes);
}

void ProbeWindow::add(const AddressOutcome &outcome)
{
    if (outcome.echoes <= 0)
        return; // nothing went out: neither a round trip nor a loss
    Probe &p = m_probes[size_t(m_next)];
    p.echoes = outcome.echoes;
    p.roundTripUs = outcome.answered ? outcome.roundTripUs : -1;
    p.lost = outcome.answered ? outcome.echoes - 1 : outcome.echoes;
    m_next = (m_next + 1) % kSlowProbes;
    m_size = qMin(m_size + 1, kSlowProbes);
}

SlowFigures ProbeWindow::figures() const
{
    SlowFigures f;
    f.probes = m_size;
    std::vector<qint64> trips;
    int echoes = 0, lost = 0;
    for (int i = 0; i < m_size; ++i) {
        const Probe &p = m_probes[size_t(i)];
        echoes += p.echoes;
        lost += p.lost;
        if (p.roundTripUs >= 0)
            trips.push_back(p.roundTripUs);
    }
    if (!trips.empty()) {
        std::sort(trips.begin(), trips.end());
        const size_t mid = trips.size() / 2;
        f.medianUs = trips.size() % 2 ? trips[mid] : (trips[mid - 1] + trips[mid]) / 2;
    }
    f.lossPercent = echoes > 0 ? 100.0 * lost / echoes : 0.0;
    return f;
}

} // namespace qos
