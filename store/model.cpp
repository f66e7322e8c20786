#include "store/model.h"

namespace qos {

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
