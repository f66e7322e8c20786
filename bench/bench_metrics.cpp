// Metrics benchmark: the time of one scrape with 1000 addresses, and the headless program's idle CPU
// and resident memory while it monitors 1000 addresses.
//
//   build/<kind>/bin/bench_metrics [idle-seconds=30]
//   build/<kind>/bin/bench_metrics --scale
//
// --scale: 50,000 addresses in 5,000 locations, in this process: the resident memory above the
// process's base once every address has a full ring of 240 probes, its metrics series, its latest
// outcome and its history line (goal <= 2 KB per address), then one scrape over loopback HTTP and
// the text alone (goal <= 1 KB per address and 250 ms).
//
// Scrape: 100 locations of 10 addresses, every address with outcomes spread over the round-trip
// buckets; then 200 GET /metrics over loopback HTTP with a plain socket client (median, p99, max), the
// same again while 200 other connections are held open without a request, and the
// median of 50 collections of the text alone (the endpoint's share). Idle: the headless program (the build's
// qor-online-status) on 1000 loopback addresses (127.0.{1..4}.{1..250}, which the machine answers itself)
// with PINGINTERVAL=1: once its first cycle has probed every address, its CPU time (utime + stime of
// /proc/PID/stat) over idle-seconds between cycles and its resident size; then one more cycle's CPU,
// for scale. Memory figures mean something in a release build only (the sanitizers of the test build double
// them).
#include "bench/resident.h"
#include "history/history.h"
#include "metrics/endpoint.h"
#include "metrics/metrics.h"
#include "monitor/locationstates.h"
#include "tests/support/fakes.h"
#include "tests/support/graphtext.h"
#include "tests/support/httpget.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

using namespace qos;
using namespace qos::test;

namespace {

QString LoopbackAddress(int i)
{
    return QStringLiteral("127.0.%1.%2").arg(1 + i / 250).arg(1 + i % 250);
}

// A plain socket connected to the loopback port (or -1); an answer that takes 30 s counts as none.
int PlainConnect(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const timeval limit{30, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(quint16(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) == 0)
        return fd;
    ::close(fd);
    return -1;
}

// One GET /metrics as a scraper makes it, over a plain socket (no Qt buffering in the way): the bytes
// of the answer, 0 on failure.
qsizetype PlainScrape(int port)
{
    const int fd = PlainConnect(port);
    qsizetype total = 0;
    if (fd >= 0) {
        const char request[] = "GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (::send(fd, request, sizeof request - 1, 0) == ssize_t(sizeof request - 1)) {
            static char buffer[1 << 16];
            for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
                total += n;
        }
    }
    if (fd >= 0)
        ::close(fd);
    return total;
}

// The times of 200 scrapes, sorted; bytes gets the size of the last answer.
QList<qint64> ScrapeTimes(int port, qsizetype &bytes)
{
    QList<qint64> ns;
    QElapsedTimer t;
    for (int i = 0; i < 200; ++i) {
        t.start();
        bytes = PlainScrape(port);
        ns << t.nsecsElapsed();
    }
    std::sort(ns.begin(), ns.end());
    return ns;
}

void scrape()
{
    Configuration cfg;
    for (int k = 0; k < 100; ++k) {
        LocationRecord rec;
        rec.site = QStringLiteral("Location %1, \"site\"").arg(k);
        QStringList hosts;
        for (int a = 0; a < 10; ++a)
            hosts << LoopbackAddress(k * 10 + a);
        rec.siteip = hosts.join(QLatin1Char(','));
        rec.center = Indicator::Green;
        cfg.table.records << rec;
    }
    Metrics m(cfg, QStringLiteral("bench"));
    for (int k = 1; k <= 100; ++k) {
        const QStringList hosts = SplitAddressList(cfg.table[k].siteip);
        for (int a = 0; a < hosts.size(); ++a) {
            for (int round = 0; round < 20; ++round) {
                AddressOutcome o;
                o.attempts = o.echoes = 1 + round % 3;
                o.answered = round % 5 != 0;
                o.roundTripUs = 60LL << (round % 16);
                o.resolved = hosts[a];
                m.recordProbe(k, hosts[a], o);
            }
            m.recordChange({1714572000000, cfg.table[k].site, hosts[a], State::Unknown, State::Answering,
                            QStringLiteral("ONLINE"), 100});
        }
        m.recordIndicator(k);
    }
    QString error;
    const auto endpoint = ServeMetrics(QStringLiteral(":0"), {}, m.textSource(), error);
    if (!endpoint) {
        std::printf("scrape: %s\n", qPrintable(error));
        return;
    }
    qsizetype bytes = 0;
    QList<qint64> ns = ScrapeTimes(endpoint->port(), bytes);
    // The same while 200 clients hold connections open and send nothing.
    std::vector<int> idle;
    for (int i = 0; i < 200; ++i)
        idle.push_back(PlainConnect(endpoint->port()));
    const QList<qint64> besideIdle = ScrapeTimes(endpoint->port(), bytes);
    for (const int fd : idle)
        ::close(fd);
    QElapsedTimer t;
    QList<qint64> textNs;
    std::string text;
    for (int i = 0; i < 50; ++i) {
        t.start();
        text = m.text();
        textNs << t.nsecsElapsed();
    }
    std::sort(textNs.begin(), textNs.end());
    const double textMs = textNs[25] / 1e6;
    std::printf("scrape, 1000 addresses (%lld bytes, %lld lines): median %.2f ms, p99 %.2f ms, max %.2f ms "
                "(goal < 20 ms); collecting and writing the text alone, median %.2f ms\n",
                qlonglong(bytes), qlonglong(std::count(text.begin(), text.end(), '\n')), ns[100] / 1e6,
                ns[197] / 1e6, ns.last() / 1e6, textMs);
    std::printf("scrape beside 200 idle connections held open: median %.2f ms, p99 %.2f ms, max %.2f ms "
                "(goal < 1000 ms)\n",
                besideIdle[100] / 1e6, besideIdle[197] / 1e6, besideIdle.last() / 1e6);
}

// utime + stime of a process, in seconds.
double CpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(::sysconf(_SC_CLK_TCK));
}

// Scrapes once a second (a scrape of 1000 addresses costs the program some CPU itself) until at
// least `sent` echo requests have gone out; false after timeoutS.
bool AwaitRequests(int port, double sent, int timeoutS);

// The sum of every qos_requests_total series of a scrape.
double RequestsSent(const QByteArray &text)
{
    static const QRegularExpression line(QStringLiteral("^qos_requests_total\\{[^\\n]*\\} (\\S+)$"),
                                         QRegularExpression::MultilineOption);
    double sum = 0;
    for (auto it = line.globalMatch(QString::fromUtf8(text)); it.hasNext();)
        sum += it.next().captured(1).toDouble();
    return sum;
}

bool AwaitRequests(int port, double sent, int timeoutS)
{
    for (int s = 0; s < timeoutS; ++s) {
        if (RequestsSent(HttpBody(HttpGet(port, "/metrics"))) >= sent)
            return true;
        QTest::qWait(1000);
    }
    return false;
}

void idle(int seconds)
{
    QTemporaryDir dir;
    QList<GraphLocation> locations;
    for (int k = 0; k < 100; ++k) {
        QStringList hosts;
        for (int a = 0; a < 10; ++a)
            hosts << LoopbackAddress(k * 10 + a);
        locations << Site("L" + QByteArray::number(k), hosts.join(QLatin1Char(',')).toLatin1());
    }
    QByteArray graph = GraphText(locations);
    graph.replace("PINGTIMEOUT=2000", "PINGTIMEOUT=500").replace("PINGINTERVAL=3", "PINGINTERVAL=1");
    graph.replace("PINGPACKETS=4", "PINGPACKETS=1");
    WriteFile(dir.filePath(QStringLiteral("graph.txt")), graph);
    const int port = FreePort();
    QProcess program;
    program.setStandardOutputFile(QProcess::nullDevice());
    program.start(QStringLiteral(QOS_PROGRAM),
                  {QStringLiteral("--headless"), QStringLiteral("--folder"), dir.path(),
                   QStringLiteral("--metrics"), QStringLiteral(":%1").arg(port)});
    if (!program.waitForStarted(10000)) {
        std::printf("idle: %s\n", qPrintable(program.errorString()));
        return;
    }
    const qint64 pid = program.processId();
    QElapsedTimer since;
    since.start();
    if (!AwaitRequests(port, 1000, 30)) {
        std::printf("idle: the first cycle did not probe 1000 addresses within 30 s\n");
        return;
    }
    const double cycleDone = since.elapsed() / 1000.0;
    QTest::qWait(1000); // the cycle's last steps and the history's lines
    const double cpu0 = CpuSeconds(pid);
    QElapsedTimer window;
    window.start();
    QTest::qWait(qMin(seconds, 50) * 1000); // the next cycle is due 60 s after the first
    const double idleCpu = CpuSeconds(pid) - cpu0;
    const double idleSeconds = window.elapsed() / 1000.0;
    const double rss = qos::bench::ResidentMb(pid);
    std::printf(
        "headless, 1000 addresses: first cycle seen done after %.1f s; idle CPU %.3f%% of one core over "
        "%.0f s (goal < 1%%), resident %.1f MB (goal < 60 MB)\n",
        cycleDone, 100.0 * idleCpu / idleSeconds, idleSeconds, rss);
    const double cpu1 = CpuSeconds(pid);
    if (AwaitRequests(port, 2000, 90))
        std::printf("headless: the second cycle (1000 echoes, and a scrape a second meanwhile) took %.3f s "
                    "of CPU\n",
                    CpuSeconds(pid) - cpu1);
    ::kill(pid_t(pid), SIGTERM);
    program.waitForFinished(20000);
}

void scale()
{
    constexpr int kLocations = 5000, kPerLocation = 10, kAddresses = kLocations * kPerLocation;
    const double base = qos::bench::ResidentMb();
    QTemporaryDir dir;
    Configuration cfg;
    for (int k = 0; k < kLocations; ++k) {
        LocationRecord rec;
        rec.site = QStringLiteral("L%1").arg(k + 1);
        QStringList hosts;
        for (int a = 0; a < kPerLocation; ++a) {
            const int i = k * kPerLocation + a;
            hosts << QStringLiteral("10.%1.%2.%3").arg(i / 62500).arg(i / 250 % 250).arg(i % 250 + 1);
        }
        rec.siteip = hosts.join(QLatin1Char(','));
        cfg.table.records << rec;
    }
    RunState run;
    FakeAlerts alerts; // every address answers: nothing to record
    LocationStates states(cfg, run, alerts);
    History history(dir.path(), cfg);
    Metrics metrics(cfg, QStringLiteral("bench"));
    QObject::connect(&states, &LocationStates::addressProbed, &metrics, &Metrics::recordProbe);
    QObject::connect(&states, &LocationStates::addressProbed, &history, &History::recordProbe);
    QObject::connect(&history, &History::changed, &metrics, &Metrics::recordChange);
    history.start();
    metrics.recordLoad(true);
    QElapsedTimer fill;
    fill.start();
    for (int round = 0; round < SampleRing::RingSize; ++round) {
        for (int k = 1; k <= kLocations; ++k) {
            for (const QString &host : SplitAddressList(cfg.table[k].siteip)) {
                AddressOutcome o;
                o.attempts = o.echoes = 1;
                o.answered = true;
                o.status = StatusReply;
                o.roundTripUs = 100 + round;
                o.resolved = host;
                states.probed(k, host, o);
            }
        }
        QCoreApplication::processEvents(); // the history's lines go to its file
    }
    const double full = qos::bench::ResidentMb();
    std::printf("scale, %d addresses with full rings (%d probes each, filled in %.1f s): resident %.1f MB "
                "above a base of %.1f MB, %.2f KB per address (goal <= 2 KB)\n",
                kAddresses, SampleRing::RingSize, fill.elapsed() / 1000.0, full - base, base,
                (full - base) * 1024.0 / kAddresses);
    QString error;
    const auto endpoint = ServeMetrics(QStringLiteral(":0"), {}, metrics.textSource(), error);
    if (!endpoint) {
        std::printf("scale scrape: %s\n", qPrintable(error));
        return;
    }
    QList<qint64> ns;
    qsizetype bytes = 0;
    QElapsedTimer t;
    for (int i = 0; i < 5; ++i) {
        t.start();
        bytes = PlainScrape(endpoint->port());
        ns << t.nsecsElapsed();
    }
    std::sort(ns.begin(), ns.end());
    t.start();
    const std::string text = metrics.text();
    const double textMs = t.nsecsElapsed() / 1e6;
    std::printf("scale scrape, %d addresses: %lld bytes (%.0f bytes per address, goal <= 1024), median of 5 "
                "over HTTP %.0f ms, max %.0f ms (goal <= 250 ms); the text alone %.0f ms, %zu bytes\n",
                kAddresses, qlonglong(bytes), double(bytes) / kAddresses, ns[2] / 1e6, ns.last() / 1e6,
                textMs, text.size());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && QLatin1String(argv[1]) == QLatin1String("--scale")) {
        scale();
        return 0;
    }
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 30;
    scrape();
    idle(seconds > 0 ? seconds : 30);
    return 0;
}
