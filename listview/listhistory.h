#pragma once
// What the List View shows of the history: every row's tooltip holds its address's last round-trip
// time and the loss over its kept probes, and since when it answers or not; the line `latency` under
// the location frame shows the same for the address in `Address`; the line `sinceLine` beside it
// tells the location's state and since when, as its marker's tooltip does; and the menu bar's
// "History" asks for the location's history window.
//
// Invariants:
//  - Additions only: the window's own lists, columns, texts and positions are untouched; the line lies
//    in free space below `Frame1`.
//  - A row's tooltip is set on all three items of the row, when the row is added and whenever a
//    probe of its address is kept.
#include "history/history.h"
#include "listview/listview.h"
#include "monitor/locationstates.h"

#include <QObject>

class QAction;
class QLabel;

namespace qos {

class ListHistory : public QObject {
    Q_OBJECT
public:
    // A child of view; reads history, the states and the location table, changes none.
    ListHistory(ListView &view, const History &history, const LocationStates &states,
                const Configuration &cfg);

    QLabel *latency() const { return m_latency; }
    QLabel *sinceLine() const { return m_since; }
    // The tooltip text of an address of the location shown.
    QString tooltipFor(const QString &address) const;

Q_SIGNALS:
    // "History": the history window of location k should open.
    void historyRequested(int k);

private:
    QString site() const;
    void rowsAdded(ListView::Group g, int first, int last);
    void sampleAdded(const QString &site, const QString &address);
    void showLatency();
    void showSince();
    void refreshTips();

    ListView &m_view;
    const History &m_history;
    const LocationStates &m_states;
    const Configuration &m_cfg;
    QLabel *m_latency;
    QLabel *m_since;
    QAction *m_historyAction;
};

} // namespace qos
