#pragma once
// The Map View: the start-up window with the map, one marker and indicator per location, the monitor
// status and probe settings, the menus, and the notification-area icon.
//
// Invariants:
//  - Every element sits at its fixed twips position, converted once with the screen's twips per
//    pixel; the client area does not resize.
//  - Marker site(k) and indicator center(k) exist for k = 1..LocationCount of the shared table;
//    the indicator sits 200 twips left of its marker at the same top, and shows the colour held in
//    the record's `center` field once refreshIndicator(k) has run.
//  - Of "Start Monitor" and "Stop Monitor" at most one shows, decided in updateMonitorButtons() alone:
//    the enabled one, unless placement mode hides both.
//  - The window owns no service: the program hands it the configuration, the run state, the tray (to
//    know whether it may hide) and the message boxes, and wires the monitor cycle to its controls.
#include "mapview/mapwidgets.h"
#include "monitor/runstate.h"
#include "platform/messagebox.h"
#include "platform/tray.h"
#include "platform/twips.h"
#include "sitemenu/sortlist.h"
#include "store/graphfile.h"
#include "store/pleasewait.h"

#include <QList>
#include <QMainWindow>
#include <QTimer>
#include <memory>

class QAction;
class QMenu;
class QPushButton;

namespace qos {

class MapPlacementView;

inline constexpr char MapFileName[] = "map.gif";

class MapView : public QMainWindow {
    Q_OBJECT
public:
    // The named elements, as other windows and the monitor cycle address them.
    struct Controls {
        FitLabel *intervalCaption, *statusCaption, *statusLabel, *titleLabel, *timeoutCaption,
            *packetsCaption;
        FitLabel *legendWaiting, *legendDisabled, *legendOnline, *legendOnlinePartial, *legendOffline,
            *legendOfflinePartial, *legendUnreachable, *legendPartlyDown, *legendSlow; // legend captions
        FitLabel *intervalValue, *timeoutValue, *packetsValue;
        CircleShape *legendWaitingShape, *legendDisabledShape, *legendOnlineShape, *legendOnlinePartialShape,
            *legendOfflineShape, *legendOfflinePartialShape, *legendUnreachableShape, *legendPartlyDownShape,
            *legendSlowShape;                                // legend circles
        QPushButton *exitButton;                             // "EXIT"
        QPushButton *finishedButton;                         // "Finished"
        QPushButton *startMonitor;                           // "Start Monitor"
        QPushButton *stopMonitor;                            // "Stop Monitor"
        QMenu *siteMenu;                                     // "List View"
        SettingsMenu settings;                               // "Settings"
        QAction *addLocations;                               // "Add Location(s)"
        QAction *runInBackground;                            // "Run in Background"
    };

    // pleaseWait is shown while a location is appended to graph.txt; it may be null.
    MapView(QString programFolder, Configuration &cfg, RunState &run, Tray &tray, MessageBoxes &messages,
            PleaseWait *pleaseWait, QWidget *parent = nullptr);
    ~MapView() override;

    const Controls &controls() const { return m_c; }
    SortList &sortList() { return *m_sortList; }
    const QString &programFolder() const { return m_folder; }
    MapCanvas *canvas() const { return m_canvas; }
    const TwipsScale &scale() const { return m_scale; }

    // Marker site(k) and indicator center(k); null when there is none.
    MarkerLabel *marker(int k) const;
    CircleShape *indicator(int k) const;
    int highestMarkerIndex() const;

    // Creates every marker and indicator of the table, and the SELECT SITE menu when fillMenu is set.
    void addMarkers(bool fillMenu);
    // Creates site(k) and center(k) from record k of the table (start-up, and a location just added).
    void addMarker(int k);
    // Removes site(k) and center(k) (a location that could not be written).
    void removeMarker(int k);
    // Removes every marker and indicator and the SELECT SITE items (the table is about to be read
    // again).
    void removeMarkers();
    // Sets center(k) to the colour held in record k's `center` field; the indicators whose colour
    // changed are repainted together, once a frame (kIndicatorPaintMs) and kIndicatorsPerPaint at
    // most, in the order they changed: a cycle over thousands of locations repaints the map once a
    // frame, not once per location, and no repaint holds the window up for long.
    void refreshIndicator(int k);
    static constexpr int kIndicatorPaintMs = 16;
    static constexpr int kIndicatorsPerPaint = 64;
    // The lines from each child's marker to its parent's marker, as the PARENT= lines say now.
    void showParentLines();
    // The line that tells location k's state and since when: site(k)'s tooltip and accessible
    // description.
    void setMarkerDescription(int k, const QString &text);

    // Status line Label3.
    void setStatusText(const QString &text);
    QString statusText() const;
    // The probe settings shown at the bottom left, from the configuration.
    void showDisplaySettings();

    // The monitor's state: on shows "Stop Monitor", off "Start Monitor".
    void setMonitoring(bool on);
    bool monitoring() const { return m_monitoring; }
    // Shows the enabled one of "Start Monitor" and "Stop Monitor", or neither in placement mode.
    void updateMonitorButtons();

    // Glyphs in the indicators and the legend, and readable text colours, as SHAPES= asks; markers
    // added later follow it too.
    void showLook();
    bool shapesShown() const;

    // Title Label4 ("QOR ONLINE STATUS" in white, "Applying Locations" in red while placing).
    void setTitle(const QString &text, const QColor &colour);
    // Loads map.gif from the program folder as the background again; false when it cannot be read.
    bool reloadMap();

    // Adds the item for location k to the List View menu and re-sorts the menu.
    void addMenuItem(int k);
    // The location whose marker text equals the caption, both trimmed; the lowest such index, 0 = none.
    int FindLocationByCaption(const QString &caption) const;

    // Placement mode ("Add Location(s)", picks on the map, "Finished") and the add-location dialog.
    MapPlacementView &placement() { return *m_placement; }

    // Window commands.
    void RunInBackground();
    // Brings the window back from the background (or from minimised) to the front.
    void restore();
    void Exit();

Q_SIGNALS:
    void markerClicked(int k);                                     // a click on site(k)
    void locationChosen(int k);                                    // a SELECT SITE item naming location k
    void locationAdded(int k);                                     // placed on the map and written
    void backgroundPressed(Qt::MouseButton button, QPointF twips); // a press on the map background
    void exitRequested();                                          // "EXIT", after the window closed
    void closed();                                                 // the window has closed
    // The context-menu key: the commands of the tray icon's menu, at that point of the screen.
    void commandMenuRequested(QPoint at);

protected:
    void closeEvent(QCloseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void orderMarkersForKeyboard();
    void buildControls();
    void buildMenus();
    FitLabel *label(const char *name, const QString &text, const QRectF &twips);
    CircleShape *shape(const char *name, Indicator colour, const QRectF &twips);
    QPushButton *button(const char *name, const QString &text, const QRectF &twips);
    void paintIndicators();
    QRect indicatorBox(int k) const;

    QString m_folder;
    Configuration &m_cfg;
    RunState &m_run;
    Tray &m_tray;
    MessageBoxes &m_messages;
    TwipsScale m_scale;
    Controls m_c{};
    MapCanvas *m_canvas = nullptr;
    std::unique_ptr<SortList> m_sortList;
    bool m_monitoring = false;
    QList<MarkerLabel *> m_markers;    // [k] = site(k); [0] unused
    QList<CircleShape *> m_indicators; // [k] = center(k)
    QFont m_markerFont;
    bool m_toldNoTray = false;
    QTimer m_indicatorPaint; // repaints m_unpainted
    QList<int> m_unpainted;  // indicators whose colour changed since the last repaint
    QList<std::pair<CircleShape *, QRectF>> m_legendBoxes; // each legend circle and its place in twips
    QColor m_titleColour = Qt::white;                      // as asked, before any readable variant
    bool m_glyphsShown = false;                            // the look the markers and legend have now

    std::unique_ptr<MapPlacementView> m_placement; // first to go: it points into the window
};

} // namespace qos
