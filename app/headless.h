#pragma once
// The headless monitor: graph.txt monitored with no window and no display. Owns the monitor core
// (configuration, run state, cycle, history, metrics and their endpoint) and adds the log lines;
// the prober, its start-up notice and the message boxes are handed in.
//
// Invariants:
//  - Monitoring starts at start-up and is on for as long as the program runs; sounds and the tray
//    do not exist, the attention flag is kept as the cycle expects.
//  - Every state change the history records is one line on the events stream (the history file's
//    line, ending in LF), written as it happens, also the "program ended" lines at the end.
//  - reload() reads graph.txt into a scratch configuration first: a file that cannot be read keeps
//    the table being monitored, and says so. A read that succeeds replaces the table as deleting a
//    location does on the desktop (the cycle starts anew, history and metrics drop what is gone).
//  - Teardown order: endpoint (no scrape runs after it), cycle (its probe ends, the sockets close),
//    history (its last lines are written and printed), metrics.
#include "app/monitorcore.h"
#include "platform/messagebox.h"
#include "store/status.h"

#include <QObject>
#include <cstdio>
#include <memory>

namespace qos {

// Message boxes as log lines: one line per box (its line breaks made spaces) on a stream; the box is
// answered from the event loop, OK boxes with OK and Yes/No boxes with No, the answer that changes
// nothing. A box with the same text as the one before it (the echo facility failing for each
// address of a cycle) is answered without a line.
class LogMessageBoxes : public MessageBoxes {
public:
    explicit LogMessageBoxes(std::FILE *out = stderr)
        : m_out(out)
    {}
    void show(const QString &text, Icon icon = Icon::None, std::function<void()> done = {}) override;
    void ask(const QString &text, std::function<void(bool yes)> done) override;

    // The one line a text becomes.
    static QByteArray LogLine(const QString &text);

private:
    void write(const QString &text);

    std::FILE *m_out;
    QByteArray m_last;
    QObject m_context; // the answers' context: none arrives after we are gone
};

struct HeadlessServices {
    Prober &prober;
    StartupNotice &notice;
    MessageBoxes &messages;
    std::FILE *events = stdout; // the state-change lines
};

class HeadlessProgram : public QObject {
    Q_OBJECT
public:
    HeadlessProgram(QString folder, const HeadlessServices &services, QObject *parent = nullptr);
    ~HeadlessProgram() override;

    // Loads graph.txt, starts the metrics endpoint (metricsAddress, or METRICS= of graph.txt when that
    // is empty; none when both are), the history, the clocks and monitoring. An error, with its one
    // line, when graph.txt cannot be read or the endpoint cannot listen: the program should end.
    Status startUp(const QString &metricsAddress);
    // SIGHUP: graph.txt read anew.
    void reload();

    Configuration &config() { return m_core.config(); }
    RunState &run() { return m_core.run(); }
    MonitorCycle &monitor() { return m_core.monitor(); }
    History &history() { return m_core.history(); }
    Metrics &metrics() { return m_core.metrics(); }
    // The endpoint's port; 0 without one.
    int metricsPort() const { return m_core.metricsPort(); }

private:
    void logProblems(const LoadResult &loaded);
    void printChange(const ChangeRecord &change);

    // The cycle's alerts without a desktop: only the attention flag the cycle reads back.
    class Attention : public AlertSink {
    public:
        explicit Attention(RunState &run)
            : m_run(run)
        {}
        void ShowAttention() override { m_run.AttentionShown = 1; }
        void ClearAttention() override { m_run.AttentionShown = 0; }
        void PlayAlertSound() override {}
        void PlayOnlineSound() override {}

    private:
        RunState &m_run;
    };

    HeadlessServices m_services;
    MonitorCore m_core;
};

} // namespace qos
