#pragma once
// What an evaluated location's outcome does to the location and to the operator: its `flash` flag,
// its indicator colour, the attention picture and the two sounds. The monitor cycle applies every
// outcome through here, and the List View's pings use the same pieces, so the decisions live once.
//
// Invariants:
//  - `flash` is "1" exactly while the location's latest outcome was offline; disabling a location
//    leaves it as it is.
//  - A sound plays only on a change of the indicator: the alert sound when a location becomes offline
//    (or changes between its two offline colours), the back-online sound when it becomes online, never
//    for the first outcome after monitoring started.
//  - Only `flash`, `center`, `failingCycles` and the run-time attention flags are written; `holdbad`
//    belongs to the evaluation that produced the outcome.
//  - The alert sink hears LocationTurned exactly when the indicator changes from a colour that is not
//    offline to an offline one (turned offline) or from an offline colour to an online one (back).
//  - With OFFLINECYCLES at 1 or below every cycle's outcome applies as it is. Above 1, a location not
//    flagged offline becomes offline only on the OFFLINECYCLES-th cycle in a row that found it
//    failing; before that it keeps its flag and colour. Online applies at once, without the
//    back-online sound when the location was never shown offline in between.
#include "monitor/alertsink.h"
#include "monitor/runstate.h"
#include "store/model.h"

namespace qos {

// Indicator of an evaluated location. partialIgnore: some of its addresses are ignored.
Indicator OutcomeIndicator(bool offline, bool partialIgnore);

// True when the location's `flash` reads as the number 1.
bool LocationFlagged(const LocationRecord &rec);
// True when some location 1..LocationCount has a `flash` that reads as the number 1.
bool AnyLocationFlagged(const LocationTable &table);

// Location k was found offline: flags it, raises the attention picture, plays the alert sound unless
// the indicator already showed this offline state, and colours the indicator red or dark red.
void ApplyLocationOffline(LocationTable &table, RunState &run, AlertSink &alerts, int k, bool partialIgnore);

// Location k was found online: clears its flag, lowers the attention picture once no location is
// flagged and the previous cycle had an offline one, plays the back-online sound unless the indicator
// already showed this online state or no cycle has completed since monitoring started, and colours
// the indicator green or cyan. sound false: no back-online sound whatever the change.
void ApplyLocationOnline(LocationTable &table, RunState &run, AlertSink &alerts, int k, bool partialIgnore,
                         bool sound = true);

// The monitor cycle's evaluation of location k found failing addresses (anyBad) or none: counts the
// cycles in a row that failed, and applies offline, online, or nothing yet (see the invariants).
void ApplyCycleResult(Configuration &cfg, RunState &run, AlertSink &alerts, int k, bool anyBad,
                      bool partialIgnore);
// Monitoring stopped: the next failing cycle is the first of a row again.
void ForgetFailingCycles(LocationTable &table);

} // namespace qos
