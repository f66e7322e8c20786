#include "store/model.h"

namespace qos {

QString TrimSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

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
