#include "store/model.h"

#include "store/text.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <optional>

namespace qos {

TableAddresses::TableAddresses(const LocationTable &table)
{
    for (int k = 1; k <= table.LocationCount(); ++k) {
        const QString &site = table[k].site;
        m_sites.insert(site);
        for (const QString &entry : SplitAddressList(table[k].siteip))
            m_addresses.insert({site, AddressKey(TrimSpaces(entry))});
    }
}

qsizetype AddressCount(const LocationTable &table)
{
    qsizetype count = 0;
    for (int k = 1; k <= table.LocationCount(); ++k) {
        const QString &list = table[k].siteip;
        count += list.isEmpty() ? 0 : list.count(QLatin1Char(',')) + 1;
    }
    return count;
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

namespace {

// The IPv6 literal's own spelling, with its zone; nothing when entry is no IPv6 literal.
std::optional<QString> Ipv6Spelling(const QString &entry)
{
    if (!entry.contains(QLatin1Char(':')))
        return std::nullopt;
    const qsizetype percent = entry.indexOf(QLatin1Char('%'));
    const QByteArray address = entry.left(percent < 0 ? entry.size() : percent).toLatin1();
    if (address.contains('\0')) // the parser would read only up to it: "::0" NUL "junk" is no "::"
        return std::nullopt;
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

// Written as an IPv6 literal would be: two ":" or more, and before a zone only letters, digits,
// ":" and "." (so "host:8080" or "a=b:c" are names, not mistyped literals).
bool LooksLikeIpv6(const QString &entry)
{
    const QStringView address = QStringView(entry).left(entry.indexOf(QLatin1Char('%')) < 0
                                                            ? entry.size()
                                                            : entry.indexOf(QLatin1Char('%')));
    if (address.count(QLatin1Char(':')) < 2)
        return false;
    return std::all_of(address.begin(), address.end(), [](QChar ch) {
        return ch.isLetterOrNumber() || ch == QLatin1Char(':') || ch == QLatin1Char('.');
    });
}

QStringList InvalidIpv6Literals(const QStringList &entries)
{
    QStringList invalid;
    for (const QString &e : entries) {
        if (LooksLikeIpv6(e) && !Ipv6Spelling(e))
            invalid << e;
    }
    return invalid;
}

} // namespace qos
