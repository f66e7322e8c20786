// Prints how long loading a full-size graph.txt (9999 locations of 10 addresses each), appending one
// location to it and each rewrite of a location's block take, and saving and loading a note in an
// info.txt of 10000 notes.
#include "store/graphfile.h"
#include "store/locationrewrite.h"
#include "store/notesfile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

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

// 1000 locations of 10 notes each.
QByteArray NotesFile()
{
    QByteArray file;
    for (int k = 1; k <= 1000; ++k) {
        file += "------------LOCATION BEGIN-----------\r\nSITEID=l" + QByteArray::number(k) + "\r\n";
        for (int a = 1; a <= 10; ++a)
            file += "10.0." + QByteArray::number(k % 256) + '.' + QByteArray::number(a) + "=rack " +
                    QByteArray::number(k) + ", call the site office first\r\n";
        file += "------------LOCATION END-----------\r\n";
    }
    return file;
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Runs op Runs times, each on a fresh copy of content at path, and prints the times.
bool Measure(const char *what, const QString &path, const QByteArray &content,
             const std::function<Status()> &op)
{
    constexpr int Runs = 7;
    QList<double> wall;
    QList<double> cpu;
    for (int run = 0; run < Runs; ++run) {
        if (!WriteFile(path, content))
            return false;
        QElapsedTimer timer;
        const double started = CpuMs();
        timer.start();
        const Status s = op();
        wall << timer.nsecsElapsed() / 1e6;
        cpu << CpuMs() - started;
        if (!s.ok()) {
            std::printf("%s failed: %s\n", what, qPrintable(s.error));
            return false;
        }
    }
    std::printf("%-28s first %6.1f ms, median %6.1f ms of %d runs (median CPU %5.1f ms)\n", what,
                wall.first(), Median(wall), Runs, Median(cpu));
    return true;
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    const QByteArray content = FullFile();
    const QString graph = GraphFilePath(folder);
    std::printf("graph.txt: %d locations, %lld bytes; rewrites include fsync\n", MaxLocations,
                qlonglong(content.size()));

    Configuration cfg;
    bool ok = Measure("load", graph, content, [&] {
        const LoadResult r = LoadConfiguration(folder, cfg);
        return r.error.isEmpty() && cfg.table.LocationCount() == MaxLocations ? Status::success()
                                                                              : Status::failure(r.error);
    });
    LocationRecord rec;
    rec.site = QStringLiteral("new");
    rec.siteip = QStringLiteral("10.99.0.1,10.99.0.2");
    rec.left = 1475;
    rec.top = 300.5f;
    ok = ok && Measure("append", graph, content,
                       [&] { return AppendLocation(folder, cfg.settings, rec, nullptr); });

    const int k = MaxLocations / 2; // a block in the middle of the file
    LocationTable &table = cfg.table;
    table[k].ignore = QStringLiteral("10.19.135.1");
    table[k].sitedisabled = QStringLiteral("1");
    ok = ok && Measure("RewriteIgnoreLine", graph, content,
                       [&] { return RewriteIgnoreLine(folder, table, k, nullptr); });
    ok = ok && Measure("RewriteAddressLine", graph, content,
                       [&] { return RewriteAddressLine(folder, table, k, nullptr); });
    ok = ok && Measure("RewriteAddressLineFromDialog", graph, content, [&] {
             return RewriteAddressLineFromDialog(folder, table, k, QStringLiteral(" 10.1.1.1 ,, HOST "),
                                                 nullptr);
         });
    ok = ok && Measure("RewriteDisabledLine", graph, content,
                       [&] { return RewriteDisabledLine(folder, table, k, nullptr); });
    ok = ok && Measure("DeleteLocationBlock", graph, content,
                       [&] { return DeleteLocationBlock(folder, table, k, nullptr); });

    const QByteArray notes = NotesFile();
    const QString info = NotesFilePath(folder);
    std::printf("info.txt: 10000 notes, %lld bytes\n", qlonglong(notes.size()));
    const QString site = QStringLiteral("l500");
    const QString address = QStringLiteral("10.0.244.7");
    ok = ok && Measure("SaveAddressNote", info, notes, [&] {
             return SaveAddressNote(folder, site, address, QStringLiteral("moved to rack 9"), nullptr);
         });
    QString note;
    ok = ok && Measure("LoadAddressNote", info, notes, [&] {
             const Status s = LoadAddressNote(folder, site, address, note, nullptr);
             return s.ok() && !note.isEmpty() ? s : Status::failure(QStringLiteral("note not found"));
         });
    ok = ok && Measure("LoadAddressNote (last one)", info, notes, [&] {
             return LoadAddressNote(folder, QStringLiteral("l1000"), QStringLiteral("10.0.232.10"), note,
                                    nullptr);
         });
    return ok ? 0 : 1;
}
