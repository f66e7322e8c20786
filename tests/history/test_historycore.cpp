// The history's pure core: CSV fields and change lines both ways, the sample ring's bounds and its
// summary texts, the event log's capacity, and the window's figures from a known event list.
#include "history/events.h"
#include "history/figures.h"
#include "history/samples.h"
#include "history/since.h"
#include "tests/history/rig.h"

#include <QTest>

using namespace qos;
using namespace qos::test;

namespace {

ChangeRecord Change(qint64 t, const char *site, const char *address, State from, State to,
                    const char *status = "", qint64 us = -1)
{
    return {t, QString::fromLatin1(site), QString::fromLatin1(address), from, to, QString::fromLatin1(status),
            us};
}

} // namespace

Q_DECLARE_METATYPE(qos::ChangeRecord)
Q_DECLARE_METATYPE(qos::Sample)

class TestHistoryCore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fields_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("plain") << QStringLiteral("Leeds") << QByteArray("Leeds");
        QTest::newRow("empty") << QString() << QByteArray();
        QTest::newRow("comma") << QStringLiteral("Leeds, West") << QByteArray("\"Leeds, West\"");
        QTest::newRow("quote") << QStringLiteral("the \"hub\"") << QByteArray("\"the \"\"hub\"\"\"");
        QTest::newRow("lone quote") << QStringLiteral("\"") << QByteArray("\"\"\"\"");
        QTest::newRow("leading space") << QStringLiteral(" Leeds") << QByteArray("\" Leeds\"");
        QTest::newRow("trailing space") << QStringLiteral("Leeds ") << QByteArray("\"Leeds \"");
        QTest::newRow("line break") << QStringLiteral("a\r\nb") << QByteArray("\"a\r\nb\"");
        QTest::newRow("latin-1 byte") << QStringLiteral("Z\u00fcrich") << QByteArray("Z\xfcrich");
        QTest::newRow("parenthesis") << QStringLiteral("online(partial ignore)")
                                     << QByteArray("online(partial ignore)");
    }
    void fields()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, field);
        QCOMPARE(CsvField(text), field);
        // Every field reads back as it was written, in a line with fields around it.
        const auto split = SplitCsvRecord("x," + field + ",y");
        QVERIFY(split);
        QCOMPARE(*split, (QList<QByteArray>{"x", text.toLatin1(), "y"}));
    }

    void lines_data()
    {
        QTest::addColumn<ChangeRecord>("change");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("location") << Change(T0, "Leeds", "", State::Waiting, State::Online)
                                  << QByteArray("2024-05-01T14:00:00.000Z,Leeds,,waiting,online,,\r\n");
        QTest::newRow("offline with failed addresses")
            << Change(T0 + 1, "Leeds, West", "", State::OnlinePartial, State::OfflinePartial,
                      "10.0.0.1,10.0.0.2")
            << QByteArray("2024-05-01T14:00:00.001Z,\"Leeds, West\",,online(partial ignore),"
                          "offline(partial ignore),\"10.0.0.1,10.0.0.2\",\r\n");
        QTest::newRow("address first seen")
            << Change(T0 + 999, "Leeds", "10.0.0.1", State::Unknown, State::Answering, "ONLINE", 412)
            << QByteArray("2024-05-01T14:00:00.999Z,Leeds,10.0.0.1,,answering,ONLINE,0.412\r\n");
        QTest::newRow("address down")
            << Change(T0, "Q\"s", "host", State::Answering, State::NotAnswering, "OFFLINE")
            << QByteArray("2024-05-01T14:00:00.000Z,\"Q\"\"s\",host,answering,not answering,OFFLINE,\r\n");
        QTest::newRow("slow reply") << Change(T0, "a", "b", State::NotAnswering, State::Answering, "ONLINE",
                                              1234567)
                                    << QByteArray(
                                           "2024-05-01T14:00:00.000Z,a,b,not answering,answering,ONLINE,"
                                           "1234.567\r\n");
    }
    void lines()
    {
        QFETCH(ChangeRecord, change);
        QFETCH(QByteArray, line);
        QCOMPARE(FormatChange(change), line);
        const auto back = ParseChange(QByteArrayView(line).chopped(2));
        QVERIFY(back);
        QCOMPARE(*back, change);
    }

    void records_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<qint64>("time");
        const QByteArray tail = ",Leeds,,waiting,online,,";
        QTest::newRow("ours") << "2024-05-01T14:00:00.000Z" + tail << true << T0;
        QTest::newRow("no milliseconds") << "2024-05-01T14:00:00Z" + tail << true << T0;
        QTest::newRow("offset") << "2024-05-01T16:00:00+02:00" + tail << true << T0;
        QTest::newRow("bad date") << "2024-02-30T14:00:00.000Z" + tail << false << qint64(0);
        QTest::newRow("not a time") << "yesterday" + tail << false << qint64(0);
        QTest::newRow("six fields") << QByteArray("2024-05-01T14:00:00.000Z,Leeds,,waiting,online,") << false
                                    << qint64(0);
        QTest::newRow("eight fields") << "2024-05-01T14:00:00.000Z" + tail + "," << false << qint64(0);
        QTest::newRow("unknown state")
            << QByteArray("2024-05-01T14:00:00.000Z,Leeds,,waiting,sunny,,") << false << qint64(0);
        QTest::newRow("no new state")
            << QByteArray("2024-05-01T14:00:00.000Z,Leeds,,online,,,") << false << qint64(0);
        QTest::newRow("address state for the location")
            << QByteArray("2024-05-01T14:00:00.000Z,Leeds,,answering,not answering,,") << false << qint64(0);
        QTest::newRow("location state for an address")
            << QByteArray("2024-05-01T14:00:00.000Z,Leeds,10.0.0.1,,online,,") << false << qint64(0);
        QTest::newRow("quote never closes")
            << QByteArray("2024-05-01T14:00:00.000Z,\"Leeds,,waiting,online,,") << false << qint64(0);
        QTest::newRow("text after a quote")
            << QByteArray("2024-05-01T14:00:00.000Z,\"Leeds\"x,,waiting,online,,") << false << qint64(0);
        QTest::newRow("quote inside a plain field")
            << QByteArray("2024-05-01T14:00:00.000Z,Le\"eds,,waiting,online,,") << false << qint64(0);
        QTest::newRow("negative round trip")
            << QByteArray("2024-05-01T14:00:00.000Z,L,a,,answering,ONLINE,-1") << false << qint64(0);
        QTest::newRow("round trip not a number")
            << QByteArray("2024-05-01T14:00:00.000Z,L,a,,answering,ONLINE,fast") << false << qint64(0);
    }
    void records()
    {
        QFETCH(QByteArray, record);
        QFETCH(bool, readable);
        QFETCH(qint64, time);
        const auto change = ParseChange(record);
        QCOMPARE(bool(change), readable);
        if (change)
            QCOMPARE(change->timeMs, time);
    }

    void ring_data()
    {
        QTest::addColumn<int>("pushed");
        for (int n : {0, 1, SampleRing::RingSize - 1, SampleRing::RingSize, SampleRing::RingSize + 1, 1000})
            QTest::addRow("%d", n) << n;
    }
    void ring()
    {
        QFETCH(int, pushed);
        SampleRings rings;
        const int other = rings.add();
        const int r = rings.add();
        // Every third probe is lost after 4 echoes; the others answer on their second echo.
        for (int i = 0; i < pushed; ++i) {
            rings.push(r, {T0 + i, i % 3 == 0 ? -1 : 100 + i, i % 3 == 0 ? 11010 : 0,
                           quint16(i % 3 == 0 ? 4 : 2), i % 3 != 0});
            rings.push(other, {T0 + i, 1, 0, 1, true});
        }
        const SampleRing ring = rings.ring(r);
        const int kept = qMin(pushed, SampleRing::RingSize);
        QCOMPARE(ring.size(), kept);
        if (kept == 0)
            return;
        const int first = pushed - kept;
        QCOMPARE(ring.at(0).timeMs, T0 + first);
        QCOMPARE(ring.last().timeMs, T0 + pushed - 1);
        int lost = 0, echoes = 0;
        for (int i = first; i < pushed; ++i) {
            echoes += i % 3 == 0 ? 4 : 2;
            lost += i % 3 == 0 ? 4 : 1;
        }
        const LinkSummary s = Summarise(ring);
        QCOMPARE(s.probes, kept);
        QCOMPARE(s.echoes, echoes);
        QCOMPARE(s.lost, lost);
        rings.remove(r); // its place goes to the next ring, empty
        QCOMPARE(rings.ring(rings.add()).size(), 0);
        QCOMPARE(rings.ring(other).size(), kept);
    }

    // Times of the older probes come back from their gaps, in the unit the gap needs.
    void ringTimes_data()
    {
        QTest::addColumn<qint64>("gap");    // between the three probes pushed
        QTest::addColumn<qint64>("second"); // the middle one's time as kept, after T0
        constexpr qint64 s = 1000, h = 60 * Min;
        QTest::newRow("ms") << qint64(5) << qint64(5);
        QTest::newRow("seconds, to the nearest") << 20 * s + 400 << 20 * s;
        QTest::newRow("the default interval") << 3 * Min << 3 * Min;
        QTest::newRow("minutes, to the nearest") << 5 * h + 29 * s << 5 * h;
        QTest::newRow("hours") << 10 * 24 * h + 20 * Min << 10 * 24 * h;
        QTest::newRow("beyond the longest gap") << 3 * 365 * 24 * h << 511 * h;
    }
    void ringTimes()
    {
        QFETCH(qint64, gap);
        SampleRings rings;
        const int r = rings.add();
        for (int i = 0; i < 3; ++i)
            rings.push(r, {T0 + i * gap, 100, 0, 1, true});
        const SampleRing ring = rings.ring(r);
        QCOMPARE(ring.at(0).timeMs, T0);
        QTEST(ring.at(1).timeMs - T0, "second");
        QCOMPARE(ring.last().timeMs, T0 + 2 * gap); // the newest is exact
        QCOMPARE(ring.samples().value(1).timeMs, ring.at(1).timeMs);
    }

    void latencyTexts_data()
    {
        QTest::addColumn<QList<Sample>>("samples");
        QTest::addColumn<QString>("tooltip");
        QTest::addColumn<QString>("line");
        QTest::newRow("none") << QList<Sample>{} << QStringLiteral("No probe of this address kept yet")
                              << QStringLiteral("RTT: not probed yet");
        QTest::newRow("answered") << QList<Sample>{{T0, 412, 0, 1, true}, {T0, 12345, 0, 2, true}}
                                  << QStringLiteral(
                                         "Last round trip: 12.3 ms\nLoss: 1 of 3 echoes (33.3%) over "
                                         "the last 2 probes")
                                  << QStringLiteral("RTT 12.3 ms, loss 33.3% (1/3)");
        QTest::newRow("last lost") << QList<Sample>{{T0, 250000, 0, 1, true}, {T0, -1, 11010, 3, false}}
                                   << QStringLiteral(
                                          "Last round trip: no reply (OFFLINE)\nLoss: 3 of 4 echoes "
                                          "(75%) over the last 2 probes")
                                   << QStringLiteral("RTT no reply (OFFLINE), loss 75% (3/4)");
        QTest::newRow("an older probe counts at most 15 echoes")
            << QList<Sample>{{T0, -1, 11010, 16, false}, {T0, 412, 0, 5, true}}
            << QStringLiteral("Last round trip: 0.41 ms\nLoss: 19 of 20 echoes (95%) over the last 2 probes")
            << QStringLiteral("RTT 0.41 ms, loss 95% (19/20)");
        QTest::newRow("sockets never started")
            << QList<Sample>{{T0, 410, 0, 1, true}, {T0, -1, 0, 0, false}}
            << QStringLiteral(
                   "Last round trip: no reply (NOT PROBED)\nLoss: 0 of 1 echoes (0%) over the last "
                   "2 probes")
            << QStringLiteral("RTT no reply (NOT PROBED), loss 0% (0/1)");
        QTest::newRow("a name that gave no address")
            << QList<Sample>{{T0, 410, 0, 1, true}, {T0, -1, StatusInvalidHost, 0, false}}
            << QStringLiteral(
                   "Last round trip: no reply (Invalid Host)\nLoss: 0 of 1 echoes (0%) over the last "
                   "2 probes")
            << QStringLiteral("RTT no reply (Invalid Host), loss 0% (0/1)");
    }
    void latencyTexts()
    {
        QFETCH(QList<Sample>, samples);
        SampleRings rings;
        const int r = rings.add();
        for (const Sample &s : samples)
            rings.push(r, s);
        const SampleRing ring = rings.ring(r);
        QTEST(LatencyTooltip(Summarise(ring)), "tooltip");
        QTEST(LatencyLine(Summarise(ring)), "line");
    }

    void logCapacity()
    {
        EventLog log(10);
        for (int i = 0; i < 5000; ++i)
            log.add(Change(T0 + i, "L", qPrintable(QStringLiteral("a%1").arg(i)), State::Unknown,
                           State::Answering));
        QVERIFY(log.size() >= 10 && log.size() <= 10 + 10 / 8 + 1);
        QCOMPARE(log.record(log.events().back()).address, QStringLiteral("a4999"));
        QVERIFY2(log.nameCount() < 1100, "texts of dropped events stay");

        // Earlier events go in front, in time order, and the newest stay within the capacity.
        EventLog earlier(10);
        earlier.add(Change(T0 - 2, "E", "", State::Waiting, State::Online));
        earlier.add(Change(T0 + 4998, "E", "", State::Online, State::Offline)); // a clock that went back
        earlier.append(log);
        log = std::move(earlier);
        QCOMPARE(log.size(), 10);
        QList<qint64> times;
        for (const HistoryEvent &e : log.events())
            times << e.timeMs;
        QVERIFY(std::is_sorted(times.begin(), times.end()));
        QCOMPARE(log.record(log.events().front()).location, QStringLiteral("L")); // T0 - 2 went
        const auto e = std::find_if(log.events().begin(), log.events().end(),
                                    [&log](const HistoryEvent &x) { return log.text(x.location) == u"E"; });
        QVERIFY(e != log.events().end());
        QCOMPARE(e->timeMs, T0 + 4998);
        QCOMPARE(log.record(*e).to, State::Offline);
    }

    void figures_data()
    {
        QTest::addColumn<QList<ChangeRecord>>("changes");
        QTest::addColumn<QString>("address");
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("now");
        QTest::addColumn<QStringList>("periods");
        QTest::addColumn<double>("share");

        const auto W = State::Waiting, On = State::Online, Off = State::Offline, OffP = State::OfflinePartial;
        const auto Up = State::Answering, Down = State::NotAnswering, U = State::Unknown;
        const QList<ChangeRecord> outage{
            Change(T0, "L", "", W, On),
            Change(T0, "L", "a", U, Up),
            Change(T0 + 2 * Min, "L", "a", Up, Down),
            Change(T0 + 2 * Min, "L", "", On, Off),
            Change(T0 + 19 * Min, "L", "a", Down, Up),
            Change(T0 + 19 * Min, "L", "", Off, On),
        };
        QTest::newRow("location outage")
            << outage << QString() << T0 << T0 + 60 * Min
            << Texts({"online 14:00 to 14:02, 2 min", "offline 14:02 to 14:19, 17 min",
                      "online since 14:19, 41 min"})
            << 100.0 * 43 / 60;
        QTest::newRow("address outage")
            << outage << QStringLiteral("a") << T0 << T0 + 60 * Min
            << Texts({"answering 14:00 to 14:02, 2 min", "not answering 14:02 to 14:19, 17 min",
                      "answering since 14:19, 41 min"})
            << 100.0 * 43 / 60;
        QTest::newRow("span starts inside the outage")
            << outage << QString() << T0 + 10 * Min << T0 + 20 * Min
            << Texts({"offline 14:02 to 14:19, 17 min", "online since 14:19, 1 min"}) << 10.0;
        QTest::newRow("an address is not watched while its location waits")
            << QList<ChangeRecord>{Change(T0, "L", "", W, On), Change(T0, "L", "a", U, Down),
                                   Change(T0 + 10 * Min, "L", "", On, W),
                                   Change(T0 + 40 * Min, "L", "", W, OffP),
                                   Change(T0 + 40 * Min, "L", "a", U, Up)}
            << QStringLiteral("a") << T0 << T0 + 50 * Min
            << Texts({"not answering 14:00 to 14:10, 10 min", "answering since 14:40, 10 min"}) << 50.0;
        QTest::newRow("waiting counts for neither")
            << QList<ChangeRecord>{Change(T0, "L", "", W, OffP), Change(T0 + 30 * Min, "L", "", OffP, W)}
            << QString() << T0 << T0 + 90 * Min
            << Texts({"offline(partial ignore) 14:00 to 14:30, 30 min", "waiting since 14:30, 1 h"}) << 0.0;
        QTest::newRow("other locations do not count")
            << QList<ChangeRecord>{Change(T0, "M", "", W, Off), Change(T0, "M", "a", U, Down)}
            << QStringLiteral("a") << T0 << T0 + Min << QStringList{} << -1.0;
        QTest::newRow("seconds within one minute")
            << QList<ChangeRecord>{Change(T0 + 5000, "L", "", W, Off), Change(T0 + 38000, "L", "", Off, On)}
            << QString() << T0 << T0 + 38000
            << Texts({"offline 14:00:05 to 14:00:38, 33 s", "online since 14:00, 0 s"}) << 0.0;
        QTest::newRow("a day ago") << QList<ChangeRecord>{Change(T0 - 26 * 60 * Min, "L", "", W, Off)}
                                   << QString() << T0 - 30 * 60 * Min << T0
                                   << Texts({"offline since 2024-04-30 12:00, 1 d 2 h"}) << 0.0;
    }
    void figures()
    {
        QFETCH(QList<ChangeRecord>, changes);
        QFETCH(QString, address);
        QFETCH(qint64, from);
        QFETCH(qint64, now);
        QFETCH(double, share);
        EventLog log;
        for (const ChangeRecord &c : changes)
            log.add(c);
        const QList<Period> periods = SubjectPeriods(log, QStringLiteral("L"), address, from, now);
        QStringList texts;
        for (const Period &p : periods)
            texts << PeriodText(p, now, QTimeZone::utc());
        QTEST(texts, "periods");
        const UpShare up = ShareUp(periods, from, now);
        if (share < 0) {
            QVERIFY(!up.known());
            QCOMPARE(ShareText(up, true), QStringLiteral("not watched in this span"));
        } else {
            QVERIFY(up.known());
            QCOMPARE(up.percent(), share);
        }
    }

    void durations_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64(0) << QStringLiteral("0 s");
        QTest::newRow("59.4 s") << qint64(59400) << QStringLiteral("59 s");
        QTest::newRow("59.6 s") << qint64(59600) << QStringLiteral("1 min");
        QTest::newRow("17 min") << 17 * Min << QStringLiteral("17 min");
        QTest::newRow("60 min") << 60 * Min << QStringLiteral("1 h");
        QTest::newRow("2 h 5 min") << 125 * Min << QStringLiteral("2 h 5 min");
        QTest::newRow("1 day") << 24 * 60 * Min << QStringLiteral("1 d");
        QTest::newRow("3 d 4 h") << (76 * 60 + 10) * Min << QStringLiteral("3 d 4 h");
    }
    void durations()
    {
        QFETCH(qint64, ms);
        QTEST(DurationText(ms), "text");
    }

    // Since when, over the log: the oldest change into the present side that the other side does not
    // follow; waiting between them (a restart) does not break it, disabled does.
    void sinceMs_data()
    {
        QTest::addColumn<QStringList>("changes"); // "minute:to-state", oldest first; address "a" after "/"
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("now");    // State
        QTest::addColumn<int>("minute"); // -1: unknown
        const int on = int(State::Online), off = int(State::Offline);
        QTest::newRow("offline once") << QStringList{QStringLiteral("2:offline")} << QString() << off << 2;
        QTest::newRow("over a restart")
            << QStringList{QStringLiteral("2:offline"), QStringLiteral("5:waiting"),
                           QStringLiteral("9:offline")}
            << QString() << off << 2;
        QTest::newRow("partial form is the same side")
            << QStringList{QStringLiteral("1:offline"), QStringLiteral("3:offline(partial ignore)")}
            << QString() << int(State::OfflinePartial) << 1;
        QTest::newRow("back online ends it")
            << QStringList{QStringLiteral("1:offline"), QStringLiteral("4:online"),
                           QStringLiteral("6:offline")}
            << QString() << off << 6;
        QTest::newRow("disabled in between starts afresh")
            << QStringList{QStringLiteral("1:online"), QStringLiteral("3:disabled"),
                           QStringLiteral("7:online")}
            << QString() << on << 7;
        QTest::newRow("no change of it") << QStringList{} << QString() << on << -1;
        QTest::newRow("an address") << QStringList{QStringLiteral("1/answering"), QStringLiteral("2:offline"),
                                                   QStringLiteral("8/not answering")}
                                    << QStringLiteral("a") << int(State::NotAnswering) << 8;
    }
    void sinceMs()
    {
        QFETCH(QStringList, changes);
        QFETCH(QString, address);
        QFETCH(int, now);
        QFETCH(int, minute);
        EventLog log;
        for (const QString &c : changes) {
            const bool forAddress = c.contains(QLatin1Char('/'));
            const QStringList parts = c.split(forAddress ? QLatin1Char('/') : QLatin1Char(':'));
            ChangeRecord r;
            r.timeMs = parts[0].toLongLong() * 60000;
            r.location = QStringLiteral("WAR");
            r.address = forAddress ? QStringLiteral("a") : QString();
            r.to = *StateFromName(parts[1].toLatin1());
            log.add(r);
        }
        const std::optional<qint64> since = SinceMs(log, QStringLiteral("WAR"), address, State(now));
        QCOMPARE(since.has_value(), minute >= 0);
        if (since)
            QCOMPARE(*since, qint64(minute) * 60000);
    }

    // The line a marker's tooltip and the List View show, and the tray's (SinceText).
    void locationLine_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<qint64>("since");      // ms, UTC; -1 unknown
        QTest::addColumn<QList<int>>("counts"); // answering, monitored, ignored
        QTest::addColumn<QStringList>("failing");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("tip");
        const qint64 day = 86400000LL; // on 1970-01-02, UTC
        const qint64 at0902 = day + (9 * 60 + 12) * 60000LL, at1402 = day + (14 * 60 + 2) * 60000LL;
        QTest::newRow("online") << int(State::Online) << at0902 << QList<int>{2, 2, 0} << QStringList{}
                                << QStringLiteral("VIE online since 09:12, 2 of 2 answering")
                                << QStringLiteral("VIE online since 09:12");
        QTest::newRow("offline") << int(State::Offline) << at1402 << QList<int>{1, 2, 0}
                                 << QStringList{QStringLiteral("10.1.2.3")}
                                 << QStringLiteral("VIE offline since 14:02 (17 min): 10.1.2.3")
                                 << QStringLiteral("VIE offline since 14:02 (17 min)");
        QTest::newRow("online(partial ignore)")
            << int(State::OnlinePartial) << at0902 << QList<int>{1, 1, 1} << QStringList{}
            << QStringLiteral("VIE online since 09:12, 1 of 1 answering, 1 ignored")
            << QStringLiteral("VIE online since 09:12");
        QTest::newRow("partly down: answering and failing")
            << int(State::PartlyDown) << at1402 << QList<int>{1, 2, 0} << QStringList{QStringLiteral("b")}
            << QStringLiteral("VIE partly down since 14:02 (17 min), 1 of 2 answering: b")
            << QStringLiteral("VIE partly down since 14:02 (17 min)");
        QTest::newRow("unreachable") << int(State::Unreachable) << at1402 << QList<int>{0, 1, 0}
                                     << QStringList{QStringLiteral("a")}
                                     << QStringLiteral("VIE unreachable since 14:02 (17 min): a")
                                     << QStringLiteral("VIE unreachable since 14:02 (17 min)");
        QTest::newRow("since unknown")
            << int(State::Offline) << qint64(-1) << QList<int>{0, 1, 0} << QStringList{QStringLiteral("a")}
            << QStringLiteral("VIE offline: a") << QStringLiteral("VIE offline");
        QTest::newRow("yesterday") << int(State::Offline) << at1402 - day << QList<int>{0, 1, 0}
                                   << QStringList{}
                                   << QStringLiteral("VIE offline since 1970-01-01 14:02 (1 d)")
                                   << QStringLiteral("VIE offline since 1970-01-01 14:02 (1 d)");
        QStringList many;
        for (int i = 1; i <= 12; ++i)
            many << QString::number(i);
        QTest::newRow("many failing")
            << int(State::Offline) << at1402 << QList<int>{0, 12, 0} << many
            << QStringLiteral("VIE offline since 14:02 (17 min): 1, 2, 3, 4, 5, 6, 7, 8, 9, "
                              "10 and 2 more")
            << QStringLiteral("VIE offline since 14:02 (17 min)");
        QTest::newRow("waiting") << int(State::Waiting) << qint64(-1) << QList<int>{0, 2, 0} << QStringList{}
                                 << QStringLiteral("VIE waiting") << QStringLiteral("VIE waiting");
        QTest::newRow("disabled") << int(State::Disabled) << at0902 << QList<int>{0, 2, 0} << QStringList{}
                                  << QStringLiteral("VIE disabled since 09:12")
                                  << QStringLiteral("VIE disabled since 09:12");
    }
    void locationLine()
    {
        QFETCH(int, state);
        QFETCH(qint64, since);
        QFETCH(QList<int>, counts);
        QFETCH(QStringList, failing);
        LocationFacts f{QStringLiteral("VIE"),
                        State(state),
                        since < 0 ? std::nullopt : std::optional<qint64>(since),
                        counts[0],
                        counts[1],
                        counts[2],
                        failing,
                        {}};
        const qint64 now = 86400000LL + (14 * 60 + 19) * 60000LL;
        QTEST(LocationLine(f, now, QTimeZone::utc()), "line");
        QTEST(SinceText(f, now, QTimeZone::utc()), "tip");
    }
};

QTEST_APPLESS_MAIN(TestHistoryCore)
#include "test_historycore.moc"
