#pragma once
// The echo outcomes kept per address: a ring of the latest RingSize probes, and what the List View
// shows from it (the last round-trip time and the loss over the kept probes).
//
// Invariants:
//  - A ring's storage is allocated once, in full, when the ring is made; it never grows, so memory
//    does not depend on how long the program runs. All rings live in one store (SampleRings), in
//    blocks of rings, so a ring has no allocation of its own. A probe takes 5 bytes: the round trip in
//    microseconds (or no reply), the echoes sent (at most kMaxEchoes) and an 11-bit gap to the probe before
//    it (ms below 0.5 s, then s below 8.5 min, min below 8.5 h, else h up to 21 days, to the nearest unit).
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
#include <vector>

namespace qos {

struct Sample {
    qint64 timeMs = 0;                // since the epoch, UTC
    qint32 roundTripUs = -1;          // of the reply; -1 without one
    ProbeStatus status = StatusReply; // StatusInvalidHost when the name gave no address
    quint16 echoes = 0;               // echo requests sent
    bool answered = false;
};

class SampleRings;

// One address's kept probes, as a view into the store that holds them (valid while the store is
// unchanged).
class SampleRing {
public:
    // 240 probes: 12 hours at the default interval of 3 minutes; 1.2 KiB per address.
    static constexpr int RingSize = 240;
    // Echoes an older probe keeps count of; more are counted as this many.
    static constexpr int kMaxEchoes = 15;

    SampleRing(const SampleRings &rings, int ring)
        : m_rings(&rings)
        , m_ring(ring)
    {}
    int size() const;
    bool isEmpty() const { return size() == 0; }
    // i = 0 is the oldest kept sample; costs i steps (samples() gives them all in one pass).
    Sample at(int i) const;
    Sample last() const;
    QList<Sample> samples() const;
    // The echoes the kept samples sent, and how many of them got no reply.
    void tally(int &echoes, int &lost) const;

private:
    const SampleRings *m_rings;
    int m_ring;
};

// The rings of every address in one store, in blocks of kBlockRings rings allocated whole: a ring
// costs its 1200 bytes of probes and 24 of bookkeeping, with no allocation of its own. A removed
// ring's place is taken by the next one added.
class SampleRings {
public:
    static constexpr int kBlockRings = 256;

    SampleRings();
    ~SampleRings();
    SampleRings(SampleRings &&) noexcept;
    SampleRings &operator=(SampleRings &&) noexcept;

    // A new empty ring.
    int add();
    void remove(int ring);
    void push(int ring, const Sample &sample);
    SampleRing ring(int ring) const { return SampleRing(*this, ring); }
    // Rings in use.
    int count() const { return m_count; }

private:
    friend class SampleRing;
    struct Ring;
    struct Block;
    Ring &at(int ring);
    const Ring &at(int ring) const;

    std::vector<std::unique_ptr<Block>> m_blocks;
    std::vector<int> m_free;
    int m_count = 0;
    int m_end = 0; // rings ever handed out, free ones included
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
