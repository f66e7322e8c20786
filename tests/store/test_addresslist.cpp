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
        QTest::newRow("IPv6 literals are elements whole")
            << QStringLiteral("2001:db8::1,fe80::1%eth0,10.0.0.1")
            << QStringList{QStringLiteral("2001:db8::1"), QStringLiteral("fe80::1%eth0"), QStringLiteral("10.0.0.1")};
    }
    void split()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, entries);
        QCOMPARE(SplitAddressList(text), entries);
        QCOMPARE(JoinAddressList(entries), text);
    }

    // Spellings of one address are one address wherever addresses are compared.
    void sameAddress_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");
        QTest::addColumn<bool>("aIsValid"); // as an address, when it holds a ":"
        QTest::newRow("IPv6 in capitals and long") << "2001:DB8:0::1" << "2001:db8::1" << true << true;
        QTest::newRow("IPv6 zeros written out") << "fd00:12:0:0:0:0:0:7" << "fd00:12::7" << true << true;
        QTest::newRow("IPv6 other address") << "fd00:12::7" << "fd00:12::8" << false << true;
        QTest::newRow("zones kept apart") << "fe80::1%eth0" << "fe80::1%eth1" << false << true;
        QTest::newRow("zone and none") << "FE80::1%eth0" << "fe80::1%eth0" << true << true;
        QTest::newRow("IPv4 as written") << "10.0.0.1" << "10.0.0.1" << true << true;
        QTest::newRow("IPv4 spellings are texts") << "127.1" << "127.0.0.1" << false << true;
        QTest::newRow("names by their text") << "Host" << "host" << false << true;
        QTest::newRow("no IPv6 address") << "2001:db8::g" << "2001:db8::G" << false << false;
        QTest::newRow("a name with a port is a name") << "host:8080" << "host:8080" << true << true;
        QTest::newRow("text after a NUL counts") << QStringLiteral("::0\0junk") << "::" << false << true;
        QTest::newRow("too many groups") << "1:2:3:4:5:6:7:8:9" << "1:2:3:4:5:6:7:8:9" << true << false;
    }
    void sameAddress()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        QFETCH(bool, aIsValid);
        QCOMPARE(SameAddress(a, b), same);
        QCOMPARE(SameAddress(b, a), same);
        QCOMPARE(ContainsAddress({QStringLiteral("x"), b}, a), same);
        QCOMPARE(InvalidIpv6Literals({a}).isEmpty(), aIsValid);
    }
};

QTEST_APPLESS_MAIN(TestAddressList)
#include "test_addresslist.moc"
