// The List View with this machine's echo engine against test hosts in network namespaces of the
// test's own: a running cycle pauses for it and resumes after it, and "Ping All" sorts an answering
// and a silent address into their groups, of both families where the kernel has IPv6. Needs root;
// skips without.
#include "listview/listpings.h"
#include "platform/icmpstatus.h"
#include "probe/prober.h"
#include "tests/support/netns.h"
#include "tests/support/programrig.h"

#include <QListView>
#include <QPointer>
#include <QTest>

using namespace qos;
using namespace qos::test;

class TestListViewEndToEnd : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pauseResumeAndPingAll()
    {
        QOS_START_NETLAB(lab);
        NetnsScope scope(lab.client()); // the engine's socket opens in the lab's client namespace
        QVERIFY(scope.entered());

        const QByteArray answering = "10.213.3.1";
        const QByteArray silent = "10.213.2.3";
        // Where the kernel has IPv6, the location holds one of each kind of the other family too:
        // answering, silent, and rejected with an ICMPv6 error (address unreachable).
        const bool v6 = lab.hasIpv6();
        const QByteArray answering6 = "FD00:213:3:0::5", silent6 = "fd00:213:2::3",
                         rejected6 = "fd00:213:2::8";
        ProgramRig p(ProgramRig::Engine::Real);
        GraphLocation both{"two"}, quiet{"sil"}, up{"up"};
        both.siteip =
            answering + "," + silent + (v6 ? "," + answering6 + "," + silent6 + "," + rejected6 : "");
        quiet.siteip = silent;
        up.siteip = answering;
        QVERIFY(WriteGraph(p.folder(), {quiet, up, both}));
        p.start();
        p.cfg.settings.PINGTIMEOUT = 400;
        p.cfg.settings.PINGPACKETS = 1;

        // The cycle is waiting on the silent host of location 1 when the List View opens.
        QTest::mouseClick(p.c().startMonitor, Qt::LeftButton);
        QVERIFY(
            QTest::qWaitFor([&] { return p.c().statusLabel->text().startsWith(QLatin1String("Pinging")); }));
        QTest::mouseClick(p.view->marker(3), Qt::LeftButton);
        QPointer<ListView> l = p.list();
        QVERIFY(l);
        QVERIFY(QTest::qWaitFor([&] { return !p.monitor().running(); }, 5000));
        QCOMPARE(p.run.ResumeIndex, 2);
        QCOMPARE(p.colour(1), Red);
        QCOMPARE(p.colour(2), QColor(Qt::white)); // not reached

        QTest::mouseClick(l->controls().pingAll, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !l->pings().pingAllRunning(); }, 5000));
        auto texts = [](std::initializer_list<QByteArray> list) {
            QStringList out;
            for (const QByteArray &t : list)
                out << QString::fromLatin1(t);
            return out;
        };
        const QString offline = QStringLiteral("OFFLINE"), online = QStringLiteral("ONLINE");
        const QString unreachable = ProbeStatusText(IpDestHostUnreachable);
        QCOMPARE(p.column(1), v6 ? texts({answering, answering6}) : texts({answering}));
        QCOMPARE(p.column(2), (v6 ? QStringList{online, online} : QStringList{online}));
        QCOMPARE(p.column(4), v6 ? texts({silent, silent6, rejected6}) : texts({silent}));
        QCOMPARE(p.column(5), (v6 ? QStringList{offline, offline, unreachable} : QStringList{offline}));
        QCOMPARE(p.colour(3), Red);
        QCOMPARE(p.cfg.table[3].holdbad, v6 ? texts({silent, silent6, rejected6}) : texts({silent}));
        if (v6) { // Ping IP of the rejected one: its own word, in red
            SelectRow(l->list(4), 2);
            QTest::mouseClick(l->controls().pingIp, Qt::LeftButton);
            QVERIFY(QTest::qWaitFor([&] { return !l->pings().pingSelectedRunning(); }, 5000));
            QCOMPARE(l->result(), unreachable);
        }
        QCOMPARE(p.tray.firstTipLine(), QStringLiteral("QOR Online Status - ATTENTION"));

        QTest::mouseClick(l->controls().mapView, Qt::LeftButton); // "Map View"
        QTRY_VERIFY(!l);
        QVERIFY(p.view->isVisible());
        QVERIFY(QTest::qWaitFor([&] { return p.colour(2) == Green && !p.monitor().running(); }, 10000));
        QCOMPARE(p.colour(3), Red); // the resumed cycle went on from location 2 to the end
        QVERIFY(p.c().statusLabel->text().startsWith(QLatin1String("Monitoring... next cycle in ")));
        QVERIFY2(p.boxes.shown.isEmpty(), qPrintable(p.boxes.shown.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestListViewEndToEnd)
#include "test_listview_endtoend.moc"
