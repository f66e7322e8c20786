#include "app/monitorcore.h"

namespace qos {

MonitorCore::MonitorCore(QString folder, const CoreServices &services, const AlertSinkMaker &makeAlerts)
    : m_folder(std::move(folder))
{
    m_alerts = makeAlerts(m_run, m_cfg);
    m_states = std::make_unique<LocationStates>(m_cfg, m_run, *m_alerts);
    m_metrics = std::make_unique<Metrics>(m_cfg, QStringLiteral(QOS_VERSION));
    m_history = std::make_unique<History>(m_folder, m_cfg);
    m_clocks = MonitorClocks::Create(&m_clockOwner);
    m_cycle = std::make_unique<MonitorCycle>(
        MonitorServices{m_cfg, m_run, services.prober, *m_states, services.notice}, m_clocks);
    wire();
}

MonitorCore::~MonitorCore()
{
    shutDown();
}

void MonitorCore::wire()
{
    LocationStates *states = m_states.get();
    History *history = m_history.get();
    Metrics *metrics = m_metrics.get();
    // The metrics hear an outcome before the history does, so that the address's series exists when
    // the history's change for it arrives.
    QObject::connect(states, &LocationStates::addressProbed, metrics, &Metrics::recordProbe);
    QObject::connect(states, &LocationStates::changed, metrics,
                     [metrics](const StateChange &change) { metrics->recordIndicator(change.location); });
    QObject::connect(states, &LocationStates::addressProbed, history, &History::recordProbe);
    QObject::connect(states, &LocationStates::changed, history,
                     [history](const StateChange &change) { history->recordIndicator(change.location); });
    QObject::connect(m_cycle.get(), &MonitorCycle::cycleFinished, history, &History::retain);
    QObject::connect(history, &History::changed, metrics, &Metrics::recordChange);
}

void MonitorCore::shutDown()
{
    m_endpoint.reset();
    m_cycle.reset();
    m_history->shutdown();
}

LoadResult MonitorCore::read(Configuration &cfg) const
{
    return m_load ? m_load(m_folder, cfg) : LoadConfiguration(m_folder, cfg);
}

LoadResult MonitorCore::loadTable()
{
    const LoadResult loaded = read(m_cfg);
    m_metrics->recordLoad(loaded.error.isEmpty());
    return loaded;
}

LoadResult MonitorCore::reloadTable(Unreadable unreadable)
{
    Configuration fresh;
    LoadResult loaded;
    if (unreadable == Unreadable::Keeps) {
        loaded = read(fresh);
        if (!loaded.error.isEmpty()) {
            m_metrics->recordLoad(false);
            return loaded;
        }
    }
    m_cycle->ResetForStartup();
    m_alerts->ClearAttention();
    m_run.resetForStartup();
    if (unreadable == Unreadable::Keeps) {
        m_cfg.settings = std::move(fresh.settings);
        m_cfg.table = std::move(fresh.table);
        ++m_cfg.generation;
    } else {
        loaded = read(m_cfg);
    }
    m_history->retain();
    m_metrics->recordLoad(loaded.error.isEmpty());
    return loaded;
}

QString MonitorCore::serveMetrics(const QString &address, const QString &source)
{
    QString error;
    m_endpoint = ServeMetrics(address, source, m_metrics->textSource(), error);
    return m_endpoint ? QString() : error;
}

} // namespace qos
