#pragma once
// IP status numbers of echo outcomes, and the one table that turns what the network or the local
// stack says about an echo request into them.
//
// Invariants:
//  - Every status an echo engine reports is 0 (reply), IpRequestTimedOut, or a value that
//    statusForIcmpError / statusForSendError can return. The numbers are the published IP status
//    list of the Windows ICMP library, so a Windows engine reports the same numbers unchanged.
//  - statusForIcmpError returns 0 for an ICMP message that says nothing about an echo's fate
//    (a redirect, an echo request): the engine ignores such a message.
#include <QtGlobal>

namespace qos {

inline constexpr qint32 IpSuccess = 0;
inline constexpr qint32 IpDestNetUnreachable = 11002;
inline constexpr qint32 IpDestHostUnreachable = 11003;
inline constexpr qint32 IpDestProtUnreachable = 11004;
inline constexpr qint32 IpDestPortUnreachable = 11005;
inline constexpr qint32 IpNoResources = 11006;
inline constexpr qint32 IpPacketTooBig = 11009;
inline constexpr qint32 IpRequestTimedOut = 11010;
inline constexpr qint32 IpBadRoute = 11012;
inline constexpr qint32 IpTtlExpiredTransit = 11013;
inline constexpr qint32 IpTtlExpiredReassembly = 11014;
inline constexpr qint32 IpParamProblem = 11015;
inline constexpr qint32 IpSourceQuench = 11016;
inline constexpr qint32 IpBadDestination = 11018;
inline constexpr qint32 IpGeneralFailure = 11050;

// Status of an ICMP (or, with v6, ICMPv6) error message (type, code) that quotes one of our echo
// requests.
qint32 statusForIcmpError(int type, int code, bool v6 = false);

// Status of an echo request the local stack refused to send (errno of sendto, or of a local
// error queued on the socket).
qint32 statusForSendError(int errnoValue);

} // namespace qos
