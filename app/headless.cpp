#include "app/headless.h"

#include <QRegularExpression>
#include <QTimer>

namespace qos {

QByteArray LogMessageBoxes::LogLine(const QString &text)
{
    static const QRegularExpression breaks(QStringLiteral("\\s*[\\r\\n]+\\s*"));
    return QString(text).replace(breaks, QStringLiteral(" ")).trimmed().toLocal8Bit() + '\n';
}

void LogMessageBoxes::write(const QString &text)
{
    QByteArray line = LogLine(text);
    if (line == m_last)
        return;
    std::fputs(line.constData(), m_out);
    std::fflush(m_out);
    m_last = std::move(line);
}

void LogMessageBoxes::show(const QString &text, Icon icon, std::function<void()> done)
{
    Q_UNUSED(icon);
    write(text);
    if (done)
        QTimer::singleShot(0, &m_context, std::move(done));
}

void LogMessageBoxes::ask(const QString &text, std::function<void(bool yes)> done)
{
    write(text + QStringLiteral(" (answered No)"));
    if (done)
        QTimer::singleShot(0, &m_context, [done = std::move(done)] { done(false); });
}

HeadlessProgram::HeadlessProgram(QString folder, const HeadlessServices &services, QObject *parent)
    : QObject(parent)
    , m_folder(std::move(folder))
    , m_services(services)
{
    m_metrics = std::make_unique<Metrics>(m_cfg, QStringLiteral(QOS_VERSION));
    m_history = std::make_unique<History>(m_folder, m_cfg);
    m_clocks = MonitorClocks::Create(&m_clockOwner);
    m_cycle = std::make_unique<MonitorCycle>(
        MonitorServices{m_cfg, m_run, services.prober, m_states, services.notice}, m_clocks);

    MonitorCycle *cycle = m_cycle.get();
    History *history = m_history.get();
    history->follow(*cycle);
    connect(&m_states, &LocationStates::addressProbed, history, &History::recordProbe);
    connect(&m_states, &LocationStates::changed, history,
            [history](const StateChange &change) { history->recordIndicator(change.location); });
    connect(&m_states, &LocationStates::addressProbed, m_metrics.get(), &Metrics::recordProbe);
    connect(&m_states, &LocationStates::changed, m_metrics.get(),
            [metrics = m_metrics.get()](const StateChange &change) { metrics->recordIndicator(change.location); });
    connect(history, &History::problem, this,
            [this](const QString &text) { m_services.messages.show(text); });
    connect(history, &History::changed, this, &HeadlessProgram::printChange);
    m_metrics->follow(*cycle, *history);
}

HeadlessProgram::~HeadlessProgram()
{
    m_endpoint.reset();
    m_cycle.reset();
    m_history->shutdown(); // its last lines, printed while we are whole
}

Status HeadlessProgram::startUp(const QString &metricsAddress)
{
    m_run.resetForStartup();
    const LoadResult loaded = LoadConfiguration(m_folder, m_cfg);
    if (!loaded.error.isEmpty())
        return Status::failure(QString::fromLocal8Bit(LogMessageBoxes::LogLine(loaded.error)).trimmed());
    logProblems(loaded);
    m_metrics->recordLoad(true);
    const QString address = metricsAddress.isEmpty() ? m_cfg.settings.METRICS : metricsAddress;
    if (!address.trimmed().isEmpty()) {
        QString error;
        const QString source =
            metricsAddress.isEmpty() ? QStringLiteral("graph.txt METRICS=") : QStringLiteral("--metrics ");
        m_endpoint = ServeMetrics(address, source, m_metrics->registry(), error);
        if (!m_endpoint)
            return Status::failure(error);
    }
    m_history->start();
    m_cycle->StartClocks();
    m_cycle->StartMonitor();
    return {};
}

void HeadlessProgram::reload()
{
    Configuration fresh;
    const LoadResult loaded = LoadConfiguration(m_folder, fresh);
    if (!loaded.error.isEmpty()) {
        m_metrics->recordLoad(false);
        m_services.messages.show(loaded.error +
                                 QStringLiteral(" Monitoring goes on with the locations loaded before."));
        return;
    }
    m_cycle->ResetForStartup();
    m_attention.ClearAttention();
    m_run.resetForStartup();
    m_cfg.settings = std::move(fresh.settings);
    m_cfg.table = std::move(fresh.table);
    ++m_cfg.generation;
    logProblems(loaded);
    m_history->retain();
    m_metrics->recordLoad(true);
    m_services.messages.show(
        QStringLiteral("graph.txt loaded again: %1 locations.").arg(m_cfg.table.LocationCount()));
    m_cycle->StartMonitor();
}

void HeadlessProgram::logProblems(const LoadResult &loaded)
{
    for (const QString &warning : loaded.warnings)
        m_services.messages.show(warning, MessageBoxes::Icon::Exclamation);
}

void HeadlessProgram::printChange(const ChangeRecord &change)
{
    QByteArray line = FormatChange(change);
    line.chop(2); // the file's CR LF
    line += '\n';
    std::fputs(line.constData(), m_services.events);
    std::fflush(m_services.events);
}

} // namespace qos
