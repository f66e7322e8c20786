#include "listview/rows.h"

#include "store/model.h"
#include "store/text.h"

#include <algorithm>

namespace qos {

int IgnoreMatches(const QString &entry, const QStringList &ignores)
{
    if (entry.isEmpty())
        return 0;
    return int(std::count_if(ignores.begin(), ignores.end(),
                             [&entry](const QString &e) { return SameAddress(e, entry); }));
}

AddressCounts CountAddresses(const QStringList &addresses, const QStringList &ignores)
{
    AddressCounts counts;
    for (const QString &entry : addresses) {
        const int matches = IgnoreMatches(entry, ignores);
        counts.ignored += matches;
        counts.monitored += matches == 0 ? 1 : 0;
    }
    return counts;
}

FilledGroups FillGroups(const QStringList &addresses, const QStringList &ignores,
                        const std::function<KnownAddress(const QString &address)> &known)
{
    FilledGroups groups;
    for (const QString &entry : addresses) {
        if (const int matches = IgnoreMatches(entry, ignores)) {
            for (int i = 0; i < matches; ++i)
                groups.second << AddressRow{entry, QLatin1String(StatusNotChecked), QLatin1String(RoleIgnored),
                                            entry};
            continue;
        }
        const QString address = TrimSpaces(entry);
        const KnownAddress what = known(address);
        const bool failing = what.health == AddressHealth::Failing;
        QString status = QLatin1String(what.health == AddressHealth::Answering ? StatusOnline : NotProbedText);
        if (failing)
            status = what.status.isEmpty() ? QLatin1String(StatusOffline) : what.status;
        const AddressRow row{address, status, QLatin1String(RoleMonitored), entry};
        (failing ? groups.second : groups.first) << row;
    }
    groups.counts = CountAddresses(addresses, ignores);
    return groups;
}

bool HasElement(const QString &list, const QString &element)
{
    return ContainsAddress(list.split(QLatin1Char(',')), element);
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
    kept.removeIf([&element](const QString &e) { return SameAddress(e, element); });
    return kept.join(QLatin1Char(','));
}

} // namespace qos
