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
//  - The tray icon exists from the end of startUp() until the window is closed.
#include "mapview/mapwidgets.h"
#include "mapview/sortlist.h"
#include "monitor/alerts.h"
#include "monitor/runstate.h"
#include "platform/messagebox.h"
#include "platform/twips.h"
#include "store/graphfile.h"

#include <QList>
#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QPushButton;
class QTimer;

namespace qos {

class MapPlacementView;
class MonitorCycle;
class Prober;
class StartupNotice;

// Reads graph.txt of a folder into the configuration (LoadConfiguration in the program).
using ConfigurationLoader = std::function<LoadResult(const QString &folder, Configuration &cfg)>;

struct MapViewEnvironment {
    QString programFolder;
    RunState *run = nullptr;
    Configuration *config = nullptr;
    Tray *tray = nullptr;
    Sound *sound = nullptr;
    MessageBoxes *messages = nullptr;
    PleaseWait *pleaseWait = nullptr; // shown while a location is appended to graph.txt
    ConfigurationLoader load;         // empty: LoadConfiguration
    std::function<void()> quit;       // ends the program at once (EXIT)
    // The monitor cycle probes through these; without them the window monitors nothing.
    Prober *prober = nullptr;
    StartupNotice *notice = nullptr;
};

inline constexpr char MapFileName[] = "map.gif";

class MapView : public QMainWindow {
    Q_OBJECT
public:
    // The named elements, as other windows and the monitor cycle address them.
    struct Controls {
        FitLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label12;
        FitLabel *Label6, *Label7, *Label8, *Label9, *Label10, *Label11; // legend captions
        FitLabel *displayinterval, *displaytimeout, *packetlabel;
        CircleShape *Shape1, *Shape2, *Shape3, *Shape4, *Shape5, *Shape6; // legend circles
        QPushButton *Command1;                                            // "EXIT"
        QPushButton *Command2;                                            // "Finished"
        QPushButton *Command3;                                            // "Start Monitor"
        QPushButton *Command4;                                            // "Stop Monitor"
        QTimer *Timer1;                                                   // interval clock, 1000 ms
        QTimer *Timer2;                                                   // resume clock, 500 ms
        QMenu *listview;                                                  // "List View"
        QMenu *Default;                                                   // "Settings"
        QAction *AlertWav, *onlinewav, *ChangeTimeout, *ChangePing, *PingPackets;
        QAction *AddLocations; // "Add Location(s)"
        QAction *bground;      // "Run in Background"
    };

    explicit MapView(MapViewEnvironment env, QWidget *parent = nullptr);
    ~MapView() override;

    // The start-up sequence: reset of the run-time state, map, title, icon, configuration with its
    // markers and menu, show, tray icon, timers. Start-up problems are then shown once.
    void startUp();

    const Controls &controls() const { return m_c; }
    Alerts &alerts() { return *m_alerts; }
    // The monitor cycle, created by startUp(); null before it and when the environment has no prober.
    MonitorCycle *monitor() const { return m_monitor.get(); }
    SortList &sortList() { return *m_sortList; }
    MapCanvas *canvas() const { return m_canvas; }
    const TwipsScale &scale() const { return m_scale; }

    // Marker site(k) and indicator center(k); null when there is none.
    MarkerLabel *marker(int k) const;
    CircleShape *indicator(int k) const;
    int highestMarkerIndex() const;

    // Creates site(k) and center(k) from record k of the table (start-up, and a location just added).
    void addMarker(int k);
    // Removes site(k) and center(k) (a location that could not be written).
    void removeMarker(int k);
    // Sets center(k) to the colour held in record k's `center` field.
    void refreshIndicator(int k);
    void refreshIndicators();

    // Status line Label3.
    void setStatusText(const QString &text);
    QString statusText() const;

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
    void RestoreFromTray();
    void Exit();

Q_SIGNALS:
    void markerClicked(int k);                                     // a click on site(k)
    void locationChosen(int k);                                    // a SELECT SITE item naming location k
    void backgroundPressed(Qt::MouseButton button, QPointF twips); // a press on the map background
    // Tray restore, in this order around showing the window.
    void closeListViewRequested();
    void closeAddLocationDialogRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    FitLabel *label(const char *name, const QString &text, const QRectF &twips);
    CircleShape *shape(const char *name, Indicator colour, const QRectF &twips);
    QPushButton *button(const char *name, const QString &text, const QRectF &twips);
    void showDisplaySettings();
    void showStartupProblems(const LoadResult &load, const QStringList &unreadable);
    void showMessages(QStringList texts, QList<MessageBoxes::Icon> icons);

    MapViewEnvironment m_env;
    RunState &m_run;
    Configuration &m_cfg;
    TwipsScale m_scale;
    Controls m_c{};
    MapCanvas *m_canvas = nullptr;
    std::unique_ptr<Alerts> m_alerts;
    std::unique_ptr<MonitorCycle> m_monitor; // ends before the alerts it calls
    std::unique_ptr<SortList> m_sortList;
    QList<MarkerLabel *> m_markers;    // [k] = site(k); [0] unused
    QList<CircleShape *> m_indicators; // [k] = center(k)
    QFont m_markerFont;
    bool m_toldNoTray = false;

    std::unique_ptr<MapPlacementView> m_placement; // first to go: it points into the window
};

} // namespace qos
