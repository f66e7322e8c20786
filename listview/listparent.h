#pragma once
// The List View's "Reached through" choice: the location the shown one is reached through, picked
// from the other locations or "(none)", written to its PARENT= line at once.
//
// Invariants:
//  - The choice shows what the record holds ("(none)" for no parent, the name as written even when it
//    names no location); a write that fails has been told and the choice shows the record again.
//  - A change is told to the state owner (its links are read anew) and through parentChanged().
//
// Control objectNames: parentCaption, reachedThrough.
#include "listview/listview.h"
#include "monitor/locationstates.h"
#include "store/locationeditor.h"
#include "store/model.h"

#include <QObject>

class QComboBox;

namespace qos {

inline constexpr char NoParentText[] = "(none)";

class ListParent : public QObject {
    Q_OBJECT
public:
    ListParent(ListView &view, const Configuration &cfg, LocationEditor &editor, LocationStates &states);

    QComboBox *choice() const { return m_choice; }
    // The choices anew for the location the List View shows.
    void refresh();

Q_SIGNALS:
    // Location k is reached through another location now (or none).
    void parentChanged(int k);

private:
    void chosen(int index);

    ListView &m_view;
    const Configuration &m_cfg;
    LocationEditor &m_editor;
    LocationStates &m_states;
    QComboBox *m_choice;
};

} // namespace qos
