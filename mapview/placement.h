#pragma once
// Placement mode of the Map View: "Add Location(s)" enters it, right-button presses on the map
// background pick points for new locations, "Finished" leaves it.
//
// Invariants:
//  - RunState::PlacementMode is 1 exactly while placement mode is on (the monitor skips due cycles
//    then).
//  - No point is picked while the "Right Click Point To Apply Location" box is unconfirmed, nor
//    while the add-location dialog is open.
//  - Every pick hides the map; every close of the dialog shows it again.
#include <QColor>
#include <QObject>
#include <QPointF>
#include <QString>

namespace qos {

class MessageBoxes;
struct RunState;

// What placement mode needs from the Map View window. The window implements it.
class PlacementView {
public:
    // The menus bground, listview, Default and AddLocations.
    enum class Menu { RunInBackground, ListView, Settings, AddLocations };

    virtual ~PlacementView() = default;
    virtual void setMenuEnabled(Menu menu, bool enabled) = 0;
    // "Finished" (Command2): shown = enabled and visible; otherwise disabled and hidden.
    virtual void setFinishedShown(bool shown) = 0;
    // The label "Status:" (Label2) and the status text (Label3).
    virtual void setStatusShown(bool shown) = 0;
    // "Start Monitor" and "Stop Monitor" (Command3, Command4): hidden, or shown as the monitor's
    // state says (the one of the two that is enabled), without changing whether they are enabled.
    virtual void setMonitorButtonsShown(bool shown) = 0;
    // The title label (Label4).
    virtual void setTitle(const QString &text, const QColor &colour) = 0;
    // Loads map.gif from the program folder again as the window background.
    virtual void reloadMap() = 0;
    virtual void hideMap() = 0;
    virtual void showMap() = 0;
    // Creates the add-location dialog (AddLocationDialog) and shows it emptied and modeless; its
    // closed() signal must reach PlacementController::dialogClosed().
    virtual void openAddLocationDialog() = 0;
    // Twips per screen pixel, horizontally and vertically.
    virtual QPointF twipsPerPixel() const = 0;
};

inline constexpr char PlacementPrompt[] = "Right Click Point To Apply Location";
inline constexpr char PlacementTitle[] = "Applying Locations";
inline constexpr char NormalTitle[] = "QOR ONLINE STATUS";

class PlacementController : public QObject {
    Q_OBJECT
public:
    PlacementController(RunState &run, PlacementView &view, MessageBoxes &boxes, QObject *parent = nullptr);

    bool placing() const;
    bool awaitingConfirmation() const { return m_awaitingConfirmation; }
    bool dialogOpen() const { return m_dialogOpen; }

public Q_SLOTS:
    // Menu "Add Location(s)". Does nothing when placement mode is already on.
    void StartPlacement();
    // Button "Finished". Does nothing when placement mode is off.
    void FinishPlacement();
    // A mouse press on the map background at (xTwips, yTwips). Returns true when a point was picked
    // (right button, placement mode on, prompt confirmed, no dialog open).
    bool PickPoint(Qt::MouseButton button, double xTwips, double yTwips);
    // The add-location dialog has closed, however it closed.
    void dialogClosed();

private:
    RunState &m_run;
    PlacementView &m_view;
    MessageBoxes &m_boxes;
    bool m_awaitingConfirmation = false;
    bool m_dialogOpen = false;
    quint64 m_promptSerial = 0; // tells the current prompt's confirmation from a stale one
};

} // namespace qos
