#pragma once
// The monitor without its windows, shared by the desktop program and the headless one: the
// configuration, the run state, the owner of the locations' states, the monitor cycle with its two
// clocks, the history, the metrics and their endpoint, wired together. The prober, its start-up notice and the alert sink are handed in.
//
// Invariants:
//  - History and metrics take every probe outcome and every state change the state owner tells,
//    whoever probed (the cycle or the List View), and the metrics every change the history records,
//    from construction on; the history retains at the end of each cycle.
//  - reloadTable() is the one way the table monitored is replaced while the program runs: the
//    cycle's run ends, attention is cleared, the run state starts over, and history and metrics drop
//    what the table lost. Each read of graph.txt is recorded in the metrics.
//  - The endpoint serves only between serveMetrics() and stopMetrics() (or the teardown).
//  - Teardown order: endpoint (no scrape runs after it), cycle (its probe ends, the sockets close),
//    history (its last lines are written), metrics, alert sink.
#include "history/history.h"
#include "metrics/endpoint.h"
#include "metrics/metrics.h"
#include "monitor/alertsink.h"
#include "monitor/locationstates.h"
#include "monitor/monitorcycle.h"
#include "monitor/runstate.h"
#include "probe/prober.h"
#include "probe/startupnotice.h"
#include "store/graphfile.h"
#include "store/model.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace qos {

// Reads graph.txt of a folder into the configuration (LoadConfiguration unless a test says otherwise).
using ConfigurationLoader = std::function<LoadResult(const QString &folder, Configuration &cfg)>;

// Makes the cycle's alert sink over the core's run state and configuration; the core owns it.
using AlertSinkMaker = std::function<std::unique_ptr<AlertSink>(RunState &run, Configuration &cfg)>;

struct CoreServices {
    Prober &prober;
    StartupNotice &notice; // the one sockets start-up failure box, shared by every prober user
};

class MonitorCore {
public:
    MonitorCore(QString folder, const CoreServices &services, const AlertSinkMaker &makeAlerts);
    ~MonitorCore();
    MonitorCore(const MonitorCore &) = delete;
    MonitorCore &operator=(const MonitorCore &) = delete;

    void setLoader(ConfigurationLoader load) { m_load = std::move(load); }

    // Start-up: graph.txt read into the table, its outcome recorded.
    LoadResult loadTable();
    // What reloadTable does with a graph.txt that cannot be read.
    enum class Unreadable { Replaces, Keeps };
    // graph.txt read anew into the table monitored (see the invariants). With Keeps, a graph.txt that
    // cannot be read leaves the table, the cycle and the run state as they were.
    LoadResult reloadTable(Unreadable unreadable);

    // Serves the metrics on address (source names where it came from in an error); the error text
    // when it cannot listen.
    QString serveMetrics(const QString &address, const QString &source);
    void stopMetrics() { m_endpoint.reset(); }
    // The first steps of the teardown, for owners that have more to do after them: the endpoint
    // and the cycle go, the history writes its last lines.
    void shutDown();

    const QString &folder() const { return m_folder; }
    Configuration &config() { return m_cfg; }
    RunState &run() { return m_run; }
    AlertSink &alerts() { return *m_alerts; }
    LocationStates &states() { return *m_states; }
    MonitorCycle &monitor() { return *m_cycle; }
    const MonitorClocks &clocks() const { return m_clocks; }
    History &history() { return *m_history; }
    Metrics &metrics() { return *m_metrics; }
    // The endpoint's port; 0 without one.
    int metricsPort() const { return m_endpoint ? m_endpoint->port() : 0; }

private:
    void wire();
    LoadResult read(Configuration &cfg) const;

    QString m_folder;
    ConfigurationLoader m_load;
    RunState m_run;
    Configuration m_cfg;
    std::unique_ptr<AlertSink> m_alerts;
    std::unique_ptr<LocationStates> m_states;
    std::unique_ptr<Metrics> m_metrics;
    std::unique_ptr<History> m_history;
    QObject m_clockOwner;
    MonitorClocks m_clocks;
    std::unique_ptr<MonitorCycle> m_cycle;
    std::unique_ptr<MetricsEndpoint> m_endpoint;
};

} // namespace qos
