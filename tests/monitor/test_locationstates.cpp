// The decisions about a location's state, as the cycle and the List View's pings report outcomes.
#include "monitor/locationstates.h"
#include "tests/support/fakes.h"

#include <QSignalSpy>
#include <QTest>

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

AddressOutcome Outcome(bool answered)
{
    AddressOutcome outcome;
    outcome.attempts = outcome.echoes = 1;
    outcome.answered = answered;
    outcome.status = answered ? StatusReply : StatusTimedOut;
    return outcome;
}

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
