// Placement mode and the add-location dialog on the real Map View: from "Add Location(s)" through a
// pick on the map and "Submit" to "Finished", the ways the dialog closes without adding, and what
// survives a restart.
#include "mapview/addlocationdialog.h"
#include "mapview/mapplacementview.h"
#include "tests/support/programrig.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace qos;
using namespace qos::test;

namespace {

QList<GraphLocation> ExistingLocations()
{
    GraphLocation cob{"cob"};
    cob.left = "3000";
    cob.top = "3000";
    GraphLocation zz{"zz"};
    zz.left = "4500";
    zz.top = "1500";
    return {cob, zz};
}

QByteArray ReadGraph(const QString &folder)
{
    QFile f(QDir(folder).filePath(QStringLiteral("graph.txt")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A pixel of the map background, clear of every label.
const QPoint MapPixel(100, 40);

// One run of the program over a folder; message boxes stay open until confirmed.
struct Rig : ProgramRig {
    explicit Rig(const QString &folder)
        : ProgramRig(Engine::Scripted, false, folder)
    {}
    MapView &start()
    {
        boxes.confirmAtOnce = false;
        return ProgramRig::start();
    }
    AddLocationDialog *dialog() const { return view->placement().dialog(); }
    QStringList menuCaptions() const
    {
        QStringList captions;
        for (const QAction *item : LocationItems(c().siteMenu))
            captions << ListSiteCaption(item).trimmed();
        return captions;
    }
    void pressMap(Qt::MouseButton button, QPoint pixel = MapPixel)
    {
        QTest::mousePress(view->canvas(), button, {}, pixel);
    }
    // "Add Location(s)", prompt confirmed, a right press on the map.
    AddLocationDialog *pick()
    {
        c().addLocations->trigger();
        boxes.confirmAll();
        pressMap(Qt::RightButton);
        return dialog();
    }
    static void fill(AddLocationDialog *d, const QString &addresses, const QString &name)
    {
        d->findChild<QPlainTextEdit *>(QStringLiteral("addressBox"))->setPlainText(addresses);
        d->findChild<QLineEdit *>(QStringLiteral("nameBox"))->setText(name);
    }
    static void click(AddLocationDialog *d, const char *button)
    {
        QTest::mouseClick(d->findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
    }
};

void FlushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// What differs between normal and placement mode, as the operator sees it.
void CheckMode(const MapView::Controls &c, bool placing)
{
    QCOMPARE(c.siteMenu->menuAction()->isEnabled(), !placing);
    QCOMPARE(c.settings.menu->menuAction()->isEnabled(), !placing);
    QCOMPARE(c.addLocations->isEnabled(), !placing);
    QCOMPARE(c.runInBackground->isEnabled(), !placing);
    QCOMPARE(c.finishedButton->isVisible(), placing);
    QCOMPARE(c.finishedButton->isEnabled(), placing);
    QCOMPARE(c.finishedButton->text(), QStringLiteral("&Finished"));
    QCOMPARE(c.statusCaption->isVisible(), !placing);
    QCOMPARE(c.statusLabel->isVisible(), !placing);
    QVERIFY(c.exitButton->isVisible() && c.exitButton->isEnabled());
    QCOMPARE(c.titleLabel->text(),
             placing ? QStringLiteral("Applying Locations") : QStringLiteral("QOR ONLINE STATUS"));
    QCOMPARE(c.titleLabel->palette().color(QPalette::WindowText),
             placing ? QColor(255, 0, 0) : QColor(255, 255, 255));
    if (placing)
        QVERIFY(!c.startMonitor->isVisible() && !c.stopMonitor->isVisible());
}

} // namespace

class TestMapPlacement : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void addLocationThroughTheWindow_data()
    {
        QTest::addColumn<bool>("monitorRunning");
        QTest::addColumn<bool>("byKeyboard");
        QTest::newRow("monitor stopped") << false << false;
        QTest::newRow("monitor running") << true << false;
        QTest::newRow("point picked by keyboard") << false << true;
    }

    void addLocationThroughTheWindow()
    {
        QFETCH(bool, monitorRunning);
        QFETCH(bool, byKeyboard);
        QTemporaryDir dir;
        QVERIFY(CopyAssets(QStringLiteral(QOS_ASSETS_DIR), dir.path()));
        QVERIFY(WriteGraph(dir.path(), ExistingLocations()));
        Rig p(dir.path());
        MapView &v = p.start();
        const MapView::Controls &c = p.c();
        if (monitorRunning) { // as "Start Monitor" leaves the buttons
            v.setMonitoring(true);
        }
        p.run.PlacementX = -7;

        c.addLocations->trigger();
        QCOMPARE(p.run.PlacementMode, 1);
        QCOMPARE(p.boxes.shown, QStringList{QStringLiteral("Right Click Point To Apply Location")});
        CheckMode(c, true);
        if (QTest::currentTestFailed())
            return;

        // Nothing is picked before the box is confirmed, nor by presses on a marker label.
        p.pressMap(Qt::RightButton);
        QVERIFY(!p.dialog());
        p.boxes.confirmAll();
        QTest::mousePress(v.marker(1), Qt::RightButton, {}, QPoint(3, 3));
        QTest::mouseClick(v.marker(1), Qt::LeftButton);
        p.pressMap(Qt::LeftButton);
        QVERIFY(!p.dialog());
        QVERIFY(v.isVisible());
        QCOMPARE(p.run.PlacementX, -7);

        MapCanvas *canvas = v.canvas();
        QVERIFY(canvas->pickPointShown() && v.focusWidget() == canvas);
        if (byKeyboard) { // from the map's centre to the same pixel, eight at a time, then one
            const QPoint to = MapPixel - canvas->pickPoint();
            for (const auto &[key, distance] :
                 {std::pair{to.x() < 0 ? Qt::Key_Left : Qt::Key_Right, qAbs(to.x())},
                  std::pair{to.y() < 0 ? Qt::Key_Up : Qt::Key_Down, qAbs(to.y())}}) {
                for (int i = 0; i < distance; i += i + 8 <= distance ? 8 : 1)
                    QTest::keyClick(canvas, key, i + 8 <= distance ? Qt::NoModifier : Qt::ShiftModifier);
            }
            QCOMPARE(canvas->pickPoint(), MapPixel);
            QTest::keyClick(canvas, Qt::Key_Return);
        } else {
            p.pressMap(Qt::RightButton);
        }
        QCOMPARE(p.run.PlacementX, 1475);
        QCOMPARE(p.run.PlacementY, 598);
        QPointer<AddLocationDialog> dialog = p.dialog();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Enter Location Information"));
        QVERIFY(!v.isVisible());

        Rig::fill(dialog, QStringLiteral(" 10.0.0.1 ,, Host1"), QStringLiteral("ABC"));
        Rig::click(dialog, "submitButton");
        FlushDeletes();
        QVERIFY(!dialog);
        QVERIFY(v.isVisible());
        QCOMPARE(p.run.PlacementMode, 1); // placing goes on until "Finished"
        CheckMode(c, true);
        if (QTest::currentTestFailed())
            return;

        // Marker, indicator, record, file and menu of the new location 3.
        QCOMPARE(p.cfg.table.LocationCount(), 3);
        const LocationRecord &rec = p.cfg.table[3];
        QCOMPARE(rec.site, QStringLiteral("abc"));
        QCOMPARE(rec.siteip, QStringLiteral("10.0.0.1,host1"));
        QCOMPARE(rec.flash, QStringLiteral("0"));
        QVERIFY(v.marker(3) && v.indicator(3));
        QCOMPARE(v.marker(3)->text(), QStringLiteral("abc"));
        QCOMPARE(v.marker(3)->geometry().topLeft(), v.scale().toPixels(QPointF(1675, 598)));
        QCOMPARE(v.indicator(3)->geometry().topLeft(), v.scale().toPixels(QPointF(1475, 598)));
        QCOMPARE(v.marker(3)->size(), v.marker(1)->size());
        QVERIFY(v.marker(3)->isVisible() && v.indicator(3)->isVisible());
        QCOMPARE(v.indicator(3)->fillColour(), QColor(Qt::white));
        GraphLocation added{"abc"};
        added.siteip = "10.0.0.1,host1";
        added.left = "1675";
        added.top = "598";
        QCOMPARE(ReadGraph(dir.path()), GraphText(ExistingLocations()) + LocationBlock(added));
        QCOMPARE(p.pleaseWait.begins, 1);
        QVERIFY(!p.pleaseWait.showing());
        QCOMPARE(p.menuCaptions(),
                 (QStringList{QStringLiteral("abc"), QStringLiteral("cob"), QStringLiteral("zz")}));
        QCOMPARE(p.boxes.shown.size(), 1);

        // "Finished" reads the map picture again: without the file the background turns plain.
        QVERIFY(QFile::remove(QDir(dir.path()).filePath(QStringLiteral("map.gif"))));
        if (byKeyboard)
            c.finishedButton->click(); // as Alt+F does, leaving the focus where it is
        else
            QTest::mouseClick(c.finishedButton, Qt::LeftButton);
        QCOMPARE(p.run.PlacementMode, 0);
        CheckMode(c, false);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(!canvas->pickPointShown() && v.focusWidget() != canvas);
        QCOMPARE(c.startMonitor->isVisible(), !monitorRunning);
        QCOMPARE(c.stopMonitor->isVisible(), monitorRunning);
        QVERIFY(!v.canvas()->hasPicture());

        // The location is there after a restart.
        p.program.reset();
        QVERIFY(CopyAssets(QStringLiteral(QOS_ASSETS_DIR), dir.path()));
        Rig again(dir.path());
        MapView &w = again.start();
        QVERIFY(again.boxes.shown.isEmpty());
        QCOMPARE(again.cfg.table.LocationCount(), 3);
        QVERIFY(w.marker(3));
        QCOMPARE(w.marker(3)->text(), QStringLiteral("abc"));
        QCOMPARE(w.marker(3)->geometry().topLeft(), w.scale().toPixels(QPointF(1675, 598)));
        QCOMPARE(w.indicator(3)->geometry().topLeft(), w.scale().toPixels(QPointF(1475, 598)));
        QCOMPARE(again.menuCaptions(),
                 (QStringList{QStringLiteral("abc"), QStringLiteral("cob"), QStringLiteral("zz")}));
    }

    void dialogClosesWithoutAdding_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("restored from the tray") << QStringLiteral("tray");
        QTest::newRow("graph.txt cannot be written, then Cancel") << QStringLiteral("store");
    }

    void dialogClosesWithoutAdding()
    {
        QFETCH(QString, how);
        QTemporaryDir dir;
        QVERIFY(CopyAssets(QStringLiteral(QOS_ASSETS_DIR), dir.path()));
        QVERIFY(WriteGraph(dir.path(), ExistingLocations()));
        const QByteArray before = ReadGraph(dir.path());
        Rig p(dir.path());
        MapView &v = p.start();
        QPointer<AddLocationDialog> dialog = p.pick();
        QVERIFY(dialog && dialog->isVisible());
        Rig::fill(dialog, QStringLiteral("10.0.0.1"), QStringLiteral("new"));

        if (how == QLatin1String("tray")) {
            p.tray.click();
        } else {
            // A directory in the temporary twin's place fails for root too.
            QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("graphtmp.txt/keep")));
            Rig::click(dialog, "submitButton");
            QCOMPARE(p.boxes.shown.size(), 2);
            QVERIFY2(p.boxes.shown[1].contains(QStringLiteral("graph.txt")), qPrintable(p.boxes.shown[1]));
            // The half-made location is gone from the map; the dialog keeps what was typed.
            QVERIFY(dialog->isVisible());
            QVERIFY(!v.isVisible());
            QCOMPARE(v.highestMarkerIndex(), 2);
            QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("nameBox"))->text(),
                     QStringLiteral("new"));
            Rig::click(dialog, "cancelButton");
        }
        FlushDeletes();
        QVERIFY(!dialog);
        QVERIFY(v.isVisible());
        QCOMPARE(p.run.PlacementMode, 1);
        QCOMPARE(p.cfg.table.LocationCount(), 2);
        QCOMPARE(v.highestMarkerIndex(), 2);
        QCOMPARE(p.menuCaptions(), (QStringList{QStringLiteral("cob"), QStringLiteral("zz")}));
        QCOMPARE(ReadGraph(dir.path()), before);
    }
};

QTEST_MAIN(TestMapPlacement)
#include "test_mapplacement.moc"
