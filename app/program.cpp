#include "app/program.h"

#include "app/desk.h"

#include "listview/listhistory.h"
#include "listview/listparent.h"
#include "listview/listpings.h"
#include "listview/listview.h"
#include "mapview/mapplacementview.h"
#include "mapview/mapview.h"

#include <QAction>
#include <QDir>
#include <QPushButton>

namespace qos {
Program::Program(QString programFolder, const DesktopServices &services, QObject *parent)
    : QObject(parent)
    , m_folder(std::move(programFolder))
    , m_services(services)
    , m_core(m_folder, CoreServices{services.prober, services.notice},
             [this, &services](RunState &run, Configuration &cfg) {
                 auto alerts = std::make_unique<Alerts>(
                     run, cfg.settings, services.tray, services.sound, m_folder,
                     [this](const QIcon &icon) { setWindowIcons(icon); }, services.notifier);
                 m_alerts = alerts.get();
                 return alerts;
             })
    , m_run(m_core.run())
    , m_cfg(m_core.config())
{
    m_editor = std::make_unique<LocationEditor>(m_cfg, m_folder, services.pleaseWait, services.messages);
    m_mapView = std::make_unique<MapView>(m_folder, m_cfg, m_run, services.tray, services.messages,
                                          services.pleaseWait);
    m_settings = std::make_unique<SettingsDialogs>(
        SettingsServices{m_cfg.settings, m_folder, services.messages, services.pleaseWait, services.sound});
    connect(m_settings.get(), &SettingsDialogs::probeSettingChanged, this, &Program::showDisplaySettings);
    connect(m_settings.get(), &SettingsDialogs::lookChanged, this, &Program::showLook);
    m_desk =
        std::make_unique<Desk>(Desk::Parts{m_cfg, m_run, m_core.states(), m_core.history(), m_core.monitor(),
                                           m_core.clocks(), *m_alerts, services.tray, *m_mapView});
    wireMonitor();
    wireSettingsMenu(m_mapView->controls().settings, m_mapView.get());
    m_places.keep(m_mapView.get());

    MapView *map = m_mapView.get();
    connect(map, &MapView::markerClicked, this, &Program::OpenLocationFromMarker);
    connect(map, &MapView::locationChosen, this, &Program::OpenLocationFromMenu);
    connect(map, &MapView::closed, this, [this] { m_alerts->RemoveTrayIcon(); });
    connect(map, &MapView::exitRequested, this, &Program::quitRequested);
    connect(&services.tray, &Tray::activated, this, &Program::RestoreFromTray);
    connect(&services.tray, &Tray::commandChosen, this, &Program::trayCommand);
    if (services.notifier) {
        connect(services.notifier, &Notifier::clicked, this, &Program::RestoreFromTray);
        connect(services.notifier, &Notifier::acknowledged, &m_core.states(), &LocationStates::acknowledge);
    }
}

Program::~Program()
{
    m_core.stopMetrics();
    m_settings.reset();
    for (const QPointer<HistoryWindow> &window : std::as_const(m_historyWindows))
        delete window.data();
    delete m_addressDialog.data();
    delete m_listView.data(); // its pings end before the services they use
    delete m_closedListView.data();
    m_desk.reset();
    m_mapView.reset();
    m_core.shutDown(); // the cycle, then the history's last lines
    m_alerts->RemoveTrayIcon();
}

void Program::wireMonitor()
{
    MonitorCycle *cycle = &m_core.monitor();
    MapView *map = m_mapView.get();
    const MapView::Controls &c = map->controls();
    connect(c.startMonitor, &QPushButton::clicked, cycle, &MonitorCycle::StartMonitor);
    connect(c.stopMonitor, &QPushButton::clicked, cycle, &MonitorCycle::StopMonitor);
    connect(cycle, &MonitorCycle::monitoringChanged, map, &MapView::setMonitoring);
    // Every painter follows the one state owner, whoever decided the change.
    LocationStates *states = &m_core.states();
    connect(states, &LocationStates::changed, map,
            [map](const StateChange &change) { map->refreshIndicator(change.location); });
    // One desktop notification per run for the locations it turned.
    connect(cycle, &MonitorCycle::runEnded, this,
            [this, states] { m_alerts->SendNotices(states->shownOffline()); });
    // A location added, enabled or given other addresses is probed at once.
    connect(map, &MapView::locationAdded, cycle, &MonitorCycle::ProbeSoon);
    connect(map, &MapView::locationAdded, m_desk.get(), &Desk::refresh);
    connect(map, &MapView::locationAdded, map, &MapView::showParentLines); // a name a PARENT= waited for
    connect(states, &LocationStates::locationEnabled, cycle, &MonitorCycle::ProbeSoon);
    connect(cycle, &MonitorCycle::spotChecked, this,
            [this, states] { m_alerts->SendNotices(states->shownOffline()); });
    // Outside a run (List View pings, Stop, a table read anew) the notices follow at once.
    connect(states, &LocationStates::changed, this, [this, cycle, states] {
        if (!cycle->running())
            m_alerts->FollowState(states->shownOffline());
    });
    map->setMonitoring(cycle->monitoring());
    connect(&m_core.history(), &History::problem, this,
            [this](const QString &text) { m_services.messages.show(text, MessageBoxes::Icon::Exclamation); });
}

// The Settings menu of a window: both windows open the same dialogs.
void Program::wireSettingsMenu(const SettingsMenu &c, QObject *window)
{
    SettingsDialogs *d = m_settings.get();
    const auto opens = [&](QAction *item, auto which) {
        connect(item, &QAction::triggered, window, [d, which] { d->open(which); });
    };
    opens(c.alertSound, SoundSetting::Alert);
    opens(c.onlineSound, SoundSetting::Online);
    opens(c.timeout, ProbeSetting::Timeout);
    opens(c.interval, ProbeSetting::Interval);
    opens(c.packets, ProbeSetting::Packets);
    opens(c.offlineCycles, ProbeSetting::OfflineCycles);
    opens(c.slowRoundTrip, ProbeSetting::SlowRoundTrip);
    opens(c.slowLoss, ProbeSetting::SlowLoss);
    connect(c.notifications, &QAction::triggered, window, [d] { d->openNotifications(); });
    c.markerShapes->setChecked(m_cfg.settings.SHAPES != 0);
    connect(c.markerShapes, &QAction::triggered, d, &SettingsDialogs::setMarkerShapes);
    c.startWithSession->setVisible(m_services.autostart != nullptr);
    c.startWithSession->setChecked(m_services.autostart && m_services.autostart->isOn());
    connect(c.startWithSession, &QAction::triggered, this, &Program::setStartWithSession);
}

void Program::setStartWithSession(bool on)
{
    const Status written = on ? m_services.autostart->turnOn() : m_services.autostart->turnOff();
    showStartWithSession();
    if (!written)
        m_services.messages.show(written.error, MessageBoxes::Icon::Critical);
}

// Both windows' entries show whether the entry is there, whichever window changed it.
void Program::showStartWithSession()
{
    const bool on = m_services.autostart->isOn();
    m_mapView->controls().settings.startWithSession->setChecked(on);
    if (m_listView)
        m_listView->controls().settings.startWithSession->setChecked(on);
}

// Both windows and their entries follow SHAPES=, whichever window changed it.
void Program::showLook()
{
    const bool on = m_cfg.settings.SHAPES != 0;
    m_mapView->controls().settings.markerShapes->setChecked(on);
    m_mapView->showLook();
    if (m_listView) {
        m_listView->controls().settings.markerShapes->setChecked(on);
        m_listView->showLook();
    }
}

void Program::showDisplaySettings()
{
    m_mapView->showDisplaySettings();
    if (m_listView)
        m_listView->showDisplaySettings();
}

void Program::setWindowIcons(const QIcon &icon)
{
    if (m_mapView)
        m_mapView->setWindowIcon(icon);
    if (m_listView)
        m_listView->setWindowIcon(icon);
    for (const QPointer<HistoryWindow> &window : std::as_const(m_historyWindows))
        if (window)
            window->setWindowIcon(icon);
}

void Program::startUp(Start start)
{
    MapView &map = *m_mapView;
    m_run.resetForStartup();
    m_cfg.settings.ICONTEXT = QStringLiteral("QOR Online Status");
    const bool mapRead = map.reloadMap();
    map.setTitle(QStringLiteral("QOR ONLINE STATUS"), Qt::white);
    m_alerts->LoadNormalIcon();
    m_run.PlacementMode = 0;

    const LoadResult loaded = m_core.loadTable();
    showLocations(loaded);
    const QString metricsProblem = startMetrics();

    if (start == Start::Window)
        map.show();
    m_alerts->AddTrayIcon();
    m_core.monitor().StartClocks();
    if (start == Start::Background) {
        map.RunInBackground();
        m_core.monitor().StartMonitor();
    }
    m_core.history().start(); // reads the earlier history in the background

    QStringList unreadable = m_alerts->unreadableIconFiles();
    if (!mapRead)
        unreadable.prepend(QLatin1String(MapFileName));
    showStartupProblems(loaded, unreadable, metricsProblem);
}

QString Program::startMetrics()
{
    if (m_cfg.settings.METRICS.trimmed().isEmpty())
        return {};
    const QString error = m_core.serveMetrics(m_cfg.settings.METRICS, QStringLiteral("METRICS="));
    return error.isEmpty() ? QString() : error + QStringLiteral("\nMonitoring goes on without it.");
}

void Program::showLocations(const LoadResult &loaded)
{
    m_mapView->showDisplaySettings();
    m_mapView->addMarkers(loaded.fileExisted);
    showLook();
    m_desk->refresh();
}

// The tray icon's menu: the same paths as the Map View's own controls.
void Program::trayCommand(TrayCommand command)
{
    const MapView::Controls &c = m_mapView->controls();
    switch (command) {
    case TrayCommand::MapView:
        RestoreFromTray();
        return;
    case TrayCommand::StartMonitor:
        if (m_run.PlacementMode == 0)
            c.startMonitor->click(); // does nothing while it is disabled
        return;
    case TrayCommand::StopMonitor:
        if (m_run.PlacementMode == 0)
            c.stopMonitor->click();
        return;
    case TrayCommand::Acknowledge:
        m_core.states().acknowledge();
        return;
    case TrayCommand::Exit:
        m_mapView->Exit();
        return;
    }
}

void Program::showStartupProblems(const LoadResult &load, QStringList unreadable,
                                  const QString &metricsProblem)
{
    QStringList texts;
    QList<MessageBoxes::Icon> icons;
    if (!load.error.isEmpty()) {
        texts << load.error;
        icons << MessageBoxes::Icon::Critical;
    }
    if (!load.warnings.isEmpty()) {
        texts << StartupWarningsText(load.warnings);
        icons << MessageBoxes::Icon::Exclamation;
    }
    if (!unreadable.isEmpty()) {
        texts << QStringLiteral("These files in the data folder \"%1\" are missing or cannot be read: %2.\n"
                                "QOR Online Status uses a plain background and its built-in icons instead.")
                     .arg(QDir::toNativeSeparators(m_folder), unreadable.join(QStringLiteral(", ")));
        icons << MessageBoxes::Icon::Exclamation;
    }
    if (!metricsProblem.isEmpty()) {
        texts << metricsProblem;
        icons << MessageBoxes::Icon::Exclamation;
    }
    showMessages(texts, icons);
}

void Program::showMessages(QStringList texts, QList<MessageBoxes::Icon> icons)
{
    // One box at a time: the next opens when the operator has confirmed the previous one.
    if (texts.isEmpty())
        return;
    const QString text = texts.takeFirst();
    const MessageBoxes::Icon icon = icons.takeFirst();
    m_services.messages.show(text, icon, [this, texts, icons] { showMessages(texts, icons); });
}

void Program::OpenLocationFromMarker(int k)
{
    if (m_run.PlacementMode == 1)
        return;
    OpenLocation(k);
}

void Program::OpenLocationFromMenu(int k)
{
    // The menu is disabled while placing; a caption that names no location never gets here.
    OpenLocation(k);
}

void Program::OpenLocation(int k)
{
    if (k < 1 || k > m_cfg.table.LocationCount())
        return;
    m_run.MonitorPaused = 1;
    m_run.SelectedLocation = k;
    m_run.SelectedIgnoreList = SplitAddressList(m_cfg.table[k].ignore);
    m_mapView->hide();
    if (!m_listView) {
        m_listView =
            new ListView(ListView::Services{m_cfg, m_run, m_services.messages, m_services.prober,
                                            m_services.notice, m_core.states(), m_core.monitor(), *m_editor});
        m_listView->setWindowIcon(m_alerts->currentIcon());
        m_places.keep(m_listView.data());
        connect(m_listView.data(), &ListView::closing, this, &Program::listViewClosing);
        connect(m_listView.data(), &ListView::addressDialogRequested, this, &Program::OpenAddressDialog);
        connect(m_listView.data(), &ListView::locationRemoved, this, &Program::locationRemoved);
        wireSettingsMenu(m_listView->controls().settings, m_listView.data());
        auto *shown = new ListHistory(*m_listView, m_core.history(), m_core.states(), m_cfg);
        connect(shown, &ListHistory::historyRequested, this, &Program::OpenHistory);
        auto *parents = new ListParent(*m_listView, m_cfg, *m_editor, m_core.states());
        connect(parents, &ListParent::parentChanged, m_mapView.get(), &MapView::showParentLines);
    }
    m_listView->LoadListView();
    m_listView->show();
    m_listView->raise();
    m_listView->activateWindow();
}

void Program::listViewClosing(bool towardsMap)
{
    // A location opened before the deletion has run gets a window of its own.
    delete m_closedListView.data();
    m_closedListView = m_listView;
    m_listView.clear();
    if (!towardsMap)
        return;
    m_run.MonitorPaused = 0;
    m_mapView->show();
    m_mapView->raise();
    m_mapView->activateWindow();
}

void Program::RestoreFromTray()
{
    m_mapView->setWindowState(m_mapView->windowState() & ~Qt::WindowMinimized);
    m_run.MonitorPaused = 0;
    if (m_listView)
        m_listView->close();
    if (m_addressDialog)
        m_addressDialog->dismiss();
    m_mapView->restore();
    m_mapView->placement().closeDialog();
}

} // namespace qos

namespace qos {

void Program::OpenAddressDialog(int k)
{
    if (k < 1 || k > m_cfg.table.LocationCount() || (m_addressDialog && m_addressDialog->isVisible()))
        return;
    delete m_addressDialog.data(); // one that has ended, its deletion still on its way
    const LocationRecord &rec = m_cfg.table[k];
    m_addressDialog = new AddressDialog(k, rec.site, rec.siteip);
    m_addressDialog->setWindowIcon(m_alerts->currentIcon());
    m_places.keep(m_addressDialog.data());
    connect(m_addressDialog.data(), &AddressDialog::submitted, this, &Program::addressesSubmitted);
    connect(m_addressDialog.data(), &AddressDialog::cancelled, this, &Program::OpenLocation);
    m_addressDialog->show();
    m_addressDialog->raise();
    m_addressDialog->activateWindow();
}

void Program::OpenHistory(int k)
{
    if (k < 1 || k > m_cfg.table.LocationCount())
        return;
    const QString &site = m_cfg.table[k].site;
    QPointer<HistoryWindow> &window = m_historyWindows[site];
    if (!window) {
        window = new HistoryWindow(m_core.history(), m_cfg, site);
        window->setWindowIcon(m_alerts->currentIcon());
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void Program::addressesSubmitted(int k, const QString &text)
{
    // A failure has been told and left the list as it was.
    const bool written = m_editor->setAddressesFromDialog(k, text);
    OpenLocation(k);
    if (written)
        m_core.monitor().ProbeSoon(k);
}

void Program::locationRemoved(const QString &site)
{
    // The table is read again at once, so memory never holds a location the file has lost; the List
    // View, still showing it, closes once the operator has read the message.
    m_mapView->removeMarkers();
    const LoadResult loaded = m_core.reloadTable(MonitorCore::Unreadable::Replaces);
    m_run.MonitorPaused = 1;
    showLocations(loaded);
    m_alerts->FollowState(m_core.states().shownOffline()); // nothing tells offline for a deleted one
    const QString text = QStringLiteral("Location: ") + site +
                         QStringLiteral(" has been deleted\r\n\r\nLocations will not be monitored until "
                                        "'Start Monitor' is activated");
    m_services.messages.show(text, MessageBoxes::Icon::None, [this, loaded] {
        if (m_listView)
            m_listView->close();
        showStartupProblems(loaded, {});
    });
}

} // namespace qos
