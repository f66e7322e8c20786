#include "store/model.h"

#include "store/text.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <optional>

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

namespace {

// The IPv6 literal's own spelling, with its zone; nothing when entry is no IPv6 literal.
std::optional<QString> Ipv6Spelling(const QString &entry)
{
    if (!entry.contains(QLatin1Char(':')))
        return std::nullopt;
    const qsizetype percent = entry.indexOf(QLatin1Char('%'));
    const QByteArray address = entry.left(percent < 0 ? entry.size() : percent).toLatin1();
    in6_addr bytes;
    char text[INET6_ADDRSTRLEN];
    if (::inet_pton(AF_INET6, address.constData(), &bytes) != 1 ||
        !::inet_ntop(AF_INET6, &bytes, text, sizeof text))
        return std::nullopt;
    return QString::fromLatin1(text) + (percent < 0 ? QString() : entry.mid(percent));
}

} // namespace

QString AddressKey(const QString &entry)
{
    return Ipv6Spelling(entry).value_or(entry);
}

bool SameAddress(const QString &a, const QString &b)
{
    if (a == b)
        return true;
    return a.contains(QLatin1Char(':')) && b.contains(QLatin1Char(':')) && AddressKey(a) == AddressKey(b);
}

bool ContainsAddress(const QStringList &list, const QString &entry)
{
    if (entry.isEmpty())
        return false;
    return std::any_of(list.begin(), list.end(), [&entry](const QString &e) { return SameAddress(e, entry); });
}

QStringList InvalidIpv6Literals(const QStringList &entries)
{
    QStringList invalid;
    for (const QString &e : entries) {
        if (e.contains(QLatin1Char(':')) && !Ipv6Spelling(e))
            invalid << e;
    }
    return invalid;
}

} // namespace qos
