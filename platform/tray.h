#pragma once
#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

namespace qos {

// The commands of the icon's menu.
enum class TrayCommand { MapView, StartMonitor, StopMonitor, Acknowledge, Exit };

// What the icon's menu offers: "Map View", "Start Monitor" or "Stop Monitor" (whichever applies),
// "Acknowledge" and "Exit".
struct TrayMenu {
    bool monitoring = false;     // "Stop Monitor" instead of "Start Monitor"
    bool mayStartStop = true;    // the window's button for it is usable
    bool mayAcknowledge = false; // something is offline and not acknowledged yet
    bool operator==(const TrayMenu &) const = default;
};

// The notification-area icon. One per program run; replaced by remove() + add(), never changed in
// place; only its tooltip text and its menu's entries change while it is shown.
class Tray : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual bool available() const = 0; // false when the desktop has no notification area
    virtual void add(const QIcon &icon, const QString &tooltip) = 0;
    virtual void remove() = 0;
    // The tooltip of the icon shown (and of the next one added with it, until add() says otherwise).
    virtual void setToolTip(const QString &tooltip) = 0;
    // The entries of the menu a right click opens, kept for every icon added later.
    virtual void setMenu(const TrayMenu &menu) = 0;
    // A balloon message beside the icon. False, showing nothing, while there is no icon or the
    // desktop cannot show such messages.
    virtual bool showMessage(const QString &title, const QString &text, bool urgent) = 0;
    // Opens the icon's menu at a point of the screen, from the keyboard in a window, icon or not.
    virtual void popupMenu(const QPoint &at) = 0;

Q_SIGNALS:
    // A left click or a left double click on the icon. Other mouse events are not reported.
    void activated();
    // A click on the balloon message.
    void messageClicked();
    // The icon's menu is about to open: its entries may be brought up to date now.
    void menuOpening();
    // An entry of the icon's menu was chosen.
    void commandChosen(qos::TrayCommand command);
};

} // namespace qos
