// The monitor cycle with its addresses probed many at once: what it shows and plays, in which order,
// and how many echoes each address gets are what a cycle probing one address at a time gives; a
// silent address holds one probe, not the ones behind it; a pause, Stop and a reload cancel what is
// in flight.
#include "rig.h"

#include <QTest>
#include <algorithm>

using namespace qos;
using namespace qos::test;

Q_DECLARE_METATYPE(qos::Indicator)

namespace {

struct Location {
    QString siteip;
    QString ignore = {};
    QString disabled = {};
};

using Script = QHash<QString, QList<ProbeStatus>>;

struct Scenario {
    QList<Location> locations;
    int packets = 4;
    Script first; // the statuses of the first cycle's echoes, per address
    Script second;
};

const ProbeStatus R = StatusReply;
const ProbeStatus T = StatusTimedOut;

QList<Scenario> Scenarios()
{
    QList<Scenario> all;
    // Answers, silence, a reply on the third attempt, ignored, disabled, empty and trailing entries.
    all.append({{{QStringLiteral("10.0.1.1,10.0.1.2")},
                 {QStringLiteral("10.0.2.1")},
                 {QStringLiteral("10.0.3.1,10.0.3.2"), QStringLiteral("10.0.3.2")},
                 {QStringLiteral("10.0.4.1"), {}, QStringLiteral("1")},
                 {QString()},
                 {QStringLiteral("10.0.6.1,10.0.6.2,")}},
                4,
                {{QStringLiteral("10.0.1.2"), {T}},
                 {QStringLiteral("10.0.2.1"), {T, T, R}},
                 {QStringLiteral("10.0.6.1"), {T}}},
                {{QStringLiteral("10.0.1.2"), {R}},
                 {QStringLiteral("10.0.2.1"), {T}},
                 {QStringLiteral("10.0.6.1"), {R}},
                 {QStringLiteral("10.0.3.1"), {T}}}});
    // Names resolved first, one that does not resolve; a location that turns online again.
    all.append({{{QStringLiteral("gateway,nowhere")}, {QStringLiteral("10.0.2.1,gateway")}},
                2,
                {{QStringLiteral("10.0.0.254"), {T}}},
                {{QStringLiteral("10.0.2.1"), {T}}}});
    // More addresses than a small window, half of them silent, in alternation.
    Scenario many;
    many.packets = 2;
    for (int k = 1; k <= 3; ++k) {
        QStringList entries;
        for (int e = 1; e <= 4; ++e) {
            const QString address = QStringLiteral("10.0.%1.%2").arg(k).arg(e);
            entries << address;
            (((k + e) % 2) ? many.first : many.second).insert(address, {T});
        }
        many.locations.append({entries.join(QLatin1Char(','))});
    }
    all.append(many);
    return all;
}

// Everything a run of both cycles of a scenario let the operator see, in order, and what it sent.
struct Observed {
    QStringList log; // indicator changes and alerts, interleaved as they happened
    QStringList statuses;
    QStringList echoes; // sorted: addresses probed together interleave theirs
    QStringList holdbad, flash;
    int maxInFlight = 0;
    bool finished = true;
};

// Answers every echo to an address not in silent as it comes, until only silent ones wait.
void AnswerAllBut(Rig &rig, const QStringList &silent)
{
    for (int idle = 0; idle < 3;) {
        QTest::qWait(2);
        const auto loud = std::find_if(rig.prober.pending.cbegin(), rig.prober.pending.cend(),
                                       [&silent](const auto &p) { return !silent.contains(p.address); });
        idle = loud == rig.prober.pending.cend() ? idle + 1 : 0;
        if (loud != rig.prober.pending.cend())
            rig.prober.answer(loud->address);
    }
}

Observed Run(const Scenario &scenario, int window)
{
    Rig rig;
    rig.cfg.settings.PINGINFLIGHT = qint16(window);
    rig.cfg.settings.PINGPACKETS = qint16(scenario.packets);
    rig.prober.names.insert(QStringLiteral("gateway"), QStringLiteral("10.0.0.254"));
    int delay = 0;
    for (const Location &l : scenario.locations) {
        rig.add(l.siteip, l.ignore, l.disabled);
        for (const QString &address : SplitAddressList(l.siteip))
            rig.prober.delays.insert(rig.prober.names.value(address, address), delay += 3);
    }
    // Later addresses answer sooner, so outcomes come in against the table's order.
    for (auto it = rig.prober.delays.begin(); it != rig.prober.delays.end(); ++it)
        it.value() = delay + 3 - it.value();
    QObject::connect(&rig.states, &LocationStates::changed, &rig.owner, [&rig](const StateChange &change) {
        const int k = change.location;
        rig.alerts.calls << QStringLiteral("indicator %1: %2").arg(k).arg(int(rig.at(k).center));
    });
    Observed seen;
    for (const Script *script : {&scenario.first, &scenario.second}) {
        rig.prober.script = *script;
        seen.finished = seen.finished && rig.cycleOnce();
    }
    seen.log = rig.alerts.calls;
    seen.statuses = rig.statuses;
    seen.echoes = rig.prober.echoes;
    seen.echoes.sort();
    for (int k = 1; k <= rig.cfg.table.LocationCount(); ++k) {
        seen.holdbad << rig.at(k).holdbad.join(QLatin1Char('+'));
        seen.flash << rig.at(k).flash;
    }
    seen.maxInFlight = rig.prober.maxInFlight;
    return seen;
}

} // namespace

class TestSweep : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sameAsOneAtATime_data();
    void sameAsOneAtATime();
    void windowBoundsEchoesInFlight_data();
    void windowBoundsEchoesInFlight();
    void silentAddressHoldsOneProbe_data();
    void silentAddressHoldsOneProbe();
    void pauseCancelsAndReissues();
    void stopAndReloadCancel_data();
    void stopAndReloadCancel();
};

void TestSweep::sameAsOneAtATime_data()
{
    QTest::addColumn<int>("scenario");
    QTest::addColumn<int>("window");
    const char *names[] = {"mixed outcomes", "names", "more addresses than the window"};
    for (int s = 0; s < int(Scenarios().size()); ++s) {
        for (int window : {2, 256})
            QTest::addRow("%s, %d at once", names[s], window) << s << window;
    }
}

void TestSweep::sameAsOneAtATime()
{
    QFETCH(int, scenario);
    QFETCH(int, window);
    const Scenario s = Scenarios().at(scenario);
    const Observed one = Run(s, 1);
    const Observed many = Run(s, window);
    QVERIFY(one.finished && many.finished);
    QCOMPARE(many.log, one.log);
    QCOMPARE(many.statuses, one.statuses);
    QCOMPARE(many.echoes, one.echoes);
    QCOMPARE(many.holdbad, one.holdbad);
    QCOMPARE(many.flash, one.flash);
    QCOMPARE(one.maxInFlight, 1);
    QVERIFY2(many.maxInFlight > 1 && many.maxInFlight <= window,
             qPrintable(QString::number(many.maxInFlight)));
}

void TestSweep::windowBoundsEchoesInFlight_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("more"); // slow addresses of a seventh location
    QTest::addColumn<int>("inFlight");
    QTest::newRow("one at a time") << 1 << 0 << 1;
    QTest::newRow("2") << 2 << 0 << 2;
    QTest::newRow("5") << 5 << 0 << 5;
    QTest::newRow("more than the addresses") << 256 << 0 << 8;
    QTest::newRow("more than start in one go") << 1000 << 600 << 608;
    QTest::newRow("0 counts as 1") << 0 << 0 << 1;
    QTest::newRow("negative counts as 1") << -3 << 0 << 1;
}

void TestSweep::windowBoundsEchoesInFlight()
{
    QFETCH(int, window);
    QFETCH(int, more);
    QFETCH(int, inFlight);
    Rig rig;
    rig.cfg.settings.PINGINFLIGHT = qint16(window);
    rig.cfg.settings.PINGPACKETS = 2;
    rig.prober.fallback = StatusTimedOut;
    for (int k = 1; k <= 5; ++k)
        rig.add(QStringLiteral("10.0.%1.1").arg(k));
    rig.add(QStringLiteral("10.0.6.1,10.0.6.2,10.0.6.3"));
    const QStringList slow = SplitAddressList(rig.at(6).siteip) << QStringLiteral("10.0.1.1");
    for (const QString &address : slow)
        rig.prober.delays.insert(address, 5);
    if (more > 0) { // every address slow enough that all of them run at once
        QStringList seventh;
        for (int i = 0; i < more; ++i)
            seventh << QStringLiteral("10.1.%1.%2").arg(i / 250).arg(i % 250 + 1);
        rig.add(seventh.join(QLatin1Char(',')));
        for (int k = 1; k <= 7; ++k)
            for (const QString &address : SplitAddressList(rig.at(k).siteip))
                rig.prober.delays.insert(address, 300);
    }
    QVERIFY(rig.cycleOnce());
    QCOMPARE(rig.prober.maxInFlight, inFlight);
    QCOMPARE(rig.prober.echoes.size(), 2 * (8 + more)); // two attempts for each address
    for (int k = 1; k <= rig.cfg.table.LocationCount(); ++k)
        QCOMPARE(rig.at(k).center, Indicator::Red);
}

void TestSweep::silentAddressHoldsOneProbe_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<QList<int>>("silent"); // of the eight addresses, four to a location
    QTest::addColumn<QString>("then");      // once only the silent ones wait: answer, pause or stop
    QTest::addColumn<int>("sentMeanwhile"); // echoes sent by then
    QTest::addColumn<int>("walkAt");        // the address the status line shows meanwhile
    QTest::addColumn<int>("sent");          // echoes sent when the run is over
    QTest::addColumn<Indicator>("first");
    QTest::addColumn<Indicator>("second");
    const QString answer = QStringLiteral("answer"), pause = QStringLiteral("pause");
    const QString stop = QStringLiteral("stop");
    const Indicator red = Indicator::Red, green = Indicator::Green, white = Indicator::White;
    QTest::newRow("silent head, 2 at once") << 2 << QList<int>{0} << answer << 8 << 0 << 8 << red << green;
    QTest::newRow("two silent heads fill 2")
        << 2 << QList<int>{0, 1} << answer << 2 << 0 << 8 << red << green;
    QTest::newRow("one at a time") << 1 << QList<int>{0} << answer << 1 << 0 << 8 << red << green;
    QTest::newRow("silent in both locations") << 3 << QList<int>{1, 5} << answer << 8 << 1 << 8 << red << red;
    QTest::newRow("silent tail") << 2 << QList<int>{7} << answer << 8 << 7 << 8 << green << red;
    QTest::newRow("silent head, paused") << 2 << QList<int>{0} << pause << 8 << 0 << 8 << red << white;
    QTest::newRow("silent heads of both, paused")
        << 2 << QList<int>{0, 4} << pause << 5 << 0 << 5 << red << white;
    QTest::newRow("silent head, stopped") << 2 << QList<int>{0} << stop << 8 << 0 << 8 << white << white;
    QTest::newRow("three silent, stopped")
        << 3 << QList<int>{0, 1, 2} << stop << 3 << 0 << 3 << white << white;
}

void TestSweep::silentAddressHoldsOneProbe()
{
    QFETCH(int, window);
    QFETCH(QList<int>, silent);
    QFETCH(QString, then);
    Rig rig;
    rig.cfg.settings.PINGINFLIGHT = qint16(window);
    rig.cfg.settings.PINGPACKETS = 1;
    rig.prober.manual = true;
    QStringList addresses, quiet;
    for (int i = 0; i < 8; ++i)
        addresses << QStringLiteral("10.0.%1.%2").arg(1 + i / 4).arg(1 + i % 4);
    for (int i : silent) {
        quiet << addresses.at(i);
        rig.prober.script.insert(addresses.at(i), {T});
    }
    rig.add(addresses.mid(0, 4).join(QLatin1Char(',')));
    rig.add(addresses.mid(4).join(QLatin1Char(',')));
    rig.cycle->StartMonitor();
    AnswerAllBut(rig, quiet);
    QTEST(int(rig.prober.echoes.size()), "sentMeanwhile");
    QFETCH(int, walkAt);
    QCOMPARE(rig.cycle->statusText(), QStringLiteral("Pinging ") + addresses.at(walkAt));
    if (then == QLatin1String("pause"))
        rig.run.MonitorPaused = 1; // the List View opens while the walk waits in location 1
    else if (then == QLatin1String("stop"))
        rig.cycle->StopMonitor();
    QVERIFY(rig.until([&rig] {
        if (!rig.prober.pending.isEmpty())
            rig.prober.answerNext();
        return rig.prober.pending.isEmpty() && !rig.cycle->running();
    }));
    QTEST(int(rig.prober.echoes.size()), "sent");
    QVERIFY(rig.prober.maxInFlight <= window);
    QTEST(rig.at(1).center, "first");
    QTEST(rig.at(2).center, "second");
    QCOMPARE(rig.run.ResumeIndex, then == QLatin1String("pause") ? 2 : 0);
}

void TestSweep::pauseCancelsAndReissues()
{
    const QString a1 = QStringLiteral("10.0.1.1"), a2 = QStringLiteral("10.0.1.2");
    const QString b = QStringLiteral("10.0.2.1"), c = QStringLiteral("10.0.3.1");
    Rig rig;
    rig.cfg.settings.PINGINFLIGHT = 256;
    rig.cfg.settings.PINGPACKETS = 2;
    rig.prober.manual = true;
    rig.add(a1 + QLatin1Char(',') + a2);
    rig.add(b);
    rig.add(c);
    // Before the pause b answers; after it b and c are silent.
    rig.prober.script = {{a1, {T}}, {a2, {R}}, {b, {R, T}}, {c, {T}}};
    rig.cycle->StartMonitor();
    QVERIFY(rig.waitingEchoes(4)); // all four at once
    rig.run.MonitorPaused = 1;     // the List View opens while location 1 is probed
    // Location 3 is after the pause: its probe ends without a second attempt, and location 2's too.
    QVERIFY(rig.prober.answer(c));
    QVERIFY(rig.prober.answer(a1));
    QVERIFY(rig.waitingEchoes(3)); // a1's second attempt: location 1 goes on
    QVERIFY(rig.prober.answer(a1));
    QVERIFY(rig.prober.answer(a2));
    QVERIFY(rig.finishRun());
    QCOMPARE(rig.run.ResumeIndex, 2);
    QCOMPARE(rig.at(1).center, Indicator::Red);
    QCOMPARE(rig.at(2).center, Indicator::White);
    QCOMPARE(rig.prober.echoes, (QStringList{a1, a2, b, c, a1}));

    rig.run.MonitorPaused = 0;
    rig.cycle->ResumeClockTick();
    QVERIFY(rig.waitingEchoes(3)); // b and c anew, beside b's echo from before the pause
    QCOMPARE(rig.prober.echoes.mid(5), (QStringList{b, c}));
    rig.prober.answerNext(); // b's answer from before the pause: a reply, and ignored
    while (!rig.prober.pending.isEmpty())
        rig.prober.answerNext();
    QVERIFY(rig.waitingEchoes(2));
    while (!rig.prober.pending.isEmpty())
        rig.prober.answerNext();
    QVERIFY(rig.finishRun());
    QCOMPARE(rig.at(2).center, Indicator::Red);
    QCOMPARE(rig.at(3).center, Indicator::Red);
    QCOMPARE(rig.prober.echoes.count(b), 3);
    QCOMPARE(rig.prober.echoes.count(c), 3);
    QCOMPARE(rig.cycle->statusText(), QStringLiteral("Monitoring..."));
}

void TestSweep::stopAndReloadCancel_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Stop") << QStringLiteral("stop");
    QTest::newRow("Stop, then Start before the answers") << QStringLiteral("restart");
    QTest::newRow("table loaded anew") << QStringLiteral("reload");
}

void TestSweep::stopAndReloadCancel()
{
    QFETCH(QString, how);
    Rig rig;
    rig.cfg.settings.PINGINFLIGHT = 256;
    rig.cfg.settings.PINGPACKETS = 3;
    rig.prober.manual = true;
    rig.prober.fallback = StatusTimedOut;
    for (int k = 1; k <= 3; ++k)
        rig.add(QStringLiteral("10.0.%1.1").arg(k));
    rig.cycle->StartMonitor();
    QVERIFY(rig.waitingEchoes(3));
    if (how == QLatin1String("reload"))
        ++rig.cfg.generation;
    else
        rig.cycle->StopMonitor();
    if (how == QLatin1String("restart")) {
        rig.prober.fallback = StatusReply;
        rig.cycle->StartMonitor();
        QVERIFY(rig.waitingEchoes(6));
    }
    for (int i = 0; i < 3; ++i) // the answers to the first echoes: timeouts, all too late
        rig.prober.answerNext();
    QTest::qWait(20);
    const Indicator colour = how == QLatin1String("restart") ? Indicator::Green : Indicator::White;
    if (how == QLatin1String("restart")) {
        QCOMPARE(rig.prober.pending.size(), 3); // no second attempt for the old echoes
        while (!rig.prober.pending.isEmpty())
            rig.prober.answerNext();
        QVERIFY(rig.finishRun());
    }
    QVERIFY(!rig.cycle->running());
    QVERIFY(rig.prober.pending.isEmpty());
    QCOMPARE(rig.prober.echoes.size(), how == QLatin1String("restart") ? 6 : 3);
    for (int k = 1; k <= 3; ++k)
        QCOMPARE(rig.at(k).center, colour);
    QVERIFY(rig.alerts.sounds().isEmpty());
    QCOMPARE(rig.cycle->monitoring(), how == QLatin1String("restart"));
}

QTEST_GUILESS_MAIN(TestSweep)
#include "test_sweep.moc"
