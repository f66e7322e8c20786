#pragma once
// The echo outcomes kept per address: a ring of the latest RingSize probes, and what the List View
// shows from it (the last round-trip time and the loss over the kept probes).
//
// Invariants:
//  - A ring's storage is allocated once, in full, when the ring is made; it never grows, so memory
//    does not depend on how long the program runs. A probe takes 6 bytes: one 32-bit word (the round
//    trip in microseconds, or no reply, and the echoes sent, at most kMaxEchoes) and a 16-bit gap to
//    the probe before it (ms below 16.4 s, then s, min or h, to the nearest unit).
//  - The newest probe is also kept whole (last()), so what the List View shows of it is exact. An
//    older one comes back with its time to within half a unit of its gap (the gaps are taken from
//    the times as kept, so the error never adds up), its status as reply or timed out.
//  - Loss counts echo requests: an answered probe lost every echo before its reply, an unanswered
//    one lost all it sent; a probe that sent none (the sockets did not start, or the name gave no
//    address) counts for neither.
#include "probe/prober.h"

#include <QList>
#include <QString>
#include <array>
#include <memory>

namespace qos {

struct Sample {
    qint64 timeMs = 0;                // since the epoch, UTC
    qint32 roundTripUs = -1;          // of the reply; -1 without one
    ProbeStatus status = StatusReply; // StatusInvalidHost when the name gave no address
    quint16 echoes = 0;               // echo requests sent
    bool answered = false;
};

class SampleRing {
public:
    // 240 probes: 12 hours at the default interval of 3 minutes; 1.4 KiB per address.
    static constexpr int RingSize = 240;
    // Echoes an older probe keeps count of; more are counted as this many.
    static constexpr int kMaxEchoes = 127;

    SampleRing();
    SampleRing(const SampleRing &other);
    SampleRing &operator=(const SampleRing &other);
    SampleRing(SampleRing &&) noexcept = default;
    SampleRing &operator=(SampleRing &&) noexcept = default;
    void push(const Sample &sample);
    int size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    // i = 0 is the oldest kept sample; costs i steps (samples() gives them all in one pass).
    Sample at(int i) const;
    const Sample &last() const { return m_last; }
    QList<Sample> samples() const;
    // The echoes the kept samples sent, and how many of them got no reply.
    void tally(int &echoes, int &lost) const;

private:
    struct Block {
        std::array<quint32, RingSize> words;
        std::array<quint16, RingSize> gaps;
    };
    int slot(int i) const { return (m_next - m_size + i + RingSize) % RingSize; }
    Sample decode(int i, qint64 timeMs) const;

    std::unique_ptr<Block> m_block;
    qint64 m_oldestMs = 0; // the oldest kept sample's time, as its gaps give it
    qint64 m_newestMs = 0; // the newest's, likewise
    Sample m_last;
    int m_next = 0;
    int m_size = 0;
};

struct LinkSummary {
    int probes = 0; // kept samples
    int echoes = 0; // echo requests they sent
    int lost = 0;   // of those, without a reply
    bool lastAnswered = false;
    qint32 lastRoundTripUs = -1;
    QString lastStatus; // text of the latest probe's outcome

    double lossPercent() const { return echoes > 0 ? 100.0 * lost / echoes : 0.0; }
};

LinkSummary Summarise(const SampleRing &ring);

// "0.41 ms", "12.3 ms", "250 ms".
QString RoundTripText(qint32 roundTripUs);
// "0%", "2.5%", "100%".
QString PercentText(double percent);
// The row tooltip: last round trip and loss, on two lines.
QString LatencyTooltip(const LinkSummary &s);
// The one-line form under the selection panel.
QString LatencyLine(const LinkSummary &s);

} // namespace qos
