#include "monitor/statusline.h"
#include "rig.h"

#include "monitor/statuspacer.h"

#include <QSignalSpy>
#include <QTest>

using namespace qos;
using namespace qos::test;

Q_DECLARE_METATYPE(qos::Indicator)

namespace {

const QString A = QStringLiteral("10.0.0.1");
const QString B = QStringLiteral("10.0.0.2");
const QString C = QStringLiteral("10.0.0.3");
const QString A10 = QStringLiteral("10.0.0.10");

QList<ProbeStatus> statuses(std::initializer_list<ProbeStatus> list)
{
    return QList<ProbeStatus>(list);
}

} // namespace

class TestMonitorCycle : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void oneLocation_data();
    void oneLocation();
    void statusLineAndButtons();
    void waitingStatusLine_data();
    void waitingStatusLine();
    void soundsAcrossCycles_data();
    void soundsAcrossCycles();
    void stopResetsFirstCycle();
    void disabledOfflineLocationKeepsFlagAndAttention();
    void pauseAndResume();
    void resumedCycleKeepsEarlierOffline();
    void stopDuringEcho();
    void stopDuringYieldColoursNothing();
    void lateAnswerOfStoppedRunIgnored();
    void tableReloadedEndsRun();
    void socketsFailureShowsOneBox();
    void intervalClock_data();
    void intervalClock();
    void statusPaced_data();
    void statusPaced();
};

// One cycle over one location: colour, echoes sent, `holdbad`.
void TestMonitorCycle::oneLocation_data()
{
    QTest::addColumn<QString>("siteip");
    QTest::addColumn<QString>("ignore");
    QTest::addColumn<QString>("disabled");
    QTest::addColumn<int>("packets");
    QTest::addColumn<int>("startupsThatWork");
    QTest::addColumn<QStringList>("failing"); // addresses that never answer
    QTest::addColumn<Indicator>("colour");
    QTest::addColumn<QStringList>("echoes");
    QTest::addColumn<QStringList>("holdbad");

    const QStringList none;
    const int all = INT_MAX;
    QTest::newRow("empty siteip is online")
        << QString() << QString() << QString() << 4 << all << none << Indicator::Green << none << none;
    QTest::newRow("answering address")
        << A << QString() << QString() << 4 << all << none << Indicator::Green << QStringList{A} << none;
    QTest::newRow("silent address, every attempt")
        << A << QString() << QString() << 4 << all << QStringList{A} << Indicator::Red
        << QStringList{A, A, A, A} << QStringList{A};
    QTest::newRow("trailing comma probes *** and fails")
        << A + QStringLiteral(",") << QString() << QString() << 2 << all << none << Indicator::Red
        << QStringList{A, QStringLiteral("***"), QStringLiteral("***")} << none;
    QTest::newRow("empty ignore entry ignores nothing")
        << A + QStringLiteral(",") << QStringLiteral("x,") << QString() << 1 << all << none << Indicator::Red
        << QStringList{A, QStringLiteral("***")} << none;
    QTest::newRow("PINGPACKETS 0 sends nothing, online")
        << A + QStringLiteral(",") + B << QString() << QString() << 0 << all << QStringList{A, B}
        << Indicator::Green << none << none;
    QTest::newRow("A and B fail: holdbad A then B")
        << A + QStringLiteral(",") + C + QStringLiteral(",") + B << QString() << QString() << 1 << all
        << QStringList{A, B} << Indicator::Red << QStringList{A, C, B} << QStringList{A, B};
    QTest::newRow("holdbad holds whole addresses")
        << A10 + QStringLiteral(",") + A << QString() << QString() << 1 << all << QStringList{A10}
        << Indicator::Red << QStringList{A10, A} << QStringList{A10};
    QTest::newRow("all ignored is online(partial ignore)")
        << A << A << QString() << 4 << all << QStringList{A} << Indicator::Cyan << none << none;
    QTest::newRow("offline(partial ignore)")
        << A + QStringLiteral(",") + B << B << QString() << 2 << all << QStringList{A} << Indicator::DarkRed
        << QStringList{A, A} << QStringList{A};
    QTest::newRow("disabled is black, not probed") << A << QString() << QStringLiteral("1") << 4 << all
                                                   << QStringList{A} << Indicator::Black << none << none;
    QTest::newRow("host name resolved first")
        << QStringLiteral("gateway") << QString() << QString() << 4 << all << none << Indicator::Green
        << QStringList{QStringLiteral("10.0.0.254")} << none;
    QTest::newRow("unresolvable name fails, no echo sent")
        << QStringLiteral("nowhere") << QString() << QString() << 2 << all << none << Indicator::Red << none
        << QStringList{QStringLiteral("nowhere")};
    QTest::newRow("sockets never start: offline, nothing sent")
        << A << QString() << QString() << 4 << 0 << none << Indicator::Red << none << QStringList{A};
    QTest::newRow("no echo for the second entry: it does not inherit the first's reply")
        << A + QStringLiteral(",") + B << QString() << QString() << 3 << 1 << none << Indicator::Red
        << QStringList{A} << QStringList{B};
}

void TestMonitorCycle::oneLocation()
{
    QFETCH(QString, siteip);
    QFETCH(QString, ignore);
    QFETCH(QString, disabled);
    QFETCH(int, packets);
    QFETCH(int, startupsThatWork);
    QFETCH(QStringList, failing);
    QFETCH(Indicator, colour);
    QFETCH(QStringList, echoes);
    QFETCH(QStringList, holdbad);

    // One address at a time, then all at once: the same outcome and the same echoes per address
    // (probed together, the addresses' echoes interleave).
    for (const qint16 window : {qint16(1), kDefaultPingInFlight}) {
        Rig rig;
        rig.cfg.settings.PINGINFLIGHT = window;
        rig.cfg.settings.PINGPACKETS = qint16(packets);
        rig.cfg.settings.PINGTIMEOUT = 750;
        rig.prober.startupsThatWork = startupsThatWork;
        rig.prober.names.insert(QStringLiteral("gateway"), QStringLiteral("10.0.0.254"));
        for (const QString &address : failing)
            rig.prober.script.insert(address, statuses({StatusTimedOut}));
        const int k = rig.add(siteip, ignore, disabled);
        rig.at(k).flash = QStringLiteral("0");

        QVERIFY(rig.cycleOnce());
        QCOMPARE(rig.at(k).center, colour);
        QStringList sent = rig.prober.echoes, expected = echoes;
        if (window > 1) {
            sent.sort();
            expected.sort();
        }
        QCOMPARE(sent, expected);
        QCOMPARE(rig.at(k).holdbad, holdbad);
        const bool offline = colour == Indicator::Red || colour == Indicator::DarkRed;
        QCOMPARE(rig.at(k).flash, offline ? QStringLiteral("1") : QStringLiteral("0"));
        for (int timeout : std::as_const(rig.prober.timeouts))
            QCOMPARE(timeout, 750);
        QCOMPARE(rig.cycle->statusText(), disabled == QLatin1String("1") ? QLatin1String(kNothingToMonitor)
                                                                         : QLatin1String("Monitoring..."));
    }
}

void TestMonitorCycle::statusLineAndButtons()
{
    Rig rig;
    rig.cfg.settings.PINGPACKETS = 1;
    rig.add(A + QStringLiteral(",,") + B);
    rig.add(C, QString(), QStringLiteral("1"));
    QSignalSpy buttons(rig.cycle.get(), &MonitorCycle::monitoringChanged);
    QSignalSpy finished(rig.cycle.get(), &MonitorCycle::cycleFinished);
    QCOMPARE(rig.cycle->statusText(), QStringLiteral("IDLE"));
    QVERIFY(rig.cycle->startMonitorEnabled());
    rig.clocks.interval->start();

    rig.cycle->StartMonitor();
    QVERIFY(rig.cycle->monitoring());
    QVERIFY(!rig.cycle->startMonitorEnabled());
    QVERIFY(!rig.clocks.interval->isActive());
    QVERIFY(rig.finishRun());
    QCOMPARE(rig.statuses, (QStringList{QStringLiteral("Pinging ") + A, QStringLiteral("Pinging "),
                                        QStringLiteral("Pinging ") + B, QStringLiteral("Monitoring...")}));
    QVERIFY(rig.clocks.interval->isActive());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(rig.run.FirstCycle, qint16(2));

    rig.cycle->StopMonitor();
    QVERIFY(!rig.cycle->monitoring());
    QCOMPARE(rig.cycle->statusText(), QStringLiteral("IDLE"));
    QCOMPARE(rig.at(1).center, Indicator::White);
    QCOMPARE(rig.at(2).center, Indicator::White); // disabled locations too
    QCOMPARE(rig.run.FirstCycle, qint16(1));
    QVERIFY(rig.clocks.interval->isActive());
    QCOMPARE(buttons.count(), 2);
    QCOMPARE(buttons.at(0).at(0).toBool(), true);
    QCOMPARE(buttons.at(1).at(0).toBool(), false);
}

// Two cycles over one location of A and B (B always answers): sounds of each cycle.
void TestMonitorCycle::soundsAcrossCycles_data()
{
    QTest::addColumn<bool>("firstAnswers");
    QTest::addColumn<QString>("firstIgnore");
    QTest::addColumn<bool>("secondAnswers");
    QTest::addColumn<QString>("secondIgnore");
    QTest::addColumn<QStringList>("firstSounds");
    QTest::addColumn<QStringList>("secondSounds");
    QTest::addColumn<Indicator>("colour");

    const QStringList none;
    const QStringList alert{QStringLiteral("PlayAlertSound")};
    const QStringList online{QStringLiteral("PlayOnlineSound")};
    QTest::newRow("online, online: silent")
        << true << QString() << true << QString() << none << none << Indicator::Green;
    QTest::newRow("offline in the first cycle alerts; staying offline is silent")
        << false << QString() << false << QString() << alert << none << Indicator::Red;
    QTest::newRow("back online from the second cycle")
        << false << QString() << true << QString() << alert << online << Indicator::Green;
    QTest::newRow("online then offline")
        << true << QString() << false << QString() << none << alert << Indicator::Red;
    QTest::newRow("offline to offline(partial ignore) alerts again")
        << false << QString() << false << B << alert << alert << Indicator::DarkRed;
    QTest::newRow("online to online(partial ignore) is a change")
        << true << QString() << true << B << none << online << Indicator::Cyan;
}

void TestMonitorCycle::soundsAcrossCycles()
{
    QFETCH(bool, firstAnswers);
    QFETCH(QString, firstIgnore);
    QFETCH(bool, secondAnswers);
    QFETCH(QString, secondIgnore);
    QFETCH(QStringList, firstSounds);
    QFETCH(QStringList, secondSounds);
    QFETCH(Indicator, colour);

    Rig rig;
    const int k = rig.add(A + QStringLiteral(",") + B, firstIgnore);
    rig.prober.script.insert(A, statuses({firstAnswers ? StatusReply : StatusTimedOut}));
    QVERIFY(rig.cycleOnce());
    QCOMPARE(rig.alerts.sounds(), firstSounds);
    QCOMPARE(rig.alerts.up, !firstAnswers);

    rig.alerts.calls.clear();
    rig.at(k).ignore = secondIgnore;
    rig.prober.script.insert(A, statuses({secondAnswers ? StatusReply : StatusTimedOut}));
    QVERIFY(rig.cycleOnce());
    QCOMPARE(rig.alerts.sounds(), secondSounds);
    QCOMPARE(rig.alerts.up, !secondAnswers);
    QCOMPARE(rig.at(k).center, colour);
    // An evaluation without failures leaves `holdbad` as the last failing one wrote it.
    QCOMPARE(rig.at(k).holdbad, (firstAnswers && secondAnswers) ? QStringList{} : QStringList{A});
}

void TestMonitorCycle::stopResetsFirstCycle()
{
    Rig rig;
    rig.add(A);
    rig.prober.script.insert(
        A, statuses({StatusTimedOut, StatusTimedOut, StatusTimedOut, StatusTimedOut, StatusReply}));
    QVERIFY(rig.cycleOnce());
    QCOMPARE(rig.alerts.count("PlayAlertSound"), 1);
    rig.cycle->StopMonitor();
    QVERIFY(!rig.alerts.up);
    QVERIFY(rig.cycleOnce()); // a first cycle again: found online, no sound
    QCOMPARE(rig.at(1).center, Indicator::Green);
    QCOMPARE(rig.alerts.count("PlayOnlineSound"), 0);
}

void TestMonitorCycle::disabledOfflineLocationKeepsFlagAndAttention()
{
    Rig rig;
    const int offline = rig.add(A);
    const int other = rig.add(B);
    rig.prober.script.insert(A, statuses({StatusTimedOut}));
    QVERIFY(rig.cycleOnce());
    QVERIFY(rig.alerts.up);

    rig.at(offline).sitedisabled = QStringLiteral("1");
    bool upWhenOtherShown = false;
    QObject::connect(&rig.states, &LocationStates::changed, &rig.owner, [&](const StateChange &change) {
        if (change.location == other)
            upWhenOtherShown = rig.alerts.up;
    });
    QVERIFY(rig.cycleOnce());
    QCOMPARE(rig.at(offline).center, Indicator::Black);
    QCOMPARE(rig.at(offline).flash, QStringLiteral("1"));
    QCOMPARE(rig.at(offline).holdbad, QStringList{A});
    QVERIFY(upWhenOtherShown); // an online location does not lower it while one is still flagged
    QVERIFY(!rig.alerts.up);   // the cycle finished without an offline location
}

void TestMonitorCycle::pauseAndResume()
{
    Rig rig;
    rig.prober.manual = true;
    rig.add(A);
    rig.add(B);
    rig.add(C);
    rig.cycle->StartMonitor();
    QVERIFY(rig.waitingEchoes(1));
    rig.prober.answerNext();
    QVERIFY(rig.waitingEchoes(1));
    QCOMPARE(rig.prober.echoes.last(), B);

    rig.run.MonitorPaused = 1; // the List View opens while location 2 is probed
    rig.prober.answerNext();
    QVERIFY(rig.finishRun());
    QCOMPARE(rig.at(2).center, Indicator::Green); // location 2 is finished
    QCOMPARE(rig.at(3).center, Indicator::White);
    QCOMPARE(rig.run.ResumeIndex, 3);
    QCOMPARE(rig.cycle->statusText(), QStringLiteral("Pinging ") + B);
    QVERIFY(rig.cycle->monitoring());
    QVERIFY(!rig.clocks.interval->isActive());

    rig.cycle->ResumeClockTick(); // still paused: nothing
    rig.cycle->StartMonitor();    // nor does "Start Monitor"
    QCoreApplication::processEvents();
    QVERIFY(!rig.cycle->running());
    QCOMPARE(rig.run.ResumeIndex, 3);
    QCOMPARE(rig.prober.echoes.size(), 2);

    // The List View closes; the resume clock picks the cycle up at location 3.
    rig.run.MonitorPaused = 0;
    rig.clocks.resume->setInterval(500);
    rig.clocks.resume->start();
    QVERIFY(rig.until([&] { return rig.prober.pending.size() == 1; }));
    rig.clocks.resume->stop();
    QCOMPARE(rig.prober.echoes, (QStringList{A, B, C}));
    QCOMPARE(rig.run.ResumeIndex, 0);
    rig.prober.answerNext();
    QVERIFY(rig.finishRun());
    QCOMPARE(rig.at(3).center, Indicator::Green);
    QCOMPARE(rig.cycle->statusText(), QStringLiteral("Monitoring..."));
    QVERIFY(rig.clocks.interval->isActive());
}

void TestMonitorCycle::resumedCycleKeepsEarlierOffline()
{
    Rig rig;
    rig.prober.manual = true;
    rig.add(A);
    rig.add(B);
    rig.prober.script.insert(A, statuses({StatusTimedOut}));
    rig.cfg.settings.PINGPACKETS = 1;
    rig.cycle->StartMonitor();
    QVERIFY(rig.waitingEchoes(1));
    rig.run.MonitorPaused = 1;
    rig.prober.answerNext();
    QVERIFY(rig.finishRun());
    QCOMPARE(rig.run.ResumeIndex, 2);
    QVERIFY(rig.alerts.up);

    rig.run.MonitorPaused = 0;
    rig.cycle->ResumeClockTick();
    QVERIFY(rig.waitingEchoes(1));
    rig.prober.answerNext();
    QVERIFY(rig.finishRun());
    QCOMPARE(rig.at(1).center, Indicator::Red);
    QVERIFY(rig.alerts.up); // location 1, found before the pause, is still offline
    QCOMPARE(rig.run.LastCycleHadOffline, qint16(1));
}

void TestMonitorCycle::stopDuringEcho()
{
    Rig rig;
    rig.prober.manual = true;
    rig.add(A);
    rig.add(B);
    rig.prober.script.insert(A, statuses({StatusTimedOut}));
    rig.cycle->StartMonitor();
    QVERIFY(rig.waitingEchoes(1));
    rig.cycle->StopMonitor();
    rig.prober.answerNext();
    QVERIFY(rig.finishRun());
    QCoreApplication::processEvents();
    QCOMPARE(rig.prober.echoes, QStringList{A});
    QCOMPARE(rig.at(1).center, Indicator::White);
    QCOMPARE(rig.at(1).flash, QStringLiteral("0"));
    QVERIFY(rig.alerts.sounds().isEmpty());
    QVERIFY(!rig.alerts.up);
    QCOMPARE(rig.cycle->statusText(), QStringLiteral("IDLE"));
}

void TestMonitorCycle::stopDuringYieldColoursNothing()
{
    Rig rig;
    rig.prober.manual = true;
    rig.add(A);
    rig.add(B, B); // wholly ignored: evaluated without an echo
    rig.cycle->StartMonitor();
    QVERIFY(rig.waitingEchoes(1));
    rig.prober.answerNext(); // location 1 done; the cycle now waits after the ignore test of location 2
    QCOMPARE(rig.at(1).center, Indicator::Green);
    rig.cycle->StopMonitor();
    QVERIFY(rig.finishRun());
    QCoreApplication::processEvents();
    QCOMPARE(rig.at(1).center, Indicator::White);
    QCOMPARE(rig.at(2).center, Indicator::White);
    QCOMPARE(rig.cycle->statusText(), QStringLiteral("IDLE"));
    QVERIFY(!rig.cycle->monitoring());
}

void TestMonitorCycle::lateAnswerOfStoppedRunIgnored()
{
    Rig rig;
    rig.prober.manual = true;
    rig.add(A);
    rig.prober.script.insert(A, statuses({StatusTimedOut, StatusReply}));
    rig.cfg.settings.PINGPACKETS = 1;
    rig.cycle->StartMonitor();
    QVERIFY(rig.waitingEchoes(1));
    rig.cycle->StopMonitor();
    rig.cycle->StartMonitor(); // before the old echo is answered
    QVERIFY(rig.waitingEchoes(2));
    rig.prober.answerNext(); // the old run's timeout: dropped
    QVERIFY(rig.cycle->running());
    QCOMPARE(rig.at(1).center, Indicator::White);
    rig.prober.answerNext();
    QVERIFY(rig.finishRun());
    QCOMPARE(rig.at(1).center, Indicator::Green);
    QVERIFY(rig.alerts.sounds().isEmpty());
}

void TestMonitorCycle::tableReloadedEndsRun()
{
    Rig rig;
    rig.prober.manual = true;
    rig.add(A);
    rig.add(B);
    rig.cycle->StartMonitor();
    QVERIFY(rig.waitingEchoes(1));
    rig.cfg.table.records.removeLast(); // a location deleted and the table loaded anew
    ++rig.cfg.generation;
    rig.prober.answerNext();
    QVERIFY(rig.finishRun());
    QCOMPARE(rig.at(1).center, Indicator::White);
    QVERIFY(!rig.cycle->monitoring());
    QCOMPARE(rig.cycle->statusText(), QStringLiteral("IDLE"));

    // A pause that outlives a reload does not resume into the new table.
    rig.add(B);
    rig.cycle->StartMonitor();
    QVERIFY(rig.waitingEchoes(1));
    rig.run.MonitorPaused = 1;
    rig.prober.answerNext();
    QVERIFY(rig.finishRun());
    QCOMPARE(rig.run.ResumeIndex, 2);
    ++rig.cfg.generation;
    rig.run.MonitorPaused = 0;
    rig.cycle->ResumeClockTick();
    QVERIFY(rig.finishRun());
    QCoreApplication::processEvents();
    QCOMPARE(rig.prober.echoes.size(), 2);
    QVERIFY(!rig.cycle->monitoring());
    QCOMPARE(rig.run.ResumeIndex, 0);
}

void TestMonitorCycle::socketsFailureShowsOneBox()
{
    Rig rig;
    rig.boxes.confirmAtOnce = false;
    rig.prober.startupsThatWork = 0;
    rig.add(A + QStringLiteral(",") + B);
    rig.add(C);
    QVERIFY(rig.cycleOnce());
    QCOMPARE(rig.boxes.shown, QStringList{rig.prober.SocketsStartupFailureText()});
    QCOMPARE(rig.prober.failedStartups, 12);
    QCOMPARE(rig.at(1).center, Indicator::Red);
    QCOMPARE(rig.at(2).center, Indicator::Red);
    QVERIFY(rig.cycleOnce());
    QCOMPARE(rig.boxes.shown.size(), 1); // still open: not stacked
    rig.boxes.confirmAll();
    QVERIFY(rig.cycleOnce());
    QCOMPARE(rig.boxes.shown.size(), 2);
}

void TestMonitorCycle::intervalClock_data()
{
    QTest::addColumn<int>("minutes");
    QTest::addColumn<bool>("monitoring");
    QTest::addColumn<int>("placementMode");
    QTest::addColumn<bool>("starts");
    QTest::newRow("1 minute") << 1 << true << 0 << true;
    QTest::newRow("600 minutes, beyond 16 bits of seconds") << 600 << true << 0 << true;
    QTest::newRow("placement mode skips") << 1 << true << 1 << false;
    QTest::newRow("idle counts, starts nothing") << 1 << false << 0 << false;
}

void TestMonitorCycle::intervalClock()
{
    QFETCH(int, minutes);
    QFETCH(bool, monitoring);
    QFETCH(int, placementMode);
    QFETCH(bool, starts);

    Rig rig;
    rig.add(A);
    rig.cfg.settings.PINGINTERVAL = qint16(minutes);
    const qint64 limit = qint64(minutes) * 60;
    if (monitoring) {
        QVERIFY(rig.cycleOnce());
        QVERIFY(rig.clocks.interval->isActive());
    }
    rig.run.PlacementMode = qint16(placementMode);
    rig.run.SecondsCounter = 0;
    for (int round = 0; round < 2; ++round) {
        const qsizetype before = rig.prober.echoes.size();
        rig.tick(limit - 1);
        QVERIFY(!rig.cycle->running());
        QCOMPARE(rig.run.SecondsCounter, qint32(limit - 1));
        rig.tick(1);
        QCOMPARE(rig.run.SecondsCounter, 0);
        QCOMPARE(rig.cycle->running(), starts);
        if (!starts)
            continue;
        QVERIFY(!rig.clocks.interval->isActive()); // no ticks while the cycle runs
        QVERIFY(rig.finishRun());
        QCOMPARE(rig.prober.echoes.size(), before + 1);
        QVERIFY(rig.clocks.interval->isActive());
    }
}

// The status line through the pacer: texts offered, "|" for a tick, and what the window shows.
void TestMonitorCycle::statusPaced_data()
{
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QString>("shown");
    QTest::newRow("a few, at once") << "IDLE P1 P2 Monitoring..."
                                    << "IDLE P1 P2 Monitoring...";
    QTest::newRow("many: the latest on each tick") << "P1 P2 P3 P4 | P5 | |"
                                                   << "P1 P2 P4 P5";
    QTest::newRow("one left waiting at the end") << "P1 P2 P3 Monitoring... P4"
                                                 << "P1 P2 Monitoring... P4";
    QTest::newRow("a tick with nothing waiting") << "P1 P2 | P3 P4 P5 |"
                                                 << "P1 P2 P3 P4 P5";
}

void TestMonitorCycle::statusPaced()
{
    QFETCH(QString, offered);
    StatusPacer pacer;
    QStringList seen;
    connect(&pacer, &StatusPacer::show, this, [&seen](const QString &text) { seen << text; });
    // "P1" stands for "Pinging 10.0.0.1".
    const auto expand = [](const QString &word) {
        return word.size() == 2 && word[0] == QLatin1Char('P') ? QStringLiteral("Pinging 10.0.0.") + word[1]
                                                               : word;
    };
    for (const QString &word : offered.split(QLatin1Char(' ')))
        word == QLatin1String("|") ? pacer.tick() : pacer.offer(expand(word));
    QStringList expected;
    QFETCH(QString, shown);
    for (const QString &word : shown.split(QLatin1Char(' ')))
        expected << expand(word);
    QCOMPARE(seen, expected);
}

QTEST_GUILESS_MAIN(TestMonitorCycle)
// The status line while monitoring waits: the next cycle's start and the last one's time.
void TestMonitorCycle::waitingStatusLine_data()
{
    QTest::addColumn<QString>("cycleText");
    QTest::addColumn<bool>("waiting");
    QTest::addColumn<qint32>("counter");
    QTest::addColumn<int>("interval");
    QTest::addColumn<qint64>("lastMs"); // -1: no cycle yet
    QTest::addColumn<QString>("line");
    const QString m = QStringLiteral("Monitoring...");
    QTest::newRow("waiting") << m << true << 19 << 3 << qint64(1234)
                             << QStringLiteral("Monitoring... next cycle in 2:41, last took 1.2 s");
    QTest::newRow("last second") << m << true << 179 << 3 << qint64(40)
                                 << QStringLiteral("Monitoring... next cycle in 0:01, last took 0.0 s");
    QTest::newRow("hours, a long cycle")
        << m << true << 0 << 125 << qint64(125400)
        << QStringLiteral("Monitoring... next cycle in 2:05:00, last took 2:05");
    QTest::newRow("negative interval: every tick")
        << m << true << 5 << -1 << qint64(900)
        << QStringLiteral("Monitoring... next cycle in 0:01, last took 0.9 s");
    QTest::newRow("no cycle finished yet")
        << m << true << 0 << 1 << qint64(-1) << QStringLiteral("Monitoring... next cycle in 1:00");
    QTest::newRow("a cycle runs") << m << false << 0 << 3 << qint64(1000) << m;
    QTest::newRow("pinging") << QStringLiteral("Pinging 10.0.0.1") << false << 0 << 3 << qint64(1000)
                             << QStringLiteral("Pinging 10.0.0.1");
    QTest::newRow("nothing enabled") << QString::fromLatin1(kNothingToMonitor) << true << 0 << 3 << qint64(1)
                                     << QString::fromLatin1(kNothingToMonitor);
    QTest::newRow("idle") << QStringLiteral("IDLE") << false << 0 << 3 << qint64(-1)
                          << QStringLiteral("IDLE");
}

void TestMonitorCycle::waitingStatusLine()
{
    QFETCH(QString, cycleText);
    QFETCH(bool, waiting);
    QFETCH(qint32, counter);
    QFETCH(int, interval);
    QFETCH(qint64, lastMs);
    QFETCH(QString, line);
    const std::optional<qint64> last = lastMs < 0 ? std::nullopt : std::optional<qint64>(lastMs);
    QCOMPARE(StatusLine(cycleText, waiting, SecondsToNextCycle(counter, qint16(interval)), last), line);
}

#include "test_monitorcycle.moc"
