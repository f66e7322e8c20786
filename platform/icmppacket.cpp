#include "platform/icmppacket.h"

#include <cstring>

namespace qos::icmp {
namespace {

constexpr quint8 kTypeEchoReply = 0;
constexpr quint8 kTypeEchoRequest = 8;
constexpr quint8 kProtocolIcmp = 1;
constexpr std::size_t kMinIpHeader = 20;

quint16 read16(const quint8 *p) { return quint16(quint16(p[0]) << 8 | p[1]); }

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

bool isErrorType(quint8 type) { return type == 3 || type == 4 || type == 11 || type == 12; }

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
    out[0] = kTypeEchoRequest;
    out[1] = 0;
    out[2] = out[3] = 0;
    out[4] = quint8(identifier >> 8);
    out[5] = quint8(identifier);
    out[6] = quint8(sequence >> 8);
    out[7] = quint8(sequence);
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
        m = parseDatagramError(quoted + quotedIpLength, quotedSize - quotedIpLength,
                               readAddress(quoted + 16), icmp[0], icmp[1]);
    }
    return m;
}

Message parseDatagramReply(const quint8 *data, std::size_t size, quint32 from)
{
    Message m;
    if (size < kEchoSize || data[0] != kTypeEchoReply || data[1] != 0)
        return m;
    m.kind = Message::Kind::Reply;
    m.identifier = read16(data + 4);
    m.sequence = read16(data + 6);
    m.address = from;
    return m;
}

Message parseDatagramError(const quint8 *data, std::size_t size, quint32 destination, int type, int code)
{
    Message m;
    if (size < kEchoSize || data[0] != kTypeEchoRequest || data[1] != 0)
        return m;
    m.kind = Message::Kind::Error;
    m.identifier = read16(data + 4);
    m.sequence = read16(data + 6);
    m.address = destination;
    m.type = type;
    m.code = code;
    return m;
}

} // namespace qos::icmp
