// The Map View window: start-up, markers, the location menu and the window commands.
#include "tests/support/programrig.h"

#include "platform/contrast.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace qos;
using namespace qos::test;

namespace {

struct Rig : ProgramRig {
    explicit Rig(bool withAssets = true)
        : ProgramRig(Engine::Scripted, withAssets)
    {}
};

QList<GraphLocation> named(const QList<QByteArray> &names)
{
    QList<GraphLocation> locations;
    for (const QByteArray &name : names)
        locations.append(GraphLocation{name});
    return locations;
}

} // namespace

class TestMapView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startUpWithoutGraphFile();
    void menuOrder_data();
    void menuOrder();
    void indicatorColours_data();
    void indicatorColours();
    void stateGlyphs_data();
    void stateGlyphs();
    void markerPositions_data();
    void markerPositions();
    void clicksAndPresses();
    void keyboardAlone();
    void menuOpensLocationByTrimmedName();
    void runInBackgroundAndTrayRestore();
    void runInBackgroundWithoutTray();
    void exitAndFrameClose();
    void startUpProblemsShownOnce();
};

void TestMapView::startUpWithoutGraphFile()
{
    Rig p;
    p.run.MonitorPaused = 1;
    p.run.ResumeIndex = 3;
    p.run.AttentionShown = 1;
    p.run.FirstCycle = 2;
    p.run.PlacementMode = 1;
    const QStringList before = QDir(p.folder()).entryList(QDir::Files);
    MapView &v = p.start();
    const MapView::Controls &c = v.controls();

    QVERIFY(v.isVisible());
    QCOMPARE(v.windowTitle(), QStringLiteral("QOR Online Status - Map View"));
    QCOMPARE(p.run.MonitorPaused, 0);
    QCOMPARE(p.run.ResumeIndex, 0);
    QCOMPARE(p.run.AttentionShown, 0);
    QCOMPARE(p.run.FirstCycle, 1);
    QCOMPARE(p.run.PlacementMode, 0);

    QCOMPARE(c.timeoutValue->text(), QStringLiteral("2000"));
    QCOMPARE(c.intervalValue->text(), QStringLiteral("3"));
    QCOMPARE(c.packetsValue->text(), QStringLiteral("4"));
    QCOMPARE(c.titleLabel->text(), QStringLiteral("QOR ONLINE STATUS"));
    QCOMPARE(c.titleLabel->palette().color(QPalette::WindowText), QColor(Qt::white));
    QCOMPARE(c.statusLabel->text(), QStringLiteral("IDLE"));
    QVERIFY(!c.startMonitor->isHidden() && c.startMonitor->isEnabled());
    QVERIFY(c.stopMonitor->isHidden());
    QVERIFY(c.finishedButton->isHidden());
    QCOMPARE(c.exitButton->text(), QStringLiteral("&EXIT"));
    QCOMPARE(c.stopMonitor->geometry(), c.startMonitor->geometry());
    const MonitorClocks &clocks = p.program->clocks();
    QVERIFY(clocks.interval->isActive() && clocks.resume->isActive());
    QCOMPARE(clocks.interval->interval(), 1000);
    QCOMPARE(clocks.resume->interval(), 500);

    // Legend: each circle with its colour and its caption.
    const QList<std::pair<CircleShape *, FitLabel *>> legend = {
        {c.legendWaitingShape, c.legendWaiting}, {c.legendDisabledShape, c.legendDisabled},
        {c.legendOnlineShape, c.legendOnline},   {c.legendOnlinePartialShape, c.legendOnlinePartial},
        {c.legendOfflineShape, c.legendOffline}, {c.legendOfflinePartialShape, c.legendOfflinePartial}};
    const QList<std::pair<QColor, QString>> expected = {
        {Qt::white, QStringLiteral("waiting")},
        {Qt::black, QStringLiteral("disabled")},
        {QColor(0, 255, 0), QStringLiteral("online")},
        {QColor(0, 255, 255), QStringLiteral("online(partial ignore)")},
        {QColor(255, 0, 0), QStringLiteral("offline")},
        {QColor(192, 0, 0), QStringLiteral("offline(partial ignore)")}};
    for (int i = 0; i < legend.size(); ++i) {
        QCOMPARE(legend[i].first->fillColour(), expected[i].first);
        QCOMPARE(legend[i].second->text(), expected[i].second);
    }

    const QList<QAction *> items = c.siteMenu->actions();
    QCOMPARE(items.size(), 1);
    QCOMPARE(items[0]->objectName(), QStringLiteral("ListSite0"));
    QCOMPARE(ListSiteCaption(items[0]), QStringLiteral("SELECT SITE"));
    QCOMPARE(v.highestMarkerIndex(), 0);

    QVERIFY(p.tray.present);
    QCOMPARE(p.tray.tooltip, QStringLiteral("QOR Online Status"));
    QCOMPARE(p.tray.icon.cacheKey(), v.windowIcon().cacheKey());
    QVERIFY(p.boxes.shown.isEmpty());
    QCOMPARE(QDir(p.folder()).entryList(QDir::Files), before); // nothing written
}

void TestMapView::menuOrder_data()
{
    QTest::addColumn<QList<QByteArray>>("names");
    QTest::addColumn<QStringList>("captions");

    QTest::newRow("case-insensitive")
        << QList<QByteArray>{"bay", "Ash", "cob"}
        << QStringList{SortName(QStringLiteral("Ash")), SortName(QStringLiteral("bay")),
                       SortName(QStringLiteral("cob"))};
    QTest::newRow("cut to 20") << QList<QByteArray>{"abcdefghijklmnopqrstuvwxy", "zz"}
                               << QStringList{QStringLiteral("abcdefghijklmnopqrst"),
                                              QStringLiteral("zz                  ")};
    // Names that compare equal keep the order the partition scheme gives: "A" (2), "a" (3), "a" (1).
    QTest::newRow("ties") << QList<QByteArray>{"a", "A", "a"}
                          << QStringList{SortName(QStringLiteral("A")), SortName(QStringLiteral("a")),
                                         SortName(QStringLiteral("a"))};
}

void TestMapView::menuOrder()
{
    QFETCH(QList<QByteArray>, names);
    QFETCH(QStringList, captions);
    Rig p;
    QVERIFY(WriteGraph(p.folder(), named(names)));
    MapView &v = p.start();
    QCOMPARE(p.menuCaptions(), captions);
    for (const QString &caption : captions)
        QCOMPARE(caption.size(), SortNameLength);
    // Menu items are ListSite1..n in menu order; the shown text drops the padding.
    const QList<QAction *> items = v.controls().siteMenu->actions();
    QCOMPARE(items.size(), names.size() + 1);
    for (int k = 1; k < items.size(); ++k) {
        QCOMPARE(items[k]->objectName(), QStringLiteral("ListSite%1").arg(k));
        QCOMPARE(items[k]->text(), captions[k - 1].trimmed());
    }
    QCOMPARE(v.sortList()[0].Name, QString(SortNameLength, QChar(0)));
}

void TestMapView::indicatorColours_data()
{
    QTest::addColumn<Indicator>("state");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("white") << Indicator::White << QColor(255, 255, 255);
    QTest::newRow("black") << Indicator::Black << QColor(0, 0, 0);
    QTest::newRow("green") << Indicator::Green << QColor(0, 255, 0);
    QTest::newRow("cyan") << Indicator::Cyan << QColor(0, 255, 255);
    QTest::newRow("red") << Indicator::Red << QColor(255, 0, 0);
    QTest::newRow("dark red") << Indicator::DarkRed << QColor(192, 0, 0);
}

void TestMapView::indicatorColours()
{
    QFETCH(Indicator, state);
    QFETCH(QColor, colour);
    Rig p;
    QList<GraphLocation> locations = named({"on", "off", "two"});
    locations[1].disabled = "1";
    QVERIFY(WriteGraph(p.folder(), locations));
    MapView &v = p.start();
    // Loaded: black for the disabled location, white for the others.
    QCOMPARE(v.indicator(1)->fillColour(), QColor(Qt::white));
    QCOMPARE(v.indicator(2)->fillColour(), QColor(Qt::black));
    QCOMPARE(v.indicator(3)->fillColour(), QColor(Qt::white));

    p.cfg.table[3].center = state;
    v.refreshIndicator(3);
    QCOMPARE(v.indicator(3)->fillColour(), colour);
    QCOMPARE(v.indicator(1)->fillColour(), QColor(Qt::white));
}

void TestMapView::stateGlyphs_data()
{
    QTest::addColumn<QColor>("map");
    QTest::newRow("white") << QColor(Qt::white);
    QTest::newRow("black") << QColor(Qt::black);
    QTest::newRow("mid grey") << QColor(118, 118, 118);
    QTest::newRow("sea") << QColor(88, 118, 140); // the map's own blue
    QTest::newRow("land") << QColor(240, 232, 200);
}

// With glyphs on, every state's circle stands out from the map at 3:1, its glyph from its fill at 4.5:1,
// and no two states' glyphs look alike at the legend's size.
void TestMapView::stateGlyphs()
{
    QFETCH(QColor, map);
    const QList<Indicator> states = {Indicator::White,       Indicator::Black,      Indicator::Green,
                                     Indicator::Cyan,        Indicator::Red,        Indicator::DarkRed,
                                     Indicator::Unreachable, Indicator::PartlyDown, Indicator::Slow};
    const auto maxContrast = [](const QImage &img, QRect area, const QColor &against) {
        double best = 1;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                best = std::max(best, ContrastRatio(img.pixelColor(x, y), against));
        return best;
    };
    QList<QImage> glyphs;
    for (const Indicator state : states) {
        for (const int side : {11, 17}) { // the legend's and the marker's
            CircleShape shape(state);
            shape.resize(side, side);
            shape.setGlyphShown(true);
            QImage img(side, side, QImage::Format_RGB32);
            img.fill(map);
            shape.render(&img);
            QVERIFY2(maxContrast(img, QRect(0, side / 2, 2, 1), map) >= kGraphicContrast,
                     qPrintable(QString::number(side)));
            const QRect inside(side / 4, side / 4, side / 2, side / 2);
            QVERIFY2(maxContrast(img, inside, shape.fillColour()) >= kTextContrast,
                     qPrintable(QString::number(side)));
        }
        QImage mark(11, 11, QImage::Format_Grayscale8);
        mark.fill(Qt::white);
        QPainter p(&mark);
        DrawStateGlyph(p, QRectF(0, 0, 11, 11), GlyphOf(state), Qt::black);
        p.end();
        glyphs << mark;
    }
    for (int a = 0; a < glyphs.size(); ++a) {
        for (int b = a + 1; b < glyphs.size(); ++b) {
            int differing = 0;
            for (int y = 0; y < 11; ++y)
                for (int x = 0; x < 11; ++x)
                    differing += qAbs(qGray(glyphs[a].pixel(x, y)) - qGray(glyphs[b].pixel(x, y))) > 128;
            QVERIFY2(differing >= 6, qPrintable(QStringLiteral("states %1 and %2").arg(a).arg(b)));
        }
    }
}

void TestMapView::markerPositions_data()
{
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("top");
    QTest::addColumn<QPoint>("marker");
    QTest::addColumn<QPoint>("indicator");
    QTest::newRow("whole pixels") << QByteArray("1500") << QByteArray("3000") << QPoint(100, 200)
                                  << QPoint(87, 200);
    QTest::newRow("halves to even") << QByteArray("2932.5") << QByteArray("2917.5") << QPoint(196, 194)
                                    << QPoint(182, 194);
    QTest::newRow("near the left edge")
        << QByteArray("100") << QByteArray("0") << QPoint(7, 0) << QPoint(-7, 0);
}

void TestMapView::markerPositions()
{
    QFETCH(QByteArray, left);
    QFETCH(QByteArray, top);
    QFETCH(QPoint, marker);
    QFETCH(QPoint, indicator);
    Rig p;
    GraphLocation l{"abc"};
    l.left = left;
    l.top = top;
    QVERIFY(WriteGraph(p.folder(), {l}));
    MapView &v = p.start();
    QCOMPARE(v.scale().perPixelX(), 15.0); // the offscreen screen has 96 DPI
    QCOMPARE(v.marker(1)->objectName(), QStringLiteral("site1"));
    QCOMPARE(v.indicator(1)->objectName(), QStringLiteral("center1"));
    QCOMPARE(v.marker(1)->text(), QStringLiteral("abc"));
    QCOMPARE(v.marker(1)->geometry(), QRect(marker, QSize(49, 17)));
    QCOMPARE(v.indicator(1)->geometry(), QRect(indicator, QSize(17, 9)));
    QVERIFY(v.marker(1)->isVisible() && v.indicator(1)->isVisible());
    QCOMPARE(v.findChild<MarkerLabel *>(QStringLiteral("site1")), v.marker(1));
}

void TestMapView::clicksAndPresses()
{
    Rig p;
    GraphLocation l{"abc"};
    l.left = "3000";
    l.top = "3000";
    QVERIFY(WriteGraph(p.folder(), {l}));
    MapView &v = p.start();
    QSignalSpy clicks(&v, &MapView::markerClicked);
    QSignalSpy presses(&v, &MapView::backgroundPressed);

    QTest::mouseClick(v.marker(1), Qt::LeftButton);
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(clicks[0][0].toInt(), 1);
    QTest::mouseClick(v.marker(1), Qt::RightButton);
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(presses.size(), 0); // presses on a marker never reach the map

    QTest::mousePress(v.canvas(), Qt::RightButton, {}, QPoint(100, 40));
    QCOMPARE(presses.size(), 1);
    QCOMPARE(presses[0][0].value<Qt::MouseButton>(), Qt::RightButton);
    QCOMPARE(presses[0][1].toPointF(), QPointF(1500, 600));

    // The indicator lets presses through to the map; the title label keeps them.
    const QPoint onIndicator = v.indicator(1)->geometry().center();
    QTest::mousePress(v.canvas(), Qt::LeftButton, {}, onIndicator);
    QCOMPARE(presses.size(), 2);
    QCOMPARE(presses[1][1].toPointF(), v.scale().toTwips(onIndicator));
    QTest::mousePress(v.controls().titleLabel, Qt::RightButton, {}, QPoint(5, 5));
    QCOMPARE(presses.size(), 2);
}

// With no mouse: Tab takes the markers in reading order, the arrow keys step between them, Enter and
// Space open the focused one, the context-menu key opens the tray's commands beside it.
void TestMapView::keyboardAlone()
{
    Rig p;
    GraphLocation low{"low"}, left{"lft"}, right{"rgt"};
    low.left = "3000", low.top = "5000";
    left.left = "1000", left.top = "2000";
    right.left = "6000", right.top = "2000";
    QVERIFY(WriteGraph(p.folder(), {low, right, left}));
    MapView &v = p.start();
    v.activateWindow();
    QSignalSpy clicks(&v, &MapView::markerClicked);
    v.marker(3)->setFocus(Qt::TabFocusReason);
    QCOMPARE(v.focusWidget(), v.marker(3));
    QTest::keyClick(v.marker(3), Qt::Key_Tab);
    QCOMPARE(v.focusWidget(), v.marker(2));
    QTest::keyClick(v.marker(2), Qt::Key_Right);
    QCOMPARE(v.focusWidget(), v.marker(1));
    QTest::keyClick(v.marker(1), Qt::Key_Up);
    QCOMPARE(v.focusWidget(), v.marker(2));
    QTest::keyClick(v.marker(2), Qt::Key_Space);
    QTest::keyClick(v.marker(2), Qt::Key_Return);
    QCOMPARE(clicks.size(), 2);
    QCOMPARE(clicks[0][0].toInt(), 2);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(2, 2));
    QApplication::sendEvent(&v, &key);
    QCOMPARE(p.tray.popups.size(), 1);
    QCOMPARE(p.tray.popups[0], v.marker(2)->mapToGlobal(v.marker(2)->rect().center()));
}

void TestMapView::menuOpensLocationByTrimmedName()
{
    Rig p;
    QVERIFY(WriteGraph(p.folder(), named({"cob", "ab", "Ab", "ab"})));
    MapView &v = p.start();
    QSignalSpy chosen(&v, &MapView::locationChosen);
    const QMenu *menu = v.controls().siteMenu;
    for (QAction *item : menu->actions()) {
        if (ListSiteCaption(item).trimmed() == QLatin1String("ab"))
            item->trigger();
    }
    // Both items named "ab" open the lower of the two locations of that name.
    QCOMPARE(chosen.size(), 2);
    QCOMPARE(chosen[0][0].toInt(), 2);
    QCOMPARE(chosen[1][0].toInt(), 2);
    menu->actions().first()->trigger(); // "SELECT SITE" itself
    QCOMPARE(chosen.size(), 2);
    QCOMPARE(v.FindLocationByCaption(QStringLiteral("Ab                  ")), 3);
    QCOMPARE(v.FindLocationByCaption(QStringLiteral("AB")), 0);
}

void TestMapView::runInBackgroundAndTrayRestore()
{
    Rig p;
    QVERIFY(WriteGraph(p.folder(), named({"abc"})));
    MapView &v = p.start();
    v.controls().runInBackground->trigger();
    QVERIFY(!v.isVisible());
    QVERIFY(p.tray.present);
    QCOMPARE(p.tray.removes, 0);
    QVERIFY(p.program->clocks().interval->isActive() && p.program->clocks().resume->isActive());
    p.tray.click();
    QVERIFY(v.isVisible());

    // From the List View: the tray brings the map back, closes the List View and resumes monitoring.
    p.program->OpenLocation(1);
    QVERIFY(!v.isVisible());
    QPointer<ListView> list = p.list();
    QVERIFY(list && list->isVisible());
    QCOMPARE(p.run.MonitorPaused, 1);
    p.tray.click();
    QVERIFY(v.isVisible());
    QVERIFY(!v.isMinimized());
    QCOMPARE(p.run.MonitorPaused, 0);
    QTRY_VERIFY(!list); // destroyed once closed
    QVERIFY(p.boxes.shown.isEmpty());
}

void TestMapView::runInBackgroundWithoutTray()
{
    Rig p;
    p.tray.isAvailable = false;
    MapView &v = p.start();
    v.controls().runInBackground->trigger();
    QVERIFY(v.isVisible()); // never hidden without a way back
    QVERIFY(v.isMinimized());
    QCOMPARE(p.boxes.shown.size(), 1);
    v.showNormal();
    v.controls().runInBackground->trigger();
    QCOMPARE(p.boxes.shown.size(), 1); // said once
}

void TestMapView::exitAndFrameClose()
{
    {
        Rig p;
        MapView &v = p.start();
        QTest::mouseClick(v.controls().exitButton, Qt::LeftButton);
        QVERIFY(!v.isVisible());
        QVERIFY(!p.tray.present);
        QCOMPARE(p.tray.removes, 1);
        QCOMPARE(p.quits, 1);
    }
    {
        Rig p;
        MapView &v = p.start();
        QVERIFY(v.close());
        QVERIFY(!p.tray.present);
        QCOMPARE(p.tray.removes, 1);
        QCOMPARE(p.quits, 0); // the program ends when no window is left, not at once
    }
}

void TestMapView::startUpProblemsShownOnce()
{
    Rig p(false); // no map.gif, swag.ico or swar.ico
    p.boxes.confirmAtOnce = false;
    QVERIFY(WriteGraph(p.folder(), named({"abc"}), "PINGTIMEOUT=abc\r\n"));
    QVERIFY(WriteFile(QDir(p.folder()).filePath(QStringLiteral("swar.ico")), "not a picture"));
    MapView &v = p.start();
    QVERIFY(v.isVisible());
    QVERIFY(!v.canvas()->hasPicture());
    QVERIFY(!v.windowIcon().isNull()); // the built-in copy
    QVERIFY(!p.tray.icon.isNull());
    QCOMPARE(p.boxes.shown.size(), 1); // one box at a time
    p.boxes.confirmAll();
    QCOMPARE(p.boxes.shown.size(), 2);
    QVERIFY(p.boxes.shown[0].contains(QLatin1String("PINGTIMEOUT")));
    QVERIFY(p.boxes.shown[1].contains(QLatin1String("map.gif, swag.ico, swar.ico")));
    QVERIFY(p.boxes.shown[1].contains(QStringLiteral("\"%1\"").arg(p.folder()))); // where to put them
    p.boxes.confirmAll();
    QCOMPARE(p.boxes.shown.size(), 2);
}

QTEST_MAIN(TestMapView)
#include "test_mapview.moc"
