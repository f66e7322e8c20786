// A monitor cycle on this machine's echo engine against test hosts in network namespaces of the
// test's own: two silent and two answering addresses in four locations, probed all at once and one
// at a time. Needs root; skips without.
#include "monitor/monitorcycle.h"
#include "probe/echoprober.h"
#include "tests/support/fakes.h"
#include "tests/support/netns.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using namespace qos;
using namespace qos::test;

Q_DECLARE_METATYPE(qos::Indicator)

namespace {

// The echo engine, counting the echoes asked for per address.
class CountingProber : public Prober {
public:
    explicit CountingProber(Prober &inner)
        : m_inner(inner)
    {}
    QHash<QString, int> echoes;

    bool SocketsStartup() override { return m_inner.SocketsStartup(); }
    QString SocketsStartupFailureText() const override { return m_inner.SocketsStartupFailureText(); }
    void ResolveHostAddress(const QString &name, QObject *context,
                            std::function<void(const QString &)> done) override
    {
        m_inner.ResolveHostAddress(name, context, std::move(done));
    }
    void EchoProbe(const QString &address, int timeoutMs, QObject *context,
                   std::function<void(const EchoResult &)> done) override
    {
        ++echoes[address];
        m_inner.EchoProbe(address, timeoutMs, context, std::move(done));
    }

private:
    Prober &m_inner;
};

} // namespace

class TestSweepEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cycleOverSilentAndAnswering_data()
    {
        QTest::addColumn<int>("window");
        QTest::newRow("all at once") << int(kDefaultPingInFlight);
        QTest::newRow("one at a time") << 1;
    }
    void cycleOverSilentAndAnswering()
    {
        QFETCH(int, window);
        QOS_START_NETLAB(lab);
        NetnsScope scope(lab.client()); // the engine's socket opens in the lab's client namespace
        QVERIFY(scope.entered());

        FakeMessageBoxes boxes;
        StartupNotice notice(boxes);
        EchoProber echo(makeEchoEngine(), boxes, notice);
        CountingProber prober(echo);
        FakeAlerts alerts;
        RunState run;
        Configuration cfg;
        cfg.settings.PINGTIMEOUT = 300;
        cfg.settings.PINGPACKETS = 2;
        cfg.settings.PINGINTERVAL = 3;
        cfg.settings.PINGINFLIGHT = qint16(window);
        const QStringList addresses{QStringLiteral("10.213.2.3"), QStringLiteral("10.213.3.1"),
                                    QStringLiteral("10.213.2.4"), QStringLiteral("10.213.3.2")};
        for (const QString &address : addresses) {
            LocationRecord rec;
            rec.siteip = address;
            cfg.table.records << rec;
        }
        QObject owner;
        LocationStates states(cfg, run, alerts);
        MonitorCycle cycle(MonitorServices{cfg, run, prober, states, notice}, MonitorClocks::Create(&owner));
        QSignalSpy finished(&cycle, &MonitorCycle::cycleFinished);
        QElapsedTimer clock;
        clock.start();
        cycle.StartMonitor();
        QVERIFY(finished.wait(10000));
        const qint64 ms = clock.elapsed();

        const QList<Indicator> colours{Indicator::Red, Indicator::Green, Indicator::Red, Indicator::Green};
        for (int k = 1; k <= 4; ++k)
            QCOMPARE(cfg.table[k].center, colours[k - 1]);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(prober.echoes.value(addresses[i]), i % 2 ? 1 : 2); // the first reply ends them
        QVERIFY2(boxes.shown.isEmpty(), qPrintable(boxes.shown.join(QLatin1Char('\n'))));
        // PINGPACKETS x PINGTIMEOUT is 600 ms; one address at a time the two silent ones take twice that.
        if (window > 1)
            QVERIFY2(ms >= 600 && ms < 1100, qPrintable(QString::number(ms)));
        else
            QVERIFY2(ms >= 1200, qPrintable(QString::number(ms)));
    }
};

QTEST_GUILESS_MAIN(TestSweepEndToEnd)
#include "test_sweep_endtoend.moc"
