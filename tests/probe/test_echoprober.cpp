// The probing primitives: address rules, socket start-up and clean-up, the operator's notices, name
// resolution, and a real echo to 127.0.0.1.
#include "platform/icmpstatus.h"
#include "probe/echoprober.h"
#include "tests/support/fakes.h"

#include <QPointer>
#include <QFile>
#include <QHostAddress>
#include <QTest>

using namespace qos;
using qos::test::FakeMessageBoxes;

namespace {

const QString kStartupText =
    QStringLiteral("Windows Sockets for 32 bit Windows environments is not successfully responding.");

class FakeEngine : public EchoEngine {
public:
    struct Sent {
        EchoAddress address;
        int timeoutMs;
        Done done;
    };
    bool canOpen = true;
    bool closeFails = false;
    bool opened = false;
    int opens = 0;
    int closes = 0;
    std::vector<Sent> sent;
    int answered = 0;
    int *closesSeen = nullptr; // counted also after the engine has gone

    bool open() override
    {
        if (!opened && canOpen) {
            opened = true;
            ++opens;
        }
        return opened;
    }
    QString openFailureHint() const override { return QStringLiteral("Here is what to do."); }
    bool close() override
    {
        opened = false;
        ++closes;
        if (closesSeen)
            ++*closesSeen;
        return !closeFails;
    }
    bool isOpen() const override { return opened; }
    int inFlight() const override { return int(sent.size()) - answered; }
    using EchoEngine::send;
    void send(const EchoAddress &address, int timeoutMs, QObject *, Done done) override
    {
        sent.push_back({address, timeoutMs, std::move(done)});
    }
    void answer(std::size_t index, qint32 status)
    {
        ++answered;
        sent.at(index).done({status, status == 0 ? 250 : -1});
    }
};

struct Fixture {
    FakeMessageBoxes boxes;
    StartupNotice notice{boxes};
    FakeEngine *engine = new FakeEngine;
    EchoProber prober{std::unique_ptr<EchoEngine>(engine), boxes, notice};
};

struct Probe {
    int calls = 0;
    EchoResult result;
    std::function<void(const EchoResult &)> callback()
    {
        return [this](const EchoResult &r) {
            ++calls;
            result = r;
        };
    }
};

} // namespace

class TestEchoProber : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void textThatIsNoAddressSendsNothing_data()
    {
        QTest::addColumn<QString>("address");
        for (const char *text : {"", "***", "255.255.255.255", "256.1.1.1", "1.2.3.4.5", "1..2.3",
                                 "localhost", " 10.0.0.1", "10.0.0.1\xe9", "2001:db8::g", "1:2:3:4:5:6:7:8:9",
                                 ":::", "[::1]", "fe80::1%no-such-interface", "::ffff:10.0.0.1 "})
            QTest::newRow(text) << QString::fromLatin1(text);
    }
    void textThatIsNoAddressSendsNothing()
    {
        QFETCH(QString, address);
        Fixture f;
        Probe probe;
        QObject context;
        f.prober.EchoProbe(address, 2000, &context, probe.callback());
        QCOMPARE(probe.calls, 0); // never from inside the call
        QTRY_COMPARE(probe.calls, 1);
        QCOMPARE(probe.result.status, StatusInvalidHost);
        QVERIFY(f.engine->sent.empty());
    }

    void dottedTextRule_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("sentTo"); // in one spelling
        QTest::addColumn<uint>("scope");
        QTest::newRow("four parts") << "10.213.1.2" << "10.213.1.2" << 0u;
        QTest::newRow("two parts") << "127.1" << "127.0.0.1" << 0u;
        QTest::newRow("hexadecimal part") << "0x7f.0.0.1" << "127.0.0.1" << 0u;
        QTest::newRow("octal part") << "010.0.0.1" << "8.0.0.1" << 0u;
        QTest::newRow("255.255.255.254") << "255.255.255.254" << "255.255.255.254" << 0u;
        QTest::newRow("IPv6") << "fd00:12::7" << "fd00:12::7" << 0u;
        QTest::newRow("IPv6 spelt long, in capitals") << "2001:DB8:0:0::1" << "2001:db8::1" << 0u;
        QTest::newRow("IPv6 loopback") << "::1" << "::1" << 0u;
        QTest::newRow("IPv4-mapped IPv6") << "::ffff:10.0.0.1" << "::ffff:10.0.0.1" << 0u;
        QTest::newRow("link-local, zone by name") << "fe80::1%lo" << "fe80::1" << 1u;
        QTest::newRow("link-local, zone by number") << "fe80::1%1" << "fe80::1" << 1u;
    }
    void dottedTextRule()
    {
        QFETCH(QString, address);
        QFETCH(QString, sentTo);
        QFETCH(uint, scope);
        Fixture f;
        QObject context;
        f.prober.EchoProbe(address, 2000, &context, [](const EchoResult &) {});
        QCOMPARE(f.engine->sent.size(), std::size_t(1));
        const QHostAddress expected(sentTo);
        const EchoAddress want = expected.protocol() == QAbstractSocket::IPv4Protocol
                                     ? EchoAddress::ipv4(expected.toIPv4Address())
                                     : EchoAddress::ipv6(expected.toIPv6Address().c, scope);
        QVERIFY(f.engine->sent[0].address == want);
    }

    void timeoutBelowOneGetsTheFallback_data()
    {
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<int>("used");
        QTest::newRow("zero") << 0 << int(EchoProber::kFallbackTimeoutMs);
        QTest::newRow("minus one") << -1 << int(EchoProber::kFallbackTimeoutMs);
        QTest::newRow("16-bit overflow") << -32768 << int(EchoProber::kFallbackTimeoutMs);
        QTest::newRow("one") << 1 << 1;
        QTest::newRow("default") << 2000 << 2000;
    }
    void timeoutBelowOneGetsTheFallback()
    {
        QFETCH(int, timeoutMs);
        QFETCH(int, used);
        Fixture f;
        QObject context;
        f.prober.EchoProbe(QStringLiteral("10.0.0.1"), timeoutMs, &context, [](const EchoResult &) {});
        QCOMPARE(f.engine->sent.at(0).timeoutMs, used);
    }

    void facilityThatCannotOpenIsNoReply()
    {
        Fixture f;
        f.engine->canOpen = false;
        f.boxes.confirmAtOnce = false;
        Probe first, second;
        QObject context;
        f.prober.EchoProbe(QStringLiteral("10.0.0.1"), 2000, &context, first.callback());
        f.prober.EchoProbe(QStringLiteral("10.0.0.2"), 2000, &context, second.callback());
        QTRY_COMPARE(second.calls, 1);
        QCOMPARE(first.result.status, StatusGeneralFailure);
        QCOMPARE(second.result.status, StatusGeneralFailure);
        QCOMPARE(f.boxes.shown, QStringList{kStartupText + QStringLiteral("\nHere is what to do.")});
        f.boxes.confirmAll();
        f.prober.EchoProbe(QStringLiteral("10.0.0.1"), 2000, &context, first.callback());
        QCOMPARE(f.boxes.shown.size(), 2); // the operator closed the first one: told again
    }

    void startupFailureIsToldOnceWhileOpen()
    {
        Fixture f;
        f.engine->canOpen = false;
        f.boxes.confirmAtOnce = false;
        QVERIFY(!f.notice.startup(f.prober));
        QVERIFY(!f.notice.startup(f.prober));
        QCOMPARE(f.boxes.shown, QStringList{f.prober.SocketsStartupFailureText()});
        QVERIFY(f.boxes.shown[0].startsWith(kStartupText + QLatin1Char('\n')));
        QCOMPARE(f.boxes.icons, QList<MessageBoxes::Icon>{MessageBoxes::Icon::None});
        f.boxes.confirmAll();
        QVERIFY(!f.notice.isOpen());
        f.engine->canOpen = true;
        QVERIFY(f.notice.startup(f.prober));
        QCOMPARE(f.boxes.shown.size(), 1);
    }

    void facilityOpensOnceAndStaysOpen_data()
    {
        QTest::addColumn<bool>("closeFails");
        QTest::newRow("closed with the prober") << false;
        QTest::newRow("an error closing it is told") << true;
    }
    void facilityOpensOnceAndStaysOpen()
    {
        QFETCH(bool, closeFails);
        FakeMessageBoxes boxes;
        StartupNotice notice{boxes};
        auto *engine = new FakeEngine;
        engine->closeFails = closeFails;
        int closes = 0;
        engine->closesSeen = &closes;
        auto prober = std::make_unique<EchoProber>(std::unique_ptr<EchoEngine>(engine), boxes, notice);
        QVERIFY(prober->SocketsStartup());
        QVERIFY(prober->SocketsStartup());
        QObject context;
        prober->EchoProbe(QStringLiteral("10.0.0.1"), 2000, &context, [](const EchoResult &) {});
        engine->answer(0, 0);
        prober->EchoProbe(QStringLiteral("10.0.0.2"), 2000, &context, [](const EchoResult &) {});
        QVERIFY(prober->SocketsStartup());
        QCOMPARE(engine->opens, 1);
        QCOMPARE(closes, 0); // no caller closes it
        QVERIFY(boxes.shown.isEmpty());
        prober.reset();
        QCOMPARE(closes, 1);
        const QStringList told = {QStringLiteral("Windows Sockets error occurred in Cleanup.")};
        QCOMPARE(boxes.shown, closeFails ? told : QStringList{});
        if (closeFails)
            QCOMPARE(boxes.icons, QList<MessageBoxes::Icon>{MessageBoxes::Icon::Exclamation});
    }

    void destroyedContextGetsNothing()
    {
        Fixture f;
        int calls = 0;
        auto *context = new QObject;
        f.prober.EchoProbe(QStringLiteral("***"), 2000, context, [&](const EchoResult &) { ++calls; });
        f.prober.ResolveHostAddress(QStringLiteral("10.0.0.1"), context, [&](const QString &) { ++calls; });
        delete context;
        QTest::qWait(20);
        QCOMPARE(calls, 0);
    }

    void resolvesWithoutLookingUpDottedText_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("dotted");
        QTest::newRow("dotted") << "10.213.1.2"
                                << "10.213.1.2";
        QTest::newRow("all bits set") << "255.255.255.255"
                                      << "255.255.255.255";
        QTest::newRow("short form") << "127.1"
                                    << "127.0.0.1";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("localhost") << "localhost"
                                   << "127.0.0.1";
        QTest::newRow("IPv6 literal, in its short spelling") << "2001:DB8:0:0::1"
                                                             << "2001:db8::1";
        QFile hosts(QStringLiteral("/etc/hosts"));
        if (hosts.open(QIODevice::ReadOnly) && hosts.readAll().contains("::1\tip6-localhost"))
            QTest::newRow("a name with only an IPv6 address") << "ip6-localhost"
                                                              << "::1";
    }
    void resolvesWithoutLookingUpDottedText()
    {
        QFETCH(QString, name);
        QFETCH(QString, dotted);
        Fixture f;
        QObject context;
        int calls = 0;
        QString result = QStringLiteral("unset");
        f.prober.ResolveHostAddress(name, &context, [&](const QString &text) {
            ++calls;
            result = text;
        });
        QCOMPARE(calls, 0);
        QTRY_COMPARE(calls, 1);
        QCOMPARE(result, dotted);
    }

    void replyFromLoopback()
    {
        FakeMessageBoxes boxes;
        StartupNotice notice(boxes);
        EchoProber prober(makeEchoEngine(), boxes, notice);
        if (!prober.SocketsStartup())
            QSKIP(qPrintable(QStringLiteral("no ICMP socket for this user: ") +
                             prober.SocketsStartupFailureText()));
        Probe probe;
        QObject context;
        prober.EchoProbe(QStringLiteral("127.0.0.1"), 2000, &context, probe.callback());
        QTRY_COMPARE(probe.calls, 1);
        QCOMPARE(probe.result.status, StatusReply);
        QVERIFY(probe.result.roundTripUs >= 0 && probe.result.roundTripUs < 1000000);
        QVERIFY(boxes.shown.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestEchoProber)
#include "test_echoprober.moc"
