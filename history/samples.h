#pragma once
// The echo outcomes kept per address: a ring of the latest RingSize probes, and what the List View
// shows from it (the last round-trip time and the loss over the kept probes).
//
// Invariants:
//  - A ring's storage is allocated once, in full, when the ring is made; it never grows, so memory
//    does not depend on how long the program runs.
//  - Loss counts echo requests: an answered probe lost every echo before its reply, an unanswered
//    one lost all it sent; a probe that sent none (the sockets did not start, or the name gave no
//    address) counts for neither.
#include "probe/prober.h"

#include <QString>
#include <array>
#include <memory>

namespace qos {

struct Sample {
    qint64 timeMs = 0;       // since the epoch, UTC
    qint32 roundTripUs = -1; // of the reply; -1 without one
    ProbeStatus status = StatusReply; // StatusInvalidHost when the name gave no address
    quint16 echoes = 0;               // echo requests sent
    bool answered = false;
};

class SampleRing {
public:
    // 240 probes: 12 hours at the default interval of 3 minutes; 5.6 KiB per address.
    static constexpr int RingSize = 240;

    SampleRing();
    SampleRing(const SampleRing &other);
    SampleRing &operator=(const SampleRing &other);
    SampleRing(SampleRing &&) noexcept = default;
    SampleRing &operator=(SampleRing &&) noexcept = default;
    void push(const Sample &sample);
    int size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    // i = 0 is the oldest kept sample.
    const Sample &at(int i) const
    {
        return (*m_samples)[size_t((m_next - m_size + i + RingSize) % RingSize)];
    }
    const Sample &last() const { return at(m_size - 1); }

private:
    std::unique_ptr<std::array<Sample, RingSize>> m_samples;
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
