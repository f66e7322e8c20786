// The metrics: the exposition text of a known set of outcomes (names, escaped labels, buckets),
// counters that only grow, series that follow the table, and the endpoint over loopback HTTP.
#include "metrics/endpoint.h"
#include "metrics/exposition.h"
#include "metrics/metrics.h"
#include "tests/support/fakeprober.h"
#include "tests/support/httpget.h"

#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>

#include <memory>
#include <vector>

using namespace qos;
using qos::test::HttpGet;

namespace {

LocationRecord Location(const QString &site, const QString &siteip)
{
    LocationRecord rec;
    rec.site = site;
    rec.siteip = siteip;
    return rec;
}

AddressOutcome Outcome(bool answered, int attempts, int echoes, qint64 rttUs = -1, int errors = 0,
                       const QString &resolved = QStringLiteral("10.0.0.1"))
{
    AddressOutcome o;
    o.answered = answered;
    o.attempts = attempts;
    o.echoes = echoes;
    o.errors = errors;
    o.roundTripUs = rttUs;
    o.status = answered ? StatusReply : StatusTimedOut;
    o.resolved = resolved;
    return o;
}

// name{labels} -> value, for every sample line of an exposition text.
QHash<QString, double> Samples(const std::string &text)
{
    QHash<QString, double> samples;
    for (const QString &line : QString::fromStdString(text).split(QLatin1Char('\n'))) {
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype space = line.lastIndexOf(QLatin1Char(' '));
        samples.insert(line.left(space), line.mid(space + 1).toDouble());
    }
    return samples;
}

const char kTricky[] = "Site \"A\", \\ west";

} // namespace

class TestMetrics : public QObject {
    Q_OBJECT

    Configuration m_cfg;

    void table()
    {
        m_cfg.table.clear();
        m_cfg.table.records << Location(QLatin1String(kTricky), QStringLiteral(" h1 ,h2"))
                            << Location(QStringLiteral("B"), QStringLiteral("10.0.0.9"));
    }

private Q_SLOTS:
    void init()
    {
        table();
        m_cfg.settings.ADDRESSHISTOGRAMS = 0;
    }

    // Names, label escaping, the histograms' buckets and the per-location legend, for known outcomes;
    // the round-trip histogram per location, and per address too when ADDRESSHISTOGRAMS is set.
    void expositionText_data()
    {
        QTest::addColumn<bool>("perAddress");
        QTest::newRow("per location") << false;
        QTest::newRow("ADDRESSHISTOGRAMS=1") << true;
    }
    void expositionText()
    {
        QFETCH(bool, perAddress);
        m_cfg.settings.ADDRESSHISTOGRAMS = perAddress ? 1 : 0;
        Metrics m(m_cfg, QStringLiteral("1.2"));
        m.recordProbe(1, QStringLiteral(" h1 "), Outcome(true, 2, 2, 1500)); // 1.5 ms reply
        m.recordProbe(1, QStringLiteral("h2"),
                      Outcome(false, 4, 3, -1, 1, QString())); // 1 no-socket, 1 error
        m_cfg.table[1].center = Indicator::DarkRed;
        m.recordIndicator(1);
        m.recordChange({1700000000500, QLatin1String(kTricky), QStringLiteral("h2"), State::Unknown,
                        State::NotAnswering, QStringLiteral("OFFLINE"), -1});
        m.recordLoad(true);
        const QString text = QString::fromStdString(m.text());
        const QString l1 =
            QStringLiteral("{host=\"h1\",ip=\"10.0.0.1\",location=\"Site \\\"A\\\", \\\\ west\"}");
        const QString l2 = QStringLiteral("{host=\"h2\",ip=\"\",location=\"Site \\\"A\\\", \\\\ west\"}");
        const QString loc = QStringLiteral("{location=\"Site \\\"A\\\", \\\\ west\"}");
        const QStringList expected = {
            QStringLiteral("# TYPE qos_requests_total counter"),
            QStringLiteral("qos_requests_total") + l1 + QStringLiteral(" 2"),
            QStringLiteral("qos_requests_total") + l2 + QStringLiteral(" 3"),
            QStringLiteral("qos_send_errors_total") + l1 + QStringLiteral(" 0"),
            QStringLiteral("qos_send_errors_total") + l2 + QStringLiteral(" 2"),
            QStringLiteral("qos_address_up") + l1 + QStringLiteral(" 1"),
            QStringLiteral("qos_address_up") + l2 + QStringLiteral(" 0"),
            QStringLiteral("qos_address_state_changes_total") + l2 + QStringLiteral(" 1"),
            QStringLiteral("qos_address_last_change_timestamp_seconds") + l2 +
                QStringLiteral(" 1700000000.5"),
            QStringLiteral("qos_replies_total") + l1 + QStringLiteral(" 1"),
            QStringLiteral("qos_replies_total") + l2 + QStringLiteral(" 0"),
            QStringLiteral("qos_address_last_response_duration_seconds") + l1 + QStringLiteral(" 0.0015"),
            QStringLiteral("# TYPE qos_location_response_duration_seconds histogram"),
            QStringLiteral("qos_location_response_duration_seconds_count") + loc + QStringLiteral(" 1"),
            QStringLiteral("qos_location_state") + loc + QStringLiteral(" 5"),
            QStringLiteral("qos_location_up") + loc + QStringLiteral(" 0"),
            QStringLiteral("qos_location_state{location=\"B\"} 0"),
            QStringLiteral("qos_graph_last_load_success 1"),
            QStringLiteral("qos_build_info{version=\"1.2\"} 1"),
        };
        QStringList perAddressLines = {
            QStringLiteral("# TYPE qos_response_duration_seconds histogram"),
            QStringLiteral("qos_response_duration_seconds_count") + l1 + QStringLiteral(" 1"),
            QStringLiteral("qos_response_duration_seconds_sum") + l1 + QStringLiteral(" 0.0015"),
            QStringLiteral("qos_response_duration_seconds_count") + l2 + QStringLiteral(" 0"),
        };
        for (const QString &line : expected + (perAddress ? perAddressLines : QStringList()))
            QVERIFY2(text.contains(line + QLatin1Char('\n')),
                     qPrintable(line + QStringLiteral("\n\n") + text));
        QCOMPARE(text.contains(QStringLiteral("\nqos_response_duration_seconds")), perAddress);
        // 20 doubling buckets from 50 us and +Inf; the 1.5 ms reply is in le=0.0016 and above only.
        const QHash<QString, double> s = Samples(m.text());
        const QString bucket =
            perAddress ? QStringLiteral("qos_response_duration_seconds_bucket{host=\"h1\",ip=\"10.0.0.1\","
                                        "location=\"Site \\\"A\\\", \\\\ west\",le=\"%1\"}")
                       : QStringLiteral("qos_location_response_duration_seconds_bucket{"
                                        "location=\"Site \\\"A\\\", \\\\ west\",le=\"%1\"}");
        QCOMPARE(s.value(bucket.arg(QStringLiteral("0.0008")), -1), 0.0);
        QCOMPARE(s.value(bucket.arg(QStringLiteral("0.0016")), -1), 1.0);
        QCOMPARE(s.value(bucket.arg(QStringLiteral("+Inf")), -1), 1.0);
        QCOMPARE(text.count(QRegularExpression(QStringLiteral("_bucket\\{host=\"h1\""))),
                 perAddress ? 21 : 0);
        // Only addresses that were probed have series; an empty entry never does.
        QVERIFY(!text.contains(QStringLiteral("10.0.0.9")));
    }

    // What one address's attempts, as the address probe ran them, add to its series.
    void probeCounts_data()
    {
        QTest::addColumn<QString>("resolvesTo"); // what the name h1 gives; empty: no address
        QTest::addColumn<QList<ProbeStatus>>("statuses");
        QTest::addColumn<int>("startupsThatWork");
        QTest::addColumn<double>("requests");
        QTest::addColumn<double>("sendErrors");
        QTest::addColumn<double>("up");
        QTest::addColumn<double>("replies");
        const QString a = QStringLiteral("10.0.0.1");
        const QList<ProbeStatus> timeout = {StatusTimedOut};
        QTest::newRow("reply on the second attempt")
            << a << QList<ProbeStatus>{StatusTimedOut, StatusReply} << INT_MAX << 2.0 << 0.0 << 1.0 << 1.0;
        QTest::newRow("silent") << a << timeout << INT_MAX << 3.0 << 0.0 << 0.0 << 0.0;
        QTest::newRow("errors") << a << QList<ProbeStatus>{11003} << INT_MAX << 3.0 << 3.0 << 0.0 << 0.0;
        QTest::newRow("sockets never start") << a << timeout << 0 << 0.0 << 3.0 << 0.0 << 0.0;
        QTest::newRow("a name that gives no address: down, nothing sent")
            << QString() << timeout << INT_MAX << 0.0 << 0.0 << 0.0 << 0.0;
    }
    void probeCounts()
    {
        QFETCH(QString, resolvesTo);
        QFETCH(QList<ProbeStatus>, statuses);
        QFETCH(int, startupsThatWork);
        test::FakeProber prober;
        if (!resolvesTo.isEmpty())
            prober.names.insert(QStringLiteral("h1"), resolvesTo);
        prober.script.insert(resolvesTo, statuses);
        prober.startupsThatWork = startupsThatWork;
        Metrics m(m_cfg, QStringLiteral("1"));
        const AddressOutcome outcome = test::ProbeOutcome(prober, QStringLiteral("h1"), 3);
        QVERIFY(outcome.attempts > 0); // it finished
        m.recordProbe(1, QStringLiteral("h1"), outcome);
        const QString labels =
            QStringLiteral("{host=\"h1\",ip=\"%1\",location=\"Site \\\"A\\\", \\\\ west\"}")
                .arg(outcome.resolved);
        const QHash<QString, double> series = Samples(m.text());
        const auto value = [&](const char *name) { return series.value(QLatin1String(name) + labels, -1); };
        QTEST(value("qos_requests_total"), "requests");
        QTEST(value("qos_send_errors_total"), "sendErrors");
        QTEST(value("qos_address_up"), "up");
        QTEST(value("qos_replies_total"), "replies");
    }

    // Counters never go down while more outcomes arrive, whatever they are.
    void countersOnlyGrow()
    {
        Metrics m(m_cfg, QStringLiteral("1"));
        QHash<QString, double> before;
        const QList<AddressOutcome> outcomes = {Outcome(true, 1, 1, 200), Outcome(false, 4, 4),
                                                Outcome(false, 3, 0), Outcome(true, 3, 2, 90000, 1)};
        for (int round = 0; round < 8; ++round) {
            m.recordProbe(1, QStringLiteral("h1"), outcomes[round % outcomes.size()]);
            const QHash<QString, double> after = Samples(m.text());
            for (auto it = after.cbegin(); it != after.cend(); ++it) {
                const bool counter = it.key().contains(QStringLiteral("_total")) ||
                                     it.key().contains(QStringLiteral("_bucket")) ||
                                     it.key().contains(QStringLiteral("_count"));
                if (counter)
                    QVERIFY2(it.value() >= before.value(it.key(), 0), qPrintable(it.key()));
            }
            before = after;
        }
        QCOMPARE(before.value(QStringLiteral("qos_requests_total{host=\"h1\",ip=\"10.0.0.1\",location=\"Site "
                                             "\\\"A\\\", \\\\ west\"}")),
                 14.0);
    }

    // A table read anew without a location or an address removes their series; a new ip moves the
    // address to a series of its own, keeping its change count.
    void seriesFollowTheTable()
    {
        Metrics m(m_cfg, QStringLiteral("1"));
        m.recordProbe(1, QStringLiteral("h1"), Outcome(true, 1, 1, 100));
        m.recordProbe(1, QStringLiteral("h2"), Outcome(true, 1, 1, 100));
        m.recordProbe(2, QStringLiteral("10.0.0.9"), Outcome(true, 1, 1, 100, 0, QStringLiteral("10.0.0.9")));
        m.recordChange({1000, QStringLiteral("B"), QStringLiteral("10.0.0.9"), State::Unknown,
                        State::Answering, QStringLiteral("ONLINE"), 100});
        m.recordProbe(2, QStringLiteral("10.0.0.9"),
                      Outcome(true, 1, 1, 100, 0, QStringLiteral("10.0.0.10")));
        QString text = QString::fromStdString(m.text());
        QVERIFY(!text.contains(QStringLiteral("ip=\"10.0.0.9\"")));
        QVERIFY(text.contains(QStringLiteral(
            "qos_address_state_changes_total{host=\"10.0.0.9\",ip=\"10.0.0.10\",location=\"B\"} 1\n")));

        m_cfg.table.clear();
        m_cfg.table.records << Location(QLatin1String(kTricky), QStringLiteral("h1"));
        m.recordLoad(true);
        text = QString::fromStdString(m.text());
        QVERIFY(text.contains(QStringLiteral("host=\"h1\"")));
        QVERIFY(!text.contains(QStringLiteral("host=\"h2\"")));
        QVERIFY(!text.contains(QStringLiteral("location=\"B\"")));
        // A change told for a location the table does not hold makes no series.
        m.recordChange(
            {2000, QStringLiteral("B"), QStringLiteral("x"), State::Unknown, State::Answering, {}, 1});
        m.recordLoad(false);
        text = QString::fromStdString(m.text());
        QVERIFY(!text.contains(QStringLiteral("location=\"B\"")));
        QVERIFY(text.contains(QStringLiteral("qos_graph_last_load_success 0\n")));
    }

    // An address keeps one series while its ip is the same (compared as the label holds it, escaped
    // or not); each new ip starts its counters anew; labels given anew many times are packed again
    // without touching the other addresses' series.
    void labelsFollowTheIp_data()
    {
        QTest::addColumn<QStringList>("ips"); // the ip each outcome of h1 names, in order
        QTest::addColumn<double>("requests"); // of h1's one series afterwards
        const QString a = QStringLiteral("10.0.0.1");
        QTest::newRow("same ip") << QStringList{a, a, a} << 3.0;
        QTest::newRow("new ip") << QStringList{a, a, QStringLiteral("10.0.0.2")} << 1.0;
        QTest::newRow("escaped") << QStringList(3, QStringLiteral("a\"b\\c")) << 3.0;
        QTest::newRow("not ASCII") << QStringList(2, QStringLiteral("z\u00fcrich")) << 2.0;
        QStringList many;
        for (int i = 0; i < 200; ++i)
            many << QStringLiteral("10.0.%1.1").arg(i % 7);
        QTest::newRow("changed 200 times") << many << 1.0;
    }
    void labelsFollowTheIp()
    {
        QFETCH(QStringList, ips);
        Metrics m(m_cfg, QStringLiteral("1"));
        m.recordProbe(1, QStringLiteral("h2"), Outcome(true, 1, 1, 100, 0, QStringLiteral("10.0.0.7")));
        for (const QString &ip : ips)
            m.recordProbe(1, QStringLiteral("h1"), Outcome(true, 1, 1, 100, 0, ip));
        const QString text = QString::fromStdString(m.text());
        QCOMPARE(text.count(QStringLiteral("qos_requests_total{host=\"h1\"")), 1);
        std::string ip;
        AppendEscaped(ip, ips.last().toStdString(), true);
        const QString site = QStringLiteral(",location=\"Site \\\"A\\\", \\\\ west\"}");
        QTEST(Samples(m.text()).value(QStringLiteral("qos_requests_total{host=\"h1\",ip=\"") +
                                      QString::fromStdString(ip) + QLatin1Char('"') + site),
              "requests");
        QVERIFY(text.contains(QStringLiteral("qos_requests_total{host=\"h2\",ip=\"10.0.0.7\"") + site +
                              QStringLiteral(" 1\n")));
    }

    // The registry's text is prometheus-cpp's own serializer's, sample for sample, help and type lines
    // included (with the per-address histograms in it).
    void sameAsTheLibrarysSerializer()
    {
        m_cfg.settings.ADDRESSHISTOGRAMS = 1;
        Metrics m(m_cfg, QStringLiteral("1.2\nbeta \"b\""));
        m.recordProbe(1, QStringLiteral("h1"), Outcome(true, 2, 2, 1500));
        m.recordProbe(1, QStringLiteral("h2"), Outcome(true, 1, 1, 123456789, 0, QStringLiteral("a\\b\nc")));
        m.recordProbe(1, QStringLiteral("h2"), Outcome(false, 3, 3, -1, 2, QStringLiteral("a\\b\nc")));
        m.recordChange({1700000000123, QLatin1String(kTricky), QStringLiteral("h1"), State::Unknown,
                        State::Answering, QStringLiteral("ONLINE"), 1500});
        m.recordLoad(true);
        const std::vector<prometheus::MetricFamily> families = m.registry()->Collect();
        const std::string ours = ExpositionText(families);
        const std::string theirs = prometheus::TextSerializer().Serialize(families);
        QCOMPARE(Samples(ours), Samples(theirs));
        for (const QString &line : QString::fromStdString(ours).split(QLatin1Char('\n')))
            if (line.startsWith(QLatin1Char('#')))
                QVERIFY2(QString::fromStdString(theirs).contains(line + QLatin1Char('\n')), qPrintable(line));
        QCOMPARE(Samples(ours).size(), qsizetype(QString::fromStdString(theirs).count(QLatin1Char('\n')) -
                                                 QString::fromStdString(theirs).count(QStringLiteral("# "))));
    }

    void legendOrder()
    {
        const Indicator legend[] = {Indicator::White, Indicator::Black, Indicator::Green,
                                    Indicator::Cyan,  Indicator::Red,   Indicator::DarkRed};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(LocationStateNumber(legend[i]), i);
    }

    void listenAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("host"); // empty: refused
        QTest::addColumn<int>("port");
        QTest::newRow(":port") << QStringLiteral(":9374") << QStringLiteral("127.0.0.1") << 9374;
        QTest::newRow("host:port") << QStringLiteral("10.1.2.3:80") << QStringLiteral("10.1.2.3") << 80;
        QTest::newRow("every interface")
            << QStringLiteral("0.0.0.0:9374") << QStringLiteral("0.0.0.0") << 9374;
        QTest::newRow("port 0") << QStringLiteral(":0") << QStringLiteral("127.0.0.1") << 0;
        QTest::newRow("no colon") << QStringLiteral("9374") << QString() << 0;
        QTest::newRow("name") << QStringLiteral("localhost:9374") << QString() << 0;
        QTest::newRow("ipv6") << QStringLiteral("[::1]:9374") << QString() << 0;
        QTest::newRow("port too big") << QStringLiteral(":65536") << QString() << 0;
        QTest::newRow("port not a number") << QStringLiteral(":http") << QString() << 0;
        QTest::newRow("no port") << QStringLiteral("127.0.0.1:") << QString() << 0;
    }
    void listenAddress()
    {
        QFETCH(QString, text);
        QFETCH(QString, host);
        QFETCH(int, port);
        QString error;
        const std::optional<ListenAddress> a = ParseListenAddress(text, &error);
        QCOMPARE(a.has_value(), !host.isEmpty());
        if (!a) {
            QVERIFY(!error.isEmpty());
            return;
        }
        QCOMPARE(a->host, host);
        QCOMPARE(int(a->port), port);
    }

    // GET /metrics on loopback: the format's content type and the registry's text; other paths and
    // methods are refused; an address in use is a one-line error, not an endpoint.
    void endpoint()
    {
        Metrics m(m_cfg, QStringLiteral("1"));
        m.recordProbe(1, QStringLiteral("h1"), Outcome(true, 1, 1, 250));
        QString error;
        std::unique_ptr<MetricsEndpoint> e = ServeMetrics(QStringLiteral(":0"), {}, m.textSource(), error);
        QVERIFY2(e, qPrintable(error));
        QVERIFY(e->port() > 0);

        const QByteArray answer = HttpGet(e->port(), "/metrics");
        const qsizetype split = answer.indexOf("\r\n\r\n");
        QVERIFY2(split > 0, answer.constData());
        const QByteArray head = answer.left(split), body = answer.mid(split + 4);
        QVERIFY2(head.startsWith("HTTP/1.1 200"), head.constData());
        QVERIFY(head.contains("\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8"));
        QCOMPARE(body.toStdString(), m.text());

        QVERIFY(HttpGet(e->port(), "/metrics", "HEAD").contains("200 OK"));
        QVERIFY(HttpGet(e->port(), "/metrics", "POST").startsWith("HTTP/1.1 405"));
        QVERIFY(HttpGet(e->port(), "/").split('\r').value(0).endsWith(" 404 Not Found"));

        QString taken;
        const auto second = ServeMetrics(QStringLiteral(":%1").arg(e->port()), {}, m.textSource(), taken);
        QVERIFY(!second);
        QVERIFY2(taken.contains(QStringLiteral("cannot listen on 127.0.0.1:%1").arg(e->port())),
                 qPrintable(taken));
        QVERIFY(!taken.contains(QLatin1Char('\n')));
        QVERIFY(!ServeMetrics(QStringLiteral("nohost"), QStringLiteral("METRICS="), m.textSource(), taken));
        QVERIFY2(taken.startsWith(QStringLiteral("METRICS=nohost: ")), qPrintable(taken));
    }

    // Clients that connect and then send nothing, or half a request, hold up no one: a scrape made
    // while they are all connected is answered at once (the bound is generous; a scrape that waited
    // for any of them would wait for its time-out). Past the endpoint's limit the oldest go.
    void scrapeBesideIdleClients_data()
    {
        QTest::addColumn<int>("clients");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("200 silent") << 200 << QByteArray();
        QTest::newRow("200 slow") << 200 << QByteArray("GET /metr");
        QTest::newRow("beyond the limit") << kMaxConnections + 50 << QByteArray();
    }
    void scrapeBesideIdleClients()
    {
        QFETCH(int, clients);
        QFETCH(QByteArray, sent);
        Metrics m(m_cfg, QStringLiteral("1"));
        QString error;
        const auto e = ServeMetrics(QStringLiteral(":0"), {}, m.textSource(), error);
        QVERIFY2(e, qPrintable(error));
        std::vector<std::unique_ptr<QTcpSocket>> idle;
        for (int i = 0; i < clients; ++i) {
            idle.push_back(std::make_unique<QTcpSocket>());
            idle.back()->connectToHost(QStringLiteral("127.0.0.1"), quint16(e->port()));
            QVERIFY(idle.back()->waitForConnected(2000));
            idle.back()->write(sent);
            QVERIFY(idle.back()->waitForBytesWritten(2000) || sent.isEmpty());
        }
        QElapsedTimer took;
        took.start();
        const QByteArray answer = HttpGet(e->port(), "/metrics", "GET", 3000);
        QVERIFY2(answer.startsWith("HTTP/1.1 200"), answer.left(200).constData());
        QCOMPARE(qos::test::HttpBody(answer).toStdString(), m.text());
        QVERIFY2(took.elapsed() < 3000, qPrintable(QString::number(took.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestMetrics)
#include "test_metrics.moc"
