#pragma once
// The monitor cycle as the Map View hosts it.
//
// Invariants:
//  - The cycle runs on the window's own clocks (`Timer1`, `Timer2`); after start-up only the cycle
//    starts and stops `Timer1`.
//  - Its alerts are the window's Alerts, so the window icon and the tray icon switch together.
//  - `Label3` shows the cycle's status text; `center`(k) is repainted whenever the cycle writes
//    record k's colour.
//  - `Command3` is enabled exactly while monitoring is off and `Command4` exactly while it is on. Outside
//    placement mode the enabled one is the one shown; in placement mode both stay hidden and the
//    placement code shows the right one again from `Command3`'s enabled state when it ends.
#include <memory>

namespace qos {

class MapView;
class MonitorCycle;
struct MapViewEnvironment;

// Creates the cycle for a Map View that has finished building its controls, connects it to them, and
// sets the status line and buttons from its state. Null when the environment names no prober or no
// start-up notice: such a window shows the monitor controls but monitors nothing.
std::unique_ptr<MonitorCycle> HostMonitorCycle(MapView &view, const MapViewEnvironment &env);

} // namespace qos
