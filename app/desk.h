#pragma once
// The operator's desk around the windows: the tray icon's menu and the lines its tooltip adds for the
// offline locations, the markers' "since" texts, and the status line's next cycle. It composes the
// texts from the state owner, the cycle and the history and hands them to the tray and the Map View;
// it decides no state.
//
// Invariants:
//  - The tray tooltip names every location whose indicator shows offline (or, with the later keys,
//    partly down, unreachable or slow), in table order, with since when; the markers' tooltips and accessible
//    descriptions give their location's line. Both follow every change the state owner tells, the history's
//    loading, and once a minute while some location is so shown (the durations), and nothing else wakes for
//    them. A location's line is composed anew on its own change and on those wakes.
//  - The status line is refreshed on the interval clock's tick (which runs anyway), only while the Map
//    View is shown and monitoring waits for its next cycle: no clock of its own.
//  - The tray menu offers "Stop Monitor" exactly while monitoring is on, and "Acknowledge" while some
//    location shows offline and has not been acknowledged.
#include "alerts/alerts.h"
#include "history/history.h"
#include "monitor/locationstates.h"
#include "monitor/monitorcycle.h"
#include "monitor/runstate.h"
#include "monitor/statuspacer.h"
#include "platform/tray.h"
#include "store/model.h"

#include <QObject>
#include <QTimeZone>
#include <QTimer>
#include <map>

namespace qos {

class MapView;

class Desk : public QObject {
    Q_OBJECT
public:
    struct Parts {
        Configuration &cfg;
        RunState &run;
        LocationStates &states;
        History &history;
        MonitorCycle &cycle;
        const MonitorClocks &clocks;
        Alerts &alerts;
        Tray &tray;
        MapView &map;
    };
    explicit Desk(const Parts &parts, QObject *parent = nullptr);

    // Every text and the menu anew (start-up, the table read again).
    void refresh();
    // The line of location k as its marker's tooltip tells it.
    QString locationLine(int k) const;
    void setTimeZone(const QTimeZone &zone) { m_zone = zone; }

private:
    void locationChanged(int k);
    // Location k's tooltip line, kept while its indicator is listed there.
    void keepTipLine(int k);
    QString tipLine(int k) const;
    void showTip();
    void showMenu();
    void showMarker(int k);
    void showStatus();
    void minuteTick();

    Parts m_p;
    QTimeZone m_zone = QTimeZone::systemTimeZone();
    QTimer m_minute; // runs while some location shows offline
    // The tooltip's lines by location, in table order: a change of one location composes its own line
    // only, so a cycle that changes thousands of locations with hundreds listed stays linear.
    std::map<int, QString> m_tipLines;
    // A cycle over thousands of addresses changes the status line thousands of times a second.
    StatusPacer m_pacer;
};

} // namespace qos
