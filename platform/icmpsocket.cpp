#include "platform/icmpsocket.h"

#include "platform/privileges.h"

#include <QRandomGenerator>

#include <arpa/inet.h>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace qos {
namespace {

// Room for many replies arriving at once (the kernel caps what it grants).
constexpr int kReceiveBuffer = 1 << 20;

void enlargeReceiveBuffer(int fd)
{
    // Beyond net.core.rmem_max only with CAP_NET_ADMIN, which is why this happens at opening.
    const int size = kReceiveBuffer;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

// Sets a datagram ICMP or ICMPv6 socket up; its identifier, or -1 (errno tells why).
int prepareDatagram(int fd, bool v6)
{
    // ICMP errors about our echoes arrive on the error queue only with IP(V6)_RECVERR. Binding to
    // port 0 makes the kernel choose the identifier now, so that getsockname can tell it.
    static_assert(offsetof(sockaddr_in, sin_port) == offsetof(sockaddr_in6, sin6_port));
    const int on = 1;
    sockaddr_in6 self{}; // room for either family; the port sits at the same place in both
    self.sin6_family = v6 ? AF_INET6 : AF_INET;
    socklen_t length = v6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    const int level = v6 ? SOL_IPV6 : SOL_IP;
    const int option = v6 ? IPV6_RECVERR : IP_RECVERR;
    if (::setsockopt(fd, level, option, &on, sizeof on) != 0 ||
        ::bind(fd, reinterpret_cast<sockaddr *>(&self), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&self), &length) != 0)
        return -1;
    return ntohs(self.sin6_port);
}

// Sets a raw ICMPv6 socket up: only replies and the errors that can end an echo pass.
int prepareRaw6(int fd)
{
    icmp6_filter filter;
    ICMP6_FILTER_SETBLOCKALL(&filter);
    for (int type : {ICMP6_ECHO_REPLY, ICMP6_DST_UNREACH, ICMP6_PACKET_TOO_BIG, ICMP6_TIME_EXCEEDED,
                     ICMP6_PARAM_PROB})
        ICMP6_FILTER_SETPASS(type, &filter);
    ::setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
    return quint16(QRandomGenerator::global()->generate());
}

// Sets a raw ICMP socket up; the identifier chosen for it.
int prepareRaw(int fd)
{
    // A raw socket sees every ICMP packet of the host: let the kernel pass only the types that can
    // end an echo.
    icmp_filter filter{};
    filter.data = ~((1U << ICMP_ECHOREPLY) | (1U << ICMP_DEST_UNREACH) | (1U << ICMP_SOURCE_QUENCH) |
                    (1U << ICMP_TIME_EXCEEDED) | (1U << ICMP_PARAMETERPROB));
    ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    return quint16(QRandomGenerator::global()->generate());
}

} // namespace

IcmpSocket::IcmpSocket(IcmpSocket &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_v6(other.m_v6)
    , m_kind(std::exchange(other.m_kind, IcmpSocketKind::None))
    , m_identifier(other.m_identifier)
    , m_datagramError(other.m_datagramError)
    , m_rawError(other.m_rawError)
{}

IcmpSocket &IcmpSocket::operator=(IcmpSocket &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_v6 = other.m_v6;
        m_kind = std::exchange(other.m_kind, IcmpSocketKind::None);
        m_identifier = other.m_identifier;
        m_datagramError = other.m_datagramError;
        m_rawError = other.m_rawError;
    }
    return *this;
}

IcmpSocket::~IcmpSocket()
{
    close();
}

IcmpSocket IcmpSocket::open(bool v6)
{
    IcmpSocket socket;
    socket.m_v6 = v6;
    if (!socket.tryOpen(IcmpSocketKind::Datagram))
        socket.tryOpen(IcmpSocketKind::Raw);
    return socket;
}

IcmpSocket IcmpSocket::open(IcmpSocketKind kind, bool v6)
{
    IcmpSocket socket;
    socket.m_v6 = v6;
    if (kind != IcmpSocketKind::None)
        socket.tryOpen(kind);
    return socket;
}

bool IcmpSocket::tryOpen(IcmpSocketKind kind)
{
    const bool datagram = kind == IcmpSocketKind::Datagram;
    int &error = datagram ? m_datagramError : m_rawError;
    const int type = (datagram ? SOCK_DGRAM : SOCK_RAW) | SOCK_NONBLOCK | SOCK_CLOEXEC;
    const int fd = m_v6 ? ::socket(AF_INET6, type, IPPROTO_ICMPV6) : ::socket(AF_INET, type, IPPROTO_ICMP);
    const int identifier = fd < 0     ? -1
                           : datagram ? prepareDatagram(fd, m_v6)
                           : m_v6     ? prepareRaw6(fd)
                                      : prepareRaw(fd);
    if (identifier < 0) {
        error = errno;
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    error = 0;
    enlargeReceiveBuffer(fd);
    m_fd = fd;
    m_kind = kind;
    m_identifier = quint16(identifier);
    return true;
}

bool IcmpSocket::close()
{
    if (m_fd < 0)
        return true;
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    m_kind = IcmpSocketKind::None;
    return closed;
}

IcmpSockets OpenIcmpSocketEarly()
{
    IcmpSockets sockets{IcmpSocket::open(), IcmpSocket::open(true)};
    const CapabilityDrop drop = DropAllCapabilities();
    if (drop.error != 0) {
        std::fprintf(stderr, "Cannot give up the process's capabilities: %s\n", std::strerror(drop.error));
        std::_Exit(EXIT_FAILURE);
    }
    return sockets;
}

} // namespace qos
