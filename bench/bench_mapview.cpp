// Map View start-up with 9999 locations: time from creating the window to its first paint
// (target: under 1 s), on the offscreen platform unless another is set.
//
//   build/<kind>/bin/bench_mapview [runs]
#include "tests/support/programrig.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace qos;
using namespace qos::test;

namespace {

QList<GraphLocation> generate(int count, bool sortedNames)
{
    QRandomGenerator random(7);
    QList<GraphLocation> locations;
    for (int i = 0; i < count; ++i) {
        GraphLocation l;
        if (sortedNames) {
            l.name = QByteArray("L") + QByteArray::number(i).rightJustified(4, '0');
        } else {
            for (int c = 0, n = 3 + random.bounded(4); c < n; ++c)
                l.name += char((random.bounded(2) ? 'a' : 'A') + random.bounded(26));
        }
        l.siteip = "127.0.0." + QByteArray::number(1 + i % 250);
        l.disabled = i % 17 == 0 ? "1" : "0";
        l.left = QByteArray::number(300 + random.bounded(8800));
        l.top = QByteArray::number(600 + random.bounded(6300));
        locations << l;
    }
    return locations;
}

// CPU time of this thread: unlike the wall clock, it does not grow when other processes share the cores.
double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

class PaintWatch : public QObject {
public:
    QElapsedTimer *clock = nullptr;
    qint64 firstPaint = -1;
    double firstPaintCpu = -1;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && firstPaint < 0) {
            firstPaint = clock->nsecsElapsed();
            firstPaintCpu = threadCpuMs();
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        }
        return false;
    }
};

struct Figures {
    double startUpMs;
    double firstPaintMs;
    double firstPaintCpuMs;
};

Figures measure(const QString &folder)
{
    QElapsedTimer clock;
    PaintWatch watch;
    watch.clock = &clock;
    const double cpuStart = threadCpuMs();
    clock.start();
    ProgramRig rig(ProgramRig::Engine::Scripted, false, folder);
    MapView &view = *rig.view;
    view.canvas()->installEventFilter(&watch);
    rig.start();
    const qint64 startUp = clock.nsecsElapsed();
    QCoreApplication::exec();
    if (view.highestMarkerIndex() != rig.cfg.table.LocationCount())
        std::fprintf(stderr, "markers missing\n");
    return {startUp / 1e6, watch.firstPaint / 1e6, watch.firstPaintCpu - cpuStart};
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;

    for (const bool sortedNames : {false, true}) {
        QTemporaryDir dir;
        CopyAssets(QStringLiteral(QOS_ASSETS_DIR), dir.path());
        WriteGraph(dir.path(), generate(MaxLocations, sortedNames));
        QList<double> paints, cpu, startUps;
        for (int r = 0; r < runs; ++r) {
            const Figures f = measure(dir.path());
            paints << f.firstPaintMs;
            cpu << f.firstPaintCpuMs;
            startUps << f.startUpMs;
        }
        for (QList<double> *figures : {&paints, &cpu, &startUps})
            std::sort(figures->begin(), figures->end());
        std::printf("map view, %d locations, %s names: first paint after %.0f ms (CPU %.0f ms), start-up "
                    "sequence %.0f ms; median of %d, best %.0f ms, worst %.0f ms; target < 1000 ms\n",
                    MaxLocations, sortedNames ? "already sorted" : "random", paints[runs / 2], cpu[runs / 2],
                    startUps[runs / 2], runs, paints.first(), paints.last());
    }
    return 0;
}
