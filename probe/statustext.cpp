#include "probe/prober.h"

namespace qos {

QString ProbeStatusText(ProbeStatus status)
{
    switch (status) {
    case -1:
        return QStringLiteral("Invalid Host");
    case -2:
        return QStringLiteral("IPv6 unavailable");
    case 0:
        return QStringLiteral("ONLINE");
    case 500:
        return QStringLiteral("ping timeout");
    case 11001:
        return QStringLiteral("ip buf too_small");
    case 11002:
        return QStringLiteral("ip dest net unreachable");
    case 11003:
        return QStringLiteral("ip dest host unreachable");
    case 11004:
        return QStringLiteral("ip dest prot unreachable");
    case 11005:
        return QStringLiteral("ip dest port unreachable");
    case 11006:
        return QStringLiteral("ip no resources");
    case 11007:
        return QStringLiteral("ip bad option");
    case 11008:
        return QStringLiteral("ip hw_error");
    case 11009:
        return QStringLiteral("ip packet too_big");
    case 11010: // request timed out
    case 11013: // time to live expired in transit
    case 11018: // bad destination
        return QStringLiteral("OFFLINE");
    case 11011:
        return QStringLiteral("ip bad req");
    case 11012:
        return QStringLiteral("ip bad route");
    case 11014: // time to live expired during reassembly
        return QStringLiteral("iOFFLINE");
    case 11015:
        return QStringLiteral("ip param_problem");
    case 11016:
        return QStringLiteral("ip source quench");
    case 11017:
        return QStringLiteral("ip option too_big");
    case 11019:
        return QStringLiteral("ip addr deleted");
    case 11020:
        return QStringLiteral("ip mtu change");
    case 11021:
        return QStringLiteral("ip mtu_change");
    case 11022:
        return QStringLiteral("ip unload");
    case 11023:
        return QStringLiteral("ip addr added");
    case 11050:
        return QStringLiteral("ip general failure");
    case 11255:
        return QStringLiteral("ip pending");
    default:
        return QStringLiteral("unknown  msg returned");
    }
}

} // namespace qos
