#pragma once
#include "platform/tray.h"

#include <QSystemTrayIcon>
#include <memory>

class QAction;
class QMenu;

namespace qos {

// The notification-area icon through QSystemTrayIcon. add() creates the icon, remove() deletes it.
// A left click (Trigger) or a double click reports activated(); the context click opens the menu,
// whose entries carry the objectNames trayMapView, trayStartMonitor, trayStopMonitor,
// trayAcknowledge and trayExit.
class QtTray : public Tray {
    Q_OBJECT
public:
    explicit QtTray(QObject *parent = nullptr);
    ~QtTray() override;

    bool available() const override;
    void add(const QIcon &icon, const QString &tooltip) override;
    void remove() override;
    void setToolTip(const QString &tooltip) override;
    void setMenu(const TrayMenu &menu) override;
    bool showMessage(const QString &title, const QString &text, bool urgent) override;
    void popupMenu(const QPoint &at) override;

    QSystemTrayIcon *icon() const { return m_icon.get(); } // null while no icon is shown
    QMenu *menu();                                         // the icon's menu

private:
    QAction *entry(const char *name, const QString &text, TrayCommand command);

    std::unique_ptr<QMenu> m_menu;
    TrayMenu m_entries;
    std::unique_ptr<QSystemTrayIcon> m_icon;
};

} // namespace qos
