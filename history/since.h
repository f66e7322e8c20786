#pragma once
// Since when a location or an address has been in the state it shows, read from the event log, and
// the one-line texts that tell it: the markers' tooltips, the List View's location line and row
// tooltips, and the tray tooltip's lines.
//
// Invariants:
//  - The time is that of the oldest change into the subject's present side (up: online or
//    answering; down: offline or not answering) that no change to the other side follows. Waiting
//    time in between (the program ended, monitoring stopped) does not break it, so a location
//    offline before a restart and offline after it has been offline since the first time; a
//    location disabled in between starts afresh.
//  - Without a change in the log the time is unknown and the texts leave "since" out.
//  - Times are shown as ClockText shows them ("14:02", or with the date when not today), durations as
//    DurationText ("17 min").
#include "history/events.h"
#include "monitor/locationstates.h"
#include "store/model.h"

#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <optional>

namespace qos {

// Failing addresses a location line names; the rest are counted.
inline constexpr int kMaxLineAddresses = 10;

// The time (ms since the epoch) since which site (address empty: the location itself) has been in
// the side of state now; nothing when the log does not tell.
std::optional<qint64> SinceMs(const EventLog &log, const QString &site, const QString &address, State now);

// What a location line tells.
struct LocationFacts {
    QString site;
    State state = State::Waiting;
    std::optional<qint64> sinceMs;
    int answering = 0; // monitored addresses known to answer
    int monitored = 0; // addresses not ignored
    int ignored = 0;
    QStringList failing; // the failing addresses, as `holdbad` holds them
    QString slowFigures; // a slow location's figures
};

// The facts of location k: its indicator, its addresses as the state owner knows them, and the log's
// time.
LocationFacts FactsOf(const Configuration &cfg, const LocationStates &states, const EventLog &log, int k);

// "WAR offline since 14:02 (17 min)", "VIE online since 09:12"; the state word alone when the time is
// unknown. Partial-ignore forms read "online" and "offline".
QString SinceText(const LocationFacts &f, qint64 nowMs, const QTimeZone &zone);
// "VIE online since 09:12, 2 of 2 answering", "WAR offline since 14:02 (17 min): 10.1.2.3",
// "VIE waiting", "BER partly down since 14:02 (17 min), 1 of 2 answering: 10.1.2.3",
// "LON slow since 09:12 (3 min), 2 of 2 answering, median 312 ms, loss 0% over the last 10 probes".
QString LocationLine(const LocationFacts &f, qint64 nowMs, const QTimeZone &zone);
// "answering since 14:19", "not answering since 14:02 (17 min)"; empty when the state is unknown.
QString AddressSinceText(State state, std::optional<qint64> sinceMs, qint64 nowMs, const QTimeZone &zone);

} // namespace qos
