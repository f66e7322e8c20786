#include "history/samples.h"

#include "monitor/addressprobe.h"

namespace qos {

namespace {

constexpr quint32 kRttMask = 0x1FFFFFF; // 25 bits: up to 33.5 s
constexpr quint32 kNoReply = kRttMask;
constexpr quint32 kUntimedReply = kRttMask - 1;
constexpr int kEchoShift = 25;
constexpr quint16 kGapValue = 0x3FFF;
constexpr qint64 kGapUnitMs[] = {1, 1000, 60000, 3600000};

quint32 Word(const Sample &s)
{
    const quint32 rtt = !s.answered         ? kNoReply
                        : s.roundTripUs < 0 ? kUntimedReply
                                            : quint32(qMin<qint64>(s.roundTripUs, kUntimedReply - 1));
    return rtt | (quint32(qMin<int>(s.echoes, SampleRing::kMaxEchoes)) << kEchoShift);
}

quint16 GapCode(qint64 gapMs)
{
    gapMs = qMax<qint64>(gapMs, 0);
    for (quint16 unit = 0; unit < 4; ++unit) {
        const qint64 value = (gapMs + kGapUnitMs[unit] / 2) / kGapUnitMs[unit];
        if (value <= kGapValue)
            return quint16(unit << 14 | value);
    }
    return quint16(3 << 14 | kGapValue);
}

qint64 GapMs(quint16 code)
{
    return qint64(code & kGapValue) * kGapUnitMs[code >> 14];
}

} // namespace

SampleRing::SampleRing()
    : m_block(std::make_unique<Block>())
{}

SampleRing::SampleRing(const SampleRing &other)
    : m_block(std::make_unique<Block>(*other.m_block))
    , m_oldestMs(other.m_oldestMs)
    , m_newestMs(other.m_newestMs)
    , m_last(other.m_last)
    , m_next(other.m_next)
    , m_size(other.m_size)
{}

SampleRing &SampleRing::operator=(const SampleRing &other)
{
    if (this != &other)
        *this = SampleRing(other);
    return *this;
}

void SampleRing::push(const Sample &sample)
{
    quint16 gap = 0;
    if (m_size == 0) {
        m_oldestMs = m_newestMs = sample.timeMs;
    } else {
        gap = GapCode(sample.timeMs - m_newestMs);
        m_newestMs += GapMs(gap);
    }
    if (m_size == RingSize) // the oldest goes: the one after it is the oldest now
        m_oldestMs += GapMs(m_block->gaps[size_t(slot(1))]);
    m_block->words[size_t(m_next)] = Word(sample);
    m_block->gaps[size_t(m_next)] = gap;
    m_next = (m_next + 1) % RingSize;
    m_size = qMin(m_size + 1, RingSize);
    m_last = sample;
}

Sample SampleRing::decode(int i, qint64 timeMs) const
{
    if (i == m_size - 1)
        return m_last;
    const quint32 word = m_block->words[size_t(slot(i))];
    Sample s;
    s.timeMs = timeMs;
    s.answered = (word & kRttMask) != kNoReply;
    s.roundTripUs = s.answered && (word & kRttMask) != kUntimedReply ? qint32(word & kRttMask) : -1;
    s.status = s.answered ? StatusReply : StatusTimedOut;
    s.echoes = quint16(word >> kEchoShift);
    return s;
}

Sample SampleRing::at(int i) const
{
    qint64 t = m_oldestMs;
    for (int j = 1; j <= i; ++j)
        t += GapMs(m_block->gaps[size_t(slot(j))]);
    return decode(i, t);
}

QList<Sample> SampleRing::samples() const
{
    QList<Sample> all;
    all.reserve(m_size);
    qint64 t = m_oldestMs;
    for (int i = 0; i < m_size; ++i) {
        if (i > 0)
            t += GapMs(m_block->gaps[size_t(slot(i))]);
        all.append(decode(i, t));
    }
    return all;
}

void SampleRing::tally(int &echoes, int &lost) const
{
    echoes = lost = 0;
    for (int i = 0; i < m_size; ++i) {
        const quint32 word = i == m_size - 1 ? Word(m_last) : m_block->words[size_t(slot(i))];
        const int sent = i == m_size - 1 ? m_last.echoes : int(word >> kEchoShift);
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
