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

bool HasElement(const QString &list, const QString &element)
{
    return list.split(QLatin1Char(',')).contains(element);
}

QString WithElement(const QString &list, const QString &element)
{
    QString out = list + QLatin1Char(',') + element;
    while (out.contains(QStringLiteral(",,")))
        out.replace(QStringLiteral(",,"), QStringLiteral(","));
    if (out.size() >= 2 && out.startsWith(QLatin1Char(',')))
        out.remove(0, 1);
    if (out.size() >= 2 && out.endsWith(QLatin1Char(',')))
        out.chop(1);
    return out;
}

QString WithoutElement(const QString &list, const QString &element)
{
    QStringList kept = list.split(QLatin1Char(','), Qt::SkipEmptyParts);
    kept.removeAll(element);
    return kept.join(QLatin1Char(','));
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
