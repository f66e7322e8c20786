#include "alerts/notices.h"

namespace qos {

namespace {

QString ChangeLine(const LocationChange &change)
{
    if (!change.offline)
        return change.site + QStringLiteral(" back online");
    QString line = change.site + QStringLiteral(" offline");
    if (change.failing.isEmpty())
        return line;
    line += QStringLiteral(": ") + change.failing.mid(0, MaxNoticeAddresses).join(QStringLiteral(", "));
    if (change.failing.size() > MaxNoticeAddresses)
        line += QStringLiteral(" and %1 more").arg(change.failing.size() - MaxNoticeAddresses);
    return line;
}

QString Counted(qsizetype n, const char *what)
{
    return QStringLiteral("%1 %2 %3")
        .arg(n)
        .arg(n == 1 ? QStringLiteral("location") : QStringLiteral("locations"), QLatin1String(what));
}

} // namespace

Notice ComposeNotice(const QList<LocationChange> &changes, const QStringList &stillOffline)
{
    Q_ASSERT(!changes.isEmpty());
    Notice notice;
    qsizetype offline = 0;
    QStringList lines;
    for (const LocationChange &change : changes) {
        offline += change.offline ? 1 : 0;
        if (lines.size() < MaxNoticeLines)
            lines << ChangeLine(change);
    }
    if (changes.size() > MaxNoticeLines)
        lines << QStringLiteral("... and %1 more").arg(changes.size() - MaxNoticeLines);
    if (!stillOffline.isEmpty())
        lines << QStringLiteral("Still offline: ") + stillOffline.join(QStringLiteral(", "));
    notice.body = lines.join(QLatin1Char('\n'));
    notice.urgent = offline > 0 || !stillOffline.isEmpty();

    const qsizetype online = changes.size() - offline;
    if (changes.size() == 1)
        notice.summary =
            changes.first().site + (offline ? QStringLiteral(" offline") : QStringLiteral(" back online"));
    else if (online == 0)
        notice.summary = Counted(offline, "offline");
    else if (offline == 0)
        notice.summary = Counted(online, "back online");
    else
        notice.summary = Counted(offline, "offline") + QStringLiteral(", %1 back online").arg(online);
    return notice;
}

} // namespace qos
