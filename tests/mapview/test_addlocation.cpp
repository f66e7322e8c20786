#include "mapview/addlocation.h"
#include "recordingseams.h"

#include <QTest>
#include <climits>

using namespace qos;
using namespace qos::test;

class TestAddLocation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanName_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::newRow("leading space") << QStringLiteral(" ab") << QStringLiteral("ab");
        QTest::newRow("three spaces") << QStringLiteral("   ") << QString();
        QTest::newRow("cut to three") << QStringLiteral("  abcdef ") << QStringLiteral("abc");
        QTest::newRow("inner space kept") << QStringLiteral("a b") << QStringLiteral("a b");
        QTest::newRow("tab only trims spaces after removal")
            << QStringLiteral(" a\t ") << QStringLiteral("a");
        QTest::newRow("control characters") << QStringLiteral("\na\rb\tc") << QStringLiteral("abc");
        QTest::newRow("case kept") << QStringLiteral("ABC") << QStringLiteral("ABC");
        QTest::newRow("equals sign accepted") << QStringLiteral("a=b") << QStringLiteral("a=b");
        QTest::newRow("not in the file's character set") << QStringLiteral("\u20ac") << QStringLiteral("?");
    }
    void cleanName()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QCOMPARE(CleanName(text), name);
    }

    void nameInUse_data()
    {
        QTest::addColumn<QStringList>("sites");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("inUse");
        const QStringList sites{QStringLiteral(" ab "), QStringLiteral("ABC"), QStringLiteral("x")};
        QTest::newRow("marker text trimmed") << sites << QStringLiteral("ab") << true;
        QTest::newRow("name trimmed") << sites << QStringLiteral(" x ") << true;
        QTest::newRow("exact case") << sites << QStringLiteral("ABC") << true;
        QTest::newRow("other case is free") << sites << QStringLiteral("abc") << false;
        QTest::newRow("empty name, no empty marker") << sites << QString() << false;
        QTest::newRow("empty name, blank marker") << QStringList{QStringLiteral("  ")} << QString() << true;
        QTest::newRow("no locations") << QStringList{} << QStringLiteral("ab") << false;
    }
    void nameInUse()
    {
        QFETCH(QStringList, sites);
        QFETCH(QString, name);
        QFETCH(bool, inUse);
        Configuration cfg = ConfigWithSites(sites);
        cfg.table[0].site = name; // the template slot is never a location
        QCOMPARE(NameInUse(cfg.table, name), inUse);
    }

    void placementPoint_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<double>("tppX");
        QTest::addColumn<double>("tppY");
        QTest::addColumn<QPoint>("point");
        QTest::newRow("pixel 100,40") << 1500.0 << 600.0 << 15.0 << 15.0 << QPoint(1475, 598);
        QTest::newRow("pixel 6,6: 88.5 to even") << 90.0 << 90.0 << 15.0 << 15.0 << QPoint(88, 90);
        QTest::newRow("half pixels to even") << 22.5 << 37.5 << 15.0 << 15.0 << QPoint(30, 30);
        // 25 x 14.94 = 373.5 and 75 x 14.94 = 1120.5 exactly; binary 14.94 would miss both halves.
        QTest::newRow("pixel 25,25") << 375.0 << 375.0 << 15.0 << 15.0 << QPoint(369, 374);
        QTest::newRow("pixel 2,75") << 30.0 << 1125.0 << 15.0 << 15.0 << QPoint(30, 1120);
        QTest::newRow("own factor per axis") << 1200.0 << 400.0 << 12.0 << 10.0 << QPoint(1475, 598);
        QTest::newRow("no usable factor") << 1500.0 << 600.0 << 0.0 << -1.0 << QPoint(1475, 598);
        QTest::newRow("origin") << 0.0 << 0.0 << 15.0 << 15.0 << QPoint(0, 0);
        QTest::newRow("clamped, not wrapped") << 1e12 << -1e12 << 15.0 << 15.0 << QPoint(INT_MAX, INT_MIN);
    }
    void placementPoint()
    {
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(double, tppX);
        QFETCH(double, tppY);
        QFETCH(QPoint, point);
        QCOMPARE(PlacementPoint(x, y, tppX, tppY), point);
    }

    void submitAdds()
    {
        Configuration cfg = ConfigWithSites({QStringLiteral("one"), QStringLiteral("two")});
        RunState run;
        run.PlacementX = 1475;
        run.PlacementY = 598;
        RecordingSeams rec;
        const SubmitOutcome out = SubmitLocation(cfg, run, QStringLiteral(" ABC"),
                                                 QStringLiteral(" Host1 ,,10.0.0.1\t,\r\n"), rec.seams());
        QCOMPARE(out.kind, SubmitOutcome::Kind::Added);
        QCOMPARE(out.index, 3);
        QCOMPARE(out.name, QStringLiteral("ABC"));
        QCOMPARE(out.addresses, QStringLiteral("Host1,10.0.0.1"));
        QVERIFY(out.message().isEmpty());
        QCOMPARE(rec.calls, (QStringList{QStringLiteral("create 3"), QStringLiteral("append abc"),
                                         QStringLiteral("menu 3")}));
        QCOMPARE(cfg.table.LocationCount(), 3);
        const LocationRecord &r = cfg.table[3];
        QCOMPARE(r.site, QStringLiteral("abc"));
        QCOMPARE(r.left, 1675.0f);
        QCOMPARE(r.top, 598.0f);
        QCOMPARE(r.siteip, QStringLiteral("host1,10.0.0.1"));
        QCOMPARE(r.ignore, QString());
        QCOMPARE(r.sitedisabled, QStringLiteral("0"));
        QCOMPARE(r.flash, QStringLiteral("0"));
        QCOMPARE(r.center, Indicator::White);
        QVERIFY(r.holdbad.isEmpty());
        // The store is handed exactly the record that memory holds.
        QCOMPARE(rec.appended.size(), 1);
        QCOMPARE(rec.appended[0].site, r.site);
        QCOMPARE(rec.appended[0].siteip, r.siteip);
        QCOMPARE(rec.appended[0].left, r.left);
    }

    void submitNameCheck_data()
    {
        QTest::addColumn<QStringList>("sites");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("added");
        QTest::newRow("same text") << QStringList{QStringLiteral("abc")} << QStringLiteral("abc") << false;
        QTest::newRow("same after trimming")
            << QStringList{QStringLiteral("ab ")} << QStringLiteral(" ab") << false;
        QTest::newRow("other case of an upper-case marker")
            << QStringList{QStringLiteral("ABC")} << QStringLiteral("abc") << true;
        QTest::newRow("would duplicate a lower-case marker")
            << QStringList{QStringLiteral("abc")} << QStringLiteral("ABC") << false;
        QTest::newRow("same upper-case text")
            << QStringList{QStringLiteral("ABC")} << QStringLiteral("ABC") << false;
    }
    void submitNameCheck()
    {
        QFETCH(QStringList, sites);
        QFETCH(QString, typed);
        QFETCH(bool, added);
        Configuration cfg = ConfigWithSites(sites);
        RunState run;
        RecordingSeams rec;
        const QString addresses = QStringLiteral(" a ,b");
        const SubmitOutcome out = SubmitLocation(cfg, run, typed, addresses, rec.seams());
        if (added) {
            QCOMPARE(out.kind, SubmitOutcome::Kind::Added);
            QCOMPARE(cfg.table.LocationCount(), sites.size() + 1);
            return;
        }
        QCOMPARE(out.kind, SubmitOutcome::Kind::NameInUse);
        QCOMPARE(out.message(), QStringLiteral("Site name already in use.\r\n\r\nPlease enter unique name."));
        QCOMPARE(out.name, QString());      // the name box is emptied
        QCOMPARE(out.addresses, addresses); // the address box is left as typed
        QCOMPARE(cfg.table.LocationCount(), sites.size());
        QVERIFY(rec.calls.isEmpty());
    }

    // A blank name or an empty address list is refused, the boxes kept as typed.
    void submitRefusesBlank_data()
    {
        QTest::addColumn<QStringList>("sites");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("addresses");
        QTest::addColumn<int>("kind");
        const int blank = int(SubmitOutcome::Kind::BlankName), none = int(SubmitOutcome::Kind::NoAddresses);
        QTest::newRow("three spaces, no blank marker")
            << QStringList{QStringLiteral("a")} << QStringLiteral("   ") << QStringLiteral("a") << blank;
        QTest::newRow("three spaces, blank marker")
            << QStringList{QString()} << QStringLiteral("   ") << QStringLiteral("a") << blank;
        QTest::newRow("control characters only")
            << QStringList{} << QStringLiteral("\t\n") << QStringLiteral("a") << blank;
        QTest::newRow("no addresses") << QStringList{} << QStringLiteral("war") << QString() << none;
        QTest::newRow("commas and spaces only")
            << QStringList{} << QStringLiteral("war") << QStringLiteral(" ,, ,\r\n") << none;
    }
    void submitRefusesBlank()
    {
        QFETCH(QStringList, sites);
        QFETCH(QString, typed);
        QFETCH(QString, addresses);
        QFETCH(int, kind);
        Configuration cfg = ConfigWithSites(sites);
        RunState run;
        RecordingSeams rec;
        const SubmitOutcome out = SubmitLocation(cfg, run, typed, addresses, rec.seams());
        QCOMPARE(int(out.kind), kind);
        QVERIFY(!out.message().isEmpty());
        QCOMPARE(out.name, typed);
        QCOMPARE(out.addresses, addresses);
        QCOMPARE(cfg.table.LocationCount(), sites.size());
        QVERIFY(rec.calls.isEmpty());
    }

    void submitTableFull_data()
    {
        QTest::addColumn<int>("existing");
        QTest::addColumn<bool>("added");
        QTest::newRow("9999th is added") << MaxLocations - 1 << true;
        QTest::newRow("10000th is refused") << MaxLocations << false;
    }
    void submitTableFull()
    {
        QFETCH(int, existing);
        QFETCH(bool, added);
        Configuration cfg;
        cfg.table.records.resize(existing + 1);
        RunState run;
        RecordingSeams rec;
        const SubmitOutcome out =
            SubmitLocation(cfg, run, QStringLiteral("new"), QStringLiteral("a"), rec.seams());
        if (added) {
            QCOMPARE(out.kind, SubmitOutcome::Kind::Added);
            QCOMPARE(cfg.table.LocationCount(), MaxLocations);
            return;
        }
        QCOMPARE(out.kind, SubmitOutcome::Kind::TableFull);
        QVERIFY(out.message().contains(QStringLiteral("9999")));
        QCOMPARE(out.name, QStringLiteral("new")); // both boxes kept
        QCOMPARE(out.addresses, QStringLiteral("a"));
        QCOMPARE(cfg.table.LocationCount(), MaxLocations);
        QVERIFY(rec.calls.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestAddLocation)
#include "test_addlocation.moc"
