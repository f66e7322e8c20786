// The decisions about a location's state, as the cycle and the List View's pings report outcomes.
#include "monitor/locationstates.h"
#include "monitor/states.h"
#include "tests/support/fakes.h"

#include <QSignalSpy>
#include <QTest>

#include <utility>

using namespace qos;
using namespace qos::test;

Q_DECLARE_METATYPE(Indicator)
Q_DECLARE_METATYPE(AddressHealth)
Q_DECLARE_METATYPE(StateChange)

namespace {

struct Setup {
    Configuration cfg;
    RunState run;
    FakeAlerts alerts;
    LocationStates states{cfg, run, alerts};

    // Location 1 "war" with siteip, ignore; location 2 "vie", as flagged as flagOther says.
    Setup(const QString &siteip, const QString &ignore, bool flagOther = false)
    {
        LocationRecord war;
        war.site = QStringLiteral("war");
        war.siteip = siteip;
        war.ignore = ignore;
        LocationRecord vie;
        vie.site = QStringLiteral("vie");
        vie.flash = QLatin1String(flagOther ? "1" : "0");
        cfg.table.records << war << vie;
    }
    LocationRecord &war() { return cfg.table[1]; }
};

AddressOutcome Outcome(bool answered, qint64 roundTripUs = 5000)
{
    AddressOutcome outcome;
    outcome.attempts = outcome.echoes = 1;
    outcome.answered = answered;
    outcome.status = answered ? StatusReply : StatusTimedOut;
    outcome.roundTripUs = answered ? roundTripUs : -1;
    return outcome;
}

// "kid" (a, b) reached through "router" (r), which comes after it in the table.
struct Family : Setup {
    Family(const QString &parent)
        : Setup(QStringLiteral("a,b"), QString())
    {
        cfg.table[1].site = QStringLiteral("kid");
        cfg.table[1].parent = parent;
        cfg.table[1].center = cfg.table[2].center = Indicator::Green;
        cfg.table[2].site = QStringLiteral("router");
        cfg.table[2].siteip = QStringLiteral("r");
        run.FirstCycle = 2;
    }
    // One location's part of a cycle, its addresses answering as answers says.
    void evaluate(int k, const QStringList &addresses, const QList<AddressOutcome> &outcomes)
    {
        bool anyBad = false;
        for (qsizetype i = 0; i < addresses.size(); ++i) {
            states.probed(k, addresses[i], outcomes[i]);
            if (!outcomes[i].answered)
                states.cycleAddressFailed(k, addresses[i], !std::exchange(anyBad, true));
        }
        states.cycleEvaluated(k, anyBad, false);
    }
    // One cycle: kid x = both fail, h = a answers and b fails, . = both answer in 5 ms, s = in 500 ms;
    // router x = fails, anything else answers. What it left: kid's state, the sounds and turns, and
    // "attention" while the attention picture is up.
    QString cycle(QChar kid, QChar router)
    {
        const qsizetype from = alerts.calls.size();
        states.cycleStarted(false);
        const qint64 trip = kid == QLatin1Char('s') ? 500000 : 5000;
        const bool a = kid != QLatin1Char('x'), b = kid != QLatin1Char('x') && kid != QLatin1Char('h');
        evaluate(1, {QStringLiteral("a"), QStringLiteral("b")}, {Outcome(a, trip), Outcome(b, trip)});
        evaluate(2, {QStringLiteral("r")}, {Outcome(router != QLatin1Char('x'))});
        states.cycleFinished();
        QStringList seen{StateName(StateOf(cfg.table[1].center))};
        bool attention = false;
        for (const QString &call : alerts.calls.mid(from)) {
            if (call.endsWith(QLatin1String("Attention")))
                attention = call == QLatin1String("ShowAttention");
            else
                seen << (call == QLatin1String("PlayAlertSound")    ? QStringLiteral("alert")
                         : call == QLatin1String("PlayOnlineSound") ? QStringLiteral("back")
                                                                    : call);
        }
        if (attention ||
            (from == alerts.calls.size() && alerts.calls.contains(QLatin1String("ShowAttention"))))
            seen << QStringLiteral("attention");
        return seen.join(QLatin1Char(' '));
    }
};

} // namespace

class TestLocationStates : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Ping IP of one address of "war" (a,b; b may be ignored), monitoring started unless said.
    void pingIp_data()
    {
        QTest::addColumn<bool>("answered");
        QTest::addColumn<bool>("ignored");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("monitoring");
        QTest::addColumn<QStringList>("holdbadBefore");
        QTest::addColumn<QString>("flash");
        QTest::addColumn<QStringList>("holdbad");
        QTest::addColumn<Indicator>("center");
        QTest::addColumn<QString>("attention"); // the last attention call, "" for none
        const QStringList none;
        const QStringList a{QStringLiteral("a")};
        const QStringList b{QStringLiteral("b")};
        QTest::newRow("fails: offline, flagged")
            << false << false << true << true << none << "1" << a << Indicator::Red << "ShowAttention";
        QTest::newRow("answers the last failing: online")
            << true << false << true << true << a << "0" << none << Indicator::Green << "ClearAttention";
        QTest::newRow("answers while another fails: still offline")
            << true << false << true << true << QStringList{QStringLiteral("a"), QStringLiteral("b")} << "1" << b
            << Indicator::Red << "ShowAttention";
        QTest::newRow("before monitoring: flag and list, no colour")
            << false << false << true << false << none << "1" << a << Indicator::White << "";
        QTest::newRow("ignored address fails: nothing flagged")
            << false << true << true << true << none << "0" << b << Indicator::White << "";
        QTest::newRow("disabled location fails: nothing flagged, attention from the others")
            << false << false << false << true << none << "0" << none << Indicator::White << "ClearAttention";
    }
    void pingIp()
    {
        QFETCH(bool, answered);
        QFETCH(bool, ignored);
        QFETCH(bool, enabled);
        QFETCH(bool, monitoring);
        QFETCH(QStringList, holdbadBefore);
        Setup s(QStringLiteral("a,b"), ignored ? QStringLiteral("b") : QString());
        s.war().holdbad = holdbadBefore;
        s.war().flash = QLatin1String(holdbadBefore.isEmpty() ? "0" : "1");
        const QString address = QLatin1String(ignored ? "b" : "a");
        s.states.probed(1, address, Outcome(answered));
        s.states.pingIpFinished(1, {address, answered, ignored, false, enabled, monitoring});
        QTEST(s.war().flash, "flash");
        QTEST(s.war().holdbad, "holdbad");
        QTEST(s.war().center, "center");
        QTEST(s.alerts.calls.isEmpty() ? QString() : s.alerts.calls.last(), "attention");
        QCOMPARE(s.alerts.count("PlayAlertSound") + s.alerts.count("PlayOnlineSound"), 0);
    }

    // One outcome of location 1 through the cycle's rule or Ping All's.
    void oneRule_data()
    {
        QTest::addColumn<bool>("cycle");
        QTest::addColumn<Indicator>("before");
        QTest::addColumn<bool>("offline");
        QTest::addColumn<bool>("otherFlagged");
        QTest::addColumn<QStringList>("calls");
        const auto calls = [](std::initializer_list<const char *> names) {
            QStringList out;
            for (const char *n : names)
                out << QLatin1String(n);
            return out;
        };
        QTest::newRow("cycle: turns offline")
            << true << Indicator::Green << true << false
            << calls({"ShowAttention", "PlayAlertSound", "Offline war"});
        QTest::newRow("ping all: turns offline, silently")
            << false << Indicator::Green << true << false << calls({"ShowAttention"});
        QTest::newRow("cycle: back online after an offline cycle")
            << true << Indicator::Red << false << false
            << calls({"ClearAttention", "PlayOnlineSound", "Online war"});
        QTest::newRow("ping all: back online, silently")
            << false << Indicator::Red << false << false << calls({"ClearAttention"});
        QTest::newRow("ping all: another location keeps the attention picture")
            << false << Indicator::Red << false << true << QStringList{};
    }
    void oneRule()
    {
        QFETCH(bool, cycle);
        QFETCH(Indicator, before);
        QFETCH(bool, offline);
        QFETCH(bool, otherFlagged);
        Setup s(QStringLiteral("a"), QString(), otherFlagged);
        s.war().center = before;
        s.war().flash = QLatin1String(before == Indicator::Red ? "1" : "0");
        s.run.FirstCycle = 2;
        s.run.LastCycleHadOffline = 1;
        QSignalSpy changed(&s.states, &LocationStates::changed);
        if (cycle)
            s.states.cycleEvaluated(1, offline, false);
        else
            s.states.pingAllFinished(1, offline ? QStringList{QStringLiteral("a")} : QStringList{}, true, false);
        QTEST(s.alerts.calls, "calls");
        QCOMPARE(s.war().flash, QLatin1String(offline ? "1" : "0"));
        QCOMPARE(changed.size(), 1);
        const StateChange change = changed.at(0).at(0).value<StateChange>();
        QCOMPARE(change.turned, offline ? Turn::Offline : Turn::Back);
    }

    // The states beyond up and down, cycle by cycle, for kid reached through router (which the walk
    // reaches after it): the parent offline, online or unknown, PARTIAL= on or off, the slow
    // threshold crossed or not, and the offline threshold.
    void beyondUpAndDown_data()
    {
        QTest::addColumn<QString>("parent"); // "" none, "?" a name of no location, else router's script
        QTest::addColumn<bool>("partial");
        QTest::addColumn<int>("slowMs");
        QTest::addColumn<int>("offlineCycles");
        QTest::addColumn<QString>("kid"); // see Family::cycle
        QTest::addColumn<QStringList>("seen");
        const char *offline = "offline alert Offline kid attention";
        const char *behind = "unreachable alert Offline router Behind router attention";
        const auto row = [](const char *name, const char *parent, bool partial, int slowMs, int cycles,
                            const char *kid, std::initializer_list<const char *> seen) {
            QStringList words;
            for (const char *w : seen)
                words << QLatin1String(w);
            QTest::newRow(name) << QString::fromLatin1(parent) << partial << slowMs << cycles
                                << QString::fromLatin1(kid) << words;
        };
        row("no keys: offline and back", "", false, 0, 1, "x.", {offline, "online back Online kid"});
        row("no keys: one of two failing is offline", "", false, 0, 1, "h", {offline});
        row("no keys: slow round trips are online", "", false, 0, 1, "s", {"online"});
        row("unknown parent: as none", "?", false, 0, 1, "x", {offline});
        row("parent online: offline", ".", false, 0, 1, "x", {offline});
        row("parent offline: unreachable, silent, told behind it", "xx", false, 0, 1, "x.",
            {behind, "online attention"});
        row("parent offline, one of two failing: unreachable", "x", false, 0, 1, "h", {behind});
        row("parent offline, child answers: online", "x", false, 0, 1, ".",
            {"online alert Offline router attention"});
        row("parent back, child still failing: offline at once", "x.", false, 0, 1, "xx",
            {behind, "offline back Online router alert Offline kid attention"});
        row("partial: partly down alarms, then offline, then back", "", true, 0, 1, "hx.",
            {"partly down alert Offline kid attention", "offline alert attention", "online back Online kid"});
        row("partial, parent offline, one answers: partly down", "x", true, 0, 1, "h",
            {"partly down alert Offline router alert Offline kid attention"});
        row("partial, parent offline, none answers: unreachable", "x", true, 0, 1, "x", {behind});
        row("slow crossed: told, no sound, and its end", "", false, 100, 1, "s..",
            {"slow Slow kid", "slow", "online NotSlow kid"});
        row("slow with the parent offline: slow", "x", false, 100, 1, "s",
            {"slow alert Offline router Slow kid attention"});
        row("threshold 2: parent and child reach it in the same cycle", "xx", false, 0, 2, "xx",
            {"online", behind});
        row("threshold 2, parent online: offline on the second", ".", false, 0, 2, "xx", {"online", offline});
        row("threshold 2, partial: partly down on the second", "", true, 0, 2, "hh",
            {"online", "partly down alert Offline kid attention"});
    }
    void beyondUpAndDown()
    {
        QFETCH(QString, parent);
        QFETCH(QString, kid);
        Family f(parent.isEmpty()               ? QString()
                 : parent == QLatin1String("?") ? QStringLiteral("nowhere")
                                                : QStringLiteral("router"));
        QFETCH(bool, partial);
        QFETCH(int, slowMs);
        QFETCH(int, offlineCycles);
        f.cfg.settings.PARTIAL = partial ? 1 : 0;
        f.cfg.settings.SLOWMS = qint16(slowMs);
        f.cfg.settings.OFFLINECYCLES = qint16(offlineCycles);
        QStringList seen;
        for (qsizetype i = 0; i < kid.size(); ++i)
            seen << f.cycle(kid.at(i), i < parent.size() ? parent.at(i) : QLatin1Char('.'));
        QTEST(seen, "seen");
    }

    // What is known of an address: its latest probe, whoever made it, else the failing list.
    void health_data()
    {
        QTest::addColumn<QStringList>("holdbad");
        QTest::addColumn<int>("latest"); // -1 none, 0 failed, 1 answered
        QTest::addColumn<AddressHealth>("health");
        const QStringList a{QStringLiteral("a")};
        QTest::newRow("never probed") << QStringList{} << -1 << AddressHealth::NotProbed;
        QTest::newRow("failing, known from the list only") << a << -1 << AddressHealth::Failing;
        QTest::newRow("answered after it was listed failing") << a << 1 << AddressHealth::Answering;
        QTest::newRow("failed, not listed (a disabled location)") << QStringList{} << 0 << AddressHealth::Failing;
    }
    void health()
    {
        QFETCH(QStringList, holdbad);
        QFETCH(int, latest);
        Setup s(QStringLiteral("a"), QString());
        s.war().holdbad = holdbad;
        if (latest >= 0)
            s.states.probed(1, QStringLiteral(" a"), Outcome(latest == 1));
        QTEST(s.states.health(1, QStringLiteral("a")), "health");
        ++s.cfg.generation; // the table read anew forgets the outcomes
        QCOMPARE(s.states.health(1, QStringLiteral("a")),
                 holdbad.isEmpty() ? AddressHealth::NotProbed : AddressHealth::Failing);
    }
};

QTEST_GUILESS_MAIN(TestLocationStates)
#include "test_locationstates.moc"
