#pragma once
// The probing primitives over this machine's echo engine.
//
// Invariants:
//  - The engine is opened by the first SocketsStartup or EchoProbe that finds it closed and stays
//    open for the prober's life; the prober closes it when it goes (echoes still waiting then end
//    unseen: their contexts go first). An error the system reports while closing it is told to the
//    operator.
//  - Every result reaches the caller through its context object from the event loop, never from
//    inside the call; a destroyed context gets nothing.
//  - EchoProbe sends nothing for text that is neither an address inet_addr takes (which excludes
//    255.255.255.255) nor an IPv6 literal (with a zone for a link-local one); and it never reports
//    a reply unless one arrived.
//  - A name resolves to its first IPv4 address, or to its first IPv6 one when it has no IPv4 one.
//  - Where the system has no IPv6, an IPv6 address ends StatusIpv6Unavailable and the operator is
//    told so once.
#include "platform/echoengine.h"
#include "platform/messagebox.h"
#include "probe/prober.h"
#include "probe/startupnotice.h"

#include <memory>
#include <optional>

namespace qos {

class EchoProber final : public Prober {
public:
    // The timeout used when PINGTIMEOUT is below 1 ms (zero, or negative after a 16-bit overflow):
    // such a value would otherwise wait for nothing or for weeks.
    static constexpr int kFallbackTimeoutMs = 1000;

    EchoProber(std::unique_ptr<EchoEngine> engine, MessageBoxes &boxes, StartupNotice &notice);
    ~EchoProber() override;

    bool SocketsStartup() override;
    QString SocketsStartupFailureText() const override;
    void ResolveHostAddress(const QString &name, QObject *context,
                            std::function<void(const QString &dotted)> done) override;
    void EchoProbe(const QString &address, int timeoutMs, QObject *context,
                   std::function<void(const EchoResult &)> done) override;

    // The address inet_addr makes of text (host byte order); nothing for the no-address value.
    static std::optional<quint32> dottedAddress(const QString &text);
    // The address text names: dotted IPv4 as dottedAddress, or an IPv6 literal.
    static std::optional<EchoAddress> echoAddress(const QString &text);

private:
    std::unique_ptr<EchoEngine> m_engine;
    MessageBoxes &m_boxes;
    StartupNotice &m_notice;
    bool m_toldNoIpv6 = false;
};

} // namespace qos
