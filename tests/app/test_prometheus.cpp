// A real Prometheus server scrapes the headless program every second, both inside a test network
// namespace; its query API must answer the silent address as down and the answering one as up with
// a non-zero request count. Needs root and /usr/bin/prometheus; skips without either.
#include "tests/app/headlessrig.h"
#include "tests/support/netns.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

using namespace qos::test;

namespace {

constexpr char kPrometheus[] = "/usr/bin/prometheus";

// The result vector of an instant query: metric labels and value per series.
QJsonArray Query(int port, const QString &expression, QByteArray *raw = nullptr)
{
    const QByteArray path = "/api/v1/query?query=" + QUrl::toPercentEncoding(expression);
    const QByteArray body = HttpBody(HttpGet(port, path));
    if (raw)
        *raw = body;
    const QJsonObject answer = QJsonDocument::fromJson(body).object();
    return answer.value(QStringLiteral("data")).toObject().value(QStringLiteral("result")).toArray();
}

// The value of the one series whose label `host` is host; NaN when there is none.
double ValueFor(const QJsonArray &result, const QString &host)
{
    for (const QJsonValue &series : result) {
        const QJsonObject s = series.toObject();
        if (s.value(QStringLiteral("metric")).toObject().value(QStringLiteral("host")).toString() == host)
            return s.value(QStringLiteral("value")).toArray().at(1).toString().toDouble();
    }
    return qQNaN();
}

} // namespace

class TestPrometheus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void scrapedByPrometheus()
    {
        if (!QFile::exists(QLatin1String(kPrometheus)))
            QSKIP("/usr/bin/prometheus is missing: install Debian's prometheus package "
                  "(scripts/install-deps.sh)");
        const QString why = NetLab::unavailableReason();
        if (!why.isEmpty())
            QSKIP(qPrintable(QStringLiteral("namespace test hosts: ") + why));
        NetLab lab;
        QVERIFY2(lab.start(), qPrintable(lab.error()));
        NetnsScope scope(lab.client());
        QVERIFY(scope.entered());

        HeadlessRun run;
        run.startServing(HeadlessGraph({Site("Answers", "10.213.1.2"), Site("Silent", "10.213.2.3")}));
        QTRY_VERIFY_WITH_TIMEOUT(!run.metrics().isEmpty(), 10000);

        QTemporaryDir dir;
        const int webPort = FreePort();
        QVERIFY(WriteFile(dir.filePath(QStringLiteral("prometheus.yml")),
                          "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\nscrape_configs:\n"
                          "  - job_name: qos\n    static_configs:\n      - targets: [\"127.0.0.1:" +
                              QByteArray::number(run.port) + "\"]\n"));
        QProcess prometheus;
        prometheus.setProcessChannelMode(QProcess::MergedChannels);
        prometheus.start(QLatin1String(kPrometheus),
                         {QStringLiteral("--config.file=") + dir.filePath(QStringLiteral("prometheus.yml")),
                          QStringLiteral("--storage.tsdb.path=") + dir.filePath(QStringLiteral("data")),
                          QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(webPort)});
        QVERIFY(prometheus.waitForStarted(10000));
        const auto stopPrometheus = qScopeGuard([&] {
            prometheus.terminate();
            if (!prometheus.waitForFinished(10000))
                prometheus.kill();
        });

        QByteArray upAnswer, requestsAnswer;
        QJsonArray up, requests;
        QTRY_VERIFY_WITH_TIMEOUT(
            (up = Query(webPort, QStringLiteral("qos_address_up"), &upAnswer),
             requests = Query(webPort, QStringLiteral("qos_requests_total"), &requestsAnswer),
             ValueFor(up, QStringLiteral("10.213.1.2")) == 1 &&
                 ValueFor(up, QStringLiteral("10.213.2.3")) == 0 &&
                 ValueFor(requests, QStringLiteral("10.213.1.2")) > 0),
            60000);
        QByteArray stateAnswer;
        const QJsonArray states = Query(webPort, QStringLiteral("qos_location_state"), &stateAnswer);
        qInfo("qos_address_up: %s", upAnswer.constData());
        qInfo("qos_requests_total: %s", requestsAnswer.constData());
        qInfo("qos_location_state: %s", stateAnswer.constData());
        QCOMPARE(states.size(), 2);
        QVERIFY(ValueFor(requests, QStringLiteral("10.213.2.3")) > 0);
        QCOMPARE(run.stop(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPrometheus)
#include "test_prometheus.moc"
