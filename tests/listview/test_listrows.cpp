// Which rows the List View's fill makes of a location.
#include "listview/rows.h"
#include "store/model.h"

#include <QTest>

using namespace qos;

using Rows = QList<AddressRow>;
Q_DECLARE_METATYPE(Rows)

namespace {

// entry: the element as stored, when it is not the address shown.
AddressRow on(const char *a, const char *entry = nullptr)
{
    return {QLatin1String(a), QStringLiteral("ONLINE"), QStringLiteral("MONITORED"),
            QLatin1String(entry ? entry : a)};
}
AddressRow off(const char *a)
{
    return {QLatin1String(a), QStringLiteral("OFFLINE"), QStringLiteral("MONITORED"), QLatin1String(a)};
}
AddressRow ign(const char *a)
{
    return {QLatin1String(a), QStringLiteral("NOT CHECKED"), QStringLiteral("IGNORED"), QLatin1String(a)};
}
AddressRow unprobed(const char *a)
{
    return {QLatin1String(a), QStringLiteral("NOT PROBED"), QStringLiteral("MONITORED"), QLatin1String(a)};
}

} // namespace

class TestListRows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fill_data()
    {
        QTest::addColumn<QString>("siteip");
        QTest::addColumn<QString>("ignore");
        QTest::addColumn<QStringList>("holdbad"); // failing; every other address answered, but:
        QTest::addColumn<QStringList>("unprobed");
        QTest::addColumn<Rows>("first");
        QTest::addColumn<Rows>("second");
        QTest::addColumn<int>("monitored");
        QTest::addColumn<int>("ignored");
        const QStringList none;
        QTest::newRow("empty list") << QString() << QString() << none << none << Rows{} << Rows{} << 0 << 0;
        QTest::newRow("leading blank not matched, listed trimmed")
            << QStringLiteral("a, b") << QStringLiteral("b") << none << none << Rows{on("a"), on("b", " b")} << Rows{} << 2
            << 0;
        QTest::newRow("ignore element with the blank matches, shown as it is")
            << QStringLiteral("a, b") << QStringLiteral(" b") << none << none << Rows{on("a")} << Rows{ign(" b")} << 1
            << 1;
        QTest::newRow("listed twice in the ignore list")
            << QStringLiteral("a") << QStringLiteral("a,a") << none << none << Rows{} << Rows{ign("a"), ign("a")} << 0
            << 2;
        QTest::newRow("empty element is monitored, not matched")
            << QStringLiteral("a,,b") << QStringLiteral(",") << none << none << Rows{on("a"), on(""), on("b")}
            << Rows{} << 3 << 0;
        QTest::newRow("remembered offline in order of the list")
            << QStringLiteral("a,b,c") << QString() << QStringList{QStringLiteral("c"), QStringLiteral("a")} << none
            << Rows{on("b")} << Rows{off("a"), off("c")} << 3 << 0;
        QTest::newRow("whole addresses: .1 is not .10")
            << QStringLiteral("10.0.0.1,10.0.0.10") << QString() << QStringList{QStringLiteral("10.0.0.10")} << none
            << Rows{on("10.0.0.1")} << Rows{off("10.0.0.10")} << 2 << 0;
        QTest::newRow("never probed: neither online nor offline")
            << QStringLiteral("a,b") << QString() << QStringList{QStringLiteral("a")} << QStringList{QStringLiteral("b")}
            << Rows{unprobed("b")} << Rows{off("a")} << 2 << 0;
        QTest::newRow("failing with its latest status word")
            << QStringLiteral("name") << QString() << none << none << Rows{}
            << Rows{{QStringLiteral("name"), QStringLiteral("Invalid Host"), QStringLiteral("MONITORED"),
                     QStringLiteral("name")}}
            << 1 << 0;
    }
    void fill()
    {
        QFETCH(QString, siteip);
        QFETCH(QString, ignore);
        QFETCH(QStringList, holdbad);
        QFETCH(QStringList, unprobed);
        const FilledGroups g =
            FillGroups(SplitAddressList(siteip), SplitAddressList(ignore), [&](const QString &address) {
                if (address == QLatin1String("name"))
                    return KnownAddress{AddressHealth::Failing, QStringLiteral("Invalid Host")};
                return KnownAddress{holdbad.contains(address)    ? AddressHealth::Failing
                                    : unprobed.contains(address) ? AddressHealth::NotProbed
                                                                 : AddressHealth::Answering,
                                    {}};
            });
        QTEST(g.first, "first");
        QTEST(g.second, "second");
        QTEST(g.counts.monitored, "monitored");
        QTEST(g.counts.ignored, "ignored");
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
