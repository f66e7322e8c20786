#pragma once
// Where the windows were last: a window shown again (the Map View back from the List View or the
// tray, a List View or a dialog opened anew) comes back where the operator left it, not where the
// window manager would place a new one. Kept per objectName for the program's run, not stored.
#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

class QWidget;

namespace qos {

class WindowPlaces : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Follows window from now on: its place is taken when it hides and given back when it shows.
    void keep(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QHash<QString, QByteArray> m_places; // objectName -> saveGeometry()
};

} // namespace qos
