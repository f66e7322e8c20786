// Monitor cycle benchmark: how long the window's thread waits while a cycle runs, and what the cycle
// costs beyond its echo timeouts.
//
//   bench_monitor [addresses=20] [packets=2] [timeoutMs=500]
//
// Part 1 runs one cycle over `addresses` locations of one silent address each, with PINGPACKETS and
// PINGTIMEOUT as given, while a 10 ms repeating timer in the same thread records its longest delay
// (target: under 16 ms, one frame). It prints the cycle's time against its minimum,
// addresses x packets x timeout. The prober answers every echo with "timed out" exactly after the
// timeout, from the event loop, as a silent host does.
// A baseline first measures the same timer with nothing else running, to tell the machine's own
// scheduling noise from the cycle's.
// Part 2 runs cycles over 2000 addresses whose echoes are answered at once, to show the cost of the
// cycle's own steps per echo.
#include "monitor/monitorcycle.h"

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
                            std::function<void(const QString &)> done) override {
        QTimer::singleShot(0, context, [done = std::move(done), name] { done(name); });
    }
    void EchoProbe(const QString &, int timeoutMs, QObject *context,
                   std::function<void(const EchoResult &)> done) override {
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
    void show(const QString &, Icon, std::function<void()> done) override {
        if (done)
            done();
    }
    void ask(const QString &, std::function<void(bool)> done) override { done(true); }
};

// Longest delay of a 10 ms repeating timer over `ms` with nothing else running: the machine's own noise.
qint64 idleTimerDelayUs(int ms) {
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
Figures runCycle(int count, int packets, int timeoutMs, int answerAfterMs) {
    Configuration cfg;
    cfg.settings.PINGPACKETS = qint16(packets);
    cfg.settings.PINGTIMEOUT = qint16(timeoutMs);
    cfg.settings.PINGINTERVAL = 3;
    for (int i = 0; i < count; ++i) {
        LocationRecord rec;
        rec.site = QStringLiteral("L%1").arg(i + 1);
        rec.siteip = QStringLiteral("10.213.%1.%2").arg(i / 250).arg(i % 250 + 1);
        cfg.table.records << rec;
    }
    RunState run;
    SilentHostProber prober;
    prober.answerAfterMs = answerAfterMs;
    QuietAlerts alerts;
    NoBoxes boxes;
    QObject owner;
    MonitorCycle cycle(MonitorServices{cfg, run, prober, alerts, boxes}, MonitorClocks::Create(&owner));

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

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int addresses = args.size() > 1 ? args.at(1).toInt() : 20;
    const int packets = args.size() > 2 ? args.at(2).toInt() : 2;
    const int timeoutMs = args.size() > 3 ? args.at(3).toInt() : 500;

    const qint64 minimumMs = qint64(addresses) * packets * timeoutMs;
    // As long as the cycle will take, so that both see the same share of the machine's noise.
    const int baselineMs = int(qBound(qint64(1000), minimumMs, qint64(60000)));
    std::printf("idle baseline: longest delay of a 10 ms timer over %d ms: %.2f ms\n", baselineMs,
                double(idleTimerDelayUs(baselineMs)) / 1000.0);
    const Figures silent = runCycle(addresses, packets, timeoutMs, -1);
    std::printf("silent host: %d addresses x %d packets x %d ms\n", addresses, packets, timeoutMs);
    std::printf("  cycle time           %lld ms (minimum %lld ms, +%.2f%%)\n", (long long)silent.cycleMs,
                (long long)minimumMs,
                minimumMs ? 100.0 * double(silent.cycleMs - minimumMs) / double(minimumMs) : 0.0);
    std::printf("  longest timer delay  %.2f ms (target < 16 ms)\n",
                double(silent.longestTimerDelayUs) / 1000.0);

    const int many = 2000;
    const Figures fast = runCycle(many, 1, timeoutMs, 0);
    std::printf("answered at once: %d addresses x 1 packet\n", many);
    std::printf("  cycle time           %lld ms (%.1f us per echo)\n", (long long)fast.cycleMs,
                1000.0 * double(fast.cycleMs) / many);
    std::printf("  longest timer delay  %.2f ms\n", double(fast.longestTimerDelayUs) / 1000.0);
    return 0;
}
