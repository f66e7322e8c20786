// "Start Monitor" in the Map View with this machine's echo engine: test hosts in network namespaces of
// the test's own, and the demo configuration's loopback addresses. Needs root; skips without.
#include "tests/support/netns.h"
#include "tests/support/programrig.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

using namespace qos;
using namespace qos::test;

namespace {

// The lab's target answers for address from now on.
bool Answer(NetLab &lab, const QString &address)
{
    return lab.run(QStringLiteral("ip"),
                   {QStringLiteral("-n"), lab.target(), QStringLiteral("addr"), QStringLiteral("add"),
                    address + QStringLiteral("/32"), QStringLiteral("dev"), QStringLiteral("lo")});
}

} // namespace

class TestMapViewEndToEnd : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void answeringAndSilentLocations();
    void routerAndLocationsBehindIt();
    void demoLoopbackLocations();
};

void TestMapViewEndToEnd::answeringAndSilentLocations()
{
    QOS_START_NETLAB(lab);
    NetnsScope scope(lab.client()); // the engine's socket opens in the lab's client namespace
    QVERIFY(scope.entered());

    const QString answering = QStringLiteral("10.213.3.1");
    const QString silent = QStringLiteral("10.213.2.3");
    ProgramRig p(ProgramRig::Engine::Real);
    GraphLocation a{"answering"}, s{"silent"};
    a.siteip = answering.toLatin1();
    s.siteip = silent.toLatin1();
    QVERIFY(WriteGraph(p.folder(), {a, s}));
    MapView &v = p.start();
    p.cfg.settings.PINGTIMEOUT = 300;
    p.cfg.settings.PINGPACKETS = 2;
    p.cfg.settings.PINGINTERVAL = 1;
    p.cfg.settings.ALERTWAV = QStringLiteral("alert.wav");
    p.cfg.settings.ONLINEWAV = QStringLiteral("online.wav");
    const QDir folder(p.folder());

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(p.c().startMonitor, Qt::LeftButton);
    QVERIFY(p.showsOnly(p.c().stopMonitor));
    QVERIFY(p.cycleEnds(10000));
    QVERIFY2(p.boxes.shown.isEmpty(), qPrintable(p.boxes.shown.join(QLatin1Char('\n'))));
    QCOMPARE(p.colour(1), Green);
    QCOMPARE(p.colour(2), Red);
    QCOMPARE(p.cfg.table[2].holdbad, QStringList{silent});
    QVERIFY(clock.elapsed() >= 2 * 300); // both attempts at the silent host waited their timeout
    QVERIFY(p.c().statusLabel->text().startsWith(QLatin1String("Monitoring... next cycle in ")));
    QCOMPARE(p.run.AttentionShown, 1);
    QVERIFY(p.tray.tooltip.startsWith(QLatin1String("QOR Online Status - ATTENTION\nsilent offline since ")));
    QCOMPARE(v.windowIcon().cacheKey(), p.tray.icon.cacheKey());
    QCOMPARE(p.sound.played, QStringList{folder.filePath(QStringLiteral("alert.wav"))});

    // The silent host comes back; the window's interval clock (made fast here) starts the next cycle,
    // which finds it online, plays the back-online sound and lowers the attention picture.
    QVERIFY2(Answer(lab, silent), qPrintable(lab.error()));
    p.program->clocks().interval->setInterval(1);
    QVERIFY(QTest::qWaitFor([&] { return p.colour(2) == Green && !p.monitor().running(); }, 10000));
    QCOMPARE(p.colour(1), Green);
    QCOMPARE(p.run.AttentionShown, 0);
    QCOMPARE(p.tray.firstTipLine(), QStringLiteral("QOR Online Status"));
    QCOMPARE(v.windowIcon().cacheKey(), p.tray.icon.cacheKey());
    QCOMPARE(p.sound.played, (QStringList{folder.filePath(QStringLiteral("alert.wav")),
                                          folder.filePath(QStringLiteral("online.wav"))}));
    QVERIFY(p.showsOnly(p.c().stopMonitor));
}

// A router and two locations reached through it (before it in the table), all silent at first: one
// notification names the router and the two behind it, which sound nothing and show unreachable;
// when they answer again all three turn green with one back-online sound.
void TestMapViewEndToEnd::routerAndLocationsBehindIt()
{
    QOS_START_NETLAB(lab);
    NetnsScope scope(lab.client());
    QVERIFY(scope.entered());

    const QStringList silent{QStringLiteral("10.213.2.21"), QStringLiteral("10.213.2.22"),
                             QStringLiteral("10.213.2.20")};
    ProgramRig p(ProgramRig::Engine::Real);
    GraphLocation a{"A"}, b{"B"}, router{"RTR"};
    a.siteip = silent[0].toLatin1();
    b.siteip = silent[1].toLatin1();
    router.siteip = silent[2].toLatin1();
    a.parent = b.parent = "RTR";
    QVERIFY(WriteGraph(p.folder(), {a, b, router}));
    MapView &v = p.start();
    QCOMPARE(v.canvas()->parentLines().size(), 2);
    p.cfg.settings.PINGTIMEOUT = 300;
    p.cfg.settings.PINGPACKETS = 1;
    p.cfg.settings.PINGINTERVAL = 1;
    p.cfg.settings.ALERTWAV = QStringLiteral("alert.wav");
    p.cfg.settings.ONLINEWAV = QStringLiteral("online.wav");
    const QColor unreachable = IndicatorColour(Indicator::Unreachable);

    QTest::mouseClick(p.c().startMonitor, Qt::LeftButton);
    QVERIFY(p.cycleEnds(10000));
    QVERIFY2(p.boxes.shown.isEmpty(), qPrintable(p.boxes.shown.join(QLatin1Char('\n'))));
    QCOMPARE(p.colour(1), unreachable);
    QCOMPARE(p.colour(2), unreachable);
    QCOMPARE(p.colour(3), Red);
    QCOMPARE(p.notifier.notices.size(), 1);
    QCOMPARE(p.notifier.notices[0].summary,
             QStringLiteral("RTR offline (2 locations behind it unreachable)"));
    QCOMPARE(p.sound.played, QStringList{QDir(p.folder()).filePath(QStringLiteral("alert.wav"))});
    QCOMPARE(p.run.AttentionShown, 1);

    for (const QString &address : silent)
        QVERIFY2(Answer(lab, address), qPrintable(lab.error()));
    p.program->clocks().interval->setInterval(1);
    QVERIFY(QTest::qWaitFor([&] { return p.colour(3) == Green && !p.monitor().running(); }, 10000));
    QCOMPARE(p.colour(1), Green);
    QCOMPARE(p.colour(2), Green);
    QCOMPARE(p.run.AttentionShown, 0);
    QCOMPARE(p.notifier.notices.size(), 2);
    QCOMPARE(p.notifier.notices[1].summary, QStringLiteral("RTR back online"));
    QCOMPARE(p.sound.played.size(), 2);
    QVERIFY(p.sound.played[1].endsWith(QLatin1String("online.wav")));
}

// The bundled demo: every enabled location lists loopback addresses (and "localhost") only.
void TestMapViewEndToEnd::demoLoopbackLocations()
{
    if (const auto engine = makeEchoEngine(); !engine->open())
        QSKIP(qPrintable(QStringLiteral("no echo socket here: ") + engine->openFailureHint()));
    ProgramRig p(ProgramRig::Engine::Real);
    QVERIFY(QFile::copy(QStringLiteral(QOS_ASSETS_DIR "/demo/graph.txt"),
                        QDir(p.folder()).filePath(QStringLiteral("graph.txt"))));
    MapView &v = p.start();
    QCOMPARE(v.highestMarkerIndex(), 8);
    QCOMPARE(p.colour(6), QColor(Qt::black)); // WAR, loaded disabled

    QTest::mouseClick(p.c().startMonitor, Qt::LeftButton);
    QVERIFY(p.cycleEnds(20000));
    QVERIFY2(p.boxes.shown.isEmpty(), qPrintable(p.boxes.shown.join(QLatin1Char('\n'))));
    const QList<std::pair<QString, QColor>> expected = {{QStringLiteral("LON"), Green},
                                                        {QStringLiteral("PAR"), Green},
                                                        {QStringLiteral("BER"), Green},
                                                        {QStringLiteral("MAD"), Green},
                                                        {QStringLiteral("ROM"), Cyan}, // 127.0.0.6 is ignored
                                                        {QStringLiteral("WAR"), QColor(Qt::black)},
                                                        {QStringLiteral("STO"), Green},
                                                        {QStringLiteral("VIE"), Green}};
    for (int k = 1; k <= expected.size(); ++k) {
        QCOMPARE(v.marker(k)->text(), expected[k - 1].first);
        QCOMPARE(p.colour(k), expected[k - 1].second);
    }
    QVERIFY(p.c().statusLabel->text().startsWith(QLatin1String("Monitoring... next cycle in ")));
    QCOMPARE(p.tray.firstTipLine(), QStringLiteral("QOR Online Status"));
    QCOMPARE(p.sound.beeps, 0);
    QVERIFY(p.sound.played.isEmpty());
}

QTEST_MAIN(TestMapViewEndToEnd)
#include "test_mapview_endtoend.moc"
