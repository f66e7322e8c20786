#pragma once
#include "platform/tray.h"

#include <QSystemTrayIcon>
#include <memory>

namespace qos {

// The notification-area icon through QSystemTrayIcon. add() creates the icon, remove() deletes it.
// A left click (Trigger) or a double click reports activated(); the context click does nothing.
class QtTray : public Tray {
    Q_OBJECT
public:
    explicit QtTray(QObject *parent = nullptr);
    ~QtTray() override;

    bool available() const override;
    void add(const QIcon &icon, const QString &tooltip) override;
    void remove() override;
    bool showMessage(const QString &title, const QString &text, bool urgent) override;

    QSystemTrayIcon *icon() const { return m_icon.get(); } // null while no icon is shown

private:
    std::unique_ptr<QSystemTrayIcon> m_icon;
};

} // namespace qos
