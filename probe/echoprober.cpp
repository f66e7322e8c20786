#include "probe/echoprober.h"

#include <QHostAddress>
#include <QHostInfo>

#include <arpa/inet.h>

namespace qos {
namespace {

template <typename Function> void post(QObject *context, Function function)
{
    QMetaObject::invokeMethod(context, std::move(function), Qt::QueuedConnection);
}

constexpr QLatin1String
    kStartupFailure("Windows Sockets for 32 bit Windows environments is not successfully responding.");
constexpr QLatin1String kCleanupFailure("Windows Sockets error occurred in Cleanup.");

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
    if (name.trimmed().isEmpty()) {
        post(context, [done = std::move(done)] { done(QString()); });
        return;
    }
    QHostInfo::lookupHost(name, context, [done = std::move(done)](const QHostInfo &info) {
        for (const QHostAddress &address : info.addresses()) {
            if (address.protocol() == QAbstractSocket::IPv4Protocol) {
                done(address.toString());
                return;
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
    const std::optional<quint32> target = dottedAddress(address);
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
    m_engine->send(*target, timeoutMs < 1 ? kFallbackTimeoutMs : timeoutMs, context,
                   std::move(done));
}

} // namespace qos
