#include "app/headless.h"

#include "monitor/statusline.h"

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
    , m_services(services)
    , m_core(std::move(folder), CoreServices{services.prober, services.notice},
             [](RunState &run, Configuration &) { return std::make_unique<Attention>(run); })
{
    History *history = &m_core.history();
    connect(history, &History::problem, this,
            [this](const QString &text) { m_services.messages.show(text); });
    connect(history, &History::changed, this, &HeadlessProgram::printChange);
    // Told when a cycle first finds nothing to probe; the text stays until a cycle finds something.
    connect(&m_core.monitor(), &MonitorCycle::statusTextChanged, this, [this](const QString &text) {
        if (text == QLatin1String(kNothingToMonitor))
            m_services.messages.show(text);
    });
}

HeadlessProgram::~HeadlessProgram()
{
    m_core.shutDown(); // the history's last lines, printed while we are whole
}

Status HeadlessProgram::startUp(const QString &metricsAddress)
{
    m_core.run().resetForStartup();
    const LoadResult loaded = m_core.loadTable();
    if (!loaded.error.isEmpty())
        return Status::failure(QString::fromLocal8Bit(LogMessageBoxes::LogLine(loaded.error)).trimmed());
    logProblems(loaded);
    const QString address = metricsAddress.isEmpty() ? config().settings.METRICS : metricsAddress;
    if (!address.trimmed().isEmpty()) {
        const QString source =
            metricsAddress.isEmpty() ? QStringLiteral("graph.txt METRICS=") : QStringLiteral("--metrics ");
        if (const QString error = m_core.serveMetrics(address, source); !error.isEmpty())
            return Status::failure(error);
    }
    m_core.history().start();
    monitor().StartClocks();
    monitor().StartMonitor();
    return {};
}

void HeadlessProgram::reload()
{
    const LoadResult loaded = m_core.reloadTable(MonitorCore::Unreadable::Keeps);
    if (!loaded.error.isEmpty()) {
        m_services.messages.show(loaded.error +
                                 QStringLiteral(" Monitoring goes on with the locations loaded before."));
        return;
    }
    logProblems(loaded);
    m_services.messages.show(
        QStringLiteral("graph.txt loaded again: %1 locations.").arg(config().table.LocationCount()));
    monitor().StartMonitor();
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
