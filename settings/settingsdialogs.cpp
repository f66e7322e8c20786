#include "settings/settingsdialogs.h"

namespace qos {

namespace {

void BringForward(QWidget *w)
{
    w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    w->show();
    w->raise();
    w->activateWindow();
}

} // namespace

SettingsDialogs::SettingsDialogs(const SettingsServices &services, QObject *parent)
    : QObject(parent)
    , m_services(services)
{}

SettingsDialogs::~SettingsDialogs()
{
    for (const auto &d : m_probes)
        delete d.data();
    for (const auto &d : m_sounds)
        delete d.data();
    delete m_notifications.data();
}

ProbeSettingDialog *SettingsDialogs::open(ProbeSetting setting)
{
    QPointer<ProbeSettingDialog> &d = m_probes[size_t(setting)];
    if (!d) {
        d = new ProbeSettingDialog(setting, m_services);
        connect(d, &ProbeSettingDialog::changed, this, &SettingsDialogs::probeSettingChanged);
    }
    BringForward(d);
    return d;
}

SoundChooserDialog *SettingsDialogs::open(SoundSetting setting)
{
    QPointer<SoundChooserDialog> &d = m_sounds[size_t(setting)];
    if (!d) {
        d = new SoundChooserDialog(setting, m_services, m_browsing);
    }
    BringForward(d);
    return d;
}

NotificationSettingDialog *SettingsDialogs::openNotifications()
{
    if (!m_notifications)
        m_notifications = new NotificationSettingDialog(m_services);
    BringForward(m_notifications);
    return m_notifications;
}

void SettingsDialogs::setMarkerShapes(bool on)
{
    const qint16 value = on ? 1 : 0;
    if (WriteMainSetting(m_services, Key::Shapes, QString::number(value)))
        m_services.settings.SHAPES = value;
    Q_EMIT lookChanged();
}

} // namespace qos
