#pragma once
// ICMP echo packets of both families: building requests and reading what comes back on an ICMP
// or ICMPv6 socket.
//
// Invariants:
//  - Parsers read only inside [data, data + size) and accept only what they can fully check:
//    anything short, malformed, with a bad checksum or about something other than an echo request
//    is Kind::Other.
//  - Addresses are in network byte order, as the socket calls use them.
//  - ICMPv6 sockets, raw or datagram, read no IP header, and the kernel both fills in and checks
//    an ICMPv6 checksum (it covers a pseudo-header this side never sees).
#include "platform/echoaddress.h"

#include <QtGlobal>
#include <cstddef>

namespace qos::icmp {

inline constexpr std::size_t kEchoSize = 8; // an echo request without payload: the ICMP header alone

struct Message {
    enum class Kind { Other, Reply, Error };
    Kind kind = Kind::Other;
    quint16 identifier = 0;
    quint16 sequence = 0;
    EchoAddress address; // Reply: who replied. Error: the destination of the echo it quotes.
    int type = 0;        // Error: ICMP type and code of the error
    int code = 0;
};

quint16 checksum(const quint8 *data, std::size_t size);

// Writes an echo request (type 8) with its checksum. On a datagram socket the kernel replaces the
// identifier with the socket's own.
void writeEchoRequest(quint8 *out, quint16 identifier, quint16 sequence);

// A packet read from a raw ICMP socket: IPv4 header, then ICMP. Errors are tied to an echo through
// the IPv4 header and echo header they quote.
Message parseRawPacket(const quint8 *data, std::size_t size);

// A message read from a datagram ICMP socket (no IPv4 header); from: the sender.
Message parseDatagramReply(const quint8 *data, std::size_t size, quint32 from);

// An entry of a datagram socket's error queue: data is the echo request the error quotes,
// destination its destination, type and code those of the ICMP error.
Message parseDatagramError(const quint8 *data, std::size_t size, quint32 destination, int type, int code);

// ICMPv6 (type 128), checksum left to the kernel.
void writeEcho6Request(quint8 *out, quint16 identifier, quint16 sequence);
// A message read from an ICMPv6 socket of either kind; from: the sender. Errors are tied to an
// echo through the IPv6 header and echo header they quote (raw sockets only: a datagram socket
// reports them on its error queue).
Message parse6Packet(const quint8 *data, std::size_t size, const EchoAddress &from);
// An entry of an ICMPv6 datagram socket's error queue, as parseDatagramError.
Message parse6Error(const quint8 *data, std::size_t size, const EchoAddress &destination, int type, int code);

} // namespace qos::icmp
