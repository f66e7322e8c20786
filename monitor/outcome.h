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
//  - Only `flash`, `center` and the run-time attention flags are written; `holdbad` belongs to the
//    evaluation that produced the outcome.
#include "monitor/alertsink.h"
#include "monitor/runstate.h"
#include "store/model.h"

namespace qos {

// Indicator of an evaluated location. partialIgnore: some of its addresses are ignored.
Indicator OutcomeIndicator(bool offline, bool partialIgnore);

// True when some location 1..LocationCount has a `flash` that reads as the number 1.
bool AnyLocationFlagged(const LocationTable &table);

// Location k was found offline: flags it, raises the attention picture, plays the alert sound unless
// the indicator already showed this offline state, and colours the indicator red or dark red.
void ApplyLocationOffline(LocationTable &table, RunState &run, AlertSink &alerts, int k, bool partialIgnore);

// Location k was found online: clears its flag, lowers the attention picture once no location is
// flagged and the previous cycle had an offline one, plays the back-online sound unless the indicator
// already showed this online state or no cycle has completed since monitoring started, and colours
// the indicator green or cyan.
void ApplyLocationOnline(LocationTable &table, RunState &run, AlertSink &alerts, int k, bool partialIgnore);

} // namespace qos
