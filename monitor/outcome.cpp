#include "monitor/outcome.h"

#include <limits>

namespace qos {

Indicator OutcomeIndicator(bool offline, bool partialIgnore)
{
    if (offline)
        return partialIgnore ? Indicator::DarkRed : Indicator::Red;
    return partialIgnore ? Indicator::Cyan : Indicator::Green;
}

namespace {

bool OfflineColour(Indicator colour)
{
    return colour == Indicator::Red || colour == Indicator::DarkRed;
}

} // namespace

bool LocationFlagged(const LocationRecord &rec)
{
    bool ok = false;
    return rec.flash.trimmed().toInt(&ok) == 1 && ok;
}

bool AnyLocationFlagged(const LocationTable &table)
{
    for (int k = 1; k <= table.LocationCount(); ++k) {
        if (LocationFlagged(table[k]))
            return true;
    }
    return false;
}

void ApplyLocationOffline(LocationTable &table, RunState &run, AlertSink &alerts, int k, bool partialIgnore)
{
    LocationRecord &rec = table[k];
    rec.flash = QStringLiteral("1");
    run.AnyOfflineThisCycle = 1;
    alerts.ShowAttention();
    const Indicator colour = OutcomeIndicator(true, partialIgnore);
    const bool turned = !OfflineColour(rec.center);
    if (rec.center != colour)
        alerts.PlayAlertSound();
    rec.center = colour;
    if (turned)
        alerts.LocationTurned(rec, true);
}

void ApplyLocationOnline(LocationTable &table, RunState &run, AlertSink &alerts, int k, bool partialIgnore,
                         bool sound)
{
    LocationRecord &rec = table[k];
    rec.flash = QStringLiteral("0");
    if (run.LastCycleHadOffline == 1 && !AnyLocationFlagged(table)) { // the scan only when it matters
        run.LastCycleHadOffline = 0;
        alerts.ClearAttention();
    }
    const Indicator colour = OutcomeIndicator(false, partialIgnore);
    const bool turned = OfflineColour(rec.center);
    if (rec.center != colour && run.FirstCycle != 1 && sound)
        alerts.PlayOnlineSound();
    rec.center = colour;
    if (turned)
        alerts.LocationTurned(rec, false);
}

void ApplyCycleResult(Configuration &cfg, RunState &run, AlertSink &alerts, int k, bool anyBad,
                      bool partialIgnore)
{
    LocationRecord &rec = cfg.table[k];
    if (!anyBad) {
        // Failing cycles that were not yet enough to show it offline: it never went, so it is not back.
        const bool unseen = cfg.settings.OFFLINECYCLES > 1 && rec.failingCycles > 0 && !LocationFlagged(rec);
        rec.failingCycles = 0;
        ApplyLocationOnline(cfg.table, run, alerts, k, partialIgnore, !unseen);
        return;
    }
    rec.failingCycles = qMin(rec.failingCycles + 1, int(std::numeric_limits<qint16>::max()));
    if (rec.failingCycles >= cfg.settings.OFFLINECYCLES || LocationFlagged(rec))
        ApplyLocationOffline(cfg.table, run, alerts, k, partialIgnore);
}

void ForgetFailingCycles(LocationTable &table)
{
    for (LocationRecord &rec : table.records)
        rec.failingCycles = 0;
}

} // namespace qos
