#include "listview/rows.h"

#include "store/text.h"

namespace qos {

int IgnoreMatches(const QString &entry, const QStringList &ignores)
{
    return entry.isEmpty() ? 0 : int(ignores.count(entry));
}

FilledGroups FillGroups(const QStringList &addresses, const QStringList &ignores, const QStringList &holdbad)
{
    FilledGroups groups;
    for (const QString &entry : addresses) {
        if (const int matches = IgnoreMatches(entry, ignores)) {
            for (int i = 0; i < matches; ++i)
                groups.second << AddressRow{entry, QLatin1String(StatusNotChecked),
                                            QLatin1String(RoleIgnored)};
            groups.ignored += matches;
            continue;
        }
        const QString address = TrimSpaces(entry);
        const AddressRow row{address, QLatin1String(holdbad.contains(address) ? StatusOffline : StatusOnline),
                             QLatin1String(RoleMonitored)};
        (holdbad.contains(address) ? groups.second : groups.first) << row;
        ++groups.monitored;
    }
    return groups;
}

void ForgetOffline(QStringList &holdbad, const QString &address)
{
    holdbad.removeAll(address);
}

void RememberOffline(QStringList &holdbad, const QString &address)
{
    if (!address.isEmpty() && !holdbad.contains(address))
        holdbad << address;
}

} // namespace qos
