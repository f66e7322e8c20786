// The monitor cycle in the Map View: buttons, status line, indicators, attention and sounds, and the
// window's interval clock, over a scripted prober.
#include "tests/support/programrig.h"

#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace qos;
using namespace qos::test;

namespace {

const QString Up = QStringLiteral("10.0.0.1");
const QString Down = QStringLiteral("10.0.0.2");

GraphLocation location(const QByteArray &name, const QString &siteip)
{
    GraphLocation l{name};
    l.siteip = siteip.toLatin1();
    return l;
}

} // namespace

class TestMapViewMonitor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startAndStop();
    void intervalClockStartsNextCycle();
    void stopWhilePlacingKeepsButtonsHidden();
    void enabledLocationProbedAtOnce();
};

void TestMapViewMonitor::startAndStop()
{
    ProgramRig p;
    QVERIFY(WriteGraph(p.folder(), {location("up", Up), location("down", Down)}));
    p.fake.manual = true;
    p.fake.script[Down] = {StatusTimedOut};
    MapView &v = p.start();
    p.cfg.settings.ALERTWAV = QStringLiteral("alert.wav");
    p.cfg.settings.PINGINFLIGHT = 1; // one address at a time: the test follows each echo
    const qint64 normalIcon = v.windowIcon().cacheKey();
    QCOMPARE(p.c().statusLabel->text(), QStringLiteral("IDLE"));
    QVERIFY(p.showsOnly(p.c().startMonitor));

    QTest::mouseClick(p.c().startMonitor, Qt::LeftButton);
    QVERIFY(p.showsOnly(p.c().stopMonitor));
    QVERIFY(!p.program->clocks().interval->isActive());
    QVERIFY(p.program->clocks().resume->isActive());

    QVERIFY(QTest::qWaitFor([&] { return p.fake.pending.size() == 1; }));
    QCOMPARE(p.c().statusLabel->text(), QStringLiteral("Pinging ") + Up);
    QCOMPARE(p.colour(1), QColor(Qt::white));
    p.fake.answerNext();
    QVERIFY(QTest::qWaitFor([&] { return p.fake.pending.size() == 1; }));
    QCOMPARE(p.colour(1), Green);
    QCOMPARE(p.c().statusLabel->text(), QStringLiteral("Pinging ") + Down);
    QCOMPARE(p.tray.tooltip, QStringLiteral("QOR Online Status"));
    for (int attempt = 1; attempt < 4; ++attempt) { // PINGPACKETS 4
        p.fake.answerNext();
        QVERIFY(QTest::qWaitFor([&] { return p.fake.pending.size() == 1; }));
    }
    p.fake.answerNext();
    QVERIFY(p.cycleEnds());

    QCOMPARE(p.colour(2), Red);
    QVERIFY(p.c().statusLabel->text().startsWith(QLatin1String("Monitoring... next cycle in ")));
    QVERIFY(p.showsOnly(p.c().stopMonitor));
    QVERIFY(p.program->clocks().interval->isActive());
    QCOMPARE(p.tray.firstTipLine(), QStringLiteral("QOR Online Status - ATTENTION"));
    QVERIFY(p.tray.present);
    QCOMPARE(v.windowIcon().cacheKey(), p.tray.icon.cacheKey());
    QVERIFY(v.windowIcon().cacheKey() != normalIcon);
    QCOMPARE(p.sound.played, QStringList{QDir(p.folder()).filePath(QStringLiteral("alert.wav"))});
    QVERIFY(p.boxes.shown.isEmpty());

    QTest::mouseClick(p.c().stopMonitor, Qt::LeftButton);
    QVERIFY(p.showsOnly(p.c().startMonitor));
    QCOMPARE(p.c().statusLabel->text(), QStringLiteral("IDLE"));
    QCOMPARE(p.colour(1), QColor(Qt::white));
    QCOMPARE(p.colour(2), QColor(Qt::white));
    QCOMPARE(p.tray.tooltip, QStringLiteral("QOR Online Status"));
    QCOMPARE(v.windowIcon().cacheKey(), p.tray.icon.cacheKey());
    QVERIFY(p.program->clocks().interval->isActive());
}

// Every PINGINTERVAL x 60 ticks of the window's Timer1 after a cycle ended, the next one begins.
void TestMapViewMonitor::intervalClockStartsNextCycle()
{
    ProgramRig p;
    QVERIFY(WriteGraph(p.folder(), {location("up", Up)}));
    MapView &v = p.start();
    p.cfg.settings.PINGINTERVAL = 1;
    QSignalSpy ticks(p.program->clocks().interval, &QTimer::timeout);
    QList<qsizetype> startedAt, finishedAt;
    QStringList shown; // Label3 at each change of the status text
    connect(&p.monitor(), &MonitorCycle::statusTextChanged, this, [&](const QString &text) {
        shown << p.c().statusLabel->text();
        if (text.startsWith(QLatin1String("Pinging ")))
            startedAt << ticks.size();
    });
    connect(&p.monitor(), &MonitorCycle::cycleFinished, this, [&] { finishedAt << ticks.size(); });

    QTest::mouseClick(p.c().startMonitor, Qt::LeftButton);
    p.program->clocks().interval->setInterval(1); // a fast clock: the cycle restarts it with this interval
    QVERIFY(QTest::qWaitFor([&] { return finishedAt.size() == 3; }));
    v.controls().stopMonitor->click();

    QCOMPARE(startedAt.size(), 3);
    QCOMPARE(startedAt[1] - finishedAt[0], 60);
    QCOMPARE(startedAt[2] - finishedAt[1], 60);
    QCOMPARE(startedAt[0], finishedAt[0]); // no tick while a cycle runs
    QCOMPARE(p.fake.echoes, QStringList(3, Up));
    const QString pinging = QStringLiteral("Pinging ") + Up, waiting = QStringLiteral("Monitoring...");
    QCOMPARE(shown,
             (QStringList{pinging, waiting, pinging, waiting, pinging, waiting, QStringLiteral("IDLE")}));
}

// Placement mode hides both buttons and shows the right one again from Command3's enabled state.
void TestMapViewMonitor::stopWhilePlacingKeepsButtonsHidden()
{
    ProgramRig p;
    p.start();
    QTest::mouseClick(p.c().startMonitor, Qt::LeftButton);
    QVERIFY(p.cycleEnds());
    p.run.PlacementMode = 1;
    p.c().stopMonitor->hide();
    p.monitor().StopMonitor();
    QVERIFY(p.c().startMonitor->isHidden() && p.c().stopMonitor->isHidden());
    QVERIFY(p.c().startMonitor->isEnabled() && !p.c().stopMonitor->isEnabled());
}

// A location switched on while monitoring waits is probed at once, each address once, and shown
// as the cycle would; the next cycle keeps its time.
void TestMapViewMonitor::enabledLocationProbedAtOnce()
{
    ProgramRig p;
    QVERIFY(WriteGraph(p.folder(), {location("up", Up), Site("war", "10.213.9.1,10.213.9.2", {}, "1")},
                       "PINGPACKETS=1\r\n"));
    p.start();
    p.fake.script[QStringLiteral("10.213.9.2")] = {StatusTimedOut};
    QTest::mouseClick(p.c().startMonitor, Qt::LeftButton);
    QVERIFY(p.cycleEnds());
    const QStringList before = p.fake.echoes;
    const qint32 counter = p.run.SecondsCounter;
    ListView &l = p.open(2);
    QTest::mouseClick(l.controls().enabledYes, Qt::LeftButton); // LOCATION ENABLED yes
    QTRY_COMPARE(p.colour(2), Red);
    QCOMPARE(p.fake.echoes.mid(before.size()),
             (QStringList{QStringLiteral("10.213.9.1"), QStringLiteral("10.213.9.2")}));
    QCOMPARE(p.cfg.table[2].holdbad, QStringList{QStringLiteral("10.213.9.2")});
    QCOMPARE(p.notifier.notices.size(), 1);
    QCOMPARE(p.notifier.notices[0].summary, QStringLiteral("war offline"));
    QCOMPARE(p.run.SecondsCounter, counter);
    QVERIFY(!p.monitor().running());
}

QTEST_MAIN(TestMapViewMonitor)
#include "test_mapview_monitor.moc"
