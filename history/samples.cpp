#include "history/samples.h"

#include "monitor/addressprobe.h"

namespace qos {

namespace {

// A probe is one 32-bit word and one byte. The word: the round trip in microseconds (25 bits, up to
// 33.5 s, or one of the two marks below), the echoes sent (4 bits) and the top 3 bits of the gap to
// the probe before; the byte: the gap's low 8 bits. The gap (11 bits): a unit (2 bits: ms, s, min,
// h) and a count of them (9 bits).
constexpr quint32 kRttMask = 0x1FFFFFF;
constexpr quint32 kNoReply = kRttMask;
constexpr quint32 kUntimedReply = kRttMask - 1;
constexpr int kEchoShift = 25;
constexpr quint32 kEchoMask = 0xF;
constexpr int kGapShift = 29;
constexpr int kGapUnitShift = 9;
constexpr quint16 kGapValue = 0x1FF;
constexpr qint64 kGapUnitMs[] = {1, 1000, 60000, 3600000};
static_assert(SampleRing::kMaxEchoes == kEchoMask);

quint32 Word(const Sample &s)
{
    const quint32 rtt = !s.answered         ? kNoReply
                        : s.roundTripUs < 0 ? kUntimedReply
                                            : quint32(qMin<qint64>(s.roundTripUs, kUntimedReply - 1));
    return rtt | (quint32(qMin<int>(s.echoes, SampleRing::kMaxEchoes)) << kEchoShift);
}

int Echoes(quint32 word)
{
    return int((word >> kEchoShift) & kEchoMask);
}

quint16 GapCode(qint64 gapMs)
{
    gapMs = qMax<qint64>(gapMs, 0);
    for (quint16 unit = 0; unit < 4; ++unit) {
        const qint64 value = (gapMs + kGapUnitMs[unit] / 2) / kGapUnitMs[unit];
        if (value <= kGapValue)
            return quint16(unit << kGapUnitShift | value);
    }
    return quint16(3 << kGapUnitShift | kGapValue);
}

qint64 GapMs(quint16 code)
{
    return qint64(code & kGapValue) * kGapUnitMs[code >> kGapUnitShift];
}

} // namespace

// The newest sample is kept whole beside its word: its exact time, status and echoes.
struct SampleRings::Ring {
    qint64 newestMs = 0; // the newest kept sample's time, as the gaps give it
    qint64 lastMs = 0;   // the same, exact
    ProbeStatus lastStatus = StatusReply;
    quint16 lastEchoes = 0;
    quint8 next = 0;
    quint8 size = 0;
    std::array<quint32, SampleRing::RingSize> words;
    std::array<quint8, SampleRing::RingSize> gapBytes;

    int slot(int i) const { return (next - size + i + SampleRing::RingSize) % SampleRing::RingSize; }
    // The gap of the i-th kept sample to the one before it.
    qint64 gapMs(int i) const
    {
        const int at = slot(i);
        return GapMs(quint16((words[size_t(at)] >> kGapShift) << 8 | gapBytes[size_t(at)]));
    }
    quint32 word(int i) const { return words[size_t(slot(i))] & ~(~quint32(0) << kGapShift); }
    qint64 oldestMs() const
    {
        qint64 t = newestMs;
        for (int i = size - 1; i > 0; --i)
            t -= gapMs(i);
        return t;
    }
    Sample sample(int i, qint64 timeMs) const;
};
static_assert(SampleRing::RingSize <= 255, "a ring's place and size are bytes");

struct SampleRings::Block {
    std::array<Ring, kBlockRings> rings;
};

SampleRings::SampleRings() = default;
SampleRings::~SampleRings() = default;
SampleRings::SampleRings(SampleRings &&) noexcept = default;
SampleRings &SampleRings::operator=(SampleRings &&) noexcept = default;

SampleRings::Ring &SampleRings::at(int ring)
{
    return m_blocks[size_t(ring / kBlockRings)]->rings[size_t(ring % kBlockRings)];
}

const SampleRings::Ring &SampleRings::at(int ring) const
{
    return m_blocks[size_t(ring / kBlockRings)]->rings[size_t(ring % kBlockRings)];
}

int SampleRings::add()
{
    int ring;
    if (!m_free.empty()) {
        ring = m_free.back();
        m_free.pop_back();
    } else {
        ring = m_end++;
        if (size_t(ring / kBlockRings) >= m_blocks.size())
            m_blocks.push_back(std::make_unique<Block>());
    }
    Ring &r = at(ring);
    r.newestMs = r.lastMs = 0;
    r.lastStatus = StatusReply;
    r.lastEchoes = 0;
    r.next = r.size = 0;
    ++m_count;
    return ring;
}

void SampleRings::remove(int ring)
{
    m_free.push_back(ring);
    --m_count;
}

void SampleRings::push(int ring, const Sample &sample)
{
    Ring &r = at(ring);
    quint16 gap = 0;
    if (r.size == 0) {
        r.newestMs = sample.timeMs;
    } else {
        gap = GapCode(sample.timeMs - r.newestMs);
        r.newestMs += GapMs(gap);
    }
    r.words[r.next] = Word(sample) | quint32(gap >> 8) << kGapShift;
    r.gapBytes[r.next] = quint8(gap);
    r.next = quint8((r.next + 1) % SampleRing::RingSize);
    r.size = quint8(qMin(r.size + 1, SampleRing::RingSize));
    r.lastMs = sample.timeMs;
    r.lastStatus = sample.status;
    r.lastEchoes = sample.echoes;
}

int SampleRing::size() const
{
    return m_rings->at(m_ring).size;
}

Sample SampleRings::Ring::sample(int i, qint64 timeMs) const
{
    const quint32 w = word(i);
    Sample s;
    s.answered = (w & kRttMask) != kNoReply;
    s.roundTripUs = s.answered && (w & kRttMask) != kUntimedReply ? qint32(w & kRttMask) : -1;
    if (i == size - 1) {
        s.timeMs = lastMs;
        s.status = lastStatus;
        s.echoes = lastEchoes;
    } else {
        s.timeMs = timeMs;
        s.status = s.answered ? StatusReply : StatusTimedOut;
        s.echoes = quint16(Echoes(w));
    }
    return s;
}

Sample SampleRing::last() const
{
    const SampleRings::Ring &r = m_rings->at(m_ring);
    return r.size == 0 ? Sample{} : r.sample(r.size - 1, r.lastMs);
}

Sample SampleRing::at(int i) const
{
    const SampleRings::Ring &r = m_rings->at(m_ring);
    qint64 t = r.newestMs;
    for (int j = r.size - 1; j > i; --j)
        t -= r.gapMs(j);
    return r.sample(i, t);
}

QList<Sample> SampleRing::samples() const
{
    const SampleRings::Ring &r = m_rings->at(m_ring);
    QList<Sample> all;
    all.reserve(r.size);
    qint64 t = r.oldestMs();
    for (int i = 0; i < r.size; ++i) {
        if (i > 0)
            t += r.gapMs(i);
        all.append(r.sample(i, t));
    }
    return all;
}

void SampleRing::tally(int &echoes, int &lost) const
{
    const SampleRings::Ring &r = m_rings->at(m_ring);
    echoes = lost = 0;
    for (int i = 0; i < r.size; ++i) {
        const quint32 word = r.word(i);
        const int sent = i == r.size - 1 ? r.lastEchoes : Echoes(word);
        echoes += sent;
        lost += (word & kRttMask) != kNoReply ? qMax(0, sent - 1) : sent;
    }
}

LinkSummary Summarise(const SampleRing &ring)
{
    LinkSummary s;
    s.probes = ring.size();
    ring.tally(s.echoes, s.lost);
    if (!ring.isEmpty()) {
        const Sample &last = ring.last();
        s.lastAnswered = last.answered;
        s.lastRoundTripUs = last.answered ? last.roundTripUs : -1;
        // A name that gave no address sent nothing, yet its probe has a status to show.
        const bool told = last.echoes > 0 || last.status == StatusInvalidHost;
        s.lastStatus = told ? ProbeStatusText(last.status) : QLatin1String(NotProbedText);
    }
    return s;
}

QString RoundTripText(qint32 us)
{
    const double ms = us / 1000.0;
    return QString::number(ms, 'f', ms < 10 ? 2 : ms < 100 ? 1 : 0) + QStringLiteral(" ms");
}

QString PercentText(double percent)
{
    QString text = QString::number(percent, 'f', 1);
    if (text.endsWith(QLatin1String(".0")))
        text.chop(2);
    return text + QLatin1Char('%');
}

namespace {

QString LastText(const LinkSummary &s)
{
    if (s.lastAnswered && s.lastRoundTripUs >= 0)
        return RoundTripText(s.lastRoundTripUs);
    if (s.lastAnswered)
        return QStringLiteral("reply");
    return QStringLiteral("no reply (%1)").arg(s.lastStatus);
}

} // namespace

QString LatencyTooltip(const LinkSummary &s)
{
    if (s.probes == 0)
        return QStringLiteral("No probe of this address kept yet");
    return QStringLiteral("Last round trip: %1\nLoss: %2 of %3 echoes (%4) over the last %5 probes")
        .arg(LastText(s))
        .arg(s.lost)
        .arg(s.echoes)
        .arg(PercentText(s.lossPercent()))
        .arg(s.probes);
}

QString LatencyLine(const LinkSummary &s)
{
    if (s.probes == 0)
        return QStringLiteral("RTT: not probed yet");
    return QStringLiteral("RTT %1, loss %2 (%3/%4)")
        .arg(LastText(s), PercentText(s.lossPercent()))
        .arg(s.lost)
        .arg(s.echoes);
}

} // namespace qos
