#pragma once
// The List View's edits of the location it shows: the ignore option pairs, "LOCATION ENABLED",
// "Remove IP", "Remove Location", "Add IP(s)" and the notes panel.
//
// Invariants:
//  - Every change goes through the LocationEditor: written at once, and when the write fails the
//    record, the rows, the option buttons and the indicator stay as they were.
//  - An option button set from code never changes anything: the ignore pairs carry one-shot guards,
//    and the location's pair finds the flag already matching.
//  - A confirmation answered after the window moved on (another location, another selection) does
//    nothing.
#include "listview/listview.h"
#include "store/locationeditor.h"

#include <QObject>

namespace qos {

class ListPings;

class ListEdits : public QObject {
    Q_OBJECT
public:
    ListEdits(ListView &view, ListPings &pings, const ListView::Services &services);

    // The ignore handlers: "yes" (ignore) or "no" (monitor) of group g for the selected address.
    void ignoreChosen(ListView::Group g, bool ignore);
    // Option1 ("yes", enable) and Option2 ("no", disable).
    void setLocationEnabled(bool enable);
    void RemoveIP();
    void RemoveLocation();
    void AddAddresses();
    // The note of the selected address into the box (emptied first); "Save".
    void loadNote();
    void saveNote();

private:
    LocationRecord &record();
    void setGroupRole(ListView::Group g, const QString &address, const QString &role);
    void removeAddress(int k, const QString &address, const QString &entry);
    void removeLocation(int k);

    ListView &m_view;
    ListPings &m_pings;
    Configuration &m_cfg;
    RunState &m_run;
    MessageBoxes &m_messages;
    LocationStates &m_states;
    LocationEditor &m_editor;
    bool m_noteErrorShown = false;
};

} // namespace qos
