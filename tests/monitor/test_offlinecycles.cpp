// The offline threshold (OFFLINECYCLES) over the whole program and the scripted prober: what each
// cycle shows and sounds for a location whose address fails or answers, with the threshold absent,
// 1, or above, and with the later state keys off or never met; and the List View's pings, which it
// never delays.
#include "tests/support/programrig.h"

#include <QTest>

using namespace qos;
using namespace qos::test;

namespace {

const QString Address = QStringLiteral("10.213.9.1");

QString ColourName(const QColor &c)
{
    return c == Green               ? QStringLiteral("green")
           : c == Red               ? QStringLiteral("red")
           : c == Cyan              ? QStringLiteral("cyan")
           : c == DarkRed           ? QStringLiteral("darkred")
           : c == QColor(Qt::white) ? QStringLiteral("white")
                                    : c.name();
}

struct Rig : ProgramRig {
    qsizetype sounds = 0, notices = 0;

    explicit Rig(const QByteArray &settings)
    {
        GraphLocation war{"WAR"};
        war.siteip = Address.toLatin1();
        WriteGraph(folder(), {war}, "PINGPACKETS=1\r\nALERTWAV=a.wav\r\nONLINEWAV=o.wav\r\n" + settings);
        start();
    }
    // One cycle; what it left: the colour, then "alert" and "online" for the sounds it played,
    // "attention" while the attention picture is up, and the summary of its notice.
    QString cycle()
    {
        monitor().StartMonitor();
        if (!cycleEnds())
            return QStringLiteral("the cycle did not end");
        QStringList seen{ColourName(colour(1))};
        for (const QString &played : sound.played.mid(sounds))
            seen << (played.endsWith(QLatin1String("a.wav")) ? QStringLiteral("alert")
                                                             : QStringLiteral("online"));
        sounds = sound.played.size();
        if (tray.firstTipLine().endsWith(QLatin1String(" - ATTENTION")))
            seen << QStringLiteral("attention");
        for (const Notice &n : notifier.notices.mid(notices))
            seen << QLatin1Char('"') + n.summary + QLatin1Char('"');
        notices = notifier.notices.size();
        return seen.join(QLatin1Char(' '));
    }
};

} // namespace

class TestOfflineCycles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cycles_data()
    {
        QTest::addColumn<QByteArray>("settings"); // extra MAIN SETTINGS lines
        QTest::addColumn<QString>("script");      // per cycle: x = no answer, . = answer, | = Stop
        QTest::addColumn<QStringList>("seen");    // what each cycle left (see Rig::cycle)
        const QString off = QStringLiteral("red alert attention \"WAR offline\"");
        const QString back = QStringLiteral("green online \"WAR back online\"");
        const QString still = QStringLiteral("red attention");
        const QString white = QStringLiteral("white"), green = QStringLiteral("green");
        const QStringList specified{off, back, off, still, back};
        QTest::newRow("absent: as specified") << QByteArray() << QStringLiteral("x.xx.") << specified;
        QTest::newRow("1: as specified")
            << QByteArray("OFFLINECYCLES=1\r\n") << QStringLiteral("x.xx.") << specified;
        QTest::newRow("the later keys off: as specified")
            << QByteArray("PARTIAL=0\r\nSLOWMS=0\r\nSLOWLOSS=0\r\n") << QStringLiteral("x.xx.") << specified;
        QTest::newRow("the later keys on, never met by one address: as specified")
            << QByteArray("PARTIAL=1\r\nSLOWMS=30000\r\nSLOWLOSS=100\r\n") << QStringLiteral("x.xx.")
            << specified;
        QTest::newRow("0 counts as 1")
            << QByteArray("OFFLINECYCLES=0\r\n") << QStringLiteral("x.xx.") << specified;
        QTest::newRow("3: offline on the third failing cycle, back at the first good one")
            << QByteArray("OFFLINECYCLES=3\r\n") << QStringLiteral("xxxx.x")
            << QStringList{white, white, off, still, back, green};
        QTest::newRow("3: an answer starts the count anew, silently")
            << QByteArray("OFFLINECYCLES=3\r\n") << QStringLiteral("xx.xxx")
            << QStringList{white, white, green, green, green, off};
        QTest::newRow("3: a lost cycle on a good link is no alarm")
            << QByteArray("OFFLINECYCLES=3\r\n") << QStringLiteral(".x.xx.")
            << QStringList{green, green, green, green, green, green};
        QTest::newRow("3: Stop starts the count anew")
            << QByteArray("OFFLINECYCLES=3\r\n") << QStringLiteral("xx|xxx")
            << QStringList{white, white, white, white, off};
        QTest::newRow("notifications off: the rest as it was")
            << QByteArray("NOTIFICATIONS=0\r\nOFFLINECYCLES=2\r\n") << QStringLiteral("xx.")
            << QStringList{white, QStringLiteral("red alert attention"), QStringLiteral("green online")};
    }
    void cycles()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QString, script);
        QFETCH(QStringList, seen);
        Rig p(settings);
        QList<ProbeStatus> statuses;
        for (const QChar c : script) {
            if (c != QLatin1Char('|'))
                statuses << (c == QLatin1Char('x') ? StatusTimedOut : StatusReply);
        }
        p.fake.script[Address] = statuses;
        QStringList got;
        for (const QChar c : script) {
            if (c == QLatin1Char('|')) {
                QTest::mouseClick(p.c().stopMonitor, Qt::LeftButton); // "Stop Monitor"
                continue;
            }
            got << p.cycle();
            if (c == QLatin1Char('x')) // what the List View lists as failing, confirmed or not
                QCOMPARE(p.cfg.table[1].holdbad, QStringList{Address});
        }
        QCOMPARE(got, seen);
    }

    // Pending cycles keep the colour, but the List View already lists the failing address; its own
    // pings colour the location at once, whatever the threshold.
    void listViewPingsNotDelayed()
    {
        Rig p("OFFLINECYCLES=3\r\n");
        p.fake.fallback = StatusTimedOut;
        QCOMPARE(p.cycle(), QStringLiteral("white"));
        QCOMPARE(p.cfg.table[1].holdbad, QStringList{Address});
        ListView &l = p.open(1);
        QCOMPARE(p.column(4), QStringList{Address});              // failing, from the pending cycle
        QTest::mouseClick(l.controls().pingAll, Qt::LeftButton);  // "Ping All"
        QTRY_COMPARE(p.colour(1), Red);
        QVERIFY(p.tray.firstTipLine().endsWith(QLatin1String(" - ATTENTION")));
        QTest::mouseClick(l.controls().mapView, Qt::LeftButton); // back to the Map View
        // Flagged offline now: the next failing cycle keeps it so, with no second alarm.
        QCOMPARE(p.cycle(), QStringLiteral("red attention"));
    }
};

QTEST_MAIN(TestOfflineCycles)
#include "test_offlinecycles.moc"
