#pragma once
// Placement mode on the real Map View: the window's side of PlacementView, the controller that runs
// the mode, and the add-location dialog opened for each picked point.
//
// Invariants:
//  - "Add Location(s)" starts placement mode, "Finished" ends it, presses on the map background are
//    the picks; marker clicks never reach placement.
//  - At most one add-location dialog exists. While it does, the Map View is hidden; every close of the
//    dialog (Cancel, Submit, Escape, its frame, the tray restore) shows the Map View again.
//  - A location added through the dialog gets its marker, its menu item and its block in graph.txt
//    at once (or none of them, see SubmitLocation).
#include "mapview/placement.h"

#include <QPointer>
#include <QString>

namespace qos {

class AddLocationDialog;
class MapView;
class PleaseWait;
struct Configuration;

class MapPlacementView : public PlacementView {
public:
    // Connects the window's "Add Location(s)", "Finished" and map presses to the controller;
    // pleaseWait may be null.
    MapPlacementView(MapView &view, const QString &folder, Configuration &cfg, RunState &run,
                     MessageBoxes &boxes, PleaseWait *pleaseWait);
    ~MapPlacementView() override;

    PlacementController &controller() { return m_controller; }
    // The open add-location dialog; null when there is none.
    AddLocationDialog *dialog() const;
    // Closes the add-location dialog, if one is open (it shows the Map View as it closes).
    void closeDialog();

    void setMenuEnabled(Menu menu, bool enabled) override;
    void setFinishedShown(bool shown) override;
    void setStatusShown(bool shown) override;
    void setMonitorButtonsShown(bool shown) override;
    void setTitle(const QString &text, const QColor &colour) override;
    void reloadMap() override;
    void hideMap() override;
    void showMap() override;
    void openAddLocationDialog() override;
    QPointF twipsPerPixel() const override;

private:
    MapView &m_view;
    QString m_folder;
    Configuration &m_cfg;
    RunState &m_run;
    MessageBoxes &m_boxes;
    PleaseWait *m_pleaseWait;
    PlacementController m_controller;
    QPointer<AddLocationDialog> m_dialog;
};

} // namespace qos
