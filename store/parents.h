#pragma once
// Which location each location is reached through, read from the names of its PARENT= line.
//
// Invariants:
//  - A parent is a location of the table (the lowest index of that name, as FindLocationByName has it)
//    other than the location itself; following parents from any location ends at one without a
//    parent. A name that names no location, and every link of a loop, count as no parent and are
//    named once in the warnings.
#include "store/model.h"

#include <QStringList>
#include <vector>

namespace qos {

struct ParentLinks {
    std::vector<int> parent; // by location index (0 unused); 0 = none
    QStringList warnings;    // for the start-up warnings
};

ParentLinks ResolveParents(const LocationTable &table);

} // namespace qos
