// Prints how long loading a full-size graph.txt (9999 locations of 10 addresses each) and appending
// one location to it take.
#include "store/graphfile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace qos;

namespace {

QByteArray FullFile()
{
    QByteArray file = "------------MAIN SETTINGS-----------\r\nPINGTIMEOUT=2000\r\nPINGINTERVAL=3\r\n"
                      "PINGPACKETS=4\r\nALERTWAV=\r\nONLINEWAV=\r\n------------MAIN SETTINGS-----------\r\n";
    for (int k = 1; k <= MaxLocations; ++k) {
        QByteArray addresses;
        for (int a = 0; a < 10; ++a)
            addresses += (a ? "," : "") + QByteArray("10.") + QByteArray::number(k / 256) + '.' +
                         QByteArray::number(k % 256) + '.' + QByteArray::number(a + 1);
        file += "------------LOCATION BEGIN-----------\r\nSITEID=l" + QByteArray::number(k) +
                "\r\nIGNORE=\r\nSITEIP=" + addresses +
                "\r\nDISABLED=0\r\nSITELEFT=" + QByteArray::number(k % 9000) +
                "\r\nSITETOP=" + QByteArray::number(k % 6000) +
                ".5\r\n------------LOCATION END-----------\r\n";
    }
    return file;
}

// CPU time of this thread in ms: on a busy machine it shows the cost apart from waiting for a core.
double CpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const QByteArray content = FullFile();
    QFile file(GraphFilePath(dir.path()));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return 1;
    file.close();
    std::printf("graph.txt: %d locations, %lld bytes\n", MaxLocations, qlonglong(content.size()));

    constexpr int Runs = 7;
    QList<double> loads;
    QList<double> appends;
    QList<double> loadCpu;
    QList<double> appendCpu;
    for (int run = 0; run < Runs; ++run) {
        Configuration cfg;
        QElapsedTimer timer;
        double cpu = CpuMs();
        timer.start();
        const LoadResult r = LoadConfiguration(dir.path(), cfg);
        loads << timer.nsecsElapsed() / 1e6;
        loadCpu << CpuMs() - cpu;
        if (!r.error.isEmpty() || cfg.table.LocationCount() != MaxLocations) {
            std::printf("load failed\n");
            return 1;
        }
        LocationRecord rec;
        rec.site = QStringLiteral("new");
        rec.siteip = QStringLiteral("10.99.0.1,10.99.0.2");
        rec.left = 1475;
        rec.top = 300.5f;
        cpu = CpuMs();
        timer.restart();
        const Status s = AppendLocation(dir.path(), cfg.settings, rec, nullptr);
        appends << timer.nsecsElapsed() / 1e6;
        appendCpu << CpuMs() - cpu;
        if (!s.ok()) {
            std::printf("append failed: %s\n", qPrintable(s.error));
            return 1;
        }
        // Back to the full file for the next run.
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(content);
        file.close();
    }
    std::printf("load:   first %.1f ms, median %.1f ms of %d runs (median CPU %.1f ms)\n", loads.first(),
                Median(loads), Runs, Median(loadCpu));
    std::printf("append: first %.1f ms, median %.1f ms of %d runs, including fsync (median CPU %.1f ms)\n",
                appends.first(), Median(appends), Runs, Median(appendCpu));
    return 0;
}
