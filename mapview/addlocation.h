#pragma once
// Adding a location picked on the map: text clean-up, the picked point, and the submit procedure
// that creates the location in memory, on the map, in graph.txt and in the location menu.
//
// Invariants:
//  - A location is either complete (in memory, on the map, in graph.txt and in the menu) or absent:
//    when graph.txt cannot be appended to, the half-created location is taken out of memory and off
//    the map again, and the store leaves the file as it was.
//  - Memory and file hold the same texts: names and addresses carry no control characters (which
//    would break graph.txt into extra lines) and only characters the file's single-byte text can hold.
//  - No two locations end up with the same marker text through this path: the name is checked in
//    the form it will be stored in.
//  - The table never grows beyond MaxLocations.
//  - A location has a name and at least one address: a name that is blank once cleaned, or an address
//    list that is empty once normalised, is refused with its message and the boxes as typed.
#include "monitor/runstate.h"
#include "store/model.h"
#include "store/status.h"
#include "store/text.h"

#include <QPoint>
#include <QString>
#include <functional>

namespace qos {

class PleaseWait;

// Longest display name the dialog accepts.
inline constexpr int MaxNameLength = 3;

// The display name as typed, cleaned: control characters removed, leading and trailing spaces
// removed, cut to MaxNameLength characters.
QString CleanName(const QString &text);

// True when a location 1..LocationCount() has the marker text name, both with leading and trailing
// spaces removed, compared exactly and case-sensitively.
bool NameInUse(const LocationTable &table, const QString &name);

// The point stored for a press at (xTwips, yTwips): each axis to whole pixels with its own factor,
// then x 14.75 and y 14.94, every rounding to the nearest integer with halves to even.
QPoint PlacementPoint(double xTwips, double yTwips, double twipsPerPixelX, double twipsPerPixelY);

// Writes the new block of a location to graph.txt; on failure the file must be left as it was.
using LocationAppender = std::function<Status(const LocationRecord &rec)>;

// What SubmitLocation needs from the rest of the program. Every member may be empty except append.
struct AddLocationSeams {
    // The Map View passes GraphFileAppender(folder, cfg, pleaseWait).
    LocationAppender append;
    // Creates marker site(k) at (left, top) and indicator center(k) at (left - 200, top), visible,
    // white, from cfg.table[k].
    std::function<void(int k)> createMarker;
    // Removes what createMarker(k) created; k is still in the table when it is called.
    std::function<void(int k)> removeMarker;
    // Adds the menu item of location k to the SELECT SITE menu and re-sorts the menu.
    std::function<void(int k)> addMenuItem;
};

// The append seam that writes to folder/graph.txt with the settings cfg holds at the time of the call.
LocationAppender GraphFileAppender(const QString &folder, const Configuration &cfg, PleaseWait *pleaseWait);

struct SubmitOutcome {
    enum class Kind { Added, NameInUse, BlankName, NoAddresses, TableFull, StoreFailed };
    Kind kind = Kind::Added;
    // What the boxes show afterwards: the cleaned name and the normalised addresses; for NameInUse
    // an empty name and the addresses as typed; for BlankName, NoAddresses and TableFull both as
    // typed.
    QString name;
    QString addresses;
    QString error; // StoreFailed: the store's text
    int index = 0; // Added: the new location's index

    // The message to show the operator; empty for Added.
    QString message() const;
};

// Creates a location from the typed name and address text at the point picked last
// (run.PlacementX, run.PlacementY). On Added the table has grown by one; on every other outcome
// table, map, menu and graph.txt are as they were.
SubmitOutcome SubmitLocation(Configuration &cfg, const RunState &run, const QString &nameText,
                             const QString &addressText, const AddLocationSeams &seams);

} // namespace qos
