#pragma once
// The address an echo request goes to: IPv4 or IPv6, as the socket calls take it.
//
// Invariants:
//  - bytes hold the address in network byte order: the first 4 for IPv4 (the rest zero), all 16
//    for IPv6. scope is the interface index of a link-local IPv6 address, 0 otherwise.
//  - Two addresses are equal exactly when family, bytes and scope are: each spelling of an address
//    makes the same EchoAddress.
#include <QtGlobal>

#include <array>
#include <cstring>

namespace qos {

struct EchoAddress {
    bool v6 = false;
    std::array<quint8, 16> bytes{};
    quint32 scope = 0;

    // From an IPv4 address in host byte order.
    static EchoAddress ipv4(quint32 hostOrder)
    {
        EchoAddress a;
        for (int i = 0; i < 4; ++i)
            a.bytes[size_t(i)] = quint8(hostOrder >> (24 - 8 * i));
        return a;
    }
    // From an IPv4 address in network byte order, as sockaddr_in holds it.
    static EchoAddress ipv4Network(quint32 networkOrder)
    {
        EchoAddress a;
        std::memcpy(a.bytes.data(), &networkOrder, 4);
        return a;
    }
    // From the 16 bytes of an IPv6 address, as sockaddr_in6 holds them.
    static EchoAddress ipv6(const quint8 *sixteen, quint32 scope = 0)
    {
        EchoAddress a;
        a.v6 = true;
        std::memcpy(a.bytes.data(), sixteen, 16);
        a.scope = scope;
        return a;
    }
    quint32 networkOrder4() const
    {
        quint32 n;
        std::memcpy(&n, bytes.data(), 4);
        return n;
    }
    bool operator==(const EchoAddress &) const = default;
};

} // namespace qos
