// The add-location dialog against a real graph.txt in a temporary folder.
#include "mapview/addlocationdialog.h"
#include "store/graphfile.h"
#include "tests/support/fakes.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace qos;
using namespace qos::test;

namespace {

const QByteArray ExistingFile = "------------MAIN SETTINGS-----------\r\n"
                                "PINGTIMEOUT=1000\r\n"
                                "PINGINTERVAL=5\r\n"
                                "PINGPACKETS=2\r\n"
                                "ALERTWAV=\r\n"
                                "ONLINEWAV=\r\n"
                                "------------MAIN SETTINGS-----------\r\n"
                                "ICONTEXT=Plant monitor\r\n"
                                "a line without a key \r\n"
                                "------------LOCATION BEGIN-----------\r\n"
                                "SITEID=one\r\n"
                                "IGNORE=\r\n"
                                "SITEIP=10.0.0.9\r\n"
                                "DISABLED=0\r\n"
                                "SITELEFT=300\r\n"
                                "SITETOP=400\r\n"
                                "------------LOCATION END-----------\r\n";

QByteArray Block(const char *site, const char *addresses, const char *left, const char *top)
{
    return QByteArray("------------LOCATION BEGIN-----------\r\nSITEID=") + site +
           "\r\nIGNORE=\r\nSITEIP=" + addresses + "\r\nDISABLED=0\r\nSITELEFT=" + left +
           "\r\nSITETOP=" + top + "\r\n------------LOCATION END-----------\r\n";
}

struct Fixture {
    QTemporaryDir dir;
    Configuration cfg;
    RunState run;
    FakeMessageBoxes boxes;
    FakePleaseWait pleaseWait;
    QStringList markers; // "create k" / "remove k"
    QPointer<AddLocationDialog> dialog;

    explicit Fixture(const QByteArray &file)
    {
        if (!file.isNull()) {
            QFile f(path());
            if (!f.open(QIODevice::WriteOnly) || f.write(file) != file.size())
                qFatal("cannot prepare graph.txt");
        }
        LoadConfiguration(dir.path(), cfg);
        AddLocationSeams seams;
        seams.append = GraphFileAppender(dir.path(), cfg, &pleaseWait);
        seams.createMarker = [this](int k) { markers << QStringLiteral("create %1").arg(k); };
        seams.removeMarker = [this](int k) { markers << QStringLiteral("remove %1").arg(k); };
        dialog = new AddLocationDialog(cfg, run, boxes, seams);
        dialog->showEmptied();
    }
    ~Fixture() { delete dialog.data(); }

    QString path() const { return GraphFilePath(dir.path()); }
    QByteArray bytes() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void submit(const QString &addresses, const QString &name)
    {
        dialog->findChild<QPlainTextEdit *>(QStringLiteral("addressBox"))->setPlainText(addresses);
        dialog->findChild<QLineEdit *>(QStringLiteral("nameBox"))->setText(name);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("submitButton")), Qt::LeftButton);
    }
};

} // namespace

class TestAddLocationFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void appendsBlock()
    {
        Fixture f(ExistingFile);
        f.run.PlacementX = 1475;
        f.run.PlacementY = 598;
        f.submit(QStringLiteral(" 10.0.0.1 ,, Host1,\r\n,10.0.0.2, "), QStringLiteral("ABC"));
        QVERIFY(f.boxes.shown.isEmpty());
        QCOMPARE(f.bytes(), ExistingFile + Block("abc", "10.0.0.1,host1,10.0.0.2", "1675", "598"));
        QCOMPARE(f.pleaseWait.begins, 1);
        QVERIFY(!f.pleaseWait.showing());

        // After a restart the location reads back as memory holds it.
        Configuration again;
        QVERIFY(LoadConfiguration(f.dir.path(), again).warnings.isEmpty());
        QCOMPARE(again.table.LocationCount(), 2);
        QCOMPARE(again.table[2].site, f.cfg.table[2].site);
        QCOMPARE(again.table[2].siteip, f.cfg.table[2].siteip);
        QCOMPARE(again.table[2].left, f.cfg.table[2].left);
        QCOMPARE(again.table[2].top, f.cfg.table[2].top);
        QCOMPARE(again.settings.ICONTEXT, QStringLiteral("Plant monitor"));
    }

    void controlCharactersNeverReachTheFile()
    {
        Fixture f(ExistingFile);
        f.submit(QStringLiteral("h1\t,\rh2\n,\vh3"), QStringLiteral("a\tb"));
        QCOMPARE(f.bytes(), ExistingFile + Block("ab", "h1,h2,h3", "200", "0"));
    }

    void createsMissingFile()
    {
        Fixture f{QByteArray()};
        f.run.PlacementX = 88;
        f.run.PlacementY = 90;
        f.submit(QStringLiteral(",,h1,"), QStringLiteral(" x "));
        QVERIFY(f.boxes.shown.isEmpty());
        QCOMPARE(f.bytes(), QByteArray("------------MAIN SETTINGS-----------\r\n"
                                       "PINGTIMEOUT=2000\r\n"
                                       "PINGINTERVAL=3\r\n"
                                       "PINGPACKETS=4\r\n"
                                       "ALERTWAV=\r\n"
                                       "ONLINEWAV=\r\n"
                                       "------------MAIN SETTINGS-----------\r\n") +
                                Block("x", "h1", "288", "90"));
    }

    void fileUnchanged_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("used name, then Cancel") << QStringLiteral("used");
        QTest::newRow("twin cannot be created") << QStringLiteral("twin");
        QTest::newRow("address the file cannot hold") << QStringLiteral("hyphens");
    }
    void fileUnchanged()
    {
        QFETCH(QString, how);
        Fixture f(ExistingFile);
        const QString addresses =
            how == QLatin1String("hyphens") ? QStringLiteral("a---------b") : QStringLiteral("10.0.0.1");
        const QString name = how == QLatin1String("used") ? QStringLiteral("one") : QStringLiteral("new");
        // A directory in the twin's place fails for root too.
        if (how == QLatin1String("twin"))
            QVERIFY(QDir(f.dir.path()).mkpath(QStringLiteral("graphtmp.txt/keep")));

        f.submit(addresses, name);
        QCOMPARE(f.boxes.shown.size(), 1);
        QVERIFY(f.dialog->isVisible());
        QCOMPARE(f.bytes(), ExistingFile);
        QCOMPARE(f.cfg.table.LocationCount(), 1);
        if (how == QLatin1String("used")) {
            QVERIFY(f.markers.isEmpty());
            QTest::mouseClick(f.dialog->findChild<QPushButton *>(QStringLiteral("cancelButton")),
                              Qt::LeftButton);
            QVERIFY(!f.dialog->isVisible());
        } else {
            QVERIFY2(f.boxes.shown[0].contains(QStringLiteral("graph")), qPrintable(f.boxes.shown[0]));
            QCOMPARE(f.markers, (QStringList{QStringLiteral("create 2"), QStringLiteral("remove 2")}));
            QCOMPARE(f.dialog->findChild<QLineEdit *>(QStringLiteral("nameBox"))->text(), name);
            QVERIFY(!f.pleaseWait.showing());
        }
        QCOMPARE(f.bytes(), ExistingFile);

        // Once the cause is gone the same input goes through at the same index.
        if (how == QLatin1String("twin")) {
            QVERIFY(QDir(f.dir.filePath(QStringLiteral("graphtmp.txt"))).removeRecursively());
            QTest::mouseClick(f.dialog->findChild<QPushButton *>(QStringLiteral("submitButton")),
                              Qt::LeftButton);
            QCOMPARE(f.bytes(), ExistingFile + Block("new", "10.0.0.1", "200", "0"));
            QCOMPARE(f.cfg.table.LocationCount(), 2);
            QVERIFY(!f.dialog->isVisible());
        }
    }
};

QTEST_MAIN(TestAddLocationFile)
#include "test_addlocationfile.moc"
