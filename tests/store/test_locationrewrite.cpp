#include "graphfiles.h"
#include "store/graphfile.h"
#include "store/locationrewrite.h"
#include "tests/support/fakes.h"

#include <QTemporaryDir>
#include <QTest>

using namespace qos;
using namespace qos::test;

enum Op { Ignore, Address, Dialog, Disabled, Parent, Delete };
Q_DECLARE_METATYPE(Op)

namespace {

const QByteArray Main = "------------MAIN SETTINGS-----------\r\nPINGTIMEOUT=2000\r\nICONTEXT=Branch\r\n"
                        "------------MAIN SETTINGS-----------\r\n";

// A block as the program writes it; lines named in drop are left out.
QByteArray Block(const QByteArray &site, const QByteArray &siteip, const QByteArray &drop = {})
{
    const QList<QByteArray> lines = {"------------LOCATION BEGIN-----------",
                                     "SITEID=" + site,
                                     "IGNORE=9.9.9.9",
                                     "SITEIP=" + siteip,
                                     "DISABLED=0",
                                     "SITELEFT=10",
                                     "SITETOP=20",
                                     "------------LOCATION END-----------"};
    QByteArray out;
    for (const QByteArray &line : lines)
        if (drop.isEmpty() || !line.startsWith(drop))
            out += line + "\r\n";
    return out;
}

Status Apply(Op op, const QString &folder, LocationTable &table, int index, const QString &value,
             PleaseWait *wait, FileOps *ops = nullptr)
{
    LocationRecord *rec = index >= 1 && index <= table.LocationCount() ? &table[index] : nullptr;
    switch (op) {
    case Ignore:
        if (rec)
            rec->ignore = value;
        return RewriteIgnoreLine(folder, table, index, wait, ops);
    case Address:
        if (rec)
            rec->siteip = value;
        return RewriteAddressLine(folder, table, index, wait, ops);
    case Dialog:
        if (rec)
            rec->siteip = DialogAddressList(value);
        return RewriteAddressLineFromDialog(folder, table, index, value, wait, ops);
    case Disabled:
        if (rec)
            rec->sitedisabled = value;
        return RewriteDisabledLine(folder, table, index, wait, ops);
    case Parent:
        if (rec)
            rec->parent = value;
        return RewriteParentLine(folder, table, index, wait, ops);
    case Delete:
        return DeleteLocationBlock(folder, table, index, wait, ops);
    }
    return Status::success();
}

QString Field(Op op, const LocationRecord &rec)
{
    return op == Ignore     ? rec.ignore
           : op == Disabled ? rec.sitedisabled
           : op == Parent   ? rec.parent
                            : rec.siteip;
}

} // namespace

class TestLocationRewrite : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rewrites_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("site"); // the record's name when it differs from the file's
        QTest::addColumn<Op>("op");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<int>("kind");
        const int ok = int(Status::Kind::Ok);
        const int notFound = int(Status::Kind::NotFound);
        const int refused = int(Status::Kind::Refused);
        const QByteArray two = Main + Block("abc", "1.1.1.1") + Block("def", "2.2.2.2");
        const QString none;

        QTest::newRow("ignore list") << two << none << Ignore << 2 << QStringLiteral("2.2.2.2")
                                     << QByteArray(two).replace("IGNORE=9.9.9.9\r\nSITEIP=2.2.2.2",
                                                                "IGNORE=2.2.2.2\r\nSITEIP=2.2.2.2")
                                     << ok;
        QTest::newRow("empty ignore list is bare")
            << two << none << Ignore << 1 << none
            << Main + Block("abc", "1.1.1.1").replace("IGNORE=9.9.9.9", "IGNORE=") + Block("def", "2.2.2.2")
            << ok;
        QTest::newRow("empty address list is bare")
            << two << none << Address << 2 << none << Main + Block("abc", "1.1.1.1") + Block("def", "") << ok;
        QTest::newRow("address list") << two << none << Address << 1 << QStringLiteral("1.1.1.1,h")
                                      << Main + Block("abc", "1.1.1.1,h") + Block("def", "2.2.2.2") << ok;
        QTest::newRow("dialog text normalised, lower case")
            << two << none << Dialog << 1 << QStringLiteral(" 10.0.0.9 ,, HOST ,\r\n")
            << Main + Block("abc", "10.0.0.9,host") + Block("def", "2.2.2.2") << ok;
        QTest::newRow("disable") << two << none << Disabled << 1 << QStringLiteral("1")
                                 << Main + Block("abc", "1.1.1.1").replace("DISABLED=0", "DISABLED=1") +
                                        Block("def", "2.2.2.2")
                                 << ok;
        QTest::newRow("enable") << QByteArray(two).replace("DISABLED=0", "DISABLED=1") << none << Disabled
                                << 2 << QStringLiteral("0")
                                << Main + Block("abc", "1.1.1.1").replace("DISABLED=0", "DISABLED=1") +
                                       Block("def", "2.2.2.2")
                                << ok;
        QTest::newRow("parent: a block without the line gets it inside, before SITETOP")
            << two << none << Parent << 2 << QStringLiteral("abc")
            << Main + Block("abc", "1.1.1.1") +
                   Block("def", "2.2.2.2").replace("SITETOP=", "PARENT=abc\r\nSITETOP=")
            << ok;
        const QByteArray withParent = Main + Block("abc", "1.1.1.1") +
                                      Block("def", "2.2.2.2").replace("SITETOP=", "PARENT=abc\r\nSITETOP=");
        QTest::newRow("parent: \"(none)\" leaves the line bare")
            << withParent << none << Parent << 2 << none
            << Main + Block("abc", "1.1.1.1") +
                   Block("def", "2.2.2.2").replace("SITETOP=", "PARENT=\r\nSITETOP=")
            << ok;
        QTest::newRow("delete first")
            << two << none << Delete << 1 << none << Main + Block("def", "2.2.2.2") << ok;
        QTest::newRow("delete the only location")
            << Main + Block("abc", "1") << none << Delete << 1 << none << Main << ok;
        QTest::newRow("LF only file comes out CR LF")
            << QByteArray(two).replace("\r\n", "\n") << none << Address << 2 << QStringLiteral("h")
            << Main + Block("abc", "1.1.1.1") + Block("def", "h") << ok;

        // The name must match its line exactly.
        QTest::newRow("name in capitals in the file")
            << QByteArray(two).replace("SITEID=abc", "SITEID=ABC") << QStringLiteral("abc") << Disabled << 1
            << QStringLiteral("1") << QByteArray(two).replace("SITEID=abc", "SITEID=ABC") << notFound;
        QTest::newRow("trailing blank in the file")
            << QByteArray(two).replace("SITEID=abc", "SITEID=abc ") << QStringLiteral("abc") << Delete << 1
            << none << QByteArray(two).replace("SITEID=abc", "SITEID=abc ") << notFound;
        QTest::newRow("no such location")
            << two << QStringLiteral("xyz") << Ignore << 1 << none << two << notFound;
        QTest::newRow("index is not a location") << two << none << Ignore << 3 << none << two << refused;

        // Hand-edited files.
        QTest::newRow("missing key line is added inside its own block")
            << Main + Block("abc", "1", "DISABLED=") + Block("def", "2") << none << Disabled << 1
            << QStringLiteral("1")
            << Main + Block("abc", "1", "DISABLED=").replace("SITETOP=", "DISABLED=1\r\nSITETOP=") +
                   Block("def", "2")
            << ok;
        QTest::newRow("IGNORE= not right after SITEID= keeps the line there")
            << Main + "------------LOCATION "
                      "BEGIN-----------\r\nSITEID=abc\r\nSITEIP=1\r\nIGNORE=\r\nSITETOP=1\r\n------------"
                      "LOCATION END-----------\r\n"
            << none << Ignore << 1 << QStringLiteral("1")
            << Main + "------------LOCATION "
                      "BEGIN-----------\r\nSITEID=abc\r\nSITEIP=1\r\nIGNORE=1\r\nSITETOP=1\r\n------------"
                      "LOCATION END-----------\r\n"
            << ok;
        QTest::newRow("second of two equal names: keyed")
            << Main + Block("abc", "1") + Block("abc", "2") << none << Address << 2 << QStringLiteral("h")
            << Main + Block("abc", "1") + Block("abc", "h") << ok;
        QTest::newRow("second of two equal names: delete")
            << Main + Block("abc", "1") + Block("abc", "2") << none << Delete << 2 << none
            << Main + Block("abc", "1") << ok;
        QTest::newRow("first of two equal names: delete")
            << Main + Block("abc", "1") + Block("abc", "2") << none << Delete << 1 << none
            << Main + Block("abc", "2") << ok;
        const QByteArray unfinished = Main + Block("abc", "1", "------------LOCATION END") +
                                      Block("def", "2") + Block("ghi", "3", "------------LOCATION END");
        QTest::newRow("blocks without END survive deleting another")
            << unfinished << none << Delete << 2 << none
            << Main + Block("abc", "1", "------------LOCATION END") +
                   Block("ghi", "3", "------------LOCATION END")
            << ok;
        QTest::newRow("a block without END is not deleted")
            << unfinished << none << Delete << 1 << none << unfinished << refused;
        QTest::newRow("a location outside any block is not deleted")
            << Main + "SITEID=abc\r\nSITETOP=1\r\n"
            << none << Delete << 1 << none << Main + "SITEID=abc\r\nSITETOP=1\r\n"
            << refused;

        QByteArray big = Main + Block("abc", "1");
        for (int k = 0; k < 150; ++k)
            big.insert(big.lastIndexOf("SITETOP="), "; comment " + QByteArray::number(k) + "\r\n");
        QTest::newRow("block of 158 lines deleted whole")
            << big + Block("def", "2") << none << Delete << 1 << none << Main + Block("def", "2") << ok;
        QTest::newRow("block of 158 lines kept whole")
            << big + Block("def", "2") << none << Delete << 2 << none << big << ok;

        // Values that would add lines or change what the file reads back.
        QTest::newRow("line break in a value")
            << two << none << Ignore << 1 << QStringLiteral("1\r\nSITEID=x") << two << refused;
        QTest::newRow("tab in a value")
            << two << none << Address << 1 << QStringLiteral("a\tb") << two << refused;
        QTest::newRow("earlier key in a value")
            << two << none << Address << 1 << QStringLiteral("a,SITEID=x") << two << refused;
    }
    void rewrites()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, site);
        QFETCH(Op, op);
        QFETCH(int, index);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QFETCH(int, kind);
        QTemporaryDir dir;
        QVERIFY(WriteBytes(GraphFilePath(dir.path()), before));
        Configuration cfg;
        QVERIFY(LoadConfiguration(dir.path(), cfg).error.isEmpty());
        if (!site.isEmpty())
            cfg.table[1].site = site;
        const Configuration memory = cfg;
        FakePleaseWait wait;

        const Status s = Apply(op, dir.path(), cfg.table, index, value, &wait);
        QCOMPARE(int(s.kind), kind);
        QVERIFY(s.ok() == s.error.isEmpty());
        QCOMPARE(ReadBytes(GraphFilePath(dir.path())), after);
        QVERIFY(!QFile::exists(GraphTwinPath(dir.path())));
        QVERIFY(!wait.showing());
        if (!s.ok())
            return;
        QCOMPARE(wait.begins, 1);

        // What memory holds is what the file now reads back.
        Configuration reloaded;
        QVERIFY(LoadConfiguration(dir.path(), reloaded).error.isEmpty());
        if (op == Delete) {
            QCOMPARE(reloaded.table.LocationCount(), memory.table.LocationCount() - 1);
            return;
        }
        QCOMPARE(reloaded.table.LocationCount(), memory.table.LocationCount());
        for (int k = 1; k <= reloaded.table.LocationCount(); ++k)
            QCOMPARE(Field(op, reloaded.table[k]), Field(op, cfg.table[k]));
    }

    void lowerCaseNameOfANewLocationIsFoundAtOnce()
    {
        QTemporaryDir dir;
        LocationTable table;
        LocationRecord rec;
        rec.site = QStringLiteral("New").toLower();
        rec.siteip = QStringLiteral("h");
        table.records << rec;
        QVERIFY(AppendLocation(dir.path(), MainSettings{}, rec, nullptr).ok());
        table[1].sitedisabled = QStringLiteral("1");
        QVERIFY(RewriteDisabledLine(dir.path(), table, 1, nullptr).ok());
        QVERIFY(ReadBytes(GraphFilePath(dir.path()))
                    .contains("SITEID=new\r\nIGNORE=\r\nSITEIP=h\r\nDISABLED=1\r\n"));
    }

    void failureLeavesFileIntact_data()
    {
        QTest::addColumn<Op>("op");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("onCall");
        QTest::addColumn<QString>("named");
        const struct {
            const char *name;
            Op op;
        } ops[] = {{"ignore", Ignore},
                   {"address", Address},
                   {"dialog", Dialog},
                   {"disabled", Disabled},
                   {"delete", Delete}};
        for (const auto &o : ops)
            for (const FailureStep &s : RewriteFailureSteps)
                QTest::addRow("%s, %s", o.name, s.name)
                    << o.op << int(s.step) << s.onCall
                    << QString::fromLatin1(s.namesTwin ? "graphtmp.txt" : "graph.txt");
    }
    void failureLeavesFileIntact()
    {
        QFETCH(Op, op);
        QFETCH(int, step);
        QFETCH(int, onCall);
        QFETCH(QString, named);
        QTemporaryDir dir;
        QByteArray before = Main;
        for (int k = 0; before.size() < 200 * 1024; ++k) // several read and write chunks
            before += Block("l" + QByteArray::number(k), "10.0.0.1,10.0.0.2,10.0.0.3");
        QVERIFY(WriteBytes(GraphFilePath(dir.path()), before));
        Configuration cfg;
        QVERIFY(LoadConfiguration(dir.path(), cfg).error.isEmpty());
        FailingOps files;
        files.step = FailingOps::Step(step);
        files.onCall = onCall;
        files.text = QStringLiteral("No space left on device");
        FakePleaseWait wait;
        const int last = cfg.table.LocationCount(); // the change comes late, after several chunks
        const Status s = Apply(op, dir.path(), cfg.table, last, QStringLiteral("1"), &wait, &files);
        QCOMPARE(s.kind, Status::Kind::IoFailure);
        QVERIFY2(s.error.contains(named) && s.error.contains(files.text), qPrintable(s.error));
        QCOMPARE(ReadBytes(GraphFilePath(dir.path())), before);
        QVERIFY(!QFile::exists(GraphTwinPath(dir.path())));
        QCOMPARE(wait.begins, 1);
        QVERIFY(!wait.showing());
    }
};

QTEST_APPLESS_MAIN(TestLocationRewrite)
#include "test_locationrewrite.moc"
