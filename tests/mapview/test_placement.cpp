#include "mapview/addlocationdialog.h"
#include "mapview/placement.h"
#include "recordingseams.h"
#include "tests/support/fakes.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace qos;
using namespace qos::test;

namespace {

// A Map View stand-in: records every call; opens a real add-location dialog over a plain widget.
class FakePlacementView : public PlacementView {
public:
    QStringList calls;
    QPointF factors{15, 15};
    QWidget map;
    Configuration cfg = ConfigWithSites({QStringLiteral("abc")});
    RunState *run = nullptr;
    FakeMessageBoxes *boxes = nullptr;
    PlacementController *controller = nullptr;
    RecordingSeams seams;
    QPointer<AddLocationDialog> dialog;

    static QString menuName(Menu m)
    {
        switch (m) {
        case Menu::RunInBackground:
            return QStringLiteral("bground");
        case Menu::ListView:
            return QStringLiteral("listview");
        case Menu::Settings:
            return QStringLiteral("Default");
        case Menu::AddLocations:
            return QStringLiteral("AddLocations");
        }
        return {};
    }
    void setMenuEnabled(Menu menu, bool enabled) override
    {
        calls << menuName(menu) + (enabled ? QStringLiteral(" on") : QStringLiteral(" off"));
    }
    void setFinishedShown(bool shown) override
    {
        calls << (shown ? QStringLiteral("Finished shown") : QStringLiteral("Finished hidden"));
    }
    void setStatusShown(bool shown) override
    {
        calls << (shown ? QStringLiteral("status shown") : QStringLiteral("status hidden"));
    }
    void setMonitorButtonsShown(bool shown) override
    {
        calls << (shown ? QStringLiteral("monitor buttons shown") : QStringLiteral("monitor buttons hidden"));
    }
    void setTitle(const QString &text, const QColor &colour) override
    {
        calls << QStringLiteral("title ") + text + QLatin1Char(' ') + colour.name();
    }
    void reloadMap() override { calls << QStringLiteral("map reloaded"); }
    void hideMap() override
    {
        calls << QStringLiteral("map hidden");
        map.hide();
    }
    void showMap() override
    {
        calls << QStringLiteral("map shown");
        map.show();
    }
    void openAddLocationDialog() override
    {
        calls << QStringLiteral("dialog opened");
        dialog = new AddLocationDialog(cfg, *run, *boxes, seams.seams(), &map);
        QObject::connect(dialog.data(), &AddLocationDialog::closed, controller,
                         &PlacementController::dialogClosed);
        dialog->showEmptied();
    }
    QPointF twipsPerPixel() const override { return factors; }
};

struct Fixture {
    RunState run;
    FakeMessageBoxes boxes;
    FakePlacementView view;
    PlacementController controller{run, view, boxes};

    Fixture()
    {
        view.run = &run;
        view.boxes = &boxes;
        view.controller = &controller;
        view.map.show();
        run.PlacementX = -7;
        run.PlacementY = -7;
    }
    void start()
    {
        controller.StartPlacement();
        view.calls.clear();
    }
};

} // namespace

class TestPlacement : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startPlacement()
    {
        Fixture f;
        f.boxes.confirmAtOnce = false;
        f.controller.StartPlacement();
        QCOMPARE(f.run.PlacementMode, 1);
        QCOMPARE(f.view.calls, (QStringList{
                                   QStringLiteral("bground off"),
                                   QStringLiteral("Finished shown"),
                                   QStringLiteral("status hidden"),
                                   QStringLiteral("monitor buttons hidden"),
                                   QStringLiteral("listview off"),
                                   QStringLiteral("Default off"),
                                   QStringLiteral("AddLocations off"),
                                   QStringLiteral("title Applying Locations #ff0000"),
                               }));
        QCOMPARE(f.boxes.shown, QStringList{QStringLiteral("Right Click Point To Apply Location")});

        // The map reacts to no pick until the box is confirmed.
        QVERIFY(f.controller.awaitingConfirmation());
        QVERIFY(!f.controller.PickPoint(Qt::RightButton, 1500, 600));
        QCOMPARE(f.run.PlacementX, -7);
        f.boxes.confirmAll();
        QVERIFY(!f.controller.awaitingConfirmation());
        QVERIFY(f.controller.PickPoint(Qt::RightButton, 1500, 600));

        // Already placing: a second start shows nothing again.
        f.controller.StartPlacement();
        QCOMPARE(f.boxes.shown.size(), 1);
    }

    void staleConfirmation()
    {
        Fixture f;
        f.boxes.confirmAtOnce = false;
        f.controller.StartPlacement();
        f.controller.FinishPlacement();
        f.controller.StartPlacement();
        QCOMPARE(f.boxes.open.size(), 2);
        f.boxes.open[0](); // the first prompt's answer arrives late
        QVERIFY(f.controller.awaitingConfirmation());
        f.boxes.open[1]();
        QVERIFY(!f.controller.awaitingConfirmation());
    }

    // Which of the two monitor buttons shows is the Map View's decision (test_mapplacement).
    void finishPlacement()
    {
        const QString button = QStringLiteral("monitor buttons shown");
        Fixture f;
        f.start();
        f.controller.FinishPlacement();
        QCOMPARE(f.run.PlacementMode, 0);
        QCOMPARE(f.view.calls, (QStringList{
                                   QStringLiteral("bground on"),
                                   QStringLiteral("AddLocations on"),
                                   QStringLiteral("listview on"),
                                   QStringLiteral("Default on"),
                                   QStringLiteral("Finished hidden"),
                                   QStringLiteral("status shown"),
                                   button,
                                   QStringLiteral("map reloaded"),
                                   QStringLiteral("title QOR ONLINE STATUS #ffffff"),
                               }));
        f.view.calls.clear();
        QVERIFY(!f.controller.PickPoint(Qt::RightButton, 1500, 600));
        QVERIFY(f.view.calls.isEmpty());
    }

    void pickIgnored_data()
    {
        QTest::addColumn<bool>("placing");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::newRow("right press outside placement mode") << false << Qt::RightButton;
        QTest::newRow("left press in placement mode") << true << Qt::LeftButton;
        QTest::newRow("middle press in placement mode") << true << Qt::MiddleButton;
    }
    void pickIgnored()
    {
        QFETCH(bool, placing);
        QFETCH(Qt::MouseButton, button);
        Fixture f;
        if (placing)
            f.start();
        QVERIFY(!f.controller.PickPoint(button, 1500, 600));
        QVERIFY(f.view.calls.isEmpty());
        QCOMPARE(f.run.PlacementX, -7);
        QCOMPARE(f.run.PlacementY, -7);
        QVERIFY(f.view.map.isVisible());
        QVERIFY(f.view.dialog.isNull());
    }

    void pickOpensDialogUntilClosed()
    {
        Fixture f;
        f.start();
        QVERIFY(f.controller.PickPoint(Qt::RightButton, 1500, 600)); // pixel (100, 40)
        QCOMPARE(f.run.PlacementX, 1475);
        QCOMPARE(f.run.PlacementY, 598);
        QCOMPARE(f.view.calls, (QStringList{QStringLiteral("map hidden"), QStringLiteral("dialog opened")}));
        QVERIFY(!f.view.map.isVisible());
        QVERIFY(f.view.dialog && f.view.dialog->isVisible());

        // While the dialog is open no other point is picked.
        QVERIFY(!f.controller.PickPoint(Qt::RightButton, 90, 90));
        QCOMPARE(f.run.PlacementX, 1475);

        // Cancel shows the map again, still placing; the next pick opens an emptied dialog.
        QTest::mouseClick(f.view.dialog->findChild<QPushButton *>(QStringLiteral("cancelButton")),
                          Qt::LeftButton);
        QVERIFY(f.view.map.isVisible());
        QCOMPARE(f.run.PlacementMode, 1);
        QCOMPARE(f.view.cfg.table.LocationCount(), 1);
        QVERIFY(f.controller.PickPoint(Qt::RightButton, 90, 90)); // pixel (6, 6)
        QCOMPARE(f.run.PlacementX, 88);
        QCOMPARE(f.run.PlacementY, 90);

        // A submitted location sits at the picked point and the map comes back.
        auto *dialog = f.view.dialog.data();
        dialog->findChild<QPlainTextEdit *>(QStringLiteral("addressBox"))->setPlainText(QStringLiteral("h1"));
        dialog->findChild<QLineEdit *>(QStringLiteral("nameBox"))->setText(QStringLiteral("new"));
        dialog->submit();
        QVERIFY(f.view.map.isVisible());
        QCOMPARE(f.view.cfg.table.LocationCount(), 2);
        QCOMPARE(f.view.cfg.table[2].left, 288.0f);
        QCOMPARE(f.view.cfg.table[2].top, 90.0f);
        QCOMPARE(f.run.PlacementMode, 1);

        // Closing the dialog from outside (tray activation) shows the map as well.
        QVERIFY(f.controller.PickPoint(Qt::RightButton, 1500, 600));
        QVERIFY(!f.view.map.isVisible());
        f.view.dialog->close();
        QVERIFY(f.view.map.isVisible());
        QVERIFY(!f.controller.dialogOpen());
    }
};

QTEST_MAIN(TestPlacement)
#include "test_placement.moc"
