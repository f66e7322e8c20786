// The desktop program's metrics: served only while graph.txt names an address, fed by the cycle and
// by the List View's indicators, following a location's deletion; a bad address is told at start-up.
#include "app/program.h"
#include "listview/listview.h"
#include "tests/support/httpget.h"
#include "tests/support/programrig.h"

#include <QAction>
#include <QPushButton>

using namespace qos;
using namespace qos::test;

class TestMetricsDesktop : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void servedWhenGraphNamesIt_data()
    {
        QTest::addColumn<QByteArray>("line"); // in MAIN SETTINGS; PORT: a free port
        QTest::addColumn<bool>("serves");
        QTest::addColumn<QString>("problem"); // a part of the start-up box, empty for none
        QTest::newRow("absent") << QByteArray() << false << QString();
        QTest::newRow("set") << QByteArray("METRICS=:PORT\r\n") << true << QString();
        QTest::newRow("bad") << QByteArray("METRICS=here\r\n") << false
                             << QStringLiteral("METRICS=here: give HOST:PORT");
        QTest::newRow("taken") << QByteArray("METRICS=127.0.0.1:TAKEN\r\n") << false
                               << QStringLiteral("The metrics endpoint cannot listen on 127.0.0.1:");
    }
    void servedWhenGraphNamesIt()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, serves);
        QFETCH(QString, problem);
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::LocalHost, 0));
        const int port = FreePort();
        line.replace("TAKEN", QByteArray::number(taken.serverPort()))
            .replace("PORT", QByteArray::number(port));
        ProgramRig rig;
        QVERIFY(WriteFile(QDir(rig.folder()).filePath(QStringLiteral("graph.txt")),
                          GraphText({Site("North", "10.0.0.1"), Site("South", "10.0.0.2")}, line)));
        rig.start();
        QCOMPARE(rig.program->metricsPort() != 0, serves);
        QCOMPARE(rig.boxes.shown.join(QLatin1Char('\n')).contains(problem), true);
        QCOMPARE(problem.isEmpty(), rig.boxes.shown.isEmpty());
        if (!serves)
            return;
        QCOMPARE(rig.program->metricsPort(), port);
        rig.fake.script[QStringLiteral("10.0.0.2")] = {StatusTimedOut};
        QTest::mouseClick(rig.c().startMonitor, Qt::LeftButton);
        QVERIFY(rig.cycleEnds());
        QByteArray text = HttpBody(HttpGet(port, "/metrics"));
        QVERIFY2(text.contains("qos_location_state{location=\"North\"} 2\n"), text.constData());
        QVERIFY(text.contains("qos_location_state{location=\"South\"} 4\n"));
        QVERIFY(text.contains("qos_address_up{host=\"10.0.0.2\",ip=\"10.0.0.2\",location=\"South\"} 0\n"));

        // The List View's Ping All turns South online: the state follows; deleting it drops its series.
        rig.fake.script.remove(QStringLiteral("10.0.0.2"));
        ListView &list = rig.open(2);
        QTest::mouseClick(list.controls().pingAll, Qt::LeftButton);
        QTRY_VERIFY(
            HttpBody(HttpGet(port, "/metrics")).contains("qos_location_state{location=\"South\"} 2\n"));
        rig.boxes.answer = true;
        list.controls().removeLocation->trigger();
        QTRY_VERIFY(!HttpBody(HttpGet(port, "/metrics")).contains("South"));
        QVERIFY(HttpBody(HttpGet(port, "/metrics")).contains("location=\"North\""));
    }
};

QTEST_MAIN(TestMetricsDesktop)
#include "test_metrics_desktop.moc"
