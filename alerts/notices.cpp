#include "alerts/notices.h"

#include <algorithm>

namespace qos {

namespace {

QString KindWords(LocationChange::Kind kind)
{
    switch (kind) {
    case LocationChange::Kind::Offline:
        return QStringLiteral("offline");
    case LocationChange::Kind::PartlyDown:
        return QStringLiteral("partly down");
    case LocationChange::Kind::Back:
        return QStringLiteral("back online");
    case LocationChange::Kind::Slow:
        return QStringLiteral("slow");
    case LocationChange::Kind::NotSlow:
        return QStringLiteral("no longer slow");
    }
    return {};
}

// "WAR offline", "WAR offline (3 locations behind it unreachable)".
QString ChangeTitle(const LocationChange &change)
{
    QString title = change.site + QLatin1Char(' ') + KindWords(change.kind);
    if (change.behind > 0)
        title += QStringLiteral(" (%1 behind it unreachable)")
                     .arg(change.behind == 1 ? QStringLiteral("1 location")
                                             : QStringLiteral("%1 locations").arg(change.behind));
    return title;
}

QString ChangeLine(const LocationChange &change)
{
    QString line = ChangeTitle(change);
    if (change.kind == LocationChange::Kind::Slow && !change.figures.isEmpty())
        return line + QStringLiteral(": ") + change.figures;
    if (!change.alarms() || change.failing.isEmpty())
        return line;
    line += QStringLiteral(": ") + change.failing.mid(0, MaxNoticeAddresses).join(QStringLiteral(", "));
    if (change.failing.size() > MaxNoticeAddresses)
        line += QStringLiteral(" and %1 more").arg(change.failing.size() - MaxNoticeAddresses);
    return line;
}

QString Counted(qsizetype n, const QString &what)
{
    return QStringLiteral("%1 %2 %3")
        .arg(n)
        .arg(n == 1 ? QStringLiteral("location") : QStringLiteral("locations"), what);
}

// "3 locations offline, 1 back online": each kind that occurs, in the order of Kind.
QString CountedSummary(const QList<LocationChange> &changes)
{
    QStringList parts;
    for (int kind = 0; kind <= int(LocationChange::Kind::NotSlow); ++kind) {
        const auto n = std::count_if(changes.cbegin(), changes.cend(),
                                     [kind](const LocationChange &c) { return int(c.kind) == kind; });
        if (n == 0)
            continue;
        const QString what = KindWords(LocationChange::Kind(kind));
        parts << (parts.isEmpty() ? Counted(n, what) : QStringLiteral("%1 %2").arg(n).arg(what));
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace

Notice ComposeNotice(const QList<LocationChange> &changes, const QStringList &stillOffline)
{
    Q_ASSERT(!changes.isEmpty());
    Notice notice;
    bool alarms = false;
    QStringList lines;
    for (const LocationChange &change : changes) {
        alarms = alarms || change.alarms();
        if (lines.size() < MaxNoticeLines)
            lines << ChangeLine(change);
    }
    if (changes.size() > MaxNoticeLines)
        lines << QStringLiteral("... and %1 more").arg(changes.size() - MaxNoticeLines);
    if (!stillOffline.isEmpty())
        lines << QStringLiteral("Still offline: ") + stillOffline.join(QStringLiteral(", "));
    notice.body = lines.join(QLatin1Char('\n'));
    notice.urgent = alarms || !stillOffline.isEmpty();
    notice.summary = changes.size() == 1 ? ChangeTitle(changes.first()) : CountedSummary(changes);
    return notice;
}

} // namespace qos
