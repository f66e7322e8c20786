// "Ping All" with the location's addresses probed many at once: whatever order the answers come in,
// the rows are filled in the order of the address list, and each address gets its own attempts.
#include "listview/listpings.h"
#include "tests/support/programrig.h"

#include <QLabel>
#include <QListView>
#include <QTest>

using namespace qos;
using namespace qos::test;

namespace {

QStringList Column(const ListView &l, int n)
{
    QStringList rows;
    for (int r = 0; r < RowCount(l.list(n)); ++r)
        rows << RowText(l.list(n), r);
    return rows;
}

} // namespace

class TestPingAllSweep : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rowsInListOrder_data();
    void rowsInListOrder();
};

void TestPingAllSweep::rowsInListOrder_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<bool>("newestFirst"); // which waiting echo is answered next
    QTest::addColumn<int>("inFlight");
    QTest::newRow("one at a time") << 1 << false << 1;
    QTest::newRow("2 at once, newest answered first") << 2 << true << 2;
    QTest::newRow("all at once, newest answered first") << 256 << true << 4;
    QTest::newRow("all at once, oldest answered first") << 256 << false << 4;
}

void TestPingAllSweep::rowsInListOrder()
{
    QFETCH(int, window);
    QFETCH(bool, newestFirst);
    QFETCH(int, inFlight);
    ProgramRig p;
    GraphLocation site{"abc"};
    site.siteip = "10.0.0.1,10.0.0.2,10.0.0.9, ,10.0.0.3,10.0.0.4";
    site.ignore = "10.0.0.9";
    QVERIFY(WriteGraph(p.folder(), {site}));
    p.start();
    p.cfg.settings.PINGINFLIGHT = qint16(window);
    p.cfg.settings.PINGPACKETS = 2;
    p.fake.manual = true;
    p.fake.script = {{QStringLiteral("10.0.0.2"), {StatusTimedOut}},
                     {QStringLiteral("10.0.0.4"), {StatusTimedOut}}};
    QTest::mouseClick(p.view->marker(1), Qt::LeftButton);
    ListView &l = *p.list();
    QTest::mouseClick(l.controls().pingAll, Qt::LeftButton);

    // The rows as the list's order appends them, group by group.
    const QList<std::pair<int, QString>> order = {{1, QStringLiteral("10.0.0.1")},
                                                  {4, QStringLiteral("10.0.0.2")},
                                                  {4, QStringLiteral("10.0.0.9")},
                                                  {1, QStringLiteral("10.0.0.3")},
                                                  {4, QStringLiteral("10.0.0.4")}};
    const auto isListOrderPrefix = [&] {
        const QStringList first = Column(l, 1), second = Column(l, 4);
        QStringList wantFirst, wantSecond;
        for (qsizetype i = 0; i < first.size() + second.size() && i < order.size(); ++i)
            (order[i].first == 1 ? wantFirst : wantSecond) << order[i].second;
        return first == wantFirst && second == wantSecond;
    };
    while (l.pings().pingAllRunning()) {
        QVERIFY(QTest::qWaitFor([&] { return !p.fake.pending.isEmpty() || !l.pings().pingAllRunning(); }));
        QTest::qWait(5); // every probe that may go out has gone out
        QVERIFY(isListOrderPrefix());
        if (p.fake.pending.isEmpty())
            break;
        if (newestFirst)
            p.fake.answer(p.fake.pending.last().address);
        else
            p.fake.answerNext();
    }
    QVERIFY(QTest::qWaitFor([&] { return !l.pings().pingAllRunning(); }));
    QCOMPARE(Column(l, 1), (QStringList{QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.3")}));
    QCOMPARE(Column(l, 4), (QStringList{QStringLiteral("10.0.0.2"), QStringLiteral("10.0.0.9"),
                                        QStringLiteral("10.0.0.4")}));
    QCOMPARE(Column(l, 5), (QStringList{QStringLiteral("OFFLINE"), QStringLiteral("NOT CHECKED"),
                                        QStringLiteral("OFFLINE")}));
    QCOMPARE(p.cfg.table[1].holdbad, (QStringList{QStringLiteral("10.0.0.2"), QStringLiteral("10.0.0.4")}));
    QCOMPARE(l.controls().monitoredCount->text(), QStringLiteral("5"));
    QCOMPARE(p.colour(1), DarkRed);
    QCOMPARE(p.fake.maxInFlight, inFlight);
    QStringList echoes = p.fake.echoes;
    echoes.sort();
    QCOMPARE(echoes, (QStringList{QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.2"),
                                  QStringLiteral("10.0.0.2"), QStringLiteral("10.0.0.3"),
                                  QStringLiteral("10.0.0.4"), QStringLiteral("10.0.0.4")}));
}

QTEST_MAIN(TestPingAllSweep)
#include "test_pingall_sweep.moc"
