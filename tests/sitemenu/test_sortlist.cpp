// The sorted name table of the location menus: the partition scheme, its fast equivalent, MakeList.
#include "sitemenu/sortlist.h"

#include <QAction>
#include <QMenu>
#include <QRandomGenerator>
#include <QTest>

using namespace qos;

namespace {

QList<qint16> indexes(const SortList &s, int count)
{
    QList<qint16> order;
    for (int k = 0; k <= count; ++k)
        order << s[k].Index;
    return order;
}

void fill(SortList &s, const QStringList &names)
{
    for (int k = 1; k <= names.size(); ++k)
        s.set(k, names[k - 1], qint16(k));
}

} // namespace

class TestSortList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void quickSortOrder_data();
    void quickSortOrder();
    void fastSortMatchesQuickSort_data();
    void fastSortMatchesQuickSort();
    void comparesLikeLocaleAwareCompare();
    void makeListFillsOnce();
};

void TestSortList::quickSortOrder_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<qint16>>("order"); // Index of entries 0..n after QuickSort(0, n)
    QTest::newRow("distinct") << QStringList{QStringLiteral("bay"), QStringLiteral("Ash"),
                                             QStringLiteral("cob")}
                              << QList<qint16>{0, 2, 1, 3};
    // Traced by hand through the scheme: pivot "a"(3), swaps 1<->2 twice, then the pivot goes to 2.
    QTest::newRow("three equal") << QStringList{QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("a")}
                                 << QList<qint16>{0, 2, 3, 1};
    QTest::newRow("padding only") << QStringList{QStringLiteral("x "), QStringLiteral("x")}
                                  << QList<qint16>{0, 2, 1};
    QTest::newRow("blank name stays after entry 0")
        << QStringList{QStringLiteral("b"), QStringLiteral("   ")} << QList<qint16>{0, 2, 1};
}

void TestSortList::quickSortOrder()
{
    QFETCH(QStringList, names);
    QFETCH(QList<qint16>, order);
    SortList s;
    fill(s, names);
    s.QuickSort(0, qint16(names.size()));
    QCOMPARE(indexes(s, int(names.size())), order);
    QCOMPARE(s[0].Name, QString(SortNameLength, QChar(0)));

    SortList fast;
    fill(fast, names);
    fast.Sort(0, qint16(names.size()));
    QCOMPARE(indexes(fast, int(names.size())), order);
}

void TestSortList::fastSortMatchesQuickSort_data()
{
    QTest::addColumn<QStringList>("names");
    QRandomGenerator random(20240607);
    QStringList distinct;
    while (distinct.size() < 600) {
        QString name;
        for (int i = 0, n = 1 + random.bounded(6); i < n; ++i)
            name += QChar(QLatin1Char("abcXYZ -_1"[random.bounded(10)]));
        bool clash = false;
        for (const QString &other : std::as_const(distinct))
            clash = clash || SortName(other).toCaseFolded() == SortName(name).toCaseFolded();
        if (!clash)
            distinct << name;
    }
    QTest::newRow("random distinct") << distinct;
    QStringList sorted;
    for (int i = 0; i < 400; ++i)
        sorted << QStringLiteral("L%1").arg(i, 4, 10, QLatin1Char('0'));
    QTest::newRow("already sorted") << sorted;
    QStringList withTies = sorted.mid(0, 50);
    withTies << QStringLiteral("l0003") << QStringLiteral("L0010") << QStringLiteral("l0010");
    QTest::newRow("sorted with ties") << withTies;
}

void TestSortList::fastSortMatchesQuickSort()
{
    QFETCH(QStringList, names);
    SortList exact, fast;
    fill(exact, names);
    fill(fast, names);
    exact.QuickSort(0, qint16(names.size()));
    fast.Sort(0, qint16(names.size()));
    QCOMPARE(indexes(fast, int(names.size())), indexes(exact, int(names.size())));
    for (int k = 1; k < names.size(); ++k)
        QVERIFY(exact.compare(k, k + 1) <= 0);
}

void TestSortList::comparesLikeLocaleAwareCompare()
{
    const QStringList names{QStringLiteral("Ash"), QStringLiteral("ash"), QStringLiteral("bay"),
                            QStringLiteral("B"),   QStringLiteral("a b"), QStringLiteral("ab"),
                            QStringLiteral("z1"),  QStringLiteral("Z10"), QString::fromLatin1("\xe9t\xe9"),
                            QStringLiteral("ete"), QStringLiteral("-x"),  QStringLiteral("x")};
    SortList s;
    fill(s, names);
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (int a = 1; a <= names.size(); ++a) {
        for (int b = 1; b <= names.size(); ++b) {
            const int expected = QString::localeAwareCompare(SortName(names[a - 1]).toCaseFolded(),
                                                             SortName(names[b - 1]).toCaseFolded());
            QCOMPARE(sign(s.compare(a, b)), sign(expected));
        }
        QVERIFY(s.compare(0, a) < 0); // the unwritten entry sorts first
    }
}

void TestSortList::makeListFillsOnce()
{
    QMenu menu;
    SortList s;
    AddListSiteItem(&menu, 0, QStringLiteral("SELECT SITE"));
    MakeList(&menu, {QStringLiteral("cob"), QStringLiteral("A&B"), QStringLiteral("bay")}, s);
    QCOMPARE(menu.actions().size(), 4);
    MakeList(&menu, {QStringLiteral("zzz")}, s);
    QCOMPARE(menu.actions().size(), 4);
    const QList<QAction *> items = LocationItems(&menu);
    QCOMPARE(ListSiteCaption(items[0]), SortName(QStringLiteral("A&B")));
    QCOMPARE(items[0]->text(), QStringLiteral("A&&B")); // shown literally, not as a mnemonic
    QCOMPARE(ListSiteCaption(items[2]), SortName(QStringLiteral("cob")));

    // One item appended later: the menu is sorted again as a whole.
    AddListSiteItem(&menu, 4, QStringLiteral("abc"));
    SortLocationItems(&menu, s);
    QStringList captions;
    for (const QAction *item : LocationItems(&menu))
        captions << ListSiteCaption(item).trimmed();
    QCOMPARE(captions, (QStringList{QStringLiteral("A&B"), QStringLiteral("abc"), QStringLiteral("bay"),
                                    QStringLiteral("cob")}));
}

QTEST_MAIN(TestSortList)
#include "test_sortlist.moc"
