// History benchmark: what one event costs the window's thread and the worker, reading a history file
// of 1,000,000 lines at start-up, and the program's resident memory with 1000 addresses and full rings.
//
//   build/<kind>/bin/bench_history [lines=1000000]
//
// Memory first (the other measurements leave freed heap behind that the process keeps): the whole
// program on 100 locations of 10 addresses, then probes kept for every address round after round (one
// address in four changes state each round), printing the resident size as the rings fill and the
// event log reaches its capacity. Then History::recordIndicator is timed for a change (the window's
// share: the line is formatted and handed over) and HistoryWriter::append (the worker's share: open,
// append, close), 10000 of each. Last a history file of `lines` lines is written and read with
// LoadHistory, then once more through a started History while a 10 ms timer in the window's thread
// records its longest delay (the first paint does not wait for the file).
// Memory figures mean something in a release build only (the sanitizers of the test build double them).
#include "bench/resident.h"
#include "history/history.h"
#include "history/historywindow.h"
#include "tests/support/framewatch.h"
#include "tests/support/programrig.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

using namespace qos;
using namespace qos::test;

namespace {

const qint64 T0 = 1714572000000;

struct Spread {
    double median, p99;
};

Spread spread(QList<qint64> ns)
{
    std::sort(ns.begin(), ns.end());
    return {ns[ns.size() / 2] / 1000.0, ns[ns.size() * 99 / 100] / 1000.0};
}

bool settle(History &h)
{
    return QTest::qWaitFor([&h] { return h.pendingLines() == 0; }, 30000);
}

void appending()
{
    QTemporaryDir dir;
    Configuration cfg;
    LocationRecord rec;
    rec.site = QStringLiteral("Leeds");
    cfg.table.records << rec;
    History h(dir.path(), cfg);
    QSignalSpy loaded(&h, &History::logLoaded);
    h.start();
    loaded.wait(5000);
    QList<qint64> ui;
    QElapsedTimer t;
    for (int i = 0; i < 10000; ++i) {
        cfg.table[1].center = i % 2 ? Indicator::Red : Indicator::Green;
        t.start();
        h.recordIndicator(1);
        ui << t.nsecsElapsed();
        if (i % 500 == 499)
            settle(h);
    }
    const Spread u = spread(ui);
    std::printf("append, window's thread: median %.1f us, 99th percentile %.1f us per event\n", u.median,
                u.p99);

    QTemporaryDir dir2;
    HistoryWriter writer(dir2.path());
    const QByteArray line =
        FormatChange({T0, QStringLiteral("Leeds"), QStringLiteral("10.0.0.1"), State::Answering,
                      State::NotAnswering, QStringLiteral("OFFLINE"), -1});
    QList<qint64> worker;
    for (int i = 0; i < 10000; ++i) {
        t.start();
        writer.append(line);
        worker << t.nsecsElapsed();
    }
    const Spread w = spread(worker);
    std::printf("append, worker (open, write, close): median %.1f us, 99th percentile %.1f us per line\n",
                w.median, w.p99);
}

// Longest delay of a 10 ms repeating timer in this thread from start() until done().
template <class Start, class Done> double longestTimerDelayUs(Start start, Done done)
{
    FrameWatch watch;
    watch.start();
    start();
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return double(watch.longestUs());
}

void loading(int lines)
{
    QTemporaryDir dir;
    {
        QFile f(HistoryFilePath(dir.path()));
        f.open(QIODevice::WriteOnly);
        QByteArray chunk = HistoryHeader();
        for (int i = 0; i < lines; ++i) {
            const bool address = i % 3 != 0;
            chunk += FormatChange({T0 + i * 1000LL, QStringLiteral("Location %1").arg(i % 100),
                                   address ? QStringLiteral("10.0.%1.%2").arg(i % 100).arg(i % 7) : QString(),
                                   address ? State::Answering : State::Online,
                                   address ? State::NotAnswering : State::Offline,
                                   address ? QStringLiteral("OFFLINE") : QString(), -1});
            if (chunk.size() > (1 << 20)) {
                f.write(chunk);
                chunk.clear();
            }
        }
        f.write(chunk);
        std::printf("history file of %d lines: %.1f MB\n", lines, f.size() / 1048576.0);
    }
    QElapsedTimer t;
    t.start();
    const LoadedHistory h = LoadHistory(dir.path());
    std::printf("load, LoadHistory: %.0f ms, %lld events kept (capacity %lld)\n", t.nsecsElapsed() / 1e6,
                qlonglong(h.log->size()), qlonglong(h.log->capacity()));

    Configuration cfg;
    History history(dir.path(), cfg);
    QSignalSpy loaded(&history, &History::logLoaded);
    t.start();
    const double busyUs = longestTimerDelayUs([&] { history.start(); }, [&] { return !loaded.isEmpty(); });
    const double readyMs = t.nsecsElapsed() / 1e6;
    const double idleUs =
        longestTimerDelayUs([] {}, [&t, readyMs] { return t.nsecsElapsed() / 1e6 > 2 * readyMs; });
    std::printf(
        "load, in the background: log ready after %.0f ms; meanwhile the window's thread waited at most "
        "%.1f ms beyond a 10 ms timer (%.1f ms with nothing to do: this machine's noise)\n",
        readyMs, busyUs / 1000.0, idleUs / 1000.0);
}

void memory()
{
    constexpr int Locations = 100, PerLocation = 10;
    QList<GraphLocation> graph;
    for (int k = 0; k < Locations; ++k) {
        QByteArray siteip;
        for (int a = 0; a < PerLocation; ++a)
            siteip +=
                (a ? "," : "") + QByteArray("10.1.") + QByteArray::number(k) + "." + QByteArray::number(a);
        graph << Site("Location " + QByteArray::number(k), siteip);
    }
    ProgramRig p;
    p.startWith(graph);
    QTest::qWait(500);
    std::printf("memory, program idle with %d addresses: %.1f MB resident\n", Locations * PerLocation,
                qos::bench::ResidentMb());
    History &h = p.program->history();
    AddressOutcome up, down;
    up.attempts = up.echoes = 1;
    up.answered = true;
    up.roundTripUs = 420;
    down.attempts = down.echoes = 4;
    down.status = StatusTimedOut;
    int round = 0;
    for (int until : {SampleRing::RingSize, 2 * SampleRing::RingSize, 1200, 2400}) {
        for (; round < until; ++round) {
            for (int k = 1; k <= Locations; ++k)
                for (int a = 0; a < PerLocation; ++a)
                    h.recordProbe(k, QStringLiteral("10.1.%1.%2").arg(k - 1).arg(a),
                                  (k + a + round) % 4 == 0 ? down : up);
            settle(h);
        }
        std::printf("memory, after %4d probes of every address: %.1f MB resident; %lld events in the log\n",
                    round, qos::bench::ResidentMb(), qlonglong(h.log().size()));
    }
    p.open(1);
    p.program->OpenHistory(1);
    QTest::qWait(500);
    std::printf("memory, with a List View and a history window open: %.1f MB resident; target < 80 MB\n",
                qos::bench::ResidentMb());
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(1, atoi(argv[1])) : 1000000;
    memory(); // first: the other parts leave freed heap behind that the process keeps
    appending();
    loading(lines);
    return 0;
}
