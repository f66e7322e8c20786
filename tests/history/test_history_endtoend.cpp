// The program with this machine's echo engine against a test host in network namespaces of the
// test's own that goes silent and comes back: the List View shows its round-trip time and loss, the
// history window the outage with its duration, and history.csv the changes. Needs root; skips without.
#include "history/historywindow.h"
#include "tests/support/netns.h"
#include "tests/support/programrig.h"

#include <QListView>
#include <QRegularExpression>
#include <QTest>

using namespace qos;
using namespace qos::test;

class TestHistoryEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void outageIsKept()
    {
        QOS_START_NETLAB(lab);
        NetnsScope scope(lab.client());
        QVERIFY(scope.entered());

        const QByteArray host = "10.213.3.9";
        ProgramRig p(ProgramRig::Engine::Real);
        QVERIFY(WriteGraph(p.folder(), {Site("Leeds", host)}));
        p.start();
        p.cfg.settings.PINGTIMEOUT = 300;
        p.cfg.settings.PINGPACKETS = 2;
        auto cycle = [&p] {
            p.monitor().StartMonitor();
            return p.cycleEnds(10000);
        };
        auto silence = [&lab](bool on) {
            return on ? lab.inNamespace(lab.target(),
                                        {QStringLiteral("nft"), QStringLiteral("-f"), QStringLiteral("-")},
                                        "table ip outage {\n  chain in { type filter hook input priority 0;\n"
                                        "    ip daddr 10.213.3.9 drop;\n  }\n}\n")
                      : lab.inNamespace(lab.target(), {QStringLiteral("nft"), QStringLiteral("delete"),
                                                       QStringLiteral("table"), QStringLiteral("ip"),
                                                       QStringLiteral("outage")});
        };

        QTest::mouseClick(p.c().startMonitor, Qt::LeftButton); // "Start Monitor"
        QVERIFY(p.cycleEnds(10000));
        QCOMPARE(p.colour(1), Green);
        QVERIFY2(silence(true), qPrintable(lab.error()));
        QVERIFY(cycle());
        QCOMPARE(p.colour(1), Red);
        QTest::qWait(2100); // the outage lasts a couple of seconds
        QVERIFY2(silence(false), qPrintable(lab.error()));
        QVERIFY(cycle());
        QCOMPARE(p.colour(1), Green);

        ListView &l = p.open(1);
        // The List View shows the latest outcome: the cycle found the address answering again.
        QCOMPARE(RowCount(l.list(4)), 0);
        QCOMPARE(RowText(l.list(2), 0), QStringLiteral("ONLINE"));
        const QString tip = RowTip(l.list(1), 0);
        QVERIFY2(QRegularExpression(
                     QStringLiteral("^Last round trip: \\d+\\.\\d+ ms\nLoss: 2 of 4 echoes \\(50%\\) "
                                    "over the last 3 probes\nanswering since \\d\\d:\\d\\d$"))
                     .match(tip)
                     .hasMatch(),
                 qPrintable(tip));
        l.findChild<QAction *>(QStringLiteral("History"))->trigger();
        const HistoryWindow *w = p.program->historyWindow(QStringLiteral("Leeds"));
        QVERIFY(w);
        const QStringList changes = w->changeTexts();
        const QRegularExpression outage(
            QStringLiteral("^location: offline \\d\\d:\\d\\d(:\\d\\d)? to \\d\\d:\\d\\d(:\\d\\d)?, [23] s$"));
        QVERIFY2(changes.size() == 6 && outage.match(changes.at(2)).hasMatch(),
                 qPrintable(changes.join(u'\n')));
        QVERIFY2(changes.at(3).startsWith(QLatin1String("10.213.3.9: not answering ")),
                 qPrintable(changes.at(3)));
        QVERIFY(w->shareText().startsWith(QLatin1String("Location: online ")));

        const QString file = QDir(p.folder()).filePath(QStringLiteral("history.csv"));
        QTRY_COMPARE(ReadFile(file).count("\r\n"), 7);
        QStringList lines;
        for (const QByteArray &line : ReadFile(file).split('\n').mid(1, 6))
            lines << QString::fromLatin1(line.mid(line.indexOf(',') + 1)).section(u',', 0, 4);
        QCOMPARE(lines, (QStringList{QStringLiteral("Leeds,10.213.3.9,,answering,ONLINE"),
                                     QStringLiteral("Leeds,,waiting,online,"),
                                     QStringLiteral("Leeds,10.213.3.9,answering,not answering,OFFLINE"),
                                     QStringLiteral("Leeds,,online,offline,10.213.3.9"),
                                     QStringLiteral("Leeds,10.213.3.9,not answering,answering,ONLINE"),
                                     QStringLiteral("Leeds,,offline,online,")}));
        QVERIFY2(p.boxes.shown.isEmpty(), qPrintable(p.boxes.shown.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestHistoryEndToEnd)
#include "test_history_endtoend.moc"
