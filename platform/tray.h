#pragma once
#include <QIcon>
#include <QObject>
#include <QString>

namespace qos {

// The notification-area icon. One per program run; replaced by remove() + add(), never changed in place.
class Tray : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual bool available() const = 0; // false when the desktop has no notification area
    virtual void add(const QIcon &icon, const QString &tooltip) = 0;
    virtual void remove() = 0;
    // A balloon message beside the icon. False, showing nothing, while there is no icon or the
    // desktop cannot show such messages.
    virtual bool showMessage(const QString &title, const QString &text, bool urgent) = 0;

Q_SIGNALS:
    // A left click or a left double click on the icon. Other mouse events are not reported.
    void activated();
    // A click on the balloon message.
    void messageClicked();
};

} // namespace qos
