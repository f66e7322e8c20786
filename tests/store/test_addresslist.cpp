#include "store/model.h"

#include <QTest>

using namespace qos;

class TestAddressList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void split_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("empty") << QString() << QStringList{};
        QTest::newRow("one") << QStringLiteral("a") << QStringList{QStringLiteral("a")};
        QTest::newRow("no trimming") << QStringLiteral(" a ,b")
                                     << QStringList{QStringLiteral(" a "), QStringLiteral("b")};
        QTest::newRow("trailing comma")
            << QStringLiteral("a,") << QStringList{QStringLiteral("a"), QString()};
        QTest::newRow("only comma") << QStringLiteral(",") << QStringList{QString(), QString()};
    }
    void split()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, entries);
        QCOMPARE(SplitAddressList(text), entries);
        QCOMPARE(JoinAddressList(entries), text);
    }
};

QTEST_APPLESS_MAIN(TestAddressList)
#include "test_addresslist.moc"
