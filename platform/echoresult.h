#pragma once
// What one echo request came to, as the echo engine reports it and the prober passes it on.
//
// Invariants:
//  - status is 0 for a reply from the address probed, an IP status number otherwise
//    (platform/icmpstatus.h), or StatusInvalidHost for text that names no address, when nothing
//    was sent at all.
//  - roundTripUs is -1 unless a reply arrived.
#include <QtGlobal>

namespace qos {

using ProbeStatus = qint32;
inline constexpr ProbeStatus StatusReply = 0;
inline constexpr ProbeStatus StatusInvalidHost = -1;
// An IPv6 address on a system where no ICMPv6 socket could be opened: nothing was sent.
inline constexpr ProbeStatus StatusIpv6Unavailable = -2;
inline constexpr ProbeStatus StatusTimedOut = 11010;
inline constexpr ProbeStatus StatusGeneralFailure = 11050;

struct EchoResult {
    ProbeStatus status = StatusGeneralFailure;
    qint64 roundTripUs = -1; // -1 when no reply arrived
};

} // namespace qos
