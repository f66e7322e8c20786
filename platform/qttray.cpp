#include "platform/qttray.h"

namespace qos {

QtTray::QtTray(QObject *parent)
    : Tray(parent)
{}

QtTray::~QtTray() = default;

bool QtTray::available() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTray::add(const QIcon &icon, const QString &tooltip)
{
    remove();
    m_icon = std::make_unique<QSystemTrayIcon>(icon);
    m_icon->setToolTip(tooltip);
    connect(m_icon.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    Q_EMIT activated();
            });
    connect(m_icon.get(), &QSystemTrayIcon::messageClicked, this, &Tray::messageClicked);
    m_icon->show();
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
    // Deleted later: remove() may run inside the icon's own activated() signal.
    m_icon.release()->deleteLater();
}

} // namespace qos
