#pragma once
// The ICMP socket the echo engine works on, opened and set up in one step, so that it can be opened
// before the process gives up its capabilities and used for the rest of its life.
//
// Invariants:
//  - An IcmpSocket owns its descriptor alone (it moves, it never copies) and closes it when it is
//    destroyed; isOpen() is true exactly while it holds one.
//  - A socket is of one family, ICMP over IPv4 or ICMPv6; the engine holds one of each where the
//    system has both.
//  - Every entry point opens in the same order: a datagram ICMP socket first (no privilege needed
//    where net.ipv4.ping_group_range admits the group), a raw ICMP socket second (root or
//    cap_net_raw).
//  - A socket returned open is non-blocking, close-on-exec and has every option the engine needs
//    (error queue, ICMP filter, receive buffer) already set: nothing done on it later needs a
//    capability.
//  - The errno of each kind tried and refused stays with the result (0: not tried, or it opened),
//    so that the operator's hint can be written from them later.
#include <QtGlobal>

namespace qos {

enum class IcmpSocketKind { None, Datagram, Raw };

class IcmpSocket {
public:
    IcmpSocket() = default;
    IcmpSocket(IcmpSocket &&other) noexcept;
    IcmpSocket &operator=(IcmpSocket &&other) noexcept;
    IcmpSocket(const IcmpSocket &) = delete;
    IcmpSocket &operator=(const IcmpSocket &) = delete;
    ~IcmpSocket();

    // A datagram socket where one may be opened, else a raw one.
    static IcmpSocket open(bool v6 = false);
    // That kind only.
    static IcmpSocket open(IcmpSocketKind kind, bool v6 = false);

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    IcmpSocketKind kind() const { return m_kind; }
    bool v6() const { return m_v6; }
    // The echo identifier: the port the kernel bound a datagram socket to, a random one for raw.
    quint16 identifier() const { return m_identifier; }
    int datagramError() const { return m_datagramError; }
    int rawError() const { return m_rawError; }

    // Closes the descriptor now (the errors stay); false when the system reported an error while
    // closing (it is closed all the same).
    bool close();

private:
    bool tryOpen(IcmpSocketKind kind);

    int m_fd = -1;
    bool m_v6 = false;
    IcmpSocketKind m_kind = IcmpSocketKind::None;
    quint16 m_identifier = 0;
    int m_datagramError = 0;
    int m_rawError = 0;
};

// One socket of each family (either may be closed: a system without IPv6 has no ICMPv6 socket).
struct IcmpSockets {
    IcmpSocket v4;
    IcmpSocket v6;
};

// The first call of every entry point, made while the process has one thread and before any plugin
// or library of the user's choosing can be loaded: opens a socket of each family as
// IcmpSocket::open() does, then gives up every capability of the process (platform/privileges.h),
// so that the right to open raw sockets ends with the sockets it was needed for. Where the
// capabilities cannot be given up, it says so on stderr and ends the process rather than run on
// with them.
IcmpSockets OpenIcmpSocketEarly();

} // namespace qos
