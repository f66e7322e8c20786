#include "platform/icmppacket.h"

#include <cstring>

namespace qos::icmp {
namespace {

constexpr quint8 kTypeEchoReply = 0;
constexpr quint8 kTypeEchoRequest = 8;
constexpr quint8 kProtocolIcmp = 1;
constexpr std::size_t kMinIpHeader = 20;
constexpr quint8 kType6EchoRequest = 128;
constexpr quint8 kType6EchoReply = 129;
constexpr quint8 kNextHeaderIcmp6 = 58;
constexpr std::size_t kIp6Header = 40;

quint16 read16(const quint8 *p)
{
    return quint16(quint16(p[0]) << 8 | p[1]);
}

quint32 readAddress(const quint8 *p) // keeps network byte order
{
    quint32 a;
    std::memcpy(&a, p, sizeof a);
    return a;
}

// Length of the IPv4 header at data, or 0 when there is no complete one followed by at least
// `after` bytes.
std::size_t ipHeaderLength(const quint8 *data, std::size_t size, std::size_t after)
{
    if (size < kMinIpHeader || (data[0] >> 4) != 4)
        return 0;
    const std::size_t length = std::size_t(data[0] & 0x0f) * 4;
    if (length < kMinIpHeader || size < length + after)
        return 0;
    return length;
}

// The echo header at data when it has the type wanted (code 0), as a message of the given kind.
Message readEcho(const quint8 *data, std::size_t size, quint8 type, Message::Kind kind, const EchoAddress &address)
{
    Message m;
    if (size < kEchoSize || data[0] != type || data[1] != 0)
        return m;
    m.kind = kind;
    m.identifier = read16(data + 4);
    m.sequence = read16(data + 6);
    m.address = address;
    return m;
}

bool isErrorType(quint8 type)
{
    return type == 3 || type == 4 || type == 11 || type == 12;
}

// Destination unreachable, packet too big, time exceeded, parameter problem.
bool isError6Type(quint8 type)
{
    return type >= 1 && type <= 4;
}

void writeEcho(quint8 *out, quint8 type, quint16 identifier, quint16 sequence)
{
    out[0] = type;
    out[1] = 0;
    out[2] = out[3] = 0;
    out[4] = quint8(identifier >> 8);
    out[5] = quint8(identifier);
    out[6] = quint8(sequence >> 8);
    out[7] = quint8(sequence);
}

} // namespace

quint16 checksum(const quint8 *data, std::size_t size)
{
    quint32 sum = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        sum += read16(data + i);
    if (size % 2)
        sum += quint32(data[size - 1]) << 8;
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return quint16(~sum);
}

void writeEchoRequest(quint8 *out, quint16 identifier, quint16 sequence)
{
    writeEcho(out, kTypeEchoRequest, identifier, sequence);
    const quint16 sum = checksum(out, kEchoSize);
    out[2] = quint8(sum >> 8);
    out[3] = quint8(sum);
}

Message parseRawPacket(const quint8 *data, std::size_t size)
{
    Message m;
    const std::size_t ipLength = ipHeaderLength(data, size, kEchoSize);
    if (ipLength == 0 || data[9] != kProtocolIcmp)
        return m;
    const quint8 *icmp = data + ipLength;
    const std::size_t icmpSize = size - ipLength;
    if (checksum(icmp, icmpSize) != 0)
        return m;
    if (icmp[0] == kTypeEchoReply && icmp[1] == 0) {
        m = parseDatagramReply(icmp, icmpSize, readAddress(data + 12));
    } else if (isErrorType(icmp[0])) {
        const quint8 *quoted = icmp + kEchoSize;
        const std::size_t quotedSize = icmpSize - kEchoSize;
        const std::size_t quotedIpLength = ipHeaderLength(quoted, quotedSize, kEchoSize);
        if (quotedIpLength == 0 || quoted[9] != kProtocolIcmp)
            return m;
        m = parseDatagramError(quoted + quotedIpLength, quotedSize - quotedIpLength, readAddress(quoted + 16),
                               icmp[0], icmp[1]);
    }
    return m;
}

Message parseDatagramReply(const quint8 *data, std::size_t size, quint32 from)
{
    return readEcho(data, size, kTypeEchoReply, Message::Kind::Reply, EchoAddress::ipv4Network(from));
}

Message parseDatagramError(const quint8 *data, std::size_t size, quint32 destination, int type, int code)
{
    Message m = readEcho(data, size, kTypeEchoRequest, Message::Kind::Error, EchoAddress::ipv4Network(destination));
    m.type = type;
    m.code = code;
    return m;
}

void writeEcho6Request(quint8 *out, quint16 identifier, quint16 sequence)
{
    writeEcho(out, kType6EchoRequest, identifier, sequence);
}

Message parse6Packet(const quint8 *data, std::size_t size, const EchoAddress &from)
{
    if (size < kEchoSize)
        return {};
    if (data[0] == kType6EchoReply)
        return readEcho(data, size, kType6EchoReply, Message::Kind::Reply, from);
    if (!isError6Type(data[0]))
        return {};
    // The quoted packet: an IPv6 header whose next header is ICMPv6 (an echo request carries no
    // extension headers), then the echo request itself.
    const quint8 *quoted = data + kEchoSize;
    const std::size_t quotedSize = size - kEchoSize;
    if (quotedSize < kIp6Header + kEchoSize || (quoted[0] >> 4) != 6 || quoted[6] != kNextHeaderIcmp6)
        return {};
    return parse6Error(quoted + kIp6Header, quotedSize - kIp6Header, EchoAddress::ipv6(quoted + 24, from.scope),
                       data[0], data[1]);
}

Message parse6Error(const quint8 *data, std::size_t size, const EchoAddress &destination, int type, int code)
{
    Message m = readEcho(data, size, kType6EchoRequest, Message::Kind::Error, destination);
    m.type = type;
    m.code = code;
    return m;
}

} // namespace qos::icmp
