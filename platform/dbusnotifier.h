#pragma once
// Desktop notifications through the freedesktop notification service (org.freedesktop.Notifications)
// on the session bus, with the tray icon's balloon message where that service does not answer.
//
// Invariants:
//  - Nothing waits: every call to the bus is asynchronous. A notice whose call fails (no bus, no
//    service, an error, or no answer within CallTimeoutMs) goes to the tray's message instead; where
//    the tray cannot show one either it is dropped without a word.
//  - clicked() and acknowledged() are emitted only for notices shown here: an ActionInvoked naming an
//    id the service gave for one of them (or a click on the tray's message). At most
//    MaxRememberedIds ids are kept, the oldest forgotten first, so memory stays flat whatever the
//    service does.
//  - A notice replaced or withdrawn before the service has given its id is replaced or withdrawn
//    (CloseNotification) as soon as the id arrives. The tray's messages cannot be withdrawn.
//  - "Acknowledge" is offered as an action only while the service says it shows actions.
//  - The body is escaped as markup unless the service has said it reads no markup.
#include "platform/notifier.h"

#include <QDBusConnection>
#include <QList>

namespace qos {

class Tray;

inline constexpr char NotificationsService[] = "org.freedesktop.Notifications";
inline constexpr char NotificationsPath[] = "/org/freedesktop/Notifications";
inline constexpr char NotificationsInterface[] = "org.freedesktop.Notifications";

class DBusNotifier : public Notifier {
    Q_OBJECT
public:
    static constexpr int CallTimeoutMs = 5000;
    static constexpr int MaxRememberedIds = 64;

    struct Identity {
        QString appName;      // shown by the desktop as the sender
        QString desktopEntry; // the menu entry's name without ".desktop"; may be empty
    };

    // bus: the session bus, or a test's. fallback: the tray whose message stands in; may be null.
    DBusNotifier(const QDBusConnection &bus, Tray *fallback, Identity identity, QObject *parent = nullptr);

    NoticeId notify(const Notice &notice, NoticeId replaces = 0) override;
    void withdraw(NoticeId id) override;

private Q_SLOTS:
    // The service's signals; connected by name, as the bus delivers them.
    void actionInvoked(uint id, const QString &actionKey);
    void notificationClosed(uint id, uint reason);

private:
    struct Shown {
        NoticeId notice = 0;
        uint id = 0; // the service's
    };

    void askCapabilities();
    void showInTray(const Notice &notice);
    void shown(NoticeId notice, uint id);
    void close(uint id);
    // The service's id of a notice shown; 0 when it has none (yet).
    uint serviceId(NoticeId notice) const;
    void forget(NoticeId notice);

    QDBusConnection m_bus;
    Tray *m_tray;
    Identity m_identity;
    bool m_markup = true;  // most services read markup; GetCapabilities tells
    bool m_actions = true; // and show actions
    NoticeId m_last = 0;
    QList<Shown> m_shown;          // newest last
    QList<NoticeId> m_withdrawing; // withdrawn or replaced before their id arrived
};

} // namespace qos
