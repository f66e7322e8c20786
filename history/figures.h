#pragma once
// What the history window shows of one location, worked out from the event log: the periods each
// state lasted, the share of the watched time a location or address was up, and their texts.
//
// Invariants:
//  - A period runs from the change that entered its state to the next change of the same subject;
//    the last one is ongoing and runs to now. Unknown time (before the first change, and for an
//    address while its location is waiting or disabled) is no period.
//  - The share counts only time found up or down inside the span; waiting and disabled time is
//    neither, so it is undefined while nothing in the span was watched.
#include "history/events.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTimeZone>

namespace qos {

struct Period {
    State state = State::Unknown;
    qint64 fromMs = 0;
    qint64 toMs = 0;
    bool ongoing = false;
    bool operator==(const Period &) const = default;
};

// The periods of a location (address empty) or of one of its addresses that overlap [fromMs, nowMs],
// oldest first, with their true start and end times.
QList<Period> SubjectPeriods(const EventLog &log, const QString &site, const QString &address, qint64 fromMs,
                             qint64 nowMs);

struct UpShare {
    qint64 upMs = 0;
    qint64 downMs = 0;
    bool known() const { return upMs + downMs > 0; }
    double percent() const { return known() ? 100.0 * double(upMs) / double(upMs + downMs) : 0.0; }
};
// Up and down time of the periods inside [fromMs, toMs].
UpShare ShareUp(const QList<Period> &periods, qint64 fromMs, qint64 toMs);

// The addresses a location's events name, in the order they first appear.
QStringList EventAddresses(const EventLog &log, const QString &site);

// "40 s", "17 min", "2 h 5 min", "3 d 4 h".
QString DurationText(qint64 ms);
// "14:02" on the day of nowMs, else "2024-05-01 14:02"; with seconds, "14:02:05".
QString ClockText(qint64 ms, qint64 nowMs, const QTimeZone &zone, bool seconds = false);
// "offline 14:02 to 14:19, 17 min"; "online since 14:19, 2 h 3 min"; with seconds when both ends
// fall in one minute: "offline 14:02:05 to 14:02:38, 33 s".
QString PeriodText(const Period &p, qint64 nowMs, const QTimeZone &zone);
// "online 99.2% of the watched time" or "not watched in this span".
QString ShareText(const UpShare &share, bool address);

} // namespace qos
