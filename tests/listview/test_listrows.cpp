// Which rows the List View's fill makes of a location.
#include "listview/rows.h"
#include "store/model.h"

#include <QTest>

using namespace qos;

using Rows = QList<AddressRow>;
Q_DECLARE_METATYPE(Rows)

namespace {

AddressRow on(const char *a)
{
    return {QLatin1String(a), QStringLiteral("ONLINE"), QStringLiteral("MONITORED")};
}
AddressRow off(const char *a)
{
    return {QLatin1String(a), QStringLiteral("OFFLINE"), QStringLiteral("MONITORED")};
}
AddressRow ign(const char *a)
{
    return {QLatin1String(a), QStringLiteral("NOT CHECKED"), QStringLiteral("IGNORED")};
}

} // namespace

class TestListRows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fill_data()
    {
        QTest::addColumn<QString>("siteip");
        QTest::addColumn<QString>("ignore");
        QTest::addColumn<QStringList>("holdbad");
        QTest::addColumn<Rows>("first");
        QTest::addColumn<Rows>("second");
        QTest::addColumn<int>("monitored");
        QTest::addColumn<int>("ignored");
        const QStringList none;
        QTest::newRow("empty list") << QString() << QString() << none << Rows{} << Rows{} << 0 << 0;
        QTest::newRow("leading blank not matched, listed trimmed")
            << QStringLiteral("a, b") << QStringLiteral("b") << none << Rows{on("a"), on("b")} << Rows{} << 2
            << 0;
        QTest::newRow("ignore element with the blank matches, shown as it is")
            << QStringLiteral("a, b") << QStringLiteral(" b") << none << Rows{on("a")} << Rows{ign(" b")} << 1
            << 1;
        QTest::newRow("listed twice in the ignore list")
            << QStringLiteral("a") << QStringLiteral("a,a") << none << Rows{} << Rows{ign("a"), ign("a")} << 0
            << 2;
        QTest::newRow("empty element is monitored, not matched")
            << QStringLiteral("a,,b") << QStringLiteral(",") << none << Rows{on("a"), on(""), on("b")}
            << Rows{} << 3 << 0;
        QTest::newRow("remembered offline in order of the list")
            << QStringLiteral("a,b,c") << QString() << QStringList{QStringLiteral("c"), QStringLiteral("a")}
            << Rows{on("b")} << Rows{off("a"), off("c")} << 3 << 0;
        QTest::newRow("whole addresses: .1 is not .10")
            << QStringLiteral("10.0.0.1,10.0.0.10") << QString() << QStringList{QStringLiteral("10.0.0.10")}
            << Rows{on("10.0.0.1")} << Rows{off("10.0.0.10")} << 2 << 0;
    }
    void fill()
    {
        QFETCH(QString, siteip);
        QFETCH(QString, ignore);
        QFETCH(QStringList, holdbad);
        const FilledGroups g = FillGroups(SplitAddressList(siteip), SplitAddressList(ignore), holdbad);
        QTEST(g.first, "first");
        QTEST(g.second, "second");
        QTEST(g.monitored, "monitored");
        QTEST(g.ignored, "ignored");
    }

    void holdbadEdits()
    {
        QStringList holdbad{QStringLiteral("10.0.0.10")};
        RememberOffline(holdbad, QStringLiteral("10.0.0.1"));
        RememberOffline(holdbad, QStringLiteral("10.0.0.1"));
        RememberOffline(holdbad, QString());
        QCOMPARE(holdbad, (QStringList{QStringLiteral("10.0.0.10"), QStringLiteral("10.0.0.1")}));
        ForgetOffline(holdbad, QStringLiteral("10.0.0.1"));
        QCOMPARE(holdbad, QStringList{QStringLiteral("10.0.0.10")}); // the longer address stays whole
    }
};

QTEST_APPLESS_MAIN(TestListRows)
#include "test_listrows.moc"
