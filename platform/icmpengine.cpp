#include "platform/icmpengine.h"

#include "platform/icmppacket.h"
#include "platform/icmpstatus.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSocketNotifier>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace qos {
namespace {

// Echoes sent in one go before the socket is read again, so that replies never pile up beyond the
// receive buffer while a large sweep goes out.
constexpr int kSendBatch = 32;
// Packets read per wake-up; the rest waits for the next turn of the event loop.
constexpr int kReadBatch = 1024;
// Room for many replies arriving at once (the kernel caps what it grants).
constexpr int kReceiveBuffer = 1 << 20;

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool isPermissionError(int error) { return error == EACCES || error == EPERM; }

void enlargeReceiveBuffer(int fd)
{
    const int size = kReceiveBuffer;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

QString systemText(int error) { return QString::fromLocal8Bit(::strerror(error)); }

QString pingGroupRange()
{
    QFile file(QStringLiteral("/proc/sys/net/ipv4/ping_group_range"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).simplified();
}

} // namespace

IcmpSocketEngine::IcmpSocketEngine(QObject *parent)
    : QObject(parent)
{
    m_deadlineTimer.setSingleShot(true);
    m_deadlineTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_deadlineTimer, &QTimer::timeout, this, &IcmpSocketEngine::expire);
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(0);
    connect(&m_flushTimer, &QTimer::timeout, this, &IcmpSocketEngine::flush);
}

IcmpSocketEngine::~IcmpSocketEngine() { close(); }

bool IcmpSocketEngine::open()
{
    if (isOpen())
        return true;
    return openDatagram() || openRaw();
}

bool IcmpSocketEngine::open(SocketKind kind)
{
    if (isOpen())
        return m_kind == kind;
    if (kind == SocketKind::Datagram)
        return openDatagram();
    if (kind == SocketKind::Raw)
        return openRaw();
    return false;
}

bool IcmpSocketEngine::openDatagram()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) {
        m_datagramError = errno;
        return false;
    }
    // ICMP errors about our echoes arrive on the error queue only with IP_RECVERR. Binding to port
    // 0 makes the kernel choose the identifier now, so that getsockname can tell it.
    const int on = 1;
    sockaddr_in self{};
    self.sin_family = AF_INET;
    socklen_t length = sizeof self;
    if (::setsockopt(fd, SOL_IP, IP_RECVERR, &on, sizeof on) != 0
        || ::bind(fd, reinterpret_cast<sockaddr *>(&self), sizeof self) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&self), &length) != 0) {
        m_datagramError = errno;
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_kind = SocketKind::Datagram;
    m_identifier = ntohs(self.sin_port);
    m_datagramError = 0;
    watch();
    return true;
}

bool IcmpSocketEngine::openRaw()
{
    const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) {
        m_rawError = errno;
        return false;
    }
    // A raw socket sees every ICMP packet of the host: let the kernel pass only the types that can
    // end an echo.
    icmp_filter filter{};
    filter.data = ~((1U << ICMP_ECHOREPLY) | (1U << ICMP_DEST_UNREACH) | (1U << ICMP_SOURCE_QUENCH)
                    | (1U << ICMP_TIME_EXCEEDED) | (1U << ICMP_PARAMETERPROB));
    ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    m_fd = fd;
    m_kind = SocketKind::Raw;
    m_identifier = quint16(QRandomGenerator::global()->generate());
    m_rawError = 0;
    watch();
    return true;
}

void IcmpSocketEngine::watch()
{
    enlargeReceiveBuffer(m_fd);
    m_readNotifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &IcmpSocketEngine::drain);
    if (m_kind == SocketKind::Datagram) {
        // A pending error-queue entry shows as POLLERR. Qt's dispatchers report that to read
        // notifiers too; the exception notifier covers it where they don't.
        m_errorNotifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Exception);
        connect(m_errorNotifier.get(), &QSocketNotifier::activated, this, &IcmpSocketEngine::drain);
    }
    m_writeNotifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, &IcmpSocketEngine::flush);
}

QString IcmpSocketEngine::openFailureHint() const
{
    if (isOpen() || (m_datagramError == 0 && m_rawError == 0))
        return {};
    const bool datagramRefused = m_datagramError == 0 || isPermissionError(m_datagramError);
    const bool rawRefused = m_rawError == 0 || isPermissionError(m_rawError);
    if (datagramRefused && rawRefused) {
        const QString program = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
        return QStringLiteral("This user may not send ICMP echo requests: run \"setcap cap_net_raw+ep %1\" "
                              "as root, or let group %2 open ping sockets with \"sysctl -w "
                              "net.ipv4.ping_group_range='0 2147483647'\" (now \"%3\").")
            .arg(program, QString::number(::getegid()), pingGroupRange());
    }
    return QStringLiteral("No ICMP socket could be opened: %1.")
        .arg(systemText(m_rawError ? m_rawError : m_datagramError));
}

bool IcmpSocketEngine::close()
{
    if (!isOpen())
        return true;
    m_readNotifier.reset();
    m_errorNotifier.reset();
    m_writeNotifier.reset();
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    m_kind = SocketKind::None;
    m_flushTimer.stop();
    m_sendQueue.clear();
    std::vector<quint16> waiting;
    waiting.reserve(m_echoes.size());
    for (const auto &[sequence, echo] : m_echoes)
        waiting.push_back(sequence);
    for (quint16 sequence : waiting)
        finish(sequence, IpGeneralFailure, -1);
    m_deadlineTimer.stop();
    return closed;
}

void IcmpSocketEngine::send(quint32 address, int timeoutMs, QObject *context, Done done)
{
    if (!context)
        context = this;
    quint16 sequence = 0;
    const qint32 refusal = !isOpen() ? IpGeneralFailure : !allocateSequence(&sequence) ? IpNoResources : 0;
    if (refusal) {
        QMetaObject::invokeMethod(
            context, [done = std::move(done), refusal] { done({refusal, -1}); }, Qt::QueuedConnection);
        return;
    }
    m_nextSequence = quint16(sequence + 1);
    const qint64 deadline = nowNs() + qint64(std::max(timeoutMs, 1)) * 1000000;
    const quint64 serial = ++m_nextSerial;
    m_echoes.emplace(sequence, Echo{serial, htonl(address), deadline, -1, context, std::move(done)});
    m_deadlines.emplace(deadline, sequence);
    track(context);
    m_sendQueue.emplace_back(sequence, serial);
    if (!m_flushTimer.isActive() && !m_writeNotifier->isEnabled())
        m_flushTimer.start();
    if (!m_deadlineTimer.isActive() || deadline < m_armedForNs)
        armDeadlineTimer();
}

void IcmpSocketEngine::flush()
{
    int sent = 0;
    while (!m_sendQueue.empty()) {
        const auto [sequence, serial] = m_sendQueue.front();
        const auto it = m_echoes.find(sequence);
        if (it == m_echoes.end() || it->second.serial != serial || it->second.sentNs >= 0) {
            m_sendQueue.pop_front(); // ended (or forgotten) before it went out
            continue;
        }
        const int error = sendEcho(sequence, it->second.address);
        if (error == EAGAIN || error == EWOULDBLOCK) {
            m_writeNotifier->setEnabled(true); // go on once the socket has room again
            return;
        }
        m_sendQueue.pop_front();
        if (error) {
            finish(sequence, statusForSendError(error), -1);
        } else {
            it->second.sentNs = nowNs();
            if (++sent % kSendBatch == 0)
                drain();
        }
    }
    m_writeNotifier->setEnabled(false);
}

// Sends one echo request; 0 or the errno of the failure.
int IcmpSocketEngine::sendEcho(quint16 sequence, quint32 address)
{
    quint8 packet[icmp::kEchoSize];
    icmp::writeEchoRequest(packet, m_identifier, sequence);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = address;
    for (bool retried = false;; retried = true) {
        if (::sendto(m_fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr *>(&to), sizeof to) >= 0)
            return 0;
        const int error = errno;
        if (error == EINTR)
            continue;
        // A datagram socket also fails the next send with the error of an ICMP message that arrived
        // for an earlier echo. Such a message is on the error queue: read it and try once more.
        if (retried || error == EAGAIN || error == EWOULDBLOCK || m_kind != SocketKind::Datagram
            || readQueuedErrors() == 0)
            return error;
    }
}

void IcmpSocketEngine::drain()
{
    if (!isOpen())
        return;
    if (m_kind == SocketKind::Datagram)
        readQueuedErrors();
    for (int i = 0; i < kReadBatch && readPacket(); ++i) {
    }
}

// Reads a datagram socket's error queue; the number of entries read.
int IcmpSocketEngine::readQueuedErrors()
{
    int count = 0;
    while (count < kReadBatch && readQueuedError())
        ++count;
    return count;
}

// Reads one packet; false when there is none.
bool IcmpSocketEngine::readPacket()
{
    alignas(8) quint8 buffer[1500];
    sockaddr_in from{};
    iovec part{buffer, sizeof buffer};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    const ssize_t size = ::recvmsg(m_fd, &message, MSG_DONTWAIT);
    if (size < 0) {
        // A datagram socket also reports an ICMP error once as a receive error; its details come
        // from the error queue, so the error itself is passed over.
        return errno != EAGAIN && errno != EWOULDBLOCK;
    }
    const std::size_t length = std::min(std::size_t(size), sizeof buffer);
    handle(m_kind == SocketKind::Raw ? icmp::parseRawPacket(buffer, length)
                                     : icmp::parseDatagramReply(buffer, length, from.sin_addr.s_addr),
           nowNs());
    return true;
}

// Reads one entry of a datagram socket's error queue; false when there is none.
bool IcmpSocketEngine::readQueuedError()
{
    alignas(8) quint8 buffer[576];
    alignas(cmsghdr) char control[512];
    sockaddr_in destination{};
    iovec part{buffer, sizeof buffer};
    msghdr message{};
    message.msg_name = &destination;
    message.msg_namelen = sizeof destination;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t size;
    do {
        size = ::recvmsg(m_fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
    } while (size < 0 && errno == EINTR);
    if (size < 0)
        return false;
    for (cmsghdr *c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_IP || c->cmsg_type != IP_RECVERR)
            continue;
        sock_extended_err error;
        std::memcpy(&error, CMSG_DATA(c), sizeof error);
        // Local errors (origin LOCAL) quote no echo header; sendto has reported them already.
        if (error.ee_origin == SO_EE_ORIGIN_ICMP) {
            const std::size_t length = std::min(std::size_t(size), sizeof buffer);
            handle(icmp::parseDatagramError(buffer, length, destination.sin_addr.s_addr, error.ee_type,
                                            error.ee_code),
                   nowNs());
        }
    }
    return true;
}

void IcmpSocketEngine::handle(const icmp::Message &message, qint64 nowNs)
{
    if (message.kind == icmp::Message::Kind::Other || message.identifier != m_identifier)
        return;
    const auto it = m_echoes.find(message.sequence);
    if (it == m_echoes.end() || it->second.sentNs < 0 || it->second.address != message.address)
        return;
    if (message.kind == icmp::Message::Kind::Reply) {
        finish(message.sequence, IpSuccess, (nowNs - it->second.sentNs) / 1000);
        return;
    }
    const qint32 status = statusForIcmpError(message.type, message.code);
    if (status != IpSuccess)
        finish(message.sequence, status, -1);
}

void IcmpSocketEngine::expire()
{
    drain(); // a reply already waiting in the socket is not a timeout
    const qint64 now = nowNs();
    while (!m_deadlines.empty() && m_deadlines.begin()->first <= now)
        finish(m_deadlines.begin()->second, IpRequestTimedOut, -1);
    armDeadlineTimer();
}

void IcmpSocketEngine::finish(quint16 sequence, qint32 status, qint64 roundTripUs)
{
    auto node = m_echoes.extract(sequence);
    if (node.empty())
        return;
    Echo &echo = node.mapped();
    m_deadlines.erase({echo.deadlineNs, sequence});
    untrack(echo.context);
    QMetaObject::invokeMethod(
        echo.context,
        [done = std::move(echo.done), outcome = Outcome{status, roundTripUs}] { done(outcome); },
        Qt::QueuedConnection);
}

void IcmpSocketEngine::armDeadlineTimer()
{
    if (m_deadlines.empty()) {
        m_deadlineTimer.stop();
        return;
    }
    m_armedForNs = m_deadlines.begin()->first;
    const qint64 waitMs = (m_armedForNs - nowNs() + 999999) / 1000000; // never early
    m_deadlineTimer.start(int(std::clamp<qint64>(waitMs, 0, std::numeric_limits<int>::max())));
}

bool IcmpSocketEngine::allocateSequence(quint16 *sequence) const
{
    for (int i = 0; i <= 0xffff; ++i) {
        const quint16 candidate = quint16(m_nextSequence + i); // wraps from 65535 to 0
        if (m_echoes.find(candidate) == m_echoes.end()) {
            *sequence = candidate;
            return true;
        }
    }
    return false;
}

void IcmpSocketEngine::track(QObject *context)
{
    Watch &watch = m_contexts[context];
    if (watch.echoes++ == 0 && context != this) {
        watch.connection =
            connect(context, &QObject::destroyed, this, [this, context] { forget(context); });
    }
}

void IcmpSocketEngine::untrack(QObject *context)
{
    const auto it = m_contexts.find(context);
    if (it == m_contexts.end())
        return;
    if (--it->echoes == 0) {
        disconnect(it->connection);
        m_contexts.erase(it);
    }
}

// The context is gone: its echoes end without a word, and their sequence numbers are free again.
void IcmpSocketEngine::forget(QObject *context)
{
    for (auto it = m_echoes.begin(); it != m_echoes.end();) {
        if (it->second.context == context) {
            m_deadlines.erase({it->second.deadlineNs, it->first});
            it = m_echoes.erase(it);
        } else {
            ++it;
        }
    }
    m_contexts.remove(context);
}

std::unique_ptr<EchoEngine> makeEchoEngine() { return std::make_unique<IcmpSocketEngine>(); }

} // namespace qos
