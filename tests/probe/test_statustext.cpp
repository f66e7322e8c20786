// Display texts of probe statuses, exactly as the List View shows them.
#include "probe/prober.h"

#include <QTest>

using namespace qos;

class TestStatusText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void texts_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("invalid host") << -1 << "Invalid Host";
        QTest::newRow("reply") << 0 << "ONLINE";
        QTest::newRow("500") << 500 << "ping timeout";
        QTest::newRow("timed out") << 11010 << "OFFLINE";
        QTest::newRow("ttl expired in transit") << 11013 << "OFFLINE";
        QTest::newRow("bad destination") << 11018 << "OFFLINE";
        QTest::newRow("ttl expired in reassembly") << 11014 << "iOFFLINE";
        QTest::newRow("first") << 11001 << "ip buf too_small";
        QTest::newRow("host unreachable") << 11003 << "ip dest host unreachable";
        QTest::newRow("mtu change") << 11020 << "ip mtu change";
        QTest::newRow("last of the run") << 11023 << "ip addr added";
        QTest::newRow("general failure") << 11050 << "ip general failure";
        QTest::newRow("pending") << 11255 << "ip pending";
        QTest::newRow("IPv6 unavailable") << -2 << "IPv6 unavailable";
        for (int status : {-3, 1, 499, 501, 11000, 11051, 11254, 11256, int(0x80000000)})
            QTest::addRow("unknown %d", status) << status << "unknown  msg returned";
        for (int status = 11024; status <= 11049; ++status)
            QTest::addRow("gap %d", status) << status << "unknown  msg returned";
    }
    void texts()
    {
        QFETCH(int, status);
        QFETCH(QString, text);
        QCOMPARE(ProbeStatusText(status), text);
    }
};

QTEST_APPLESS_MAIN(TestStatusText)
#include "test_statustext.moc"
