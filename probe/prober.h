#pragma once
// The probing primitives as the monitor cycle and the List View's pings use them.
//
// Invariants:
//  - Nothing here blocks: results arrive through callbacks run from the event loop, never from
//    inside the call that asked for them.
//  - A callback is dropped (never run) once its context object has been destroyed.
#include <QObject>
#include <QString>
#include <functional>

namespace qos {

using ProbeStatus = qint32;
inline constexpr ProbeStatus StatusReply = 0;
inline constexpr ProbeStatus StatusInvalidHost = -1;
inline constexpr ProbeStatus StatusTimedOut = 11010;
inline constexpr ProbeStatus StatusGeneralFailure = 11050;

struct EchoResult {
    ProbeStatus status = StatusGeneralFailure;
    qint64 roundTripUs = -1; // -1 when no reply arrived
};

class Prober {
public:
    virtual ~Prober() = default;
    // Opens the echo facility when it is not open yet; false when this machine lets us send no echo.
    virtual bool SocketsStartup() = 0;
    // Text of the start-up failure message, with what is wrong on this machine and how to fix it.
    virtual QString SocketsStartupFailureText() const = 0;
    virtual void SocketsCleanup() = 0;
    // First IPv4 address of name as dotted text; "" when it cannot be resolved. Dotted text comes
    // back unchanged.
    virtual void ResolveHostAddress(const QString &name, QObject *context,
                                    std::function<void(const QString &dotted)> done) = 0;
    // One echo request to a dotted IPv4 address; text that is not one gives StatusInvalidHost
    // without sending anything.
    virtual void EchoProbe(const QString &address, int timeoutMs, QObject *context,
                           std::function<void(const EchoResult &)> done) = 0;
};

// Display text of a status, as the List View shows it.
QString ProbeStatusText(ProbeStatus status);

} // namespace qos
