#pragma once
// The text of the desktop notification that tells the locations a monitor run found changed.
//
// Invariants:
//  - Locations are told in the order they changed, one body line each: "WAR offline: 10.1.2.3,
//    router-war" (its failing addresses, as `holdbad` held them), "WAR back online", and with the
//    later keys "WAR offline (3 locations behind it unreachable): ...", "WAR partly down: ...",
//    "WAR slow: median 312 ms, loss 0% over the last 10 probes", "WAR no longer slow".
//  - The body holds at most MaxNoticeLines lines and a line at most MaxNoticeAddresses addresses;
//    what is left out is counted, so a power cut at a hundred sites still gives a short notice.
//  - The notice is urgent when some location turned offline or partly down.
#include "platform/notifier.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace qos {

inline constexpr int MaxNoticeLines = 20;
inline constexpr int MaxNoticeAddresses = 10;

struct LocationChange {
    // In the order the summary counts them.
    enum class Kind { Offline, PartlyDown, Back, Slow, NotSlow };
    QString site;
    Kind kind = Kind::Offline;
    QStringList failing; // the failing addresses when it turned offline or partly down
    int behind = 0;      // locations behind it that turned unreachable in the same run
    QString figures;     // what made it slow

    // Offline or partly down: what alarms.
    bool alarms() const { return kind == Kind::Offline || kind == Kind::PartlyDown; }
};

// The summary counts the changes ("WAR offline", "3 locations offline, 1 back online"); the body
// names them, and then the locations stillOffline ("Still offline: BER, LON"). changes must not be
// empty.
Notice ComposeNotice(const QList<LocationChange> &changes, const QStringList &stillOffline = {});

} // namespace qos
