#include "alerts/alerts.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <utility>

namespace qos {

bool PictureReadable(const QString &path)
{
    QImageReader reader(path);
    return reader.canRead() && !reader.read().isNull();
}

Alerts::Alerts(RunState &run, const MainSettings &settings, Tray &tray, Sound &sound, QString programFolder,
               WindowIconSetter setWindowIcon, Notifier *notifier)
    : m_run(run)
    , m_settings(settings)
    , m_tray(tray)
    , m_sound(sound)
    , m_folder(std::move(programFolder))
    , m_setWindowIcon(std::move(setWindowIcon))
    , m_notifier(notifier)
{}

QIcon Alerts::loadIcon(const char *fileName) const
{
    const QString path = QDir(m_folder).filePath(QLatin1String(fileName));
    if (PictureReadable(path))
        return QIcon(path);
    return QIcon(QStringLiteral(":/builtin/") + QLatin1String(fileName));
}

QStringList Alerts::unreadableIconFiles() const
{
    QStringList missing;
    for (const char *name : {NormalIconFile, AttentionIconFile}) {
        if (!PictureReadable(QDir(m_folder).filePath(QLatin1String(name))))
            missing << QLatin1String(name);
    }
    return missing;
}

QString TrayTip(const QString &firstLine, const QStringList &lines)
{
    QStringList tip{firstLine};
    tip << lines.mid(0, kMaxTipLines);
    if (lines.size() > kMaxTipLines)
        tip << QStringLiteral("and %1 more").arg(lines.size() - kMaxTipLines);
    return tip.join(QLatin1Char('\n'));
}

QString Alerts::tip() const
{
    return TrayTip(m_run.AttentionShown == 1 ? attentionTip() : normalTip(), m_tipLines);
}

void Alerts::setTipLines(const QStringList &lines)
{
    if (lines == m_tipLines)
        return;
    m_tipLines = lines;
    if (m_trayShown)
        m_tray.setToolTip(tip());
}

QString Alerts::normalTip() const
{
    return m_settings.ICONTEXT.left(TrayTipLength);
}

QString Alerts::attentionTip() const
{
    return (m_settings.ICONTEXT + QStringLiteral(" - ATTENTION")).left(TrayTipLength);
}

void Alerts::LoadNormalIcon()
{
    m_current = loadIcon(NormalIconFile);
    if (m_setWindowIcon)
        m_setWindowIcon(m_current);
}

void Alerts::AddTrayIcon()
{
    m_tray.add(m_current, tip());
    m_trayShown = true;
}

void Alerts::RemoveTrayIcon()
{
    if (!m_trayShown)
        return;
    m_tray.remove();
    m_trayShown = false;
}

void Alerts::switchPicture(const char *fileName)
{
    m_current = loadIcon(fileName);
    if (m_setWindowIcon)
        m_setWindowIcon(m_current);
    if (!m_trayShown)
        return;
    m_tray.remove();
    m_tray.add(m_current, tip());
}

void Alerts::ShowAttention()
{
    if (m_run.AttentionShown == 1)
        return;
    m_run.AttentionShown = 1;
    switchPicture(AttentionIconFile);
}

void Alerts::ClearAttention()
{
    if (m_run.AttentionShown != 1)
        return;
    m_run.AttentionShown = 0;
    switchPicture(NormalIconFile);
}

void Alerts::playSetting(const QString &setting)
{
    if (setting.isEmpty()) {
        PlayDefaultSound(m_sound);
        return;
    }
    // The sound dialogs store bare names of files copied into the program folder.
    const QString path = QFileInfo(setting).isAbsolute() ? setting : QDir(m_folder).filePath(setting);
    if (!m_sound.play(path))
        PlayDefaultSound(m_sound);
}

void Alerts::PlayAlertSound()
{
    playSetting(m_settings.ALERTWAV);
}

void Alerts::PlayOnlineSound()
{
    playSetting(m_settings.ONLINEWAV);
}

void Alerts::Silence()
{
    m_sound.stop();
}

void Alerts::LocationTurned(const LocationRecord &rec, Turn turn, const QString &figures)
{
    using Kind = LocationChange::Kind;
    LocationChange change;
    change.site = rec.site;
    switch (turn) {
    case Turn::None:
        return;
    case Turn::Offline:
        change.kind = rec.center == Indicator::PartlyDown ? Kind::PartlyDown : Kind::Offline;
        change.failing = rec.holdbad;
        break;
    case Turn::Back:
        change.kind = Kind::Back;
        break;
    case Turn::Slow:
        change.kind = Kind::Slow;
        change.figures = figures;
        break;
    case Turn::NotSlow:
        change.kind = Kind::NotSlow;
        break;
    }
    m_changes.append(change);
}

void Alerts::LocationBehindUnreachable(const LocationRecord &cause)
{
    for (auto it = m_changes.rbegin(); it != m_changes.rend(); ++it) {
        if (it->site == cause.site && it->alarms()) {
            ++it->behind;
            return;
        }
    }
}

QList<Alerts::Told> Alerts::takeStale(const QStringList &offlineNow)
{
    QList<Told> stale;
    m_told.removeIf([&](const Told &told) {
        const bool gone = std::any_of(told.offline.cbegin(), told.offline.cend(),
                                      [&](const QString &site) { return !offlineNow.contains(site); });
        if (gone)
            stale << told;
        return gone;
    });
    return stale;
}

void Alerts::FollowState(const QStringList &offlineNow)
{
    if (!m_notifier)
        return;
    for (const Told &told : takeStale(offlineNow))
        m_notifier->withdraw(told.id);
}

void Alerts::SendNotices(const QStringList &offlineNow)
{
    const QList<LocationChange> changes = std::exchange(m_changes, {});
    if (!m_notifier)
        return;
    QList<Told> stale = takeStale(offlineNow);
    if (changes.isEmpty() || m_settings.NOTIFICATIONS == 0) {
        for (const Told &told : std::as_const(stale))
            m_notifier->withdraw(told.id);
        return;
    }
    Told told;
    for (const LocationChange &change : changes)
        if (change.alarms())
            told.offline << change.site;
    QStringList still; // told offline by a notice this one replaces, and still offline
    for (const Told &old : std::as_const(stale))
        for (const QString &site : old.offline)
            if (offlineNow.contains(site) && !told.offline.contains(site) && !still.contains(site))
                still << site;
    Notice notice = ComposeNotice(changes, still);
    told.offline << still;
    const char *picture = notice.urgent ? AttentionIconFile : NormalIconFile;
    const QString path = QDir(m_folder).filePath(QLatin1String(picture));
    if (PictureReadable(path))
        notice.iconPath = path;
    notice.acknowledge = notice.urgent;
    const NoticeId replaces = stale.isEmpty() ? 0 : stale.takeFirst().id;
    for (const Told &old : std::as_const(stale))
        m_notifier->withdraw(old.id);
    told.id = m_notifier->notify(notice, replaces);
    if (!told.offline.isEmpty())
        m_told << told;
    if (m_told.size() > kMaxToldNotices)
        m_told.removeFirst(); // long gone from any desktop
}

} // namespace qos
