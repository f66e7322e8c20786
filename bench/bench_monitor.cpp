// Monitor cycle benchmark: how long one cycle takes with its addresses probed many at once
// (PINGINFLIGHT absent, the default) against one at a time (PINGINFLIGHT=1), measured in one run,
// and how long the window's thread waits meanwhile.
//
//   bench_monitor [silentAddresses=200]
//   bench_monitor --scale      (4) alone
//   bench_monitor --held       (5) alone
//
// (1) One cycle over `silentAddresses` silent addresses, two per location, with PINGTIMEOUT 500 and
//     PINGPACKETS 2: the cycle time against its floor of PINGPACKETS x PINGTIMEOUT = 1000 ms (goal
//     <= 1.3 all at once; one at a time it is the number of addresses times that), and the longest
//     delay of a 10 ms repeating timer in the same thread (goal < 16 ms, one frame). Run as root,
//     the echoes go through the real echo engine to silent hosts in network namespaces of the
//     benchmark's own; otherwise a model prober answers each echo "timed out" after its timeout.
//     An idle baseline measures the same timer with nothing running: the machine's own noise.
// (2) One cycle over 1000 answering loopback addresses 127.0.x.y in 100 locations on the real echo
//     engine: every location green, no address counted offline, and the cycle time against
//     `fping -c1 -i1 -t500` over the same addresses, run just before (goal <= 1.5).
// (3) Cycles over 2000 addresses whose echoes a model prober answers at once: the cost of the
//     cycle's own steps per address.
// (4) As root: cycles over 1,000 and 50,000 addresses, every fifth one silent (a namespace address
//     routed to a link that drops it) and the others the client namespace's own loopback, 10 to a
//     location, PINGPACKETS 1, PINGTIMEOUT 1000, PINGINFLIGHT absent: the cycle against its floor of
//     the timeout plus N / 32 ms of pacing (goal <= 1.2), and the CPU per 1000 echoes against
//     fping's over the same addresses at the same pace (-i 0.03125, in the same namespace).
// (5) The state owner's walk over 10,000 locations whose first half are children of the second half
//     (PARENT= naming a later location): every child is held until its parent is decided.
#include "bench/cycles.h"
#include "monitor/locationstates.h"
#include "monitor/monitorcycle.h"
#include "platform/echoengine.h"
#include "probe/echoprober.h"
#include "tests/support/netns.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

using namespace qos;
using namespace qos::bench;

namespace {

class ModelProber : public Prober {
public:
    int answerAfterMs = 0; // < 0: the echo's own timeout
    ProbeStatus status = StatusTimedOut;
    bool SocketsStartup() override { return true; }
    QString SocketsStartupFailureText() const override { return {}; }
    void ResolveHostAddress(const QString &name, QObject *context,
                            std::function<void(const QString &)> done) override
    {
        QTimer::singleShot(0, context, [done = std::move(done), name] { done(name); });
    }
    void EchoProbe(const QString &, int timeoutMs, QObject *context,
                   std::function<void(const EchoResult &)> done) override
    {
        EchoResult result;
        result.status = status;
        QTimer::singleShot(answerAfterMs < 0 ? timeoutMs : answerAfterMs, Qt::PreciseTimer, context,
                           [done = std::move(done), result] { done(result); });
    }
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

void say(const QString &line)
{
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

QString ms(double value)
{
    return QString::number(value, 'f', value < 100 ? 2 : 0) + QStringLiteral(" ms");
}

double idleTimerDelayMs(int forMs)
{
    QObject owner;
    FrameClock frame(&owner);
    QTimer::singleShot(forMs, &owner, [] { QCoreApplication::quit(); });
    frame.start();
    QCoreApplication::exec();
    return frame.longestMs();
}

QString windowName(int window)
{
    return window == 1 ? QStringLiteral("one at a time (PINGINFLIGHT=1)")
                       : QStringLiteral("all at once (PINGINFLIGHT absent: %1)").arg(window);
}

void silentCycles(Prober &prober, StartupNotice &notice, const QString &what, int count)
{
    constexpr int kPackets = 2, kTimeoutMs = 500;
    constexpr double floorMs = kPackets * kTimeoutMs;
    QStringList addresses;
    for (int i = 0; i < count; ++i) // silent in the namespace lab: nothing answers behind its target
        addresses << QStringLiteral("10.213.%1.%2").arg(9 + i / 250).arg(i % 250 + 1);
    say(QStringLiteral(
            "(1) %1 silent addresses in %2 locations, PINGPACKETS %3, PINGTIMEOUT %4 (%5); floor %6")
            .arg(count)
            .arg((count + 1) / 2)
            .arg(kPackets)
            .arg(kTimeoutMs)
            .arg(what, ms(floorMs)));
    say(QStringLiteral("    idle baseline: longest delay of a 10 ms timer over 2 s: ") +
        ms(idleTimerDelayMs(2000)));
    for (int window : {int(kDefaultPingInFlight), 1}) {
        const Figures f = RunCycle(prober, notice, Table(addresses, 2, kPackets, kTimeoutMs, window));
        say(QStringLiteral("    %1: cycle %2, ratio to the floor %3 (goal <= 1.3 all at once); "
                           "longest timer delay %4 (goal < 16 ms); %5 offline")
                .arg(windowName(window), ms(f.cycleMs))
                .arg(f.cycleMs / floorMs, 0, 'f', 3)
                .arg(ms(f.longestTimerDelayMs))
                .arg(f.offline));
    }
}

// fping's wall time over the addresses (process start included) and its own elapsed time, in ms,
// and the replies it counted; wall -1 when it did not run.
struct Fping {
    double wallMs = -1;
    double ownMs = -1;
    int alive = 0;
};

Fping runFping(const QStringList &addresses)
{
    Fping result;
    QProcess fping;
    QElapsedTimer clock;
    clock.start();
    fping.start(QStringLiteral("fping"),
                QStringList{QStringLiteral("-c1"), QStringLiteral("-i1"), QStringLiteral("-t500"),
                            QStringLiteral("-q"), QStringLiteral("-s")} +
                    addresses);
    if (!fping.waitForFinished(60000) || fping.exitStatus() != QProcess::NormalExit)
        return result;
    result.wallMs = double(clock.nsecsElapsed()) / 1e6;
    const QString stats = QString::fromLocal8Bit(fping.readAllStandardError());
    const auto own = QRegularExpression(QStringLiteral("([0-9.]+) sec \\(elapsed real time\\)")).match(stats);
    const auto alive = QRegularExpression(QStringLiteral("(\\d+) alive")).match(stats);
    result.ownMs = own.hasMatch() ? own.captured(1).toDouble() * 1000.0 : -1;
    result.alive = alive.captured(1).toInt();
    return result;
}

void loopbackCycles(Prober &prober, StartupNotice &notice)
{
    QStringList addresses;
    for (int i = 0; i < 1000; ++i)
        addresses << QStringLiteral("127.0.%1.%2").arg(1 + i / 250).arg(1 + i % 250);
    say(QStringLiteral(
        "(2) 1000 answering loopback addresses in 100 locations, PINGPACKETS 2, PINGTIMEOUT 500"));
    const Fping f = runFping(addresses);
    if (f.wallMs < 0)
        say(QStringLiteral("    fping -c1 -i1 -t500: not run (is fping installed?)"));
    else
        say(QStringLiteral(
                "    fping -c1 -i1 -t500: %1 with its process start, %2 by its own clock, %3 alive")
                .arg(ms(f.wallMs), ms(f.ownMs))
                .arg(f.alive));
    for (int window : {int(kDefaultPingInFlight), 1}) {
        const Figures c = RunCycle(prober, notice, Table(addresses, 10, 2, 500, window));
        QString line =
            QStringLiteral("    %1: cycle %2, %3 locations not green, %4 addresses offline, longest "
                           "timer delay %5")
                .arg(windowName(window), ms(c.cycleMs))
                .arg(c.notGreen)
                .arg(c.offline)
                .arg(ms(c.longestTimerDelayMs));
        if (f.wallMs > 0)
            line += QStringLiteral("; ratio to fping %1 (goal <= 1.5), %2 against its own clock")
                        .arg(c.cycleMs / f.wallMs, 0, 'f', 3)
                        .arg(f.ownMs > 0 ? c.cycleMs / f.ownMs : 0.0, 0, 'f', 3);
        say(line);
    }
}

void stepCost(StartupNotice &notice)
{
    constexpr int kAddresses = 2000;
    ModelProber atOnce;
    atOnce.status = StatusReply;
    QStringList addresses;
    for (int i = 0; i < kAddresses; ++i)
        addresses << QStringLiteral("10.1.%1.%2").arg(i / 250).arg(i % 250 + 1);
    say(QStringLiteral("(3) model prober answering at once: %1 addresses, 1 packet").arg(kAddresses));
    for (int window : {int(kDefaultPingInFlight), 1}) {
        const Figures f = RunCycle(atOnce, notice, Table(addresses, 1, 1, 500, window));
        say(QStringLiteral("    %1: cycle %2 (%3 us per address), longest timer delay %4")
                .arg(windowName(window), ms(f.cycleMs))
                .arg(1000.0 * f.cycleMs / kAddresses, 0, 'f', 1)
                .arg(ms(f.longestTimerDelayMs)));
    }
}

// CPU seconds (user + system) of this process, or of its waited-for children.
double CpuSeconds(int who)
{
    rusage u{};
    ::getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QStringList SilentShare(int count)
{
    QStringList addresses;
    int silent = 0, answering = 0;
    for (int i = 0; i < count; ++i) {
        if (i % 5 == 4) { // silent behind the lab's target: 10.213.9.0 .. 10.213.127.255
            addresses << QStringLiteral("10.213.%1.%2").arg(9 + silent / 250).arg(silent % 250 + 1);
            ++silent;
        } else {
            addresses << QStringLiteral("127.%1.%2.%3")
                             .arg(1 + answering / 62500)
                             .arg(answering / 250 % 250)
                             .arg(answering % 250 + 1);
            ++answering;
        }
    }
    return addresses;
}

void scaleCycles(Prober &prober, StartupNotice &notice, const QString &ns)
{
    constexpr int kTimeoutMs = 1000;
    say(QStringLiteral("(4) every fifth address silent, 10 to a location, PINGPACKETS 1, PINGTIMEOUT %1, "
                       "PINGINFLIGHT absent (%2)")
            .arg(kTimeoutMs)
            .arg(kDefaultPingInFlight));
    for (const int count : {1000, 50000}) {
        const QStringList addresses = SilentShare(count);
        const double floorMs = kTimeoutMs + count / 32.0;
        const double cpu0 = CpuSeconds(RUSAGE_SELF);
        const Figures f = RunCycle(prober, notice, Table(addresses, 10, 1, kTimeoutMs, kDefaultPingInFlight));
        const double cpu = CpuSeconds(RUSAGE_SELF) - cpu0;
        say(QStringLiteral("    %1 addresses: cycle %2, floor %3, ratio %4 (goal <= 1.2); %5 offline "
                           "(%6 silent); CPU %7 s, %8 s per 1000 echoes; longest timer delay %9")
                .arg(count)
                .arg(ms(f.cycleMs), ms(floorMs))
                .arg(f.cycleMs / floorMs, 0, 'f', 3)
                .arg(f.offline)
                .arg(count / 5)
                .arg(cpu, 0, 'f', 3)
                .arg(1000.0 * cpu / count, 0, 'f', 4)
                .arg(ms(f.longestTimerDelayMs)));
        QProcess fping;
        const double child0 = CpuSeconds(RUSAGE_CHILDREN);
        QElapsedTimer clock;
        clock.start();
        fping.start(QStringLiteral("ip"),
                    QStringList{QStringLiteral("netns"), QStringLiteral("exec"), ns, QStringLiteral("fping"),
                                QStringLiteral("-c1"), QStringLiteral("-t1000"), QStringLiteral("-i0.03125"),
                                QStringLiteral("-q")} +
                        addresses);
        if (!fping.waitForFinished(120000) || fping.exitStatus() != QProcess::NormalExit) {
            say(QStringLiteral("    fping: not run (%1)").arg(fping.errorString()));
            continue;
        }
        const double fcpu = CpuSeconds(RUSAGE_CHILDREN) - child0;
        say(QStringLiteral("    fping -c1 -t1000 -i0.03125 on the same: %1, CPU %2 s, %3 s per 1000 echoes")
                .arg(ms(double(clock.nsecsElapsed()) / 1e6))
                .arg(fcpu, 0, 'f', 3)
                .arg(1000.0 * fcpu / count, 0, 'f', 4));
    }
}

} // namespace

void heldChildren()
{
    constexpr int kHalf = 5000;
    Configuration cfg;
    for (int k = 1; k <= 2 * kHalf; ++k) {
        LocationRecord r;
        r.site = QStringLiteral("L%1").arg(k);
        r.siteip = QStringLiteral("127.0.0.1");
        r.parent = k <= kHalf ? QStringLiteral("L%1").arg(k + kHalf) : QString();
        cfg.table.records << r;
    }
    RunState run;
    QuietAlerts alerts;
    LocationStates states(cfg, run, alerts);
    QElapsedTimer clock;
    clock.start();
    states.cycleStarted(false);
    for (int k = 1; k <= 2 * kHalf; ++k)
        states.cycleEvaluated(k, false, false);
    states.cycleFinished();
    std::printf("(5) walk over %d locations, %d children held for later parents: %.1f ms\n", 2 * kHalf, kHalf,
                double(clock.nsecsElapsed()) / 1e6);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int silent = args.size() > 1 && args.at(1) != QLatin1String("--scale") ? args.at(1).toInt() : 200;
    if (args.contains(QStringLiteral("--held"))) {
        heldChildren();
        return 0;
    }
    NoBoxes boxes;
    StartupNotice notice(boxes);

    const QString reason = test::NetLab::unavailableReason();
    if (reason.isEmpty()) {
        test::NetLab lab;
        if (!lab.start()) {
            say(QStringLiteral("cannot build the namespace lab: ") + lab.error());
            return 1;
        }
        test::NetnsScope scope(lab.client()); // the engine opens its socket in there
        EchoProber prober(makeEchoEngine(), boxes, notice);
        if (args.contains(QStringLiteral("--scale"))) {
            scaleCycles(prober, notice, lab.client());
            return 0;
        }
        silentCycles(prober, notice, QStringLiteral("echo engine, namespace hosts"), silent);
    } else {
        say(QStringLiteral("echo engine not used for (1): ") + reason);
        ModelProber prober;
        prober.answerAfterMs = -1;
        silentCycles(prober, notice, QStringLiteral("model prober"), silent);
    }

    EchoProber loopback(makeEchoEngine(), boxes, notice);
    if (loopback.SocketsStartup()) {
        loopbackCycles(loopback, notice);
    } else {
        say(QStringLiteral("(2) skipped: ") + loopback.SocketsStartupFailureText());
    }
    stepCost(notice);
    heldChildren();
    return 0;
}
