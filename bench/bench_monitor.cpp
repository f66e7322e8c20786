// Monitor cycle benchmark: how long the window's thread waits while a cycle runs, and what the cycle
// costs beyond its echo timeouts.
//
//   bench_monitor [addresses=20] [packets=2] [timeoutMs=500]
//
// Part 1 runs one cycle over `addresses` locations of one silent address each, with PINGPACKETS and
// PINGTIMEOUT as given, while a 10 ms repeating timer in the same thread records its longest delay
// (target: under 16 ms, one frame). It prints the cycle's time against its minimum,
// addresses x packets x timeout. Run as root, the echoes go through the real echo engine to a silent
// host in network namespaces of the benchmark's own; otherwise a model prober answers every echo
// with "timed out" exactly after the timeout, from the event loop, as a silent host does.
// A baseline first measures the same timer with nothing else running, to tell the machine's own
// scheduling noise from the cycle's.
// Part 2 runs cycles over 2000 addresses whose echoes are answered at once, to show the cost of the
// cycle's own steps per echo.
#include "monitor/monitorcycle.h"
#include "platform/echoengine.h"
#include "probe/echoprober.h"
#include "tests/support/netns.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

using namespace qos;

namespace {

class SilentHostProber : public Prober {
public:
    int answerAfterMs = 0; // < 0: the echo's own timeout
    bool SocketsStartup() override { return true; }
    QString SocketsStartupFailureText() const override { return {}; }
    void SocketsCleanup() override {}
    void ResolveHostAddress(const QString &name, QObject *context,
                            std::function<void(const QString &)> done) override
    {
        QTimer::singleShot(0, context, [done = std::move(done), name] { done(name); });
    }
    void EchoProbe(const QString &, int timeoutMs, QObject *context,
                   std::function<void(const EchoResult &)> done) override
    {
        EchoResult result;
        result.status = StatusTimedOut;
        QTimer::singleShot(answerAfterMs < 0 ? timeoutMs : answerAfterMs, Qt::PreciseTimer, context,
                           [done = std::move(done), result] { done(result); });
    }
};

class QuietAlerts : public AlertSink {
public:
    void ShowAttention() override {}
    void ClearAttention() override {}
    void PlayAlertSound() override {}
    void PlayOnlineSound() override {}
};

class NoBoxes : public MessageBoxes {
public:
    void show(const QString &, Icon, std::function<void()> done) override
    {
        if (done)
            done();
    }
    void ask(const QString &, std::function<void(bool)> done) override { done(true); }
};

// Longest delay of a 10 ms repeating timer over `ms` with nothing else running: the machine's own noise.
qint64 idleTimerDelayUs(int ms)
{
    qint64 longestUs = 0;
    QElapsedTimer sinceTick;
    QTimer frame;
    frame.setTimerType(Qt::PreciseTimer);
    frame.setInterval(10);
    QObject::connect(&frame, &QTimer::timeout, &frame, [&] {
        longestUs = qMax(longestUs, sinceTick.nsecsElapsed() / 1000 - 10000);
        sinceTick.restart();
    });
    QTimer::singleShot(ms, &frame, [] { QCoreApplication::quit(); });
    frame.start();
    sinceTick.start();
    QCoreApplication::exec();
    return longestUs;
}

struct Figures {
    qint64 cycleMs = 0;
    qint64 longestTimerDelayUs = 0;
};

// Runs one cycle over `count` locations and returns its time and the worst delay of a 10 ms timer.
Figures runCycle(Prober &prober, StartupNotice &notice, int count, int packets, int timeoutMs)
{
    Configuration cfg;
    cfg.settings.PINGPACKETS = qint16(packets);
    cfg.settings.PINGTIMEOUT = qint16(timeoutMs);
    cfg.settings.PINGINTERVAL = 3;
    for (int i = 0; i < count; ++i) {
        LocationRecord rec;
        rec.site = QStringLiteral("L%1").arg(i + 1);
        // Silent in the namespace lab: no route behind its target host answers there.
        rec.siteip = QStringLiteral("10.213.%1.%2").arg(9 + i / 250).arg(i % 250 + 1);
        cfg.table.records << rec;
    }
    RunState run;
    QuietAlerts alerts;
    QObject owner;
    MonitorCycle cycle(MonitorServices{cfg, run, prober, alerts, notice}, MonitorClocks::Create(&owner));

    Figures figures;
    QElapsedTimer sinceTick;
    QTimer frame;
    frame.setTimerType(Qt::PreciseTimer);
    frame.setInterval(10);
    QObject::connect(&frame, &QTimer::timeout, &owner, [&] {
        figures.longestTimerDelayUs =
            qMax(figures.longestTimerDelayUs, sinceTick.nsecsElapsed() / 1000 - 10000);
        sinceTick.restart();
    });

    QElapsedTimer clock;
    QObject::connect(&cycle, &MonitorCycle::cycleFinished, &owner, [&] {
        figures.cycleMs = clock.elapsed();
        QCoreApplication::quit();
    });
    QTimer::singleShot(0, &owner, [&] {
        frame.start();
        sinceTick.start();
        clock.start();
        cycle.StartMonitor();
    });
    QCoreApplication::exec();
    return figures;
}

void silentHost(Prober &prober, StartupNotice &notice, const char *what, int addresses, int packets,
                int timeoutMs)
{
    const qint64 minimumMs = qint64(addresses) * packets * timeoutMs;
    // As long as the cycle will take, so that both see the same share of the machine's noise.
    const int baselineMs = int(qBound(qint64(1000), minimumMs, qint64(60000)));
    std::printf("idle baseline: longest delay of a 10 ms timer over %d ms: %.2f ms\n", baselineMs,
                double(idleTimerDelayUs(baselineMs)) / 1000.0);
    const Figures silent = runCycle(prober, notice, addresses, packets, timeoutMs);
    std::printf("silent host (%s): %d addresses x %d packets x %d ms\n", what, addresses, packets, timeoutMs);
    std::printf("  cycle time           %lld ms (minimum %lld ms, +%.2f%%)\n", (long long)silent.cycleMs,
                (long long)minimumMs,
                minimumMs ? 100.0 * double(silent.cycleMs - minimumMs) / double(minimumMs) : 0.0);
    std::printf("  longest timer delay  %.2f ms (target < 16 ms)\n",
                double(silent.longestTimerDelayUs) / 1000.0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int addresses = args.size() > 1 ? args.at(1).toInt() : 20;
    const int packets = args.size() > 2 ? args.at(2).toInt() : 2;
    const int timeoutMs = args.size() > 3 ? args.at(3).toInt() : 500;
    NoBoxes boxes;
    StartupNotice notice(boxes);

    const QString reason = test::NetLab::unavailableReason();
    if (reason.isEmpty()) {
        test::NetLab lab;
        if (!lab.start()) {
            std::printf("cannot build the namespace lab: %s\n", qPrintable(lab.error()));
            return 1;
        }
        test::NetnsScope scope(lab.client());
        EchoProber prober(makeEchoEngine(), boxes, notice);
        silentHost(prober, notice, "echo engine, namespace host", addresses, packets, timeoutMs);
    } else {
        std::printf("echo engine not used: %s\n", qPrintable(reason));
        SilentHostProber prober;
        prober.answerAfterMs = -1;
        silentHost(prober, notice, "model prober", addresses, packets, timeoutMs);
    }

    const int many = 2000;
    SilentHostProber atOnce;
    const Figures fast = runCycle(atOnce, notice, many, 1, timeoutMs);
    std::printf("model prober answering at once: %d addresses x 1 packet\n", many);
    std::printf("  cycle time           %lld ms (%.1f us per echo)\n", (long long)fast.cycleMs,
                1000.0 * double(fast.cycleMs) / many);
    std::printf("  longest timer delay  %.2f ms\n", double(fast.longestTimerDelayUs) / 1000.0);
    return 0;
}
