#include "monitor/statusline.h"

#include "monitor/monitorcycle.h"

namespace qos {
namespace {

// "2:41", "1:02:41".
QString ClockDuration(qint64 seconds)
{
    const qint64 h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    const QString tail = QStringLiteral("%1").arg(s, 2, 10, QLatin1Char('0'));
    if (h > 0)
        return QStringLiteral("%1:%2:").arg(h).arg(m, 2, 10, QLatin1Char('0')) + tail;
    return QStringLiteral("%1:").arg(m) + tail;
}

// "1.2 s" below a minute, then "2:05".
QString TookText(qint64 ms)
{
    if (ms < 59950)
        return QStringLiteral("%1 s").arg(double(ms) / 1000.0, 0, 'f', 1);
    return ClockDuration((ms + 500) / 1000);
}

} // namespace

qint64 SecondsToNextCycle(qint32 secondsCounter, qint16 pingIntervalMinutes)
{
    return qMax<qint64>(1, MonitorCycle::IntervalTicks(pingIntervalMinutes) - secondsCounter);
}

QString StatusLine(const QString &cycleText, bool waiting, qint64 secondsToNext,
                   std::optional<qint64> lastCycleMs)
{
    if (!waiting || cycleText != QLatin1String("Monitoring..."))
        return cycleText;
    QString line =
        cycleText + QStringLiteral(" next cycle in ") + ClockDuration(qMax<qint64>(0, secondsToNext));
    if (lastCycleMs)
        line += QStringLiteral(", last took ") + TookText(*lastCycleMs);
    return line;
}

} // namespace qos
