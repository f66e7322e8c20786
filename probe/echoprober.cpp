#include "probe/echoprober.h"

#include <QHostAddress>
#include <QHostInfo>

#include <arpa/inet.h>
#include <net/if.h>

namespace qos {
namespace {

template <typename Function> void post(QObject *context, Function function)
{
    QMetaObject::invokeMethod(context, std::move(function), Qt::QueuedConnection);
}

constexpr QLatin1String
    kStartupFailure("Windows Sockets for 32 bit Windows environments is not successfully responding.");
constexpr QLatin1String kCleanupFailure("Windows Sockets error occurred in Cleanup.");
constexpr QLatin1String kNoIpv6("IPv6 unavailable: this system opened no ICMPv6 socket, so IPv6 addresses "
                                "are not probed. IPv4 ones are.");

// An IPv6 literal as text names it; QHostAddress takes the zone ("%eth0" or "%2") of a link-local one.
std::optional<EchoAddress> ipv6Literal(const QString &text)
{
    if (!text.contains(QLatin1Char(':')) || text.contains(QLatin1Char(' ')))
        return std::nullopt;
    QHostAddress parsed;
    if (!parsed.setAddress(text) || parsed.protocol() != QAbstractSocket::IPv6Protocol)
        return std::nullopt;
    quint32 scope = 0;
    if (const QString zone = parsed.scopeId(); !zone.isEmpty()) {
        bool numeric = false;
        scope = zone.toUInt(&numeric);
        if (!numeric)
            scope = ::if_nametoindex(zone.toLocal8Bit().constData());
        if (scope == 0)
            return std::nullopt; // no such interface
    }
    const Q_IPV6ADDR bytes = parsed.toIPv6Address();
    return EchoAddress::ipv6(bytes.c, scope);
}

} // namespace

EchoProber::EchoProber(std::unique_ptr<EchoEngine> engine, MessageBoxes &boxes, StartupNotice &notice)
    : m_engine(std::move(engine))
    , m_boxes(boxes)
    , m_notice(notice)
{}

EchoProber::~EchoProber()
{
    if (m_engine->isOpen() && !m_engine->close())
        m_boxes.show(QString(kCleanupFailure), MessageBoxes::Icon::Exclamation);
}

bool EchoProber::SocketsStartup()
{
    return m_engine->open();
}

QString EchoProber::SocketsStartupFailureText() const
{
    const QString hint = m_engine->openFailureHint();
    return hint.isEmpty() ? QString(kStartupFailure) : kStartupFailure + QLatin1Char('\n') + hint;
}

std::optional<quint32> EchoProber::dottedAddress(const QString &text)
{
    const in_addr_t address = ::inet_addr(text.toLatin1().constData());
    if (address == INADDR_NONE)
        return std::nullopt;
    return ntohl(address);
}

std::optional<EchoAddress> EchoProber::echoAddress(const QString &text)
{
    if (const std::optional<quint32> dotted = dottedAddress(text))
        return EchoAddress::ipv4(*dotted);
    return ipv6Literal(text);
}

void EchoProber::ResolveHostAddress(const QString &name, QObject *context,
                                    std::function<void(const QString &)> done)
{
    if (!context)
        return;
    // Dotted text needs no look-up: it comes back as it is (in its plain four-part form when
    // written another way inet_aton accepts, such as 127.1).
    in_addr numeric{};
    if (::inet_aton(name.toLatin1().constData(), &numeric)) {
        const QString plain = QHostAddress(ntohl(numeric.s_addr)).toString();
        post(context, [done = std::move(done), result = name == plain ? name : plain] { done(result); });
        return;
    }
    if (ipv6Literal(name)) {
        post(context, [done = std::move(done), result = QHostAddress(name).toString()] { done(result); });
        return;
    }
    if (name.trimmed().isEmpty()) {
        post(context, [done = std::move(done)] { done(QString()); });
        return;
    }
    QHostInfo::lookupHost(name, context, [done = std::move(done)](const QHostInfo &info) {
        const QList<QHostAddress> addresses = info.addresses();
        for (const auto family : {QAbstractSocket::IPv4Protocol, QAbstractSocket::IPv6Protocol}) {
            for (const QHostAddress &address : addresses) {
                if (address.protocol() == family) {
                    done(address.toString());
                    return;
                }
            }
        }
        done(QString());
    });
}

void EchoProber::EchoProbe(const QString &address, int timeoutMs, QObject *context,
                           std::function<void(const EchoResult &)> done)
{
    if (!context)
        return;
    const std::optional<EchoAddress> target = echoAddress(address);
    if (!target) {
        post(context, [done = std::move(done)] { done({StatusInvalidHost, -1}); });
        return;
    }
    if (!m_engine->open()) {
        // Not a reply: the echo could not even be sent.
        m_notice.show(SocketsStartupFailureText());
        post(context, [done = std::move(done)] { done({StatusGeneralFailure, -1}); });
        return;
    }
    if (target->v6 && !m_engine->hasIpv6() && !m_toldNoIpv6)
        m_toldNoIpv6 = m_notice.show(QString(kNoIpv6));
    m_engine->send(*target, timeoutMs < 1 ? kFallbackTimeoutMs : timeoutMs, context, std::move(done));
}

} // namespace qos
