#include "mapview/mapplacementview.h"

#include "mapview/addlocationdialog.h"
#include "mapview/mapview.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>

namespace qos {

MapPlacementView::MapPlacementView(MapView &view, const QString &folder, Configuration &cfg, RunState &run,
                                   MessageBoxes &boxes, PleaseWait *pleaseWait)
    : m_view(view)
    , m_folder(folder)
    , m_cfg(cfg)
    , m_run(run)
    , m_boxes(boxes)
    , m_pleaseWait(pleaseWait)
    , m_controller(run, *this, boxes)
{
    const MapView::Controls &c = view.controls();
    QObject::connect(c.addLocations, &QAction::triggered, &m_controller,
                     &PlacementController::StartPlacement);
    QObject::connect(c.finishedButton, &QPushButton::clicked, &m_controller,
                     &PlacementController::FinishPlacement);
    QObject::connect(&view, &MapView::backgroundPressed, &m_controller,
                     [this](Qt::MouseButton button, QPointF twips) {
                         m_controller.PickPoint(button, twips.x(), twips.y());
                     });
}

void MapPlacementView::closeDialog()
{
    if (m_dialog)
        m_dialog->close();
}

MapPlacementView::~MapPlacementView()
{
    // The dialog's seams point here: it goes first, without reporting its close to a window that
    // is being taken down.
    if (m_dialog) {
        QObject::disconnect(m_dialog.data(), nullptr, &m_controller, nullptr);
        delete m_dialog.data();
    }
}

AddLocationDialog *MapPlacementView::dialog() const
{
    return m_dialog.data();
}

void MapPlacementView::setMenuEnabled(Menu menu, bool enabled)
{
    const MapView::Controls &c = m_view.controls();
    switch (menu) {
    case Menu::RunInBackground:
        c.runInBackground->setEnabled(enabled);
        return;
    case Menu::ListView:
        c.siteMenu->menuAction()->setEnabled(enabled);
        return;
    case Menu::Settings:
        c.settings.menu->menuAction()->setEnabled(enabled);
        return;
    case Menu::AddLocations:
        c.addLocations->setEnabled(enabled);
        return;
    }
}

void MapPlacementView::setFinishedShown(bool shown)
{
    QPushButton *finished = m_view.controls().finishedButton;
    finished->setEnabled(shown);
    finished->setVisible(shown);
    // The keyboard's way to pick a point comes and goes with the button, as placement mode does.
    m_view.canvas()->setPickPointShown(shown);
}

void MapPlacementView::setStatusShown(bool shown)
{
    m_view.controls().statusCaption->setVisible(shown);
    m_view.controls().statusLabel->setVisible(shown);
}

void MapPlacementView::setMonitorButtonsShown(bool shown)
{
    if (shown) {
        m_view.updateMonitorButtons();
        return;
    }
    m_view.controls().startMonitor->hide();
    m_view.controls().stopMonitor->hide();
}

void MapPlacementView::setTitle(const QString &text, const QColor &colour)
{
    m_view.setTitle(text, colour);
}

void MapPlacementView::reloadMap()
{
    // A picture that cannot be read leaves the plain background, as at start-up.
    m_view.reloadMap();
}

void MapPlacementView::hideMap()
{
    m_view.hide();
}

void MapPlacementView::showMap()
{
    m_view.show();
    m_view.raise();
    m_view.activateWindow();
}

void MapPlacementView::openAddLocationDialog()
{
    AddLocationSeams seams;
    seams.append = GraphFileAppender(m_folder, m_cfg, m_pleaseWait);
    seams.createMarker = [this](int k) { m_view.addMarker(k); };
    seams.removeMarker = [this](int k) { m_view.removeMarker(k); };
    seams.addMenuItem = [this](int k) { m_view.addMenuItem(k); };
    // A child of the Map View, so it never counts as the program's last window.
    m_dialog = new AddLocationDialog(m_cfg, m_run, m_boxes, std::move(seams), &m_view);
    m_dialog->setWindowIcon(m_view.windowIcon());
    QObject::connect(m_dialog.data(), &AddLocationDialog::closed, &m_controller,
                     &PlacementController::dialogClosed);
    QObject::connect(m_dialog.data(), &AddLocationDialog::locationAdded, &m_view, &MapView::locationAdded);
    m_dialog->showEmptied();
}

QPointF MapPlacementView::twipsPerPixel() const
{
    return {m_view.scale().perPixelX(), m_view.scale().perPixelY()};
}

} // namespace qos
