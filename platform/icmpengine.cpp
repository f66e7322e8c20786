#include "platform/icmpengine.h"

#include "platform/icmppacket.h"
#include "platform/icmpstatus.h"

#include <QFile>
#include <QSocketNotifier>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace qos {
namespace {

// Echoes sent with one system call, a burst; the socket is read between bursts, so that replies
// never pile up beyond the receive buffer while a large sweep goes out.
constexpr int kSendBatch = 32;
// Pacing (fping's interval, per burst): the right to send refills at kSendBatch echoes per
// kBurstGapNs and holds at most kSendBatch, so thousands of echoes asked for at once leave in bursts
// of 32 a millisecond apart, while echoes asked for one after another go out at once. While echoes
// wait their turn it holds up to kCatchUpBursts bursts: a flush that comes late (the event loop was
// busy with replies) sends what the pace allowed meanwhile, a burst at a time with the socket read
// in between, so a long sweep keeps 32 a millisecond on average instead of losing every delay.
constexpr qint64 kBurstGapNs = 1000000;
constexpr int kCatchUpBursts = 8;
// Packets read with one system call, and such calls per wake-up (the rest waits for the next turn
// of the event loop, so that a flood cannot starve the window).
constexpr int kReceiveBatch = 64;
constexpr int kReceiveCalls = 16;
// Room for one packet: enough for any ICMP error (RFC 1812 quotes at most 576 bytes in all).
constexpr std::size_t kPacketRoom = 1024;
// Packets at most thrown away when a parked socket is taken up again (a flood cannot hold it up).
constexpr int kDiscardLimit = 4096;

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool isPermissionError(int error)
{
    return error == EACCES || error == EPERM;
}

// Points a message header at one address (of the family's size) and one buffer.
void describe(msghdr &message, sockaddr_in6 *address, bool v6, iovec *part)
{
    message.msg_name = address;
    message.msg_namelen = v6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    message.msg_iov = part;
    message.msg_iovlen = 1;
}

QString systemText(int error)
{
    return QString::fromLocal8Bit(::strerror(error));
}

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
    m_flushTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_flushTimer, &QTimer::timeout, this, &IcmpSocketEngine::flush);
}

IcmpSocketEngine::IcmpSocketEngine(IcmpSocket socket, QObject *parent)
    : IcmpSocketEngine(parent)
{
    adopt(std::move(socket));
}

IcmpSocketEngine::IcmpSocketEngine(IcmpSockets sockets, QObject *parent)
    : IcmpSocketEngine(parent)
{
    adopt(std::move(sockets.v4));
    adopt(std::move(sockets.v6));
}

void IcmpSocketEngine::adopt(IcmpSocket socket)
{
    Channel &c = m_channels[socket.v6()];
    c.datagramError = socket.datagramError();
    c.rawError = socket.rawError();
    c.socket = std::move(socket);
    c.adopted = true;
    if (c.socket.isOpen()) {
        c.active = true;
        watch(c);
    }
}

IcmpSocketEngine::~IcmpSocketEngine()
{
    close();
}

bool IcmpSocketEngine::open()
{
    for (Channel &c : m_channels) {
        if (c.active)
            continue;
        if (c.socket.isOpen())
            resume(c);
        else if (!openSocket(c, SocketKind::Datagram) && !c.adopted)
            openSocket(c, SocketKind::Raw);
    }
    return isOpen();
}

bool IcmpSocketEngine::open(SocketKind kind)
{
    for (Channel &c : m_channels)
        openChannel(c, kind);
    return isOpen() && socketKind() == kind;
}

bool IcmpSocketEngine::openChannel(Channel &c, SocketKind kind)
{
    if (c.active)
        return c.socket.kind() == kind;
    if (c.socket.isOpen())
        return c.socket.kind() == kind && resume(c);
    if (kind == SocketKind::Raw && c.adopted)
        return false;
    return kind != SocketKind::None && openSocket(c, kind);
}

bool IcmpSocketEngine::openSocket(Channel &c, SocketKind kind)
{
    const bool v6 = &c == &m_channels[1];
    IcmpSocket socket = IcmpSocket::open(kind, v6);
    if (kind == SocketKind::Datagram)
        c.datagramError = socket.datagramError();
    else
        c.rawError = socket.rawError();
    if (!socket.isOpen())
        return false;
    c.socket = std::move(socket);
    c.active = true;
    watch(c);
    return true;
}

// Takes a parked socket up again. What arrived while it was parked answers echoes that have ended:
// left in place it could pass for replies to new echoes that reuse their sequence numbers.
bool IcmpSocketEngine::resume(Channel &c)
{
    discardQueued(c);
    c.active = true;
    watch(c);
    return true;
}

void IcmpSocketEngine::discardQueued(Channel &c)
{
    quint8 packet[kPacketRoom];
    const int fd = c.socket.fd();
    int discarded = 0;
    while (discarded < kDiscardLimit && ::recv(fd, packet, sizeof packet, MSG_DONTWAIT) >= 0)
        ++discarded;
    if (c.socket.kind() != SocketKind::Datagram)
        return;
    while (discarded < 2 * kDiscardLimit &&
           ::recv(fd, packet, sizeof packet, MSG_ERRQUEUE | MSG_DONTWAIT) >= 0)
        ++discarded;
}

void IcmpSocketEngine::watch(Channel &c)
{
    const int fd = c.socket.fd();
    c.readNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(c.readNotifier.get(), &QSocketNotifier::activated, this, [this, &c] { drain(c); });
    if (c.socket.kind() == SocketKind::Datagram) {
        // A pending error-queue entry shows as POLLERR. Qt's dispatchers report that to read
        // notifiers too; the exception notifier covers it where they don't.
        c.errorNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Exception);
        connect(c.errorNotifier.get(), &QSocketNotifier::activated, this, [this, &c] { drain(c); });
    }
    c.writeNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    c.writeNotifier->setEnabled(false);
    connect(c.writeNotifier.get(), &QSocketNotifier::activated, this, [this, &c] {
        c.writeNotifier->setEnabled(false);
        flush();
    });
}

QString IcmpSocketEngine::openFailureHint() const
{
    const Channel &c = m_channels[0];
    if (isOpen() || (c.datagramError == 0 && c.rawError == 0))
        return {};
    const bool datagramRefused = c.datagramError == 0 || isPermissionError(c.datagramError);
    const bool rawRefused = c.rawError == 0 || isPermissionError(c.rawError);
    if (datagramRefused && rawRefused) {
        const QString program = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
        return QStringLiteral("This user may not send ICMP echo requests: run \"setcap cap_net_raw+ep %1\" "
                              "as root, or let group %2 open ping sockets with \"sysctl -w "
                              "net.ipv4.ping_group_range='0 2147483647'\" (now \"%3\").")
            .arg(program, QString::number(::getegid()), pingGroupRange());
    }
    return QStringLiteral("No ICMP socket could be opened: %1.")
        .arg(systemText(c.rawError ? c.rawError : c.datagramError));
}

void IcmpSocketEngine::closeChannel(Channel &c, bool &closed)
{
    if (!c.active)
        return;
    c.readNotifier.reset();
    c.errorNotifier.reset();
    c.writeNotifier.reset();
    // A handed-over socket cannot be had again: it is parked, not closed.
    closed = (c.adopted || c.socket.close()) && closed;
    c.active = false;
}

bool IcmpSocketEngine::close()
{
    if (!isOpen() && !hasIpv6())
        return true;
    bool closed = true;
    for (Channel &c : m_channels)
        closeChannel(c, closed);
    m_flushTimer.stop();
    m_sendQueue.clear();
    m_backlog = false;
    std::vector<quint16> waiting;
    waiting.reserve(m_echoes.size());
    for (const auto &[sequence, echo] : m_echoes)
        waiting.push_back(sequence);
    for (quint16 sequence : waiting)
        finish(sequence, IpGeneralFailure, -1);
    m_deadlineTimer.stop();
    return closed;
}

// True while some socket waits for room to send.
bool IcmpSocketEngine::writeBlocked() const
{
    for (const Channel &c : m_channels) {
        if (c.writeNotifier && c.writeNotifier->isEnabled())
            return true;
    }
    return false;
}

void IcmpSocketEngine::send(const EchoAddress &address, int timeoutMs, QObject *context, Done done)
{
    if (!context)
        context = this;
    quint16 sequence = 0;
    const qint32 refusal = !isOpen()                              ? IpGeneralFailure
                           : address.v6 && !hasIpv6()             ? StatusIpv6Unavailable
                           : !allocateSequence(&sequence)         ? IpNoResources
                                                                  : 0;
    if (refusal) {
        QMetaObject::invokeMethod(
            context,
            [done = std::move(done), refusal] {
                done({refusal, -1});
            },
            Qt::QueuedConnection);
        return;
    }
    m_nextSequence = quint16(sequence + 1);
    const qint64 timeoutNs = qint64(std::max(timeoutMs, 1)) * 1000000;
    const quint64 serial = ++m_nextSerial;
    // The deadline comes when the echo goes out (markSent).
    m_echoes.emplace(sequence, Echo{serial, address, timeoutNs, -1, -1, context, std::move(done)});
    track(context);
    m_sendQueue.emplace_back(sequence, serial);
    if (!m_flushTimer.isActive() && !writeBlocked())
        scheduleFlush();
}

// How many echoes may go out now.
int IcmpSocketEngine::sendAllowance(qint64 now)
{
    constexpr qint64 perEchoNs = kBurstGapNs / kSendBatch;
    const int most = m_backlog ? kCatchUpBursts * kSendBatch : kSendBatch;
    const qint64 added = std::min(now - m_allowanceAtNs, most * perEchoNs) / perEchoNs;
    if (m_allowance + added >= most) {
        m_allowance = most;
        m_allowanceAtNs = now;
    } else {
        m_allowance += int(added);
        m_allowanceAtNs += added * perEchoNs; // the part of an echo's time that is left keeps counting
    }
    return m_allowance;
}

// The next burst goes out at once when it may, else a burst gap later.
void IcmpSocketEngine::scheduleFlush()
{
    m_flushTimer.start(sendAllowance(nowNs()) > 0 ? 0 : int(kBurstGapNs / 1000000));
}

// Sends one burst; the rest of the queue waits for scheduleFlush(). An echo the system refuses to
// send does not count towards the burst: nothing of it went out. A batch holds echoes of one family
// (one socket); the queue's order is kept across families.
void IcmpSocketEngine::flush()
{
    bool retried = false;
    int room = sendAllowance(nowNs());
    while (!m_sendQueue.empty() && room > 0) {
        std::pair<quint16, quint64> batch[kSendBatch];
        int count = 0;
        int family = -1;
        while (count < std::min(room, kSendBatch) && !m_sendQueue.empty()) {
            const auto entry = m_sendQueue.front();
            const auto it = m_echoes.find(entry.first);
            const bool live = it != m_echoes.end() && it->second.serial == entry.second && it->second.sentNs < 0;
            if (live && family >= 0 && int(it->second.address.v6) != family)
                break; // the next batch's
            m_sendQueue.pop_front();
            if (!live)
                continue; // it ended (or was forgotten) before it went out
            family = int(it->second.address.v6);
            batch[count++] = entry;
        }
        if (count == 0)
            break;
        Channel &c = m_channels[family];
        int sent = sendBatch(c, batch, count);
        const qint64 now = nowNs();
        for (int i = 0; i < sent; ++i)
            markSent(batch[i].first, now);
        if (sent > 0) {
            room -= sent;
            m_allowance -= sent;
        }
        if (sent < 0) {
            const int error = -sent;
            sent = 0;
            if (error == EAGAIN || error == EWOULDBLOCK) {
                m_sendQueue.insert(m_sendQueue.begin(), batch, batch + count);
                c.writeNotifier->setEnabled(true); // go on once the socket has room again
                m_backlog = true;
                return;
            }
            // A datagram socket also fails the next send with the error of an ICMP message that
            // arrived for an earlier echo. Such a message is on the error queue: read it, try again.
            if (c.socket.kind() == SocketKind::Datagram && !retried && readQueuedErrors(c) > 0) {
                retried = true;
                m_sendQueue.insert(m_sendQueue.begin(), batch, batch + count);
                continue;
            }
            finish(batch[0].first, statusForSendError(error), -1);
            sent = 1;
        }
        retried = false;
        m_sendQueue.insert(m_sendQueue.begin(), batch + sent, batch + count);
        drain();
    }
    m_backlog = !m_sendQueue.empty();
    if (m_backlog)
        scheduleFlush();
}

// The echo is on its way: its timeout counts from now.
void IcmpSocketEngine::markSent(quint16 sequence, qint64 now)
{
    Echo &echo = m_echoes.at(sequence);
    echo.sentNs = now;
    echo.deadlineNs = now + echo.timeoutNs;
    m_deadlines.emplace(echo.deadlineNs, sequence);
    if (!m_deadlineTimer.isActive() || echo.deadlineNs < m_armedForNs)
        armDeadlineTimer();
}

// Sends echo requests; the number sent, or minus the errno of the first one's failure.
int IcmpSocketEngine::sendBatch(const Channel &c, const std::pair<quint16, quint64> *batch, int count)
{
    quint8 packets[kSendBatch][icmp::kEchoSize];
    sockaddr_in6 to[kSendBatch]{};
    iovec parts[kSendBatch];
    mmsghdr messages[kSendBatch]{};
    const bool v6 = c.socket.v6();
    for (int i = 0; i < count; ++i) {
        const EchoAddress &address = m_echoes.at(batch[i].first).address;
        if (v6) {
            icmp::writeEcho6Request(packets[i], c.socket.identifier(), batch[i].first);
            to[i].sin6_family = AF_INET6;
            std::memcpy(&to[i].sin6_addr, address.bytes.data(), 16);
            to[i].sin6_scope_id = address.scope;
        } else {
            icmp::writeEchoRequest(packets[i], c.socket.identifier(), batch[i].first);
            auto *to4 = reinterpret_cast<sockaddr_in *>(&to[i]);
            to4->sin_family = AF_INET;
            to4->sin_addr.s_addr = address.networkOrder4();
        }
        parts[i] = {packets[i], icmp::kEchoSize};
        describe(messages[i].msg_hdr, &to[i], v6, &parts[i]);
    }
    int sent;
    do {
        sent = ::sendmmsg(c.socket.fd(), messages, unsigned(count), 0);
    } while (sent < 0 && errno == EINTR);
    return sent < 0 ? -errno : sent;
}

void IcmpSocketEngine::drain()
{
    for (Channel &c : m_channels)
        drain(c);
}

void IcmpSocketEngine::drain(Channel &c)
{
    if (!c.active)
        return;
    if (c.socket.kind() == SocketKind::Datagram)
        readQueuedErrors(c);
    for (int i = 0; i < kReceiveCalls && readPackets(c); ++i) {
    }
}

// Reads a datagram socket's error queue; the number of entries read.
int IcmpSocketEngine::readQueuedErrors(Channel &c)
{
    int count = 0;
    while (count < kReceiveBatch * kReceiveCalls && readQueuedError(c))
        ++count;
    return count;
}

// Who sent a packet, from the address a receive call filled in.
static EchoAddress senderOf(const sockaddr_in6 &from, bool v6)
{
    if (v6)
        return EchoAddress::ipv6(reinterpret_cast<const quint8 *>(&from.sin6_addr), from.sin6_scope_id);
    return EchoAddress::ipv4Network(reinterpret_cast<const sockaddr_in &>(from).sin_addr.s_addr);
}

// Reads the packets waiting; false when there were none.
bool IcmpSocketEngine::readPackets(Channel &c)
{
    m_packets.resize(kReceiveBatch * kPacketRoom);
    sockaddr_in6 from[kReceiveBatch]{};
    iovec parts[kReceiveBatch];
    mmsghdr messages[kReceiveBatch]{};
    const bool v6 = c.socket.v6();
    for (int i = 0; i < kReceiveBatch; ++i) {
        parts[i] = {m_packets.data() + i * kPacketRoom, kPacketRoom};
        describe(messages[i].msg_hdr, &from[i], v6, &parts[i]);
    }
    int count;
    do {
        count = ::recvmmsg(c.socket.fd(), messages, kReceiveBatch, MSG_DONTWAIT, nullptr);
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        // A datagram socket also reports an ICMP error once as a receive error; its details come
        // from the error queue, so the error itself is passed over.
        return errno != EAGAIN && errno != EWOULDBLOCK;
    }
    const qint64 now = nowNs();
    for (int i = 0; i < count; ++i) {
        const quint8 *packet = m_packets.data() + i * kPacketRoom;
        const std::size_t size = std::min<std::size_t>(messages[i].msg_len, kPacketRoom);
        const EchoAddress from6 = senderOf(from[i], v6);
        handle(c,
               v6 ? icmp::parse6Packet(packet, size, from6)
               : c.socket.kind() == SocketKind::Raw
                   ? icmp::parseRawPacket(packet, size)
                   : icmp::parseDatagramReply(packet, size, from6.networkOrder4()),
               now);
    }
    return count > 0;
}

// Reads one entry of a datagram socket's error queue; false when there is none.
bool IcmpSocketEngine::readQueuedError(Channel &c)
{
    alignas(8) quint8 buffer[1280];
    alignas(cmsghdr) char control[512];
    sockaddr_in6 destination{};
    iovec part{buffer, sizeof buffer};
    msghdr message{};
    const bool v6 = c.socket.v6();
    describe(message, &destination, v6, &part);
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t size;
    do {
        size = ::recvmsg(c.socket.fd(), &message, MSG_ERRQUEUE | MSG_DONTWAIT);
    } while (size < 0 && errno == EINTR);
    if (size < 0)
        return false;
    for (cmsghdr *h = CMSG_FIRSTHDR(&message); h; h = CMSG_NXTHDR(&message, h)) {
        const bool ours = v6 ? h->cmsg_level == SOL_IPV6 && h->cmsg_type == IPV6_RECVERR
                             : h->cmsg_level == SOL_IP && h->cmsg_type == IP_RECVERR;
        if (!ours)
            continue;
        sock_extended_err error;
        std::memcpy(&error, CMSG_DATA(h), sizeof error);
        // Local errors (origin LOCAL) quote no echo header; sendto has reported them already.
        const std::size_t length = std::min(std::size_t(size), sizeof buffer);
        if (v6 && error.ee_origin == SO_EE_ORIGIN_ICMP6)
            handle(c, icmp::parse6Error(buffer, length, senderOf(destination, true), error.ee_type, error.ee_code),
                   nowNs());
        else if (!v6 && error.ee_origin == SO_EE_ORIGIN_ICMP)
            handle(c,
                   icmp::parseDatagramError(buffer, length, senderOf(destination, false).networkOrder4(),
                                            error.ee_type, error.ee_code),
                   nowNs());
    }
    return true;
}

void IcmpSocketEngine::handle(const Channel &c, const icmp::Message &message, qint64 nowNs)
{
    if (message.kind == icmp::Message::Kind::Other || message.identifier != c.socket.identifier())
        return;
    const auto it = m_echoes.find(message.sequence);
    if (it == m_echoes.end() || it->second.sentNs < 0 || it->second.address != message.address)
        return;
    if (message.kind == icmp::Message::Kind::Reply) {
        finish(message.sequence, IpSuccess, (nowNs - it->second.sentNs) / 1000);
        return;
    }
    const qint32 status = statusForIcmpError(message.type, message.code, c.socket.v6());
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
        [done = std::move(echo.done), result = EchoResult{status, roundTripUs}] { done(result); },
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
        watch.connection = connect(context, &QObject::destroyed, this, [this, context] { forget(context); });
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

std::unique_ptr<EchoEngine> makeEchoEngine()
{
    return std::make_unique<IcmpSocketEngine>();
}

std::unique_ptr<EchoEngine> makeEchoEngine(IcmpSockets sockets)
{
    return std::make_unique<IcmpSocketEngine>(std::move(sockets));
}

} // namespace qos
