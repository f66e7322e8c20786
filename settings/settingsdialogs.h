#pragma once
// The single shared instances of the settings dialogs (four numeric, two sound choosers, the
// notifications switch) and the marker-shapes switch, opened from the Settings menu of either window.
//
// Invariants:
//  - At most one dialog of each kind exists. Opening one that is open brings it forward unchanged
//    (its box keeps what was typed); opening one that is closed creates it afresh from the settings.
//  - The dialogs have no owner window, so they outlive the List View; the ones still open when this
//    object goes are closed with it.
#include "settings/notificationdialog.h"
#include "settings/probesettingdialog.h"
#include "settings/soundchooserdialog.h"

#include <QObject>
#include <QPointer>
#include <array>

namespace qos {

class SettingsDialogs : public QObject {
    Q_OBJECT
public:
    explicit SettingsDialogs(const SettingsServices &services, QObject *parent = nullptr);
    ~SettingsDialogs() override;

    // Where the sound dialogs opened from now on browse.
    void setBrowsing(SoundBrowsing browsing) { m_browsing = std::move(browsing); }

    // Shows the dialog in front, creating it when it is not open.
    ProbeSettingDialog *open(ProbeSetting setting);
    SoundChooserDialog *open(SoundSetting setting);
    NotificationSettingDialog *openNotifications();
    // The open dialog of that kind, or null.
    ProbeSettingDialog *dialog(ProbeSetting setting) const { return m_probes[size_t(setting)]; }
    SoundChooserDialog *dialog(SoundSetting setting) const { return m_sounds[size_t(setting)]; }
    NotificationSettingDialog *notificationsDialog() const { return m_notifications; }

    // "Marker Shapes": writes SHAPES=1 or SHAPES=0; the setting changes only once graph.txt holds it,
    // and lookChanged follows either way, so the menu entries show what the file says.
    void setMarkerShapes(bool on);

Q_SIGNALS:
    void lookChanged();
    // A probe setting changed: the windows show the new value.
    void probeSettingChanged(qos::ProbeSetting setting);

private:
    SettingsServices m_services;
    SoundBrowsing m_browsing;
    std::array<QPointer<ProbeSettingDialog>, ProbeSettingCount> m_probes;
    std::array<QPointer<SoundChooserDialog>, 2> m_sounds;
    QPointer<NotificationSettingDialog> m_notifications;
};

} // namespace qos
