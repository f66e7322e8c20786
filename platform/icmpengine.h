#pragma once
// The Linux echo engine: a non-blocking ICMP socket per family watched by the event loop, many
// echoes in flight on them at once, matched to their replies by identifier and sequence number.
//
// Invariants:
//  - One socket per family (IPv4, IPv6), each a datagram socket where the system allows one
//    (net.ipv4.ping_group_range), otherwise a raw one (root or cap_net_raw), opened by the engine
//    or handed to it. The engine is open while its IPv4 socket is; the IPv6 one is there where the
//    system has IPv6, and IPv6 echoes end StatusIpv6Unavailable where it is not.
//  - Both families share one space of sequence numbers, one pacing and one deadline timer.
//  - A socket handed over (opened before the process gave up its capabilities) stays with the
//    engine until it is destroyed: close() only parks it, and open() takes it up again with
//    whatever arrived meanwhile discarded. Such an engine never tries a raw socket itself (the
//    attempt could only fail now, and its errno would hide the one the hint must tell); where it
//    was handed no socket it tries a datagram socket on each open().
//  - Every waiting echo has a sequence number no other waiting echo has. Once sent it has exactly
//    one entry in m_deadlines, its timeout counted from its sending; one still queued has none (a
//    busy machine that sends it late does not make it time out unsent). The deadline timer is never
//    later than the earliest entry.
//  - Echoes leave paced: at most kSendBatch at once, and on average at most kSendBatch per ms;
//    what the pace allowed while a flush came late goes out in bursts of kSendBatch (up to
//    kCatchUpBursts of them) with the socket read between them.
//  - A packet ends an echo only when its identifier is ours, its sequence number is that of a
//    waiting echo already sent, and its address (the replying host, or the destination quoted in
//    an ICMP error) is the one that echo went to. Anything else is dropped: other programs' pings,
//    duplicates, late replies, replies from elsewhere.
//  - Callbacks are posted to their context, so they never run inside the engine's own handlers and
//    may call back into the engine freely.
#include "platform/echoengine.h"
#include "platform/icmpsocket.h"

#include <QHash>
#include <QTimer>
#include <deque>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

class QSocketNotifier;

namespace qos {

namespace icmp {
struct Message;
}

class IcmpSocketEngine final : public QObject, public EchoEngine {
    Q_OBJECT
public:
    using SocketKind = IcmpSocketKind;

    // Opens its own socket on open().
    explicit IcmpSocketEngine(QObject *parent = nullptr);
    // Works on that socket (open or not) for its whole life, for its family; its errors feed
    // openFailureHint(). The other family's socket it opens itself.
    explicit IcmpSocketEngine(IcmpSocket socket, QObject *parent = nullptr);
    // Works on both for their whole life.
    explicit IcmpSocketEngine(IcmpSockets sockets, QObject *parent = nullptr);
    ~IcmpSocketEngine() override; // as close()

    bool open() override;
    bool open(SocketKind kind); // that kind of socket only, for both families
    QString openFailureHint() const override;
    bool close() override;
    bool isOpen() const override { return m_channels[0].active; }
    bool hasIpv6() const override { return m_channels[1].active; }
    int inFlight() const override { return int(m_echoes.size()); }
    using EchoEngine::send;
    void send(const EchoAddress &address, int timeoutMs, QObject *context, Done done) override;

    SocketKind socketKind(bool v6 = false) const
    {
        const Channel &c = m_channels[v6];
        return c.active ? c.socket.kind() : SocketKind::None;
    }
    quint16 identifier(bool v6 = false) const { return m_channels[v6].socket.identifier(); }
    // Where the search for a free sequence number starts next (numbers still waiting are skipped).
    void setNextSequence(quint16 sequence) { m_nextSequence = sequence; }

private:
    struct Echo {
        quint64 serial;
        EchoAddress address;
        qint64 timeoutNs;
        qint64 deadlineNs; // -1 while queued for sending
        qint64 sentNs;     // -1 while queued for sending
        QObject *context;
        Done done;
    };
    // The socket of one family and what watches it.
    struct Channel {
        IcmpSocket socket;
        bool active = false;  // open: socket is watched and takes echoes
        bool adopted = false; // socket was handed over and is kept while closed
        int datagramError = 0; // errno of the last failed attempt, 0 when not tried
        int rawError = 0;
        std::unique_ptr<QSocketNotifier> readNotifier;
        std::unique_ptr<QSocketNotifier> errorNotifier;
        std::unique_ptr<QSocketNotifier> writeNotifier;
    };
    struct Watch {
        int echoes = 0;
        QMetaObject::Connection connection;
    };

    void adopt(IcmpSocket socket);
    bool openChannel(Channel &c, SocketKind kind);
    bool openSocket(Channel &c, SocketKind kind);
    bool resume(Channel &c);
    void discardQueued(Channel &c);
    void watch(Channel &c);
    void closeChannel(Channel &c, bool &closed);
    bool writeBlocked() const;
    int sendAllowance(qint64 now);
    void scheduleFlush();
    void flush();
    void markSent(quint16 sequence, qint64 now);
    int sendBatch(const Channel &c, const std::pair<quint16, quint64> *batch, int count);
    void drain();
    void drain(Channel &c);
    bool readPackets(Channel &c);
    int readQueuedErrors(Channel &c);
    bool readQueuedError(Channel &c);
    void handle(const Channel &c, const icmp::Message &message, qint64 nowNs);
    void expire();
    void finish(quint16 sequence, qint32 status, qint64 roundTripUs);
    void armDeadlineTimer();
    bool allocateSequence(quint16 *sequence) const;
    void track(QObject *context);
    void untrack(QObject *context);
    void forget(QObject *context);

    Channel m_channels[2]; // IPv4, IPv6
    quint16 m_nextSequence = 0;
    quint64 m_nextSerial = 0;
    std::unordered_map<quint16, Echo> m_echoes;          // by sequence number
    std::set<std::pair<qint64, quint16>> m_deadlines;    // (deadline ns, sequence number)
    std::deque<std::pair<quint16, quint64>> m_sendQueue; // (sequence number, serial)
    QHash<QObject *, Watch> m_contexts;
    std::vector<quint8> m_packets; // receive buffers
    QTimer m_deadlineTimer;
    qint64 m_armedForNs = 0;
    QTimer m_flushTimer;
    int m_allowance = 0;        // echoes that may go out now (see sendAllowance)
    qint64 m_allowanceAtNs = 0; // when m_allowance was last refilled
    bool m_backlog = false;     // echoes were left waiting for their turn at the last flush
};

} // namespace qos
