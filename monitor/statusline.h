#pragma once
// The Map View's status line `Label3` while monitoring waits for its next cycle: when that cycle
// starts and how long the last one took.
#include <QString>
#include <QtGlobal>
#include <optional>

namespace qos {

// What the cycle says when it has found no enabled location to probe.
inline constexpr char kNothingToMonitor[] = "Nothing to monitor: no enabled location";

// Whole seconds until the interval clock starts the next cycle (at least 1).
qint64 SecondsToNextCycle(qint32 secondsCounter, qint16 pingIntervalMinutes);

// "Monitoring... next cycle in 2:41, last took 1.2 s" while waiting (the cycle's text "Monitoring..."
// and no run in progress); the cycle's text as it is otherwise.
QString StatusLine(const QString &cycleText, bool waiting, qint64 secondsToNext,
                   std::optional<qint64> lastCycleMs);

} // namespace qos
