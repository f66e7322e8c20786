#pragma once
// What the List View's two groups hold for a location, decided without widgets: the fill from the
// address list, the ignore list and the remembered offline addresses, and the edits the pings make
// to the remembered addresses.
//
// Invariants:
//  - A row is one address: its text, its status word and its role word ("MONITORED" or "IGNORED").
//  - Ignore matching is exact, case-sensitive and untrimmed; an empty address element matches
//    nothing. Every matching ignore element gives its own row.
//  - holdbad is a list of whole addresses in failure order, never a substring search.
#include <QList>
#include <QString>
#include <QStringList>

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
    bool operator==(const AddressRow &) const = default;
};

// Number of ignore elements equal to entry; 0 for an empty entry.
int IgnoreMatches(const QString &entry, const QStringList &ignores);

struct FilledGroups {
    QList<AddressRow> first;  // monitored addresses last seen answering
    QList<AddressRow> second; // ignored rows, and monitored addresses remembered offline
    int monitored = 0;
    int ignored = 0;
};

// The rows of a location: ignored elements as they are ("NOT CHECKED", "IGNORED"); every other element
// trimmed, "OFFLINE" in the second group when holdbad holds it, else "ONLINE" in the first.
FilledGroups FillGroups(const QStringList &addresses, const QStringList &ignores, const QStringList &holdbad);

// Address list edits, on whole elements (exact, case-sensitive).
bool HasElement(const QString &list, const QString &element);
// list + "," + element with runs of "," collapsed and, from two characters on, no leading or
// trailing "," (an empty list gives element alone).
QString WithElement(const QString &list, const QString &element);
// The elements other than element, in order, joined by single ","; empty elements go too.
QString WithoutElement(const QString &list, const QString &element);

// The remembered offline addresses after address answered / did not answer.
void ForgetOffline(QStringList &holdbad, const QString &address);
void RememberOffline(QStringList &holdbad, const QString &address);

} // namespace qos
