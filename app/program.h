#pragma once
// The program: creates and owns the monitor core (configuration, run state, the monitor cycle with
// its two clocks, history, metrics), the alerts and the windows, and wires them together. The desktop
// services it runs on (tray, sound, message boxes, please-wait window, desktop notifications, the
// prober and its start-up notice) are handed in: the real ones by main(), recording ones by the tests.
//
// Invariants:
//  - The Map View lives as long as the program. At most one List View exists; it exists exactly
//    while a location is open, and MonitorPaused is 1 while it does or while the Add/Delete Address
//    dialog, which takes its place, is open.
//  - The windows own no service and never create one; what two windows need lives here or below.
//    The settings dialogs are single instances shared by both windows' Settings menus; a changed
//    probe setting is shown on both windows.
//  - The metrics endpoint serves only while graph.txt has a METRICS= line at start-up.
//  - The tray icon's menu goes the Map View's ways: "Map View" as a click on the icon, "Start Monitor"
//    and "Stop Monitor" as the window's buttons, "Exit" as its EXIT.
//  - Teardown order: metrics endpoint, settings dialogs, history windows, the Add/Delete Address
//    dialog, List View (its pings end), the desk, Map View, cycle (its probe ends), history (its last
//    lines are written), alerts.
#include "alerts/alerts.h"
#include "app/autostart.h"
#include "app/monitorcore.h"
#include "app/windowplaces.h"
#include "history/historywindow.h"
#include "listview/addressdialog.h"
#include "listview/listview.h"
#include "platform/messagebox.h"
#include "platform/notifier.h"
#include "platform/sound.h"
#include "platform/tray.h"
#include "probe/prober.h"
#include "probe/startupnotice.h"
#include "settings/settingsdialogs.h"
#include "store/graphfile.h"
#include "store/locationeditor.h"
#include "store/model.h"
#include "store/pleasewait.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

namespace qos {

class Desk;
class ListView;
class MapView;
struct SettingsMenu;

struct DesktopServices {
    Tray &tray;
    Sound &sound;
    MessageBoxes &messages;
    PleaseWait *pleaseWait; // may be null
    Prober &prober;
    StartupNotice &notice;                // the one sockets start-up failure box, shared by every prober user
    Notifier *notifier = nullptr;         // desktop notifications; null for none
    const Autostart *autostart = nullptr; // the session autostart entry; null hides its menu entry
};

class Program : public QObject {
    Q_OBJECT
public:
    Program(QString programFolder, const DesktopServices &services, QObject *parent = nullptr);
    ~Program() override;

    void setLoader(ConfigurationLoader load) { m_core.setLoader(std::move(load)); }

    // The start-up sequence: run-time state reset, map and icon, graph.txt with its markers and menu,
    // the window, the tray icon, the clocks; then the start-up problems, one box at a time.
    // In the background the window stays hidden (as after "Run in Background") and monitoring starts.
    enum class Start { Window, Background };
    void startUp(Start start = Start::Window);

    // Opens location k in the List View: monitoring pauses, the Map View hides.
    void OpenLocation(int k);
    // Marker clicks (ignored while placing) and SELECT SITE items of the Map View.
    void OpenLocationFromMarker(int k);
    void OpenLocationFromMenu(int k);
    // The tray icon's click (and a click on a desktop notification): closes the List View and the
    // add-location dialog, shows the Map View.
    void RestoreFromTray();
    // The Add/Delete Address dialog for location k, in the List View's place.
    void OpenAddressDialog(int k);
    // The history window of location k (one per location; shown again when it is open).
    void OpenHistory(int k);

    const QString &programFolder() const { return m_folder; }
    RunState &run() { return m_run; }
    Configuration &config() { return m_cfg; }
    Alerts &alerts() { return *m_alerts; }
    LocationStates &states() { return m_core.states(); }
    MonitorCycle &monitor() { return m_core.monitor(); }
    const MonitorClocks &clocks() const { return m_core.clocks(); }
    MapView &mapView() { return *m_mapView; }
    ListView *listView() const { return m_listView.data(); }
    AddressDialog *addressDialog() const { return m_addressDialog.data(); }
    LocationEditor &editor() { return *m_editor; }
    SettingsDialogs &settingsDialogs() { return *m_settings; }
    History &history() { return m_core.history(); }
    Metrics &metrics() { return m_core.metrics(); }
    // The metrics endpoint's port; 0 while graph.txt names none (or it could not listen).
    int metricsPort() const { return m_core.metricsPort(); }
    HistoryWindow *historyWindow(const QString &site) const { return m_historyWindows.value(site).data(); }

Q_SIGNALS:
    // "EXIT": the program should end now.
    void quitRequested();

private:
    void wireMonitor();
    void wireSettingsMenu(const SettingsMenu &c, QObject *window);
    void showDisplaySettings();
    void showLook();
    void setStartWithSession(bool on);
    void showStartWithSession();
    void setWindowIcons(const QIcon &icon);
    void trayCommand(TrayCommand command);
    void listViewClosing(bool towardsMap);
    void showLocations(const LoadResult &loaded);
    void locationRemoved(const QString &site);
    void addressesSubmitted(int k, const QString &text);
    void showStartupProblems(const LoadResult &load, QStringList unreadable,
                             const QString &metricsProblem = {});
    // Serves the metrics when graph.txt has a METRICS= line; the problem text when it cannot.
    QString startMetrics();
    void showMessages(QStringList texts, QList<MessageBoxes::Icon> icons);

    QString m_folder;
    DesktopServices m_services;
    Alerts *m_alerts = nullptr; // the core's alert sink; set while the core is made
    MonitorCore m_core;
    RunState &m_run;
    Configuration &m_cfg;
    std::unique_ptr<LocationEditor> m_editor;
    std::unique_ptr<MapView> m_mapView;
    WindowPlaces m_places;        // before the windows it follows
    std::unique_ptr<Desk> m_desk; // the tray's menu and tooltip lines, the markers' and status texts
    QPointer<ListView> m_listView;
    QPointer<ListView> m_closedListView; // closed, its deletion still on its way
    QPointer<AddressDialog> m_addressDialog;
    std::unique_ptr<SettingsDialogs> m_settings;
    QHash<QString, QPointer<HistoryWindow>> m_historyWindows; // by location name
};

} // namespace qos
