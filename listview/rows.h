#pragma once
// What the List View's two groups hold for a location, decided without widgets: the fill from the
// address list, the ignore list and what is known of each address, the counters, and the edits of
// address lists on whole elements.
//
// Invariants:
//  - A row is one address: its text, its status word, its role word ("MONITORED" or "IGNORED"), and
//    the element as the list stores it (an edit acts on that, not on the trimmed text shown).
//  - Ignore matching is exact, case-sensitive and untrimmed; an empty address element matches
//    nothing. Every matching ignore element gives its own row.
#include "monitor/locationstates.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace qos {

inline constexpr char RoleMonitored[] = "MONITORED";
inline constexpr char RoleIgnored[] = "IGNORED";
inline constexpr char StatusNotChecked[] = "NOT CHECKED";
inline constexpr char StatusOnline[] = "ONLINE";
inline constexpr char StatusOffline[] = "OFFLINE";

struct AddressRow {
    QString address;
    QString status;
    QString role;
    QString entry; // the element as stored
    bool operator==(const AddressRow &) const = default;
};

// Number of ignore elements equal to entry; 0 for an empty entry.
int IgnoreMatches(const QString &entry, const QStringList &ignores);

struct AddressCounts {
    int monitored = 0; // elements no ignore element matches, blank ones included
    int ignored = 0;   // ignore matches
};
AddressCounts CountAddresses(const QStringList &addresses, const QStringList &ignores);

struct FilledGroups {
    QList<AddressRow> first;  // monitored addresses answering or not probed yet
    QList<AddressRow> second; // ignored rows, and monitored addresses failing
    AddressCounts counts;
};

// What is known of an address: its health and the status word of its latest probe (empty when
// none is known).
struct KnownAddress {
    AddressHealth health = AddressHealth::NotProbed;
    QString status;
};

// The rows of a location: ignored elements as they are ("NOT CHECKED", "IGNORED"); every other
// element trimmed, in the second group when it is failing (with its latest status word, "OFFLINE"
// when none is known), else in the first group, "ONLINE" when it answered and "NOT PROBED" before
// any echo went to it.
FilledGroups FillGroups(const QStringList &addresses, const QStringList &ignores,
                        const std::function<KnownAddress(const QString &address)> &known);

// Address list edits, on whole elements (exact, case-sensitive).
bool HasElement(const QString &list, const QString &element);
// list + "," + element with runs of "," collapsed and, from two characters on, no leading or
// trailing "," (an empty list gives element alone).
QString WithElement(const QString &list, const QString &element);
// The elements other than element, in order, joined by single ","; empty elements go too.
QString WithoutElement(const QString &list, const QString &element);

} // namespace qos
