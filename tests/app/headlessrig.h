#pragma once
// The headless program as a real process: no display in its environment, its own data folder, its
// metrics on a free loopback port, read with a plain HTTP client.
#include "tests/support/graphtext.h"
#include "tests/support/httpget.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <optional>

namespace qos::test {

// The environment of a machine without a display.
inline QProcessEnvironment NoDisplayEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    return env;
}

// The value of the series name{labels} (labels as the text has them); nothing when absent.
inline std::optional<double> Sample(const QByteArray &text, const QString &series)
{
    const QRegularExpression line(QStringLiteral("^") + QRegularExpression::escape(series) +
                                      QStringLiteral(" (\\S+)$"),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = line.match(QString::fromUtf8(text));
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toDouble();
}

// graph.txt of a headless test: one echo of timeoutMs per address, a cycle every interval tick.
inline QByteArray HeadlessGraph(const QList<GraphLocation> &locations, int timeoutMs = 300)
{
    QByteArray text = GraphText(locations);
    text.replace("PINGTIMEOUT=2000", "PINGTIMEOUT=" + QByteArray::number(timeoutMs));
    text.replace("PINGINTERVAL=3", "PINGINTERVAL=0");
    text.replace("PINGPACKETS=4", "PINGPACKETS=1");
    return text;
}

class HeadlessRun {
public:
    QTemporaryDir dir;
    QProcess process;
    int port = 0;

    ~HeadlessRun()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    // Starts the program on dir with graph; extra arguments after --headless --folder DIR.
    void start(const QByteArray &graph, QStringList extra = {})
    {
        QVERIFY(WriteFile(dir.filePath(QStringLiteral("graph.txt")), graph));
        process.setProcessEnvironment(NoDisplayEnvironment());
        process.start(QStringLiteral(QOS_PROGRAM),
                      QStringList{QStringLiteral("--headless"), QStringLiteral("--folder"), dir.path()} +
                          extra);
        QVERIFY2(process.waitForStarted(10000), qPrintable(process.errorString()));
    }
    // Starts it with its metrics on a free loopback port.
    void startServing(const QByteArray &graph)
    {
        port = FreePort();
        QVERIFY(port > 0);
        start(graph, {QStringLiteral("--metrics"), QStringLiteral(":%1").arg(port)});
    }
    QByteArray metrics() { return HttpBody(HttpGet(port, "/metrics")); }

    // Sends a signal and waits for the exit; the exit code, or -1 when it did not end normally.
    int stop(int signal = SIGTERM)
    {
        ::kill(pid_t(process.processId()), signal);
        if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        return process.exitCode();
    }
};

} // namespace qos::test
