#include "platform/dbusnotifier.h"

#include "platform/tray.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUrl>
#include <QVariantMap>

namespace qos {

namespace {

QDBusMessage ServiceCall(const char *method)
{
    return QDBusMessage::createMethodCall(QLatin1String(NotificationsService),
                                          QLatin1String(NotificationsPath),
                                          QLatin1String(NotificationsInterface), QLatin1String(method));
}

// The action a click on the notice's body invokes.
constexpr char DefaultAction[] = "default";

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
        if (!reply.isError())
            m_markup = reply.value().contains(QStringLiteral("body-markup"));
    });
}

void DBusNotifier::notify(const Notice &notice)
{
    if (!m_bus.isConnected()) {
        showInTray(notice);
        return;
    }
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(notice.urgent ? 2 : 1)));
    if (!m_identity.desktopEntry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), m_identity.desktopEntry);
    const QString icon =
        notice.iconPath.isEmpty() ? QString() : QUrl::fromLocalFile(notice.iconPath).toString();
    QDBusMessage call = ServiceCall("Notify");
    call << m_identity.appName << uint(0) << icon << notice.summary
         << (m_markup ? notice.body.toHtmlEscaped() : notice.body)
         << QStringList{QLatin1String(DefaultAction), QStringLiteral("Open Map View")} << hints << int(-1);

    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, notice](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError()) {
            showInTray(notice);
            return;
        }
        m_ids.append(reply.value());
        if (m_ids.size() > MaxRememberedIds)
            m_ids.removeFirst();
    });
}

void DBusNotifier::showInTray(const Notice &notice)
{
    if (m_tray)
        m_tray->showMessage(notice.summary, notice.body, notice.urgent);
}

void DBusNotifier::actionInvoked(uint id, const QString &actionKey)
{
    if (actionKey == QLatin1String(DefaultAction) && m_ids.contains(id))
        Q_EMIT clicked();
}

void DBusNotifier::notificationClosed(uint id, uint)
{
    m_ids.removeOne(id);
}

} // namespace qos
