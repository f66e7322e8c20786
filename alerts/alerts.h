#pragma once
// The notification-area icon, the attention switch, the two sounds and the desktop notifications.
//
// Invariants:
//  - The window icon and the tray icon always show the same picture: swar.ico while
//    RunState::AttentionShown is 1, swag.ico otherwise.
//  - The tray icon is replaced by remove() + add(), never changed in place, and only while it exists
//    (between AddTrayIcon and RemoveTrayIcon): one icon per program run.
//  - The tooltip's first line is cut to 63 characters; the lines below it (the offline locations)
//    follow it on every icon and change in place.
//  - Pictures are read from the program folder each time they are needed; a missing or unreadable
//    file is replaced by the built-in copy, so an icon is never blank.
//  - The locations the cycle reports turned are kept until SendNotices, which gives them to the
//    notifier as one notice (none while NOTIFICATIONS is 0) and forgets them.
//  - The desktop never keeps a notice of ours that names a location offline once it is not shown
//    offline any more (back online, waiting, deleted): the next notice replaces it, or it is
//    withdrawn; the replacing notice names the other locations that one told offline and still are.
#include "alerts/notices.h"
#include "monitor/alertsink.h"
#include "monitor/runstate.h"
#include "platform/notifier.h"
#include "platform/sound.h"
#include "platform/tray.h"
#include "store/model.h"

#include <QIcon>
#include <QString>
#include <QStringList>
#include <functional>

namespace qos {

inline constexpr char NormalIconFile[] = "swag.ico";
inline constexpr char AttentionIconFile[] = "swar.ico";
inline constexpr int TrayTipLength = 63;
// Lines the tray tooltip adds below its first one; the rest are counted.
inline constexpr int kMaxTipLines = 10;
// Notices remembered as telling locations offline.
inline constexpr int kMaxToldNotices = 64;

// The tray tooltip: firstLine, then the lines (at most kMaxTipLines, then "and N more").
QString TrayTip(const QString &firstLine, const QStringList &lines);

class Alerts : public AlertSink {
public:
    using WindowIconSetter = std::function<void(const QIcon &)>;

    // notifier: where the desktop notifications go; null for none.
    Alerts(RunState &run, const MainSettings &settings, Tray &tray, Sound &sound, QString programFolder,
           WindowIconSetter setWindowIcon, Notifier *notifier = nullptr);

    // Start-up: the window icon becomes swag.ico.
    void LoadNormalIcon();
    // Adds the tray icon with the current window icon and the normal tooltip.
    void AddTrayIcon();
    void RemoveTrayIcon();

    void ShowAttention() override;
    void ClearAttention() override;
    void PlayAlertSound() override;
    void PlayOnlineSound() override;
    void Silence() override;
    void LocationTurned(const LocationRecord &rec, Turn turn, const QString &figures) override;
    void LocationBehindUnreachable(const LocationRecord &cause) override;
    // The end of a monitor run: one notice for the locations turned since the last one, in the place
    // of the notices it makes stale. offlineNow: the locations whose indicators show offline.
    void SendNotices(const QStringList &offlineNow);
    // A change outside a monitor run: the notices it made stale are withdrawn.
    void FollowState(const QStringList &offlineNow);

    QIcon currentIcon() const { return m_current; }

    // The tooltip texts, cut to TrayTipLength characters.
    QString normalTip() const;
    QString attentionTip() const;
    // The lines below the tooltip's first one.
    void setTipLines(const QStringList &lines);
    // The whole tooltip of the icon as it is now.
    QString tip() const;

    // Loads a picture from the program folder; falls back to the built-in copy.
    QIcon loadIcon(const char *fileName) const;
    // Names of the bundled icon files that cannot be read from the program folder.
    QStringList unreadableIconFiles() const;

private:
    void switchPicture(const char *fileName);
    void playSetting(const QString &setting);

    RunState &m_run;
    const MainSettings &m_settings;
    Tray &m_tray;
    Sound &m_sound;
    QString m_folder;
    WindowIconSetter m_setWindowIcon;
    Notifier *m_notifier;
    // A notice that names locations offline.
    struct Told {
        NoticeId id = 0;
        QStringList offline;
    };
    // The notices that name a location offlineNow does not hold, taken out of m_told.
    QList<Told> takeStale(const QStringList &offlineNow);

    QList<LocationChange> m_changes; // turned since the last notice
    QList<Told> m_told;              // on the desktop, as far as we know
    QStringList m_tipLines;
    QIcon m_current;
    bool m_trayShown = false;
};

// True when the file is present and decodes as a picture.
bool PictureReadable(const QString &path);

} // namespace qos
