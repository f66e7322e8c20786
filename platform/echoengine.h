#pragma once
// The machine's ICMP echo facility: sends echo requests, many in flight at once, and reports each
// one's outcome as an IP status number (platform/icmpstatus.h).
//
// Invariants:
//  - send() never blocks and never runs its callback itself: the callback runs exactly once, later,
//    from the event loop in the context object's thread, unless the context object is destroyed
//    first; then it never runs and the echo is forgotten.
//  - An echo ends with 0 (a reply from the address probed), an ICMP error or local refusal status,
//    IpRequestTimedOut when nothing arrived within its timeout, or IpGeneralFailure when the
//    facility is closed under it.
//
// On Linux this is an ICMP socket (platform/icmpengine.h); on Windows IcmpSendEcho2 with an event
// per echo can stand behind the same interface.
#include "platform/echoaddress.h"
#include "platform/echoresult.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace qos {

class IcmpSocket;
struct IcmpSockets;

class EchoEngine {
public:
    using Done = std::function<void(const EchoResult &)>;

    virtual ~EchoEngine() = default;
    // Opens the facility; true when it is (or already was) open.
    virtual bool open() = 0;
    // After open() failed: one line saying what is wrong on this machine and how to fix it.
    virtual QString openFailureHint() const = 0;
    // Closes the facility; echoes still waiting end with IpGeneralFailure. False when the system
    // reported an error while closing (the facility is closed all the same).
    virtual bool close() = 0;
    virtual bool isOpen() const = 0;
    // Echoes sent and not yet ended.
    virtual int inFlight() const = 0;
    // One echo request without payload, ICMP or ICMPv6 by the address's family. timeoutMs below 1
    // counts as 1. An IPv6 address where the facility has no IPv6 ends StatusIpv6Unavailable.
    virtual void send(const EchoAddress &address, int timeoutMs, QObject *context, Done done) = 0;
    // To an IPv4 address in host byte order.
    void send(quint32 address, int timeoutMs, QObject *context, Done done)
    {
        send(EchoAddress::ipv4(address), timeoutMs, context, std::move(done));
    }
    // After open(): whether IPv6 echoes can go out.
    virtual bool hasIpv6() const { return false; }
};

// The echo facility of this platform, opening its socket itself when first opened.
std::unique_ptr<EchoEngine> makeEchoEngine();
// The echo facility on the sockets opened early (OpenIcmpSocketEarly), kept for the engine's life:
// open() and close() take them up and park them. Where no IPv4 one could be opened, open() fails
// with the hint those early attempts call for.
std::unique_ptr<EchoEngine> makeEchoEngine(IcmpSockets sockets);

} // namespace qos
