#include "app/windowplaces.h"

#include <QEvent>
#include <QWidget>

namespace qos {

void WindowPlaces::keep(QWidget *window)
{
    if (window->objectName().isEmpty())
        return; // places are kept by name
    window->installEventFilter(this);
    const auto place = m_places.constFind(window->objectName());
    if (place != m_places.cend())
        window->restoreGeometry(*place); // a window made anew, before its first show
}

bool WindowPlaces::eventFilter(QObject *watched, QEvent *event)
{
    auto *window = qobject_cast<QWidget *>(watched);
    if (window && window->isWindow()) {
        if (event->type() == QEvent::Hide)
            m_places.insert(window->objectName(), window->saveGeometry());
        else if (event->type() == QEvent::Show && m_places.contains(window->objectName()))
            window->restoreGeometry(m_places.value(window->objectName()));
    }
    return QObject::eventFilter(watched, event);
}

} // namespace qos
