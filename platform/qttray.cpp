#include "platform/qttray.h"

#include <QAction>
#include <QMenu>

namespace qos {

QtTray::QtTray(QObject *parent)
    : Tray(parent)
{}

QtTray::~QtTray()
{
    m_icon.reset(); // before the menu it shows
}

bool QtTray::available() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

QAction *QtTray::entry(const char *name, const QString &text, TrayCommand command)
{
    QAction *action = m_menu->addAction(text);
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, this, [this, command] { Q_EMIT commandChosen(command); });
    return action;
}

void QtTray::popupMenu(const QPoint &at)
{
    menu()->popup(at); // aboutToShow brings its entries up to date first
}

QMenu *QtTray::menu()
{
    if (m_menu)
        return m_menu.get();
    m_menu = std::make_unique<QMenu>();
    m_menu->setObjectName(QStringLiteral("trayMenu"));
    connect(m_menu.get(), &QMenu::aboutToShow, this, &Tray::menuOpening);
    entry("trayMapView", QStringLiteral("Map View"), TrayCommand::MapView);
    entry("trayStartMonitor", QStringLiteral("Start Monitor"), TrayCommand::StartMonitor);
    entry("trayStopMonitor", QStringLiteral("Stop Monitor"), TrayCommand::StopMonitor);
    entry("trayAcknowledge", QStringLiteral("Acknowledge"), TrayCommand::Acknowledge);
    m_menu->addSeparator();
    entry("trayExit", QStringLiteral("Exit"), TrayCommand::Exit);
    setMenu(m_entries);
    return m_menu.get();
}

void QtTray::setMenu(const TrayMenu &entries)
{
    m_entries = entries;
    if (!m_menu)
        return; // made with the first icon
    const auto action = [this](const char *name) {
        return m_menu->findChild<QAction *>(QLatin1String(name));
    };
    QAction *start = action("trayStartMonitor");
    QAction *stop = action("trayStopMonitor");
    start->setVisible(!entries.monitoring);
    stop->setVisible(entries.monitoring);
    start->setEnabled(entries.mayStartStop);
    stop->setEnabled(entries.mayStartStop);
    action("trayAcknowledge")->setEnabled(entries.mayAcknowledge);
}

void QtTray::add(const QIcon &icon, const QString &tooltip)
{
    remove();
    m_icon = std::make_unique<QSystemTrayIcon>(icon);
    m_icon->setToolTip(tooltip);
    m_icon->setContextMenu(menu());
    connect(m_icon.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    Q_EMIT activated();
            });
    connect(m_icon.get(), &QSystemTrayIcon::messageClicked, this, &Tray::messageClicked);
    m_icon->show();
}

void QtTray::setToolTip(const QString &tooltip)
{
    if (m_icon)
        m_icon->setToolTip(tooltip);
}

bool QtTray::showMessage(const QString &title, const QString &text, bool urgent)
{
    if (!m_icon || !m_icon->isSystemTrayAvailable() || !QSystemTrayIcon::supportsMessages())
        return false;
    m_icon->showMessage(title, text, urgent ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
    return true;
}

void QtTray::remove()
{
    if (!m_icon)
        return;
    m_icon->hide();
    m_icon->setContextMenu(nullptr);
    // Deleted later: remove() may run inside the icon's own activated() signal.
    m_icon.release()->deleteLater();
}

} // namespace qos
