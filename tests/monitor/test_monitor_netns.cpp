// The monitor cycle end to end: the real echo engine against test hosts in network namespaces of
// the test's own. Needs root; skips without.
#include "platform/echoengine.h"
#include "probe/echoprober.h"
#include "rig.h"
#include "tests/probe/netns.h"

#include <QElapsedTimer>
#include <QTest>

using namespace qos;
using namespace qos::test;

class TestMonitorNetns : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void answeringAndSilentLocations();
};

void TestMonitorNetns::answeringAndSilentLocations() {
    const QString reason = NetLab::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    NetLab lab;
    QVERIFY2(lab.start(), qPrintable(lab.error()));
    NetnsScope scope(lab.client()); // the engine's socket opens in the lab's client namespace
    QVERIFY(scope.entered());

    const QString answering = QStringLiteral("10.213.3.1");
    const QString silent = QStringLiteral("10.213.2.3");
    Configuration cfg;
    cfg.settings.PINGTIMEOUT = 300;
    cfg.settings.PINGPACKETS = 2;
    cfg.settings.PINGINTERVAL = 3;
    for (const QString &address : {answering, silent}) {
        LocationRecord rec;
        rec.site = address;
        rec.siteip = address;
        cfg.table.records << rec;
    }
    RunState run;
    FakeMessageBoxes boxes;
    StartupNotice notice(boxes);
    EchoProber prober(makeEchoEngine(), boxes, notice);
    AttentionAlerts alerts;
    QObject owner;
    MonitorCycle cycle(MonitorServices{cfg, run, prober, alerts, notice}, MonitorClocks::Create(&owner));

    QElapsedTimer clock;
    clock.start();
    cycle.StartMonitor();
    QTRY_VERIFY_WITH_TIMEOUT(!cycle.running(), 10000);
    QVERIFY2(boxes.shown.isEmpty(), qPrintable(boxes.shown.join(QLatin1Char('\n'))));
    QCOMPARE(cfg.table[1].center, Indicator::Green);
    QCOMPARE(cfg.table[2].center, Indicator::Red);
    QCOMPARE(cfg.table[2].holdbad, QStringList{silent});
    QVERIFY(clock.elapsed() >= 2 * 300); // both attempts at the silent host waited their timeout
    QVERIFY(alerts.up);
    QCOMPARE(alerts.sounds(), QStringList{QStringLiteral("PlayAlertSound")});
    QCOMPARE(cycle.statusText(), QStringLiteral("Monitoring..."));

    // The silent host comes back: the next cycle finds it online, plays the back-online sound and
    // lowers the attention picture.
    QVERIFY2(lab.run(QStringLiteral("ip"),
                     {QStringLiteral("-n"), lab.target(), QStringLiteral("addr"), QStringLiteral("add"),
                      silent + QStringLiteral("/32"), QStringLiteral("dev"), QStringLiteral("lo")}),
             qPrintable(lab.error()));
    alerts.calls.clear();
    cycle.StartMonitor();
    QTRY_VERIFY_WITH_TIMEOUT(!cycle.running(), 10000);
    QCOMPARE(cfg.table[2].center, Indicator::Green);
    QCOMPARE(alerts.sounds(), QStringList{QStringLiteral("PlayOnlineSound")});
    QVERIFY(!alerts.up);
}

QTEST_GUILESS_MAIN(TestMonitorNetns)
#include "test_monitor_netns.moc"
