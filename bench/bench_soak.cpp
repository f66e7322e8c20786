// Long-run soak of the whole program (the Map View's monitor cycle and the List View's Ping All) on
// the offscreen platform: resident memory, open file descriptors, live timers, live QObjects and
// echoes in flight at every tenth of the run, and whether they stay flat after warm-up (from the
// first mark to the last: resident memory less than 1% up, the counts not up at all).
//
//   bench_soak accelerated   9999 locations, a fake clock and a fake echo engine under the real
//                            prober that answers, times out and fails in a fixed pattern: 14,400
//                            cycles of PINGINTERVAL 3, the equivalent of 30 days, as fast as they run.
//   bench_soak engine        the real echo engine against loopback and a silent host in network
//                            namespaces of its own (needs root), PINGINTERVAL 0 so that cycles run
//                            back to back on the program's own clocks, for 10 minutes.
//
// The Map View runs in the background. In every cycle, once half of its locations are done, a click
// on the tray icon brings it back and one location (a different one each cycle) is opened from
// SELECT SITE: the cycle pauses, Ping All runs, "Map View" closes the List View, the resume clock
// continues the cycle and "Run in Background" hides the Map View again.
//
// Environment: QOS_SOAK_CYCLES and QOS_SOAK_LOCATIONS shorten the accelerated run, QOS_SOAK_SECONDS
// the engine run; QOS_SOAK_RSS_LIMIT is the resident-memory growth allowed, in percent (default 1).
// Exits 1 when a figure grows beyond that, 2 when the run cannot be set up.
#include "bench/soakfigures.h"
#include "listview/listpings.h"
#include "platform/icmpstatus.h"
#include "tests/support/netns.h"
#include "tests/support/programrig.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QPointer>
#include <QRandomGenerator>
#include <QtEndian>
#include <cstdio>
#include <thread>

using namespace qos;
using namespace qos::test;
using namespace qos::bench;

namespace {

// Waits for the history worker to write what it was handed: a line being written holds a descriptor
// and a file object of the worker's, which are no growth.
void AwaitHistoryWritten(ProgramRig &rig)
{
    for (QDeadlineTimer deadline(5000); rig.program->history().pendingLines() > 0 && !deadline.hasExpired();)
        std::this_thread::yield();
}

int envInt(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

// The echo engine of the accelerated run: every echo ends from the event loop and at once (a time-out
// takes no time here), with the status the fixed pattern gives its address in the current round (the
// soak's cycle number): an address answers in three rounds of five, times out in one and fails with
// host-unreachable in one, each address shifted by its own offset. So every cycle finds some
// locations offline and some back online. One open() in kOpenFailEvery fails, as on a machine that
// refuses the echo facility now and then.
class PatternEngine : public QObject, public EchoEngine {
public:
    static constexpr qint32 kPattern[] = {IpSuccess, IpSuccess, IpRequestTimedOut, IpSuccess,
                                          IpDestHostUnreachable};
    static constexpr int kOpenFailEvery = 5000;

    void setRound(qint64 round) { m_round = quint64(round); }
    bool open() override
    {
        if (++m_opens % kOpenFailEvery == 0)
            return false;
        m_open = true;
        return true;
    }
    QString openFailureHint() const override
    {
        return QStringLiteral("(the soak's engine refuses now and then)");
    }
    bool close() override
    {
        m_open = false;
        return true;
    }
    bool isOpen() const override { return m_open; }
    quint64 sent() const { return m_sent; }
    int inFlight() const override { return m_inFlight; }
    using EchoEngine::send;
    void send(const EchoAddress &to, int, QObject *context, Done done) override
    {
        ++m_sent;
        const quint32 address = qFromBigEndian(to.networkOrder4());
        const quint32 offset = address ^ (address >> 8) ^ (address >> 16);
        const qint32 status = kPattern[(offset + m_round) % std::size(kPattern)];
        ++m_inFlight;
        QTimer::singleShot(0, this,
                           [this, context = QPointer<QObject>(context), done = std::move(done), status] {
                               --m_inFlight;
                               if (context)
                                   done({status, status == IpSuccess ? 120 : -1});
                           });
    }

private:
    bool m_open = false;
    quint64 m_opens = 0;
    quint64 m_round = 0;
    quint64 m_sent = 0;
    int m_inFlight = 0;
};

// Ticks the program's clocks (`Timer1`, `Timer2`) in steps of 500 ms of simulated time while the
// program waits for them; their own timers are set never to fire. It stops while a cycle runs or the
// List View is open, and goes on when woken.
class FakeClock : public QObject {
public:
    // Longer than any run. (INT_MAX itself wraps when Qt rounds so coarse a timer to whole seconds.)
    static constexpr int kNeverMs = 10 * 24 * 3600 * 1000;

    FakeClock(MonitorCycle &cycle, const MonitorClocks &clocks, std::function<bool()> busy)
        : m_cycle(cycle)
        , m_clocks(clocks)
        , m_busy(std::move(busy))
    {
        m_clocks.interval->setInterval(kNeverMs);
        m_clocks.resume->setInterval(kNeverMs);
    }
    qint64 elapsedMs() const { return m_elapsedMs; }
    void wake()
    {
        if (m_stepping)
            return;
        m_stepping = true;
        QTimer::singleShot(0, this, [this] { step(); });
    }

private:
    void step()
    {
        if (m_busy()) {
            m_stepping = false;
            return;
        }
        m_elapsedMs += 500;
        if (m_clocks.resume->isActive())
            m_cycle.ResumeClockTick();
        if (m_elapsedMs % 1000 == 0 && m_clocks.interval->isActive())
            m_cycle.IntervalClockTick();
        QTimer::singleShot(0, this, [this] { step(); });
    }

    MonitorCycle &m_cycle;
    MonitorClocks m_clocks;
    std::function<bool()> m_busy;
    qint64 m_elapsedMs = 0;
    bool m_stepping = false;
};

// Drives the program: Start Monitor, the List View in the middle of every cycle, the marks.
class Soak : public QObject {
public:
    // endOfCycle: called after every cycle with the cycles done; returns false to end the run.
    Soak(ProgramRig &rig, std::function<bool(qint64 cycles)> endOfCycle)
        : m_rig(rig)
        , m_endOfCycle(std::move(endOfCycle))
        , m_pauseAt(qMax(1, rig.cfg.table.LocationCount() / 2))
    {
        MonitorCycle &cycle = rig.monitor();
        connect(&rig.program->states(), &LocationStates::addressProbed, this, [this](int k) { addressProbed(k); });
        connect(&cycle, &MonitorCycle::cycleFinished, this, &Soak::cycleFinished);
        // The cycle pauses right after the location it was probing when the List View opened.
        connect(&rig.program->states(), &LocationStates::changed, this, [this] {
            if (m_pingAllDone)
                QTimer::singleShot(0, this, &Soak::closeList);
        });
    }
    void setClock(FakeClock *clock) { m_clock = clock; }
    bool listOpen() const { return m_listOpen; }
    // What the run did besides its cycles.
    void printTotals() const
    {
        std::printf("%lld cycles; %lld Ping All runs, %lld of them while the cycle was paused; %lld sounds "
                    "(alert and back online), %lld boxes, %lld notifications\n",
                    m_cycles, m_pingAlls, m_resumes, m_sounds, m_boxes, m_notices);
    }
    void start()
    {
        m_rig.c().startMonitor->click();      // "Start Monitor"
        m_rig.c().runInBackground->trigger(); // "Run in Background", where a monitor spends its months
    }

private:
    void addressProbed(int k)
    {
        if (m_listDone || m_listOpen || k < m_pauseAt)
            return;
        m_listOpen = true;
        QTimer::singleShot(0, this, &Soak::openList);
    }
    void openList()
    {
        const int count = m_rig.cfg.table.LocationCount();
        m_location = (m_location + 7919) % count + 1; // 7919 is prime: every location in turn
        m_rig.tray.click(); // the Map View back from the tray, then its SELECT SITE item
        m_rig.program->OpenLocationFromMenu(m_location);
        ListView *list = m_rig.list();
        connect(&list->pings(), &ListPings::pingAllFinished, this, [this] {
            m_pingAllDone = true;
            QTimer::singleShot(0, this, &Soak::closeList);
        });
        list->controls().pingAll->click(); // "Ping All"
    }
    // Once Ping All is done and the cycle has paused (or ended): "Map View".
    void closeList()
    {
        if (!m_pingAllDone || m_rig.monitor().running())
            return;
        m_pingAllDone = false;
        ++m_pingAlls;
        if (m_rig.run.ResumeIndex >= 1)
            ++m_resumes;
        m_rig.list()->controls().mapView->click(); // "Map View": the cycle may resume
        m_rig.c().runInBackground->trigger();
        m_listOpen = false;
        m_listDone = true;
        wakeClock();
    }
    void cycleFinished()
    {
        if (m_pingAllDone)
            QTimer::singleShot(0, this, &Soak::closeList);
        ++m_cycles;
        m_listDone = false;
        // What the recording doubles keep is the rig's, not the program's.
        m_sounds += m_rig.sound.played.size() + m_rig.sound.beeps / DefaultSoundBeeps;
        m_rig.sound.beeps = 0;
        m_boxes += m_rig.boxes.shown.size();
        m_rig.sound.played.clear();
        m_rig.boxes.shown.clear();
        m_rig.boxes.icons.clear();
        m_notices += m_rig.notifier.notices.size();
        m_rig.notifier.notices.clear();
        m_rig.tray.messages.clear();
        if (!m_endOfCycle(m_cycles)) {
            QCoreApplication::exit(0);
            return;
        }
        wakeClock();
    }
    void wakeClock()
    {
        if (m_clock)
            m_clock->wake();
    }

    ProgramRig &m_rig;
    std::function<bool(qint64)> m_endOfCycle;
    FakeClock *m_clock = nullptr;
    int m_pauseAt;
    int m_location = 0;
    qint64 m_cycles = 0;
    qint64 m_pingAlls = 0;
    qint64 m_resumes = 0;
    qint64 m_sounds = 0;
    qint64 m_boxes = 0;
    qint64 m_notices = 0;
    bool m_listOpen = false;
    bool m_pingAllDone = false; // the List View waits for the cycle to pause
    bool m_listDone = false;
};

QList<GraphLocation> manyLocations(int count)
{
    QRandomGenerator random(19);
    QList<GraphLocation> locations;
    for (int k = 1; k <= count; ++k) {
        GraphLocation l(QByteArray("S") + QByteArray::number(k).rightJustified(4, '0'));
        const QByteArray a = "10." + QByteArray::number(k / 250) + '.' + QByteArray::number(k % 250) + ".1";
        const QByteArray b = "10." + QByteArray::number(k / 250) + '.' + QByteArray::number(k % 250) + ".2";
        l.siteip = k % 4 == 0 ? a + ',' + b : a;
        l.ignore = k % 8 == 0 ? b : QByteArray();
        l.disabled = k % 17 == 0 ? "1" : "0";
        l.left = QByteArray::number(300 + random.bounded(8800));
        l.top = QByteArray::number(600 + random.bounded(6300));
        locations << l;
    }
    return locations;
}

int accelerated(double rssLimit)
{
    const int count = qMin(envInt("QOS_SOAK_LOCATIONS", MaxLocations), MaxLocations);
    const qint64 total = envInt("QOS_SOAK_CYCLES", 14400);
    auto engine = std::make_unique<PatternEngine>();
    PatternEngine *pattern = engine.get();
    ProgramRig rig(std::move(engine));
    if (!WriteGraph(rig.folder(), manyLocations(count)))
        return 2;
    rig.start();
    std::printf(
        "accelerated soak: %d locations, %lld cycles of PINGINTERVAL %d, PINGPACKETS %d, fake clock and "
        "fake echo engine\n",
        rig.cfg.table.LocationCount(), total, rig.cfg.settings.PINGINTERVAL, rig.cfg.settings.PINGPACKETS);

    Marks marks;
    marks.header();
    QElapsedTimer wall;
    wall.start();
    FakeClock *clock = nullptr;
    int nextMark = 1;
    Soak soak(rig, [&](qint64 cycles) {
        while (nextMark <= 10 && cycles >= (total * nextMark + 9) / 10) {
            const double days = double(clock->elapsedMs()) / 86400000.0;
            AwaitHistoryWritten(rig);
            marks.add(nextMark * 10, QStringLiteral("%1 cycles, %2 days").arg(cycles).arg(days, 0, 'f', 1),
                      Measure(*pattern), double(wall.elapsed()) / 1000.0);
            ++nextMark;
        }
        pattern->setRound(cycles);
        return cycles < total;
    });
    FakeClock fake(rig.monitor(), rig.program->clocks(),
                   [&] { return rig.monitor().running() || soak.listOpen(); });
    clock = &fake;
    soak.setClock(clock);
    soak.start();
    QCoreApplication::exec();
    soak.printTotals();
    std::printf("%llu echoes\n", pattern->sent());
    return marks.flat(rssLimit) ? 0 : 1;
}

int realEngine(double rssLimit)
{
    const QString reason = NetLab::unavailableReason();
    if (!reason.isEmpty()) {
        std::printf("engine soak not run: %s\n", qPrintable(reason));
        return 0;
    }
    NetLab lab;
    if (!lab.start()) {
        std::printf("cannot build the namespace lab: %s\n", qPrintable(lab.error()));
        return 2;
    }
    // The engine's sockets are opened in the lab's client namespace, where 127.0.0.1 and 10.213.3.x
    // answer, 10.213.2.3 is silent and 10.213.6.x rejects with host-unreachable.
    NetnsScope scope(lab.client());
    if (!scope.entered())
        return 2;
    const qint64 seconds = envInt("QOS_SOAK_SECONDS", 600);
    auto engine = makeEchoEngine();
    EchoEngine *echo = engine.get();
    ProgramRig rig(std::move(engine));
    QList<GraphLocation> locations;
    for (const auto &[name, ip] : {std::pair{"LOOP", "127.0.0.1"},
                                   {"SILENT", "10.213.2.3"},
                                   {"MIXED", "127.0.0.1,10.213.2.3,10.213.3.1"},
                                   {"REJECT", "10.213.6.1"}}) {
        GraphLocation l(name);
        l.siteip = ip;
        locations << l;
    }
    if (!WriteGraph(rig.folder(), locations))
        return 2;
    rig.start();
    rig.cfg.settings.PINGINTERVAL = 0;
    rig.cfg.settings.PINGTIMEOUT = 250;
    rig.cfg.settings.PINGPACKETS = 2;
    std::printf(
        "engine soak: %d locations (loopback, a silent and a rejecting namespace host), PINGINTERVAL 0, "
        "PINGTIMEOUT 250, PINGPACKETS 2, %lld s\n",
        rig.cfg.table.LocationCount(), seconds);

    Marks marks;
    marks.header();
    QElapsedTimer wall;
    wall.start();
    int nextMark = 1;
    Soak soak(rig, [&](qint64 cycles) {
        while (nextMark <= 10 && wall.elapsed() >= seconds * 100 * nextMark) {
            AwaitHistoryWritten(rig);
            marks.add(nextMark * 10, QStringLiteral("%1 cycles").arg(cycles), Measure(*echo),
                      double(wall.elapsed()) / 1000.0);
            ++nextMark;
        }
        return nextMark <= 10;
    });
    soak.start();
    QCoreApplication::exec();
    soak.printTotals();
    return marks.flat(rssLimit) ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    const bool hooked = LiveObjects::install();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("accelerated");
    if (!hooked || (mode != QLatin1String("accelerated") && mode != QLatin1String("engine"))) {
        std::fprintf(stderr,
                     hooked ? "usage: bench_soak accelerated|engine\n" : "Qt's object hooks are missing\n");
        return 2;
    }
    bool ok = false;
    const double limit = qEnvironmentVariable("QOS_SOAK_RSS_LIMIT").toDouble(&ok);
    const double rssLimit = ok && limit > 0 ? limit : 1.0;
    return mode == QLatin1String("engine") ? realEngine(rssLimit) : accelerated(rssLimit);
}
