#include "platform/dbusnotifier.h"

#include "platform/tray.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUrl>
#include <QVariantMap>

#include <algorithm>

namespace qos {

namespace {

QDBusMessage ServiceCall(const char *method)
{
    return QDBusMessage::createMethodCall(QLatin1String(NotificationsService),
                                          QLatin1String(NotificationsPath),
                                          QLatin1String(NotificationsInterface), QLatin1String(method));
}

// The action a click on the notice's body invokes, and the one that acknowledges.
constexpr char DefaultAction[] = "default";
constexpr char AcknowledgeAction[] = "acknowledge";

} // namespace

DBusNotifier::DBusNotifier(const QDBusConnection &bus, Tray *fallback, Identity identity, QObject *parent)
    : Notifier(parent)
    , m_bus(bus)
    , m_tray(fallback)
    , m_identity(std::move(identity))
{
    if (m_tray)
        connect(m_tray, &Tray::messageClicked, this, &Notifier::clicked);
    if (!m_bus.isConnected())
        return;
    // Any sender: naming the service would make Qt ask the bus for its owner and wait for the answer.
    const QString path = QLatin1String(NotificationsPath), interface = QLatin1String(NotificationsInterface);
    m_bus.connect(QString(), path, interface, QStringLiteral("ActionInvoked"), this,
                  SLOT(actionInvoked(uint, QString)));
    m_bus.connect(QString(), path, interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(notificationClosed(uint, uint)));
    askCapabilities();
}

void DBusNotifier::askCapabilities()
{
    auto *watcher =
        new QDBusPendingCallWatcher(m_bus.asyncCall(ServiceCall("GetCapabilities"), CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        if (!reply.isError()) {
            m_markup = reply.value().contains(QStringLiteral("body-markup"));
            m_actions = reply.value().contains(QStringLiteral("actions"));
        }
    });
}

NoticeId DBusNotifier::notify(const Notice &notice, NoticeId replaces)
{
    const NoticeId ours = ++m_last;
    if (!m_bus.isConnected()) {
        showInTray(notice);
        return ours;
    }
    const uint replacesId = serviceId(replaces);
    if (replaces != 0 && replacesId == 0)
        withdraw(replaces); // its id is still on its way
    forget(replaces);
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(notice.urgent ? 2 : 1)));
    if (!m_identity.desktopEntry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), m_identity.desktopEntry);
    const QString icon =
        notice.iconPath.isEmpty() ? QString() : QUrl::fromLocalFile(notice.iconPath).toString();
    QStringList actions{QLatin1String(DefaultAction), QStringLiteral("Open Map View")};
    if (notice.acknowledge && m_actions)
        actions << QLatin1String(AcknowledgeAction) << QStringLiteral("Acknowledge");
    QDBusMessage call = ServiceCall("Notify");
    call << m_identity.appName << replacesId << icon << notice.summary
         << (m_markup ? notice.body.toHtmlEscaped() : notice.body) << actions << hints << int(-1);

    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, notice, ours](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                if (reply.isError()) {
                    showInTray(notice);
                    return;
                }
                shown(ours, reply.value());
            });
    return ours;
}

void DBusNotifier::shown(NoticeId notice, uint id)
{
    if (m_withdrawing.removeOne(notice)) {
        close(id);
        return;
    }
    m_shown.append({notice, id});
    if (m_shown.size() > MaxRememberedIds)
        m_shown.removeFirst();
}

uint DBusNotifier::serviceId(NoticeId notice) const
{
    for (const Shown &s : m_shown)
        if (s.notice == notice)
            return s.id;
    return 0;
}

void DBusNotifier::forget(NoticeId notice)
{
    m_shown.removeIf([notice](const Shown &s) { return s.notice == notice; });
}

void DBusNotifier::withdraw(NoticeId notice)
{
    if (notice == 0 || notice > m_last || !m_bus.isConnected())
        return;
    if (const uint id = serviceId(notice)) {
        forget(notice);
        close(id);
        return;
    }
    m_withdrawing.append(notice);
    if (m_withdrawing.size() > MaxRememberedIds)
        m_withdrawing.removeFirst();
}

void DBusNotifier::close(uint id)
{
    QDBusMessage call = ServiceCall("CloseNotification");
    call << id;
    // Nothing to do with the answer: a notice already gone is gone.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, watcher, &QObject::deleteLater);
}

void DBusNotifier::showInTray(const Notice &notice)
{
    if (m_tray)
        m_tray->showMessage(notice.summary, notice.body, notice.urgent);
}

void DBusNotifier::actionInvoked(uint id, const QString &actionKey)
{
    const bool ours =
        std::any_of(m_shown.cbegin(), m_shown.cend(), [id](const Shown &s) { return s.id == id; });
    if (!ours)
        return;
    if (actionKey == QLatin1String(DefaultAction))
        Q_EMIT clicked();
    else if (actionKey == QLatin1String(AcknowledgeAction))
        Q_EMIT acknowledged();
}

void DBusNotifier::notificationClosed(uint id, uint)
{
    m_shown.removeIf([id](const Shown &s) { return s.id == id; });
}

} // namespace qos
