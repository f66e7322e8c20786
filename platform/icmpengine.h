#pragma once
// The Linux echo engine: one non-blocking ICMP socket watched by the event loop, many echoes in
// flight on it at once, matched to their replies by identifier and sequence number.
//
// Invariants:
//  - One socket: a datagram ICMP socket where the system allows one (net.ipv4.ping_group_range),
//    otherwise a raw ICMP socket (root or cap_net_raw), opened by the engine or handed to it.
//  - A socket handed over (opened before the process gave up its capabilities) stays with the
//    engine until it is destroyed: close() only parks it, and open() takes it up again with
//    whatever arrived meanwhile discarded. Such an engine never tries a raw socket itself (the
//    attempt could only fail now, and its errno would hide the one the hint must tell); where it
//    was handed no socket it tries a datagram socket on each open().
//  - Every waiting echo has a sequence number no other waiting echo has. Once sent it has exactly
//    one entry in m_deadlines, its timeout counted from its sending; one still queued has none (a
//    busy machine that sends it late does not make it time out unsent). The deadline timer is never
//    later than the earliest entry.
//  - Echoes leave paced: at most kSendBatch at once, and on average at most kSendBatch per ms.
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
    // Works on that socket (open or not) for its whole life; its errors feed openFailureHint().
    explicit IcmpSocketEngine(IcmpSocket socket, QObject *parent = nullptr);
    ~IcmpSocketEngine() override; // as close()

    bool open() override;
    bool open(SocketKind kind); // that kind of socket only
    QString openFailureHint() const override;
    bool close() override;
    bool isOpen() const override { return m_active; }
    int inFlight() const override { return int(m_echoes.size()); }
    void send(quint32 address, int timeoutMs, QObject *context, Done done) override;

    SocketKind socketKind() const { return m_active ? m_socket.kind() : SocketKind::None; }
    quint16 identifier() const { return m_socket.identifier(); }
    // Where the search for a free sequence number starts next (numbers still waiting are skipped).
    void setNextSequence(quint16 sequence) { m_nextSequence = sequence; }

private:
    struct Echo {
        quint64 serial;
        quint32 address; // network byte order
        qint64 timeoutNs;
        qint64 deadlineNs; // -1 while queued for sending
        qint64 sentNs;     // -1 while queued for sending
        QObject *context;
        Done done;
    };
    struct Watch {
        int echoes = 0;
        QMetaObject::Connection connection;
    };

    bool openSocket(SocketKind kind);
    bool resume();
    void discardQueued();
    void watch();
    int sendAllowance(qint64 now);
    void scheduleFlush();
    void flush();
    void markSent(quint16 sequence, qint64 now);
    int sendBatch(const std::pair<quint16, quint64> *batch, int count);
    void drain();
    bool readPackets();
    int readQueuedErrors();
    bool readQueuedError();
    void handle(const icmp::Message &message, qint64 nowNs);
    void expire();
    void finish(quint16 sequence, qint32 status, qint64 roundTripUs);
    void armDeadlineTimer();
    bool allocateSequence(quint16 *sequence) const;
    void track(QObject *context);
    void untrack(QObject *context);
    void forget(QObject *context);

    IcmpSocket m_socket;
    bool m_active = false;  // open: m_socket is watched and takes echoes
    bool m_adopted = false; // m_socket was handed over and is kept while closed
    quint16 m_nextSequence = 0;
    quint64 m_nextSerial = 0;
    int m_datagramError = 0; // errno of the last failed attempt, 0 when not tried
    int m_rawError = 0;
    std::unordered_map<quint16, Echo> m_echoes;          // by sequence number
    std::set<std::pair<qint64, quint16>> m_deadlines;    // (deadline ns, sequence number)
    std::deque<std::pair<quint16, quint64>> m_sendQueue; // (sequence number, serial)
    QHash<QObject *, Watch> m_contexts;
    std::vector<quint8> m_packets; // receive buffers
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_errorNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    QTimer m_deadlineTimer;
    qint64 m_armedForNs = 0;
    QTimer m_flushTimer;
    int m_allowance = 0;        // echoes that may go out now (see sendAllowance)
    qint64 m_allowanceAtNs = 0; // when m_allowance was last refilled
};

} // namespace qos
