#include "history/samples.h"

#include "monitor/addressprobe.h"

namespace qos {

SampleRing::SampleRing()
    : m_samples(std::make_unique<std::array<Sample, RingSize>>())
{}

SampleRing::SampleRing(const SampleRing &other)
    : m_samples(std::make_unique<std::array<Sample, RingSize>>(*other.m_samples))
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
    (*m_samples)[size_t(m_next)] = sample;
    m_next = (m_next + 1) % RingSize;
    m_size = qMin(m_size + 1, RingSize);
}

LinkSummary Summarise(const SampleRing &ring)
{
    LinkSummary s;
    s.probes = ring.size();
    for (int i = 0; i < ring.size(); ++i) {
        const Sample &x = ring.at(i);
        s.echoes += x.echoes;
        s.lost += x.answered ? qMax(0, x.echoes - 1) : x.echoes;
    }
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
