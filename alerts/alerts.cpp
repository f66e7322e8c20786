#include "alerts/alerts.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>

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

void Alerts::LocationTurned(const LocationRecord &rec, bool offline)
{
    m_changes.append({rec.site, offline, offline ? rec.holdbad : QStringList()});
}

void Alerts::SendNotices()
{
    const QList<LocationChange> changes = std::exchange(m_changes, {});
    if (changes.isEmpty() || !m_notifier || m_settings.NOTIFICATIONS == 0)
        return;
    Notice notice = ComposeNotice(changes);
    const char *picture = notice.urgent ? AttentionIconFile : NormalIconFile;
    const QString path = QDir(m_folder).filePath(QLatin1String(picture));
    if (PictureReadable(path))
        notice.iconPath = path;
    m_notifier->notify(notice);
}

} // namespace qos
