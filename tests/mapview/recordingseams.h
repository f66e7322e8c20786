#pragma once
// Test helpers for adding locations: a configuration with given marker texts and seams that
// record what SubmitLocation asks of the map, the menu and the store.
#include "mapview/addlocation.h"

#include <QStringList>

namespace qos::test {

inline Configuration ConfigWithSites(const QStringList &sites)
{
    Configuration cfg;
    for (const QString &site : sites) {
        LocationRecord rec;
        rec.site = site;
        cfg.table.records.append(rec);
    }
    return cfg;
}

struct RecordingSeams {
    QStringList calls;              // "create 3", "append abc", "remove 3", "menu 3" in order
    QList<LocationRecord> appended; // records passed to append
    QString failWith;               // non-empty: append fails with this text

    AddLocationSeams seams()
    {
        AddLocationSeams s;
        s.append = [this](const LocationRecord &rec) {
            calls << QStringLiteral("append ") + rec.site;
            appended << rec;
            return failWith.isEmpty() ? Status::success() : Status::failure(failWith);
        };
        s.createMarker = [this](int k) { calls << QStringLiteral("create %1").arg(k); };
        s.removeMarker = [this](int k) { calls << QStringLiteral("remove %1").arg(k); };
        s.addMenuItem = [this](int k) { calls << QStringLiteral("menu %1").arg(k); };
        return s;
    }
};

} // namespace qos::test
