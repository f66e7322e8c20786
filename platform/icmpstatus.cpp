#include "platform/icmpstatus.h"

#include <cerrno>
#include <iterator>

namespace qos {
namespace {

// ICMPv4 messages about an echo request (RFC 792, RFC 1812), and the status each one gives.
//
// | type | code | meaning                                   | status                        |
// |------|------|-------------------------------------------|-------------------------------|
// |  3   |  0   | network unreachable                       | 11002 ip dest net unreachable |
// |  3   |  1   | host unreachable                          | 11003 ip dest host unreachable|
// |  3   |  2   | protocol unreachable                      | 11004 ip dest prot unreachable|
// |  3   |  3   | port unreachable                          | 11005 ip dest port unreachable|
// |  3   |  4   | fragmentation needed and DF set           | 11009 ip packet too_big       |
// |  3   |  5   | source route failed                       | 11012 ip bad route            |
// |  3   |  6   | destination network unknown               | 11002                         |
// |  3   |  7   | destination host unknown                  | 11003                         |
// |  3   |  8   | source host isolated                      | 11003                         |
// |  3   |  9   | network administratively prohibited       | 11002                         |
// |  3   | 10   | host administratively prohibited          | 11003                         |
// |  3   | 11   | network unreachable for type of service   | 11002                         |
// |  3   | 12   | host unreachable for type of service      | 11003                         |
// |  3   | 13   | communication administratively prohibited | 11003                         |
// |  3   | 14   | host precedence violation                 | 11003                         |
// |  3   | 15   | precedence cutoff in effect               | 11003                         |
// |  3   | any other code                                   | 11003                         |
// |  4   | any  | source quench                             | 11016 ip source quench        |
// | 11   |  0   | time to live exceeded in transit          | 11013 OFFLINE                 |
// | 11   |  1   | fragment reassembly time exceeded         | 11014 iOFFLINE                |
// | 11   | any other code                                   | 11013                         |
// | 12   | any  | parameter problem                         | 11015 ip param_problem        |
//
// ICMPv6 messages about an echo request (RFC 4443), in the same words:
//
// | type | code | meaning                                   | status                        |
// |------|------|-------------------------------------------|-------------------------------|
// |  1   |  0   | no route to destination                   | 11002                         |
// |  1   |  1   | communication administratively prohibited | 11003                         |
// |  1   |  2   | beyond scope of source address            | 11002                         |
// |  1   |  3   | address unreachable                       | 11003                         |
// |  1   |  4   | port unreachable                          | 11005                         |
// |  1   |  5   | source address failed ingress policy      | 11003                         |
// |  1   |  6   | reject route to destination               | 11002                         |
// |  1   | any other code                                   | 11003                         |
// |  2   | any  | packet too big                            | 11009                         |
// |  3   |  0   | hop limit exceeded in transit             | 11013                         |
// |  3   |  1   | fragment reassembly time exceeded         | 11014                         |
// |  3   | any other code                                   | 11013                         |
// |  4   | any  | parameter problem                         | 11015                         |
//
// "Administratively prohibited" is a firewall's way of saying the destination cannot be reached,
// so it reads as net or host unreachable, by the scope the code names; it is not a bad destination
// (11018), which would hide that a router answered.
struct IcmpRow {
    bool v6;
    int type;
    int code; // -1: any code not listed before
    qint32 status;
};

constexpr IcmpRow kIcmpRows[] = {
    {false, 3, 0, IpDestNetUnreachable},   {false, 3, 1, IpDestHostUnreachable},
    {false, 3, 2, IpDestProtUnreachable},  {false, 3, 3, IpDestPortUnreachable},
    {false, 3, 4, IpPacketTooBig},         {false, 3, 5, IpBadRoute},
    {false, 3, 6, IpDestNetUnreachable},   {false, 3, 7, IpDestHostUnreachable},
    {false, 3, 8, IpDestHostUnreachable},  {false, 3, 9, IpDestNetUnreachable},
    {false, 3, 10, IpDestHostUnreachable}, {false, 3, 11, IpDestNetUnreachable},
    {false, 3, 12, IpDestHostUnreachable}, {false, 3, 13, IpDestHostUnreachable},
    {false, 3, 14, IpDestHostUnreachable}, {false, 3, 15, IpDestHostUnreachable},
    {false, 3, -1, IpDestHostUnreachable}, {false, 4, -1, IpSourceQuench},
    {false, 11, 0, IpTtlExpiredTransit},   {false, 11, 1, IpTtlExpiredReassembly},
    {false, 11, -1, IpTtlExpiredTransit},  {false, 12, -1, IpParamProblem},
    {true, 1, 0, IpDestNetUnreachable},    {true, 1, 1, IpDestHostUnreachable},
    {true, 1, 2, IpDestNetUnreachable},    {true, 1, 3, IpDestHostUnreachable},
    {true, 1, 4, IpDestPortUnreachable},   {true, 1, 5, IpDestHostUnreachable},
    {true, 1, 6, IpDestNetUnreachable},    {true, 1, -1, IpDestHostUnreachable},
    {true, 2, -1, IpPacketTooBig},         {true, 3, 0, IpTtlExpiredTransit},
    {true, 3, 1, IpTtlExpiredReassembly},  {true, 3, -1, IpTtlExpiredTransit},
    {true, 4, -1, IpParamProblem},
};

// Local refusals to send (sendto, or a local error on the socket's error queue).
//
// | errno                  | cause                                          | status                  |
// |------------------------|------------------------------------------------|-------------------------|
// | ENETUNREACH, ENETDOWN  | no route to the network, interface down        | 11002                   |
// | EHOSTUNREACH, EHOSTDOWN| route of type unreachable, neighbour failed    | 11003                   |
// | EACCES, EPERM          | route of type prohibit, local firewall, a      | 11003 (as admin.        |
// |                        | broadcast address                              |  prohibited)            |
// | EINVAL                 | route of type blackhole                        | 11018 bad destination   |
// | EMSGSIZE               | larger than the path allows                    | 11009                   |
// | ENOBUFS, ENOMEM        | the stack has no room for the packet           | 11006 ip no resources   |
// | anything else          |                                                | 11050 ip general failure|
struct ErrnoRow {
    int error;
    qint32 status;
};

constexpr ErrnoRow kErrnoRows[] = {
    {ENETUNREACH, IpDestNetUnreachable},
    {ENETDOWN, IpDestNetUnreachable},
    {EHOSTUNREACH, IpDestHostUnreachable},
    {EHOSTDOWN, IpDestHostUnreachable},
    {EACCES, IpDestHostUnreachable},
    {EPERM, IpDestHostUnreachable},
    {EINVAL, IpBadDestination},
    {EMSGSIZE, IpPacketTooBig},
    {ENOBUFS, IpNoResources},
    {ENOMEM, IpNoResources},
};

} // namespace

qint32 statusForIcmpError(int type, int code, bool v6)
{
    for (const IcmpRow &row : kIcmpRows) {
        if (row.v6 == v6 && row.type == type && (row.code == code || row.code == -1))
            return row.status;
    }
    return IpSuccess;
}

qint32 statusForSendError(int errnoValue)
{
    for (const ErrnoRow &row : kErrnoRows) {
        if (row.error == errnoValue)
            return row.status;
    }
    return IpGeneralFailure;
}

} // namespace qos
