// The history service over a real program folder: exactly one line per change and none for repeats,
// the earlier history read at start-up (damaged lines skipped with one warning, a run that did not
// end closed), a write failure told once while recording goes on, and rings bounded by the table.
#include "history/history.h"
#include "tests/history/rig.h"
#include "tests/support/fakeprober.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace qos;
using namespace qos::test;

namespace {

QByteArray Read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The lines of a history file after its header, without their times.
QStringList Changes(const QByteArray &file)
{
    QStringList lines;
    for (const QByteArray &line : file.split('\n'))
        if (!line.isEmpty() && line.front() != 't')
            lines << QString::fromLatin1(line.mid(line.indexOf(',') + 1).chopped(1));
    return lines;
}

// "ok", "lost", "none" (no attempt), or "unresolved" (what the address probe makes of four attempts
// at a name that gives no address).
AddressOutcome OutcomeOf(const QString &word)
{
    if (word == u"unresolved") {
        FakeProber prober; // knows no name
        return ProbeOutcome(prober, QStringLiteral("nowhere"), 4);
    }
    return word == u"none" ? AddressOutcome{} : Outcome(word == u"ok");
}

Indicator Colour(const QString &word)
{
    static const QHash<QString, Indicator> colours{
        {QStringLiteral("white"), Indicator::White}, {QStringLiteral("black"), Indicator::Black},
        {QStringLiteral("green"), Indicator::Green}, {QStringLiteral("cyan"), Indicator::Cyan},
        {QStringLiteral("red"), Indicator::Red},     {QStringLiteral("darkred"), Indicator::DarkRed}};
    return colours.value(word);
}

struct Rig {
    QTemporaryDir dir;
    Configuration cfg;
    qint64 clock = T0;
    std::unique_ptr<History> history;

    explicit Rig(History::Options options = {})
    {
        for (const auto &[site, siteip] :
             {std::pair{"Leeds, West", "10.0.0.1,10.0.0.2"}, {"Hull", "h.example"}}) {
            LocationRecord rec;
            rec.site = QString::fromLatin1(site);
            rec.siteip = QString::fromLatin1(siteip);
            cfg.table.records << rec;
        }
        options.clock = [this] { return clock; };
        history = std::make_unique<History>(dir.path(), cfg, options);
    }
    QString file() const { return HistoryFilePath(dir.path()); }
    bool start()
    {
        QSignalSpy loaded(history.get(), &History::logLoaded);
        history->start();
        return loaded.wait(5000);
    }
    // "1=red", "1=red:10.0.0.2" (with the failed addresses), "1:10.0.0.1 ok|lost|none", "stop", "remove 2",
    // "retain", "shutdown".
    void step(const char *text) { step(QString::fromLatin1(text)); }
    void step(const QString &s)
    {
        clock += 1000;
        if (s == u"stop") {
            for (int k = 1; k <= cfg.table.LocationCount(); ++k) {
                cfg.table[k].center = Indicator::White;
                history->recordIndicator(k);
            }
        } else if (s == u"retain") {
            history->retain();
        } else if (s == u"shutdown") {
            history->shutdown();
        } else if (s.startsWith(u"remove ")) {
            cfg.table.records.removeAt(s.mid(7).toInt());
            history->retain();
        } else if (s.contains(u'=')) {
            const int k = s.section(u'=', 0, 0).toInt();
            const QString value = s.section(u'=', 1);
            cfg.table[k].center = Colour(value.section(u':', 0, 0));
            cfg.table[k].holdbad = value.section(u':', 1).split(u',', Qt::SkipEmptyParts);
            history->recordIndicator(k);
        } else {
            const int k = s.section(u':', 0, 0).toInt();
            const QString rest = s.section(u':', 1);
            history->recordProbe(k, rest.section(u' ', 0, -2), OutcomeOf(rest.section(u' ', -1)));
        }
    }
    QStringList logged() const
    {
        QByteArray lines;
        for (const HistoryEvent &e : history->log().events())
            lines += FormatChange(history->log().record(e));
        return Changes(lines);
    }
};

} // namespace

class TestHistory : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void changes_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("repeats give no line")
            << Texts({"1=green", "1=green", "1:10.0.0.1 ok", "1:10.0.0.1 ok", "2=white"})
            << Texts(
                   {"\"Leeds, West\",,waiting,online,,", "\"Leeds, West\",10.0.0.1,,answering,ONLINE,0.500"});
        QTest::newRow("every location state")
            << Texts({"1=green", "1=red:10.0.0.2", "1=darkred:10.0.0.1,10.0.0.2", "1=cyan", "1=black",
                      "1=white"})
            << Texts({"\"Leeds, West\",,waiting,online,,", "\"Leeds, West\",,online,offline,10.0.0.2,",
                      "\"Leeds, West\",,offline,offline(partial ignore),\"10.0.0.1,10.0.0.2\",",
                      "\"Leeds, West\",,offline(partial ignore),online(partial ignore),,",
                      "\"Leeds, West\",,online(partial ignore),disabled,,",
                      "\"Leeds, West\",,disabled,waiting,,"});
        QTest::newRow("an address goes down and comes back")
            << Texts({"1:10.0.0.1 ok", "1:10.0.0.1 lost", "1:10.0.0.1 lost", "1:10.0.0.1 ok"})
            << Texts({"\"Leeds, West\",10.0.0.1,,answering,ONLINE,0.500",
                      "\"Leeds, West\",10.0.0.1,answering,not answering,OFFLINE,",
                      "\"Leeds, West\",10.0.0.1,not answering,answering,ONLINE,0.500"});
        QTest::newRow("an IPv6 address in two spellings is one")
            << Texts({"1:2001:db8::1 ok", "1:2001:DB8:0::1 ok", "1:2001:db8::1 lost"})
            << Texts({"\"Leeds, West\",2001:db8::1,,answering,ONLINE,0.500",
                      "\"Leeds, West\",2001:db8::1,answering,not answering,OFFLINE,"});
        QTest::newRow("addresses are news again after a stop")
            << Texts({"1=green", "1:10.0.0.1 ok", "stop", "1=green", "1:10.0.0.1 ok", "1:10.0.0.1 ok"})
            << Texts({"\"Leeds, West\",,waiting,online,,", "\"Leeds, West\",10.0.0.1,,answering,ONLINE,0.500",
                      "\"Leeds, West\",,online,waiting,,", "\"Leeds, West\",,waiting,online,,",
                      "\"Leeds, West\",10.0.0.1,,answering,ONLINE,0.500"});
        QTest::newRow("and after being disabled")
            << Texts({"1:10.0.0.2 lost", "1=black", "1:10.0.0.2 lost"})
            << Texts({"\"Leeds, West\",10.0.0.2,,not answering,OFFLINE,",
                      "\"Leeds, West\",,waiting,disabled,,",
                      "\"Leeds, West\",10.0.0.2,,not answering,OFFLINE,"});
        QTest::newRow("no attempt and no address tell nothing")
            << Texts({"1:10.0.0.1 none", "1: lost", "1:  10.0.0.2 ok", "9:x ok"})
            << Texts({"\"Leeds, West\",10.0.0.2,,answering,ONLINE,0.500"});
        QTest::newRow("a removed location ends waiting")
            << Texts({"1=green", "2=red", "remove 2", "retain"})
            << Texts({"\"Leeds, West\",,waiting,online,,", "Hull,,waiting,offline,,",
                      "Hull,,offline,waiting,location removed,"});
        QTest::newRow("the end of the program")
            << Texts({"1=green", "2=black", "shutdown", "1=red"})
            << Texts({"\"Leeds, West\",,waiting,online,,", "Hull,,waiting,disabled,,",
                      "Hull,,disabled,waiting,program ended,",
                      "\"Leeds, West\",,online,waiting,program ended,"}); // by name
    }
    void changes()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, lines);
        Rig r;
        QVERIFY(r.start());
        QSignalSpy problems(r.history.get(), &History::problem);
        for (const QString &s : steps)
            r.step(s);
        QCOMPARE(r.logged(), lines);
        QTRY_COMPARE(Changes(Read(r.file())), lines);
        const QByteArray file = Read(r.file());
        QVERIFY(file.startsWith(HistoryHeader()));
        QCOMPARE(file.count("\r\n"), lines.size() + 1);
        QVERIFY(problems.isEmpty());
    }

    void earlierHistoryIsRead()
    {
        Rig r;
        const QByteArray earlier =
            HistoryHeader() +
            FormatChange({T0 - 9000, QStringLiteral("Hull"), {}, State::Waiting, State::Online, {}, -1}) +
            FormatChange({T0 - 8000, QStringLiteral("Hull"), {}, State::Online, State::Waiting, {}, -1}) +
            "a line someone typed\r\n" +
            FormatChange(
                {T0 - 5000, QStringLiteral("Leeds, West"), {}, State::Waiting, State::Offline, {}, -1});
        QFile f(r.file());
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(earlier) == earlier.size());
        f.close();
        QSignalSpy problems(r.history.get(), &History::problem);
        QSignalSpy loaded(r.history.get(), &History::logLoaded);
        r.history->start();
        r.step("2=green"); // before the earlier history has arrived
        QVERIFY(loaded.wait(5000));
        QCOMPARE(problems.size(), 1);
        QVERIFY(problems.at(0).at(0).toString().contains(QLatin1String("1 of its 4 lines")));
        // The earlier run left Leeds offline: it is closed at that run's last time.
        QCOMPARE(
            r.logged(),
            Texts({"Hull,,waiting,online,,", "Hull,,online,waiting,,", "\"Leeds, West\",,waiting,offline,,",
                   "\"Leeds, West\",,offline,waiting,program ended,", "Hull,,waiting,online,,"}));
        QCOMPARE(r.history->log().events().at(3).timeMs, T0 - 5000);
        QTRY_VERIFY(Changes(Read(r.file())).size() == 6);
        const QByteArray after = Read(r.file());
        QVERIFY2(after.startsWith(earlier), "the file is only appended to");
        QCOMPARE(Changes(after.mid(earlier.size())),
                 Texts({"Hull,,waiting,online,,", "\"Leeds, West\",,offline,waiting,program ended,"}));
    }

    void writeFailureToldOnce()
    {
        Rig r;
        QVERIFY(QDir().mkdir(r.file()));
        QSignalSpy problems(r.history.get(), &History::problem);
        QVERIFY(r.start());
        for (const char *s : {"1=green", "1:10.0.0.1 ok", "1=red", "1:10.0.0.1 lost"})
            r.step(s);
        QTRY_COMPARE(r.history->pendingLines(), 0);
        QTRY_COMPARE(problems.size(), 1);
        QCOMPARE(problems.size(), 1);
        QVERIFY(problems.at(0).at(0).toString().contains(QLatin1String("history.csv cannot be written")));
        QCOMPARE(r.history->log().size(), 4); // memory goes on
        QCOMPARE(r.history->ring(QStringLiteral("Leeds, West"), QStringLiteral("10.0.0.1"))->size(), 2);
        // Once it can be written again, the next change is, and nothing more is told.
        QVERIFY(QDir().rmdir(r.file()));
        r.step("1=green");
        QTRY_COMPARE(Changes(Read(r.file())), Texts({"\"Leeds, West\",,offline,online,,"}));
        QCOMPARE(problems.size(), 1);
    }

    void foreignFileIsLeftAlone()
    {
        Rig r;
        const QByteArray foreign = "Name;Phone\r\nAnn;123";
        QFile f(r.file());
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(foreign) == foreign.size());
        f.close();
        QSignalSpy problems(r.history.get(), &History::problem);
        QVERIFY(r.start());
        r.step("1=green");
        r.history->shutdown();        // every line has been tried
        QCOMPARE(problems.size(), 1); // the warning at reading, no second one for the refused writes
        QVERIFY(problems.at(0).at(0).toString().contains(QLatin1String("not a history file")));
        QCOMPARE(Read(r.file()), foreign);
        QCOMPARE(r.history->log().size(), 2);
    }

    // The latency line of an address over the probes kept for it: loss counts only echoes sent.
    void latencyLine_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("line"); // of h.example in Hull
        QTest::newRow("lost, then answered")
            << Texts({"2:h.example lost", "2:h.example ok"}) << QStringLiteral("RTT 0.50 ms, loss 80% (4/5)");
        QTest::newRow("a name that gives no address sent nothing")
            << Texts({"2:h.example unresolved"}) << QStringLiteral("RTT no reply (Invalid Host), loss 0% (0/0)");
        QTest::newRow("and loses nothing after a reply")
            << Texts({"2:h.example ok", "2:h.example unresolved", "2:h.example unresolved"})
            << QStringLiteral("RTT no reply (Invalid Host), loss 0% (0/1)");
    }
    void latencyLine()
    {
        QFETCH(QStringList, steps);
        Rig r;
        for (const QString &s : steps)
            r.step(s);
        QTEST(LatencyLine(r.history->summary(QStringLiteral("Hull"), QStringLiteral("h.example"))), "line");
    }

    void ringsFollowTheTable()
    {
        Rig r;
        for (int i = 0; i < 3 * SampleRing::RingSize; ++i) {
            r.step("1:10.0.0.1 ok");
            r.step("1:10.0.0.2 lost");
        }
        const QString leeds = QStringLiteral("Leeds, West");
        QCOMPARE(r.history->ring(leeds, QStringLiteral("10.0.0.1"))->size(), SampleRing::RingSize);
        QCOMPARE(r.history->summary(leeds, QStringLiteral("10.0.0.2")).lost, 4 * SampleRing::RingSize);
        QCOMPARE(r.history->log().size(), 2); // first outcomes only
        r.cfg.table[1].siteip = QStringLiteral("10.0.0.1");
        r.step("retain");
        QVERIFY(r.history->ring(leeds, QStringLiteral("10.0.0.1")));
        QVERIFY(!r.history->ring(leeds, QStringLiteral("10.0.0.2")));
        r.step("remove 1");
        QVERIFY(!r.history->ring(leeds, QStringLiteral("10.0.0.1")));
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "test_history.moc"
