#include "store/model.h"

#include "store/text.h"

namespace qos {

int FindLocationByName(const LocationTable &table, const QString &name)
{
    const QString wanted = TrimSpaces(name);
    for (int k = 1; k <= table.LocationCount(); ++k)
        if (TrimSpaces(table[k].site) == wanted)
            return k;
    return 0;
}

QStringList SplitAddressList(const QString &list)
{
    if (list.isEmpty())
        return {};
    return list.split(QLatin1Char(','));
}

QString JoinAddressList(const QStringList &entries)
{
    return entries.join(QLatin1Char(','));
}

} // namespace qos
