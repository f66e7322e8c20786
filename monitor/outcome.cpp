#include "monitor/outcome.h"

namespace qos {

Indicator OutcomeIndicator(bool offline, bool partialIgnore)
{
    if (offline)
        return partialIgnore ? Indicator::DarkRed : Indicator::Red;
    return partialIgnore ? Indicator::Cyan : Indicator::Green;
}

bool AnyLocationFlagged(const LocationTable &table)
{
    for (int k = 1; k <= table.LocationCount(); ++k) {
        bool ok = false;
        if (table[k].flash.trimmed().toInt(&ok) == 1 && ok)
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
    if (rec.center != colour)
        alerts.PlayAlertSound();
    rec.center = colour;
}

void ApplyLocationOnline(LocationTable &table, RunState &run, AlertSink &alerts, int k, bool partialIgnore)
{
    LocationRecord &rec = table[k];
    rec.flash = QStringLiteral("0");
    if (run.LastCycleHadOffline == 1 && !AnyLocationFlagged(table)) { // the scan only when it matters
        run.LastCycleHadOffline = 0;
        alerts.ClearAttention();
    }
    const Indicator colour = OutcomeIndicator(false, partialIgnore);
    if (rec.center != colour && run.FirstCycle != 1)
        alerts.PlayOnlineSound();
    rec.center = colour;
}

} // namespace qos
