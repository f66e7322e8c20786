#include "history/figures.h"

#include "history/samples.h"

#include <QDateTime>
#include <QSet>
#include <cmath>

namespace qos {

QList<Period> SubjectPeriods(const EventLog &log, const QString &site, const QString &address, qint64 fromMs,
                             qint64 nowMs)
{
    QList<Period> periods;
    const auto location = log.idOf(site);
    const auto subject = log.idOf(address);
    if (!location || !subject)
        return periods;
    const bool ofAddress = !address.isEmpty();
    Period current;
    auto close = [&](qint64 at) {
        if (current.state != State::Unknown && at >= fromMs) {
            current.toMs = at;
            periods << current;
        }
    };
    for (const HistoryEvent &e : log.events()) {
        if (e.location != *location || e.timeMs > nowMs)
            continue;
        State to;
        if (e.address == *subject)
            to = e.to;
        else if (ofAddress && e.address == 0 && (e.to == State::Waiting || e.to == State::Disabled))
            to = State::Unknown; // the location is not watched: neither are its addresses
        else
            continue;
        if (to == current.state)
            continue;
        close(e.timeMs);
        current = Period{to, e.timeMs, e.timeMs, false};
    }
    current.ongoing = true;
    close(nowMs);
    return periods;
}

UpShare ShareUp(const QList<Period> &periods, qint64 fromMs, qint64 toMs)
{
    UpShare share;
    for (const Period &p : periods) {
        const qint64 length = qMax<qint64>(0, qMin(p.toMs, toMs) - qMax(p.fromMs, fromMs));
        if (IsUp(p.state))
            share.upMs += length;
        else if (IsDown(p.state))
            share.downMs += length;
    }
    return share;
}

QStringList EventAddresses(const EventLog &log, const QString &site)
{
    QStringList addresses;
    const auto location = log.idOf(site);
    if (!location)
        return addresses;
    QSet<quint32> seen;
    for (const HistoryEvent &e : log.events())
        if (e.location == *location && e.address != 0 && !seen.contains(e.address)) {
            seen.insert(e.address);
            addresses << log.text(e.address);
        }
    return addresses;
}

QString DurationText(qint64 ms)
{
    const qint64 seconds = std::llround(double(qMax<qint64>(0, ms)) / 1000.0);
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    const qint64 minutes = std::llround(double(ms) / 60000.0);
    if (minutes < 60)
        return QStringLiteral("%1 min").arg(minutes);
    if (minutes < 24 * 60)
        return minutes % 60 == 0 ? QStringLiteral("%1 h").arg(minutes / 60)
                                 : QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
    const qint64 hours = (minutes + 30) / 60;
    return hours % 24 == 0 ? QStringLiteral("%1 d").arg(hours / 24)
                           : QStringLiteral("%1 d %2 h").arg(hours / 24).arg(hours % 24);
}

QString ClockText(qint64 ms, qint64 nowMs, const QTimeZone &zone, bool seconds)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(ms, zone);
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(nowMs, zone);
    QString format = seconds ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    if (t.date() != now.date())
        format.prepend(QStringLiteral("yyyy-MM-dd "));
    return t.toString(format);
}

QString PeriodText(const Period &p, qint64 nowMs, const QTimeZone &zone)
{
    const QString duration = DurationText(p.toMs - p.fromMs);
    if (p.ongoing)
        return QStringLiteral("%1 since %2, %3")
            .arg(StateName(p.state), ClockText(p.fromMs, nowMs, zone), duration);
    QString from = ClockText(p.fromMs, nowMs, zone);
    QString to = ClockText(p.toMs, nowMs, zone);
    if (from == to) {
        from = ClockText(p.fromMs, nowMs, zone, true);
        to = ClockText(p.toMs, nowMs, zone, true);
    }
    return QStringLiteral("%1 %2 to %3, %4").arg(StateName(p.state), from, to, duration);
}

QString ShareText(const UpShare &share, bool address)
{
    if (!share.known())
        return QStringLiteral("not watched in this span");
    return QStringLiteral("%1 %2 of the watched time")
        .arg(address ? QStringLiteral("answering") : QStringLiteral("online"), PercentText(share.percent()));
}

} // namespace qos
