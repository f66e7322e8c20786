#pragma once
// The probing primitives as the monitor cycle and the List View's pings use them.
//
// Invariants:
//  - Nothing here blocks: results arrive through callbacks run from the event loop, never from
//    inside the call that asked for them.
//  - A callback is dropped (never run) once its context object has been destroyed.
//  - The echo facility is opened at first use and, once open, stays open until the prober goes: no
//    caller opens or closes it around an attempt. Where it cannot be opened, each later use tries
//    again.
#include "platform/echoresult.h"

#include <QObject>
#include <QString>
#include <functional>

namespace qos {

class Prober {
public:
    virtual ~Prober() = default;
    // Opens the echo facility when it is not open yet; once open it stays open for the prober's
    // life, so that asking again costs nothing. False when this machine lets us send no echo.
    virtual bool SocketsStartup() = 0;
    // Text of the start-up failure message, with what is wrong on this machine and how to fix it.
    virtual QString SocketsStartupFailureText() const = 0;
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
