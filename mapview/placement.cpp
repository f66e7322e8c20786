#include "mapview/placement.h"

#include "mapview/addlocation.h"
#include "monitor/runstate.h"
#include "platform/messagebox.h"

#include <QPointer>

namespace qos {

PlacementController::PlacementController(RunState &run, PlacementView &view, MessageBoxes &boxes,
                                         QObject *parent)
    : QObject(parent)
    , m_run(run)
    , m_view(view)
    , m_boxes(boxes)
{}

bool PlacementController::placing() const
{
    return m_run.PlacementMode == 1;
}

void PlacementController::StartPlacement()
{
    if (placing())
        return;
    m_run.PlacementMode = 1;
    m_view.setMenuEnabled(PlacementView::Menu::RunInBackground, false);
    m_view.setFinishedShown(true);
    m_view.setStatusShown(false);
    m_view.setMonitorButtonsShown(false);
    m_view.setMenuEnabled(PlacementView::Menu::ListView, false);
    m_view.setMenuEnabled(PlacementView::Menu::Settings, false);
    m_view.setMenuEnabled(PlacementView::Menu::AddLocations, false);
    m_view.setTitle(QLatin1String(PlacementTitle), QColor(255, 0, 0));

    m_awaitingConfirmation = true;
    const quint64 serial = ++m_promptSerial;
    QPointer<PlacementController> self = this;
    m_boxes.show(QLatin1String(PlacementPrompt), MessageBoxes::Icon::None, [self, serial] {
        if (self && self->m_promptSerial == serial)
            self->m_awaitingConfirmation = false;
    });
}

void PlacementController::FinishPlacement()
{
    if (!placing())
        return;
    m_run.PlacementMode = 0;
    m_awaitingConfirmation = false;
    m_view.setMenuEnabled(PlacementView::Menu::RunInBackground, true);
    m_view.setMenuEnabled(PlacementView::Menu::AddLocations, true);
    m_view.setMenuEnabled(PlacementView::Menu::ListView, true);
    m_view.setMenuEnabled(PlacementView::Menu::Settings, true);
    m_view.setFinishedShown(false);
    m_view.setStatusShown(true);
    m_view.setMonitorButtonsShown(true);
    m_view.reloadMap();
    m_view.setTitle(QLatin1String(NormalTitle), QColor(255, 255, 255));
}

bool PlacementController::PickPoint(Qt::MouseButton button, double xTwips, double yTwips)
{
    if (!placing() || button != Qt::RightButton || m_awaitingConfirmation || m_dialogOpen)
        return false;
    const QPointF factors = m_view.twipsPerPixel();
    const QPoint point = PlacementPoint(xTwips, yTwips, factors.x(), factors.y());
    m_run.PlacementX = point.x();
    m_run.PlacementY = point.y();
    m_view.hideMap();
    m_dialogOpen = true;
    m_view.openAddLocationDialog();
    return true;
}

void PlacementController::dialogClosed()
{
    m_dialogOpen = false;
    m_view.showMap();
}

} // namespace qos
