// The history window's figures from a known run, and live updates; the List View's row tooltips,
// latency line and "History" item in the program over the scripted prober, with the file it leaves.
#include "history/historywindow.h"
#include "listview/listhistory.h"
#include "tests/history/rig.h"
#include "tests/support/programrig.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QTest>

using namespace qos;
using namespace qos::test;

class TestHistoryWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void figuresOfARun()
    {
        QTemporaryDir dir;
        Configuration cfg;
        LocationRecord leeds;
        leeds.site = QStringLiteral("Leeds");
        leeds.siteip = QStringLiteral("10.0.0.1,10.0.0.2");
        cfg.table.records << leeds;
        qint64 clock = T0;
        History h(dir.path(), cfg, History::Options{DefaultRotateBytes, 1000, [&clock] { return clock; }});
        auto at = [&](qint64 t, Indicator colour, bool answered) {
            clock = t;
            h.recordProbe(1, QStringLiteral("10.0.0.1"), Outcome(answered));
            cfg.table[1].center = colour;
            h.recordIndicator(1);
        };
        at(T0, Indicator::Green, true);
        at(T0 + 2 * Min, Indicator::Red, false);
        at(T0 + 19 * Min, Indicator::Green, true);
        clock = T0 + 60 * Min;

        HistoryWindow w(h, cfg, QStringLiteral("Leeds"));
        w.setTimeZone(QTimeZone::utc());
        w.setSpan(HistoryWindow::Everything);
        QCOMPARE(w.windowTitle(), QStringLiteral("QOR Online Status - History - Leeds"));
        QCOMPARE(w.shareText(), QStringLiteral("Location: online 71.7% of the watched time"));
        QCOMPARE(
            w.changeTexts(),
            Texts({"location: online since 14:19, 41 min", "10.0.0.1: answering since 14:19, 41 min",
                   "location: offline 14:02 to 14:19, 17 min",
                   "10.0.0.1: not answering 14:02 to 14:19, 17 min", "location: online 14:00 to 14:02, 2 min",
                   "10.0.0.1: answering 14:00 to 14:02, 2 min"}));
        QCOMPARE(w.addressTexts(),
                 Texts({"10.0.0.1: answering 71.7% of the watched time; RTT 0.50 ms, loss 66.7% (4/6)",
                        "10.0.0.2: not watched in this span; RTT: not probed yet"}));
        w.setSpan(HistoryWindow::LastHour); // 14:00 to 15:00 still
        QCOMPARE(w.changeTexts().size(), 6);

        // Live: a new change shows without being asked; an hour later the span has moved on.
        at(T0 + 61 * Min, Indicator::Red, false);
        QTRY_COMPARE(w.changeTexts().value(0), QStringLiteral("location: offline since 15:01, 0 s"));
        clock = T0 + 3 * 60 * Min;
        w.refresh();
        QCOMPARE(w.changeTexts(), Texts({"location: offline since 15:01, 1 h 59 min",
                                         "10.0.0.1: not answering since 15:01, 1 h 59 min"}));
        QCOMPARE(w.shareText(), QStringLiteral("Location: online 0% of the watched time"));
    }

    void listViewShowsLatencyAndOpensHistory()
    {
        ProgramRig p;
        p.startWith({Site("Leeds, West", "10.0.0.1,10.0.0.2")});
        p.fake.script[QStringLiteral("10.0.0.2")] = {StatusTimedOut};
        p.cfg.settings.PINGPACKETS = 2;
        QTest::mouseClick(p.c().startMonitor, Qt::LeftButton); // "Start Monitor"
        QVERIFY(p.cycleEnds());

        ListView &l = p.open(1);
        const auto *latency = l.findChild<QLabel *>(QStringLiteral("latency"));
        QVERIFY(latency);
        QVERIFY(latency->text().isEmpty());
        const QString up =
            QStringLiteral("Last round trip: 0.10 ms\nLoss: 0 of 1 echoes (0%) over the last 1 probes");
        const QString down = QStringLiteral(
            "Last round trip: no reply (OFFLINE)\nLoss: 2 of 2 echoes (100%) over the last 1 probes");
        // Below the latency: since when the address answers or not.
        const auto tip = [&l](int n, int line) {
            return RowTip(l.list(n), 0).section(QLatin1Char('\n'), line, line);
        };
        for (int n : {1, 2, 3}) {
            QCOMPARE(RowTip(l.list(n), 0).section(QLatin1Char('\n'), 0, 1), up);
            QVERIFY2(tip(n, 2).startsWith(QLatin1String("answering since ")), qPrintable(tip(n, 2)));
        }
        for (int n : {4, 5, 6}) {
            QCOMPARE(RowTip(l.list(n), 0).section(QLatin1Char('\n'), 0, 1), down);
            QVERIFY2(tip(n, 2).startsWith(QLatin1String("not answering since ")), qPrintable(tip(n, 2)));
        }
        // The lines lie in free space: they cover none of the window's own controls.
        const auto *since = l.findChild<QLabel *>(QStringLiteral("sinceLine"));
        QVERIFY(since);
        QVERIFY2(since->text().contains(QStringLiteral(" since ")), qPrintable(since->text()));
        for (const QLabel *line : {latency, since})
            for (QWidget *w : l.centralWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
                if (w != latency && w != since && w->isVisible())
                    QVERIFY2(!w->geometry().intersects(line->geometry()), qPrintable(w->objectName()));

        SelectRow(l.list(1), 0);
        QCOMPARE(latency->text(), QStringLiteral("RTT 0.10 ms, loss 0% (0/1)"));
        QTest::mouseClick(l.controls().pingIp, Qt::LeftButton); // "Ping IP" keeps a second probe
        QTRY_COMPARE(latency->text(), QStringLiteral("RTT 0.10 ms, loss 0% (0/2)"));
        QVERIFY(RowTip(l.list(1), 0)
                    .section(QLatin1Char('\n'), 1, 1)
                    .endsWith(QLatin1String("over the last 2 probes")));
        SelectRow(l.list(4), 0);
        QCOMPARE(latency->text(), QStringLiteral("RTT no reply (OFFLINE), loss 100% (2/2)"));

        // "History" opens the location's window; the List View keeps monitoring paused, no longer.
        QAction *history = l.findChild<QAction *>(QStringLiteral("History"));
        QVERIFY(history && l.menuBar()->actions().contains(history));
        history->trigger();
        HistoryWindow *w = p.program->historyWindow(QStringLiteral("Leeds, West"));
        QVERIFY(w && w->isVisible());
        QVERIFY(w->changeTexts().value(0).startsWith(QLatin1String("location: offline since ")));
        QTest::mouseClick(l.controls().mapView, Qt::LeftButton); // "Map View"
        QTRY_VERIFY(!p.list());
        QCOMPARE(p.run.MonitorPaused, 0);
        QVERIFY(w->isVisible());
        QTest::keyClick(w, Qt::Key_Escape); // closes it as the close box does
        QTRY_VERIFY(!p.program->historyWindow(QStringLiteral("Leeds, West")));

        const QString file = QDir(p.folder()).filePath(QStringLiteral("history.csv"));
        QTRY_VERIFY(ReadFile(file).count("\r\n") == 4);
        const QList<QByteArray> lines = ReadFile(file).split('\n');
        QVERIFY(lines.at(1).endsWith(",\"Leeds, West\",10.0.0.1,,answering,ONLINE,0.100\r"));
        QVERIFY(lines.at(2).endsWith(",\"Leeds, West\",10.0.0.2,,not answering,OFFLINE,\r"));
        QVERIFY(lines.at(3).endsWith(",\"Leeds, West\",,waiting,offline,10.0.0.2,\r"));
        QVERIFY2(p.boxes.shown.isEmpty(), qPrintable(p.boxes.shown.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestHistoryWindow)
#include "test_historywindow.moc"
