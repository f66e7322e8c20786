// The alert settings from the Settings menus of both windows: "Offline Cycles", "Slow Round Trip" and
// "Slow Loss" (numeric dialogs like the probe settings) and "Notifications" (a switch): what Submit
// accepts, writes and reads back.
#include "platform/contrast.h"
#include "settings/settingsdialogs.h"
#include "tests/support/programrig.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>

using namespace qos;
using namespace qos::test;

namespace {

struct Rig : ProgramRig {
    Rig()
    {
        WriteGraph(folder(), {GraphLocation{"abc"}});
        start();
    }
    // The menu entry of the Map View, or of the List View (opened first).
    QAction *entry(const char *name, bool fromList)
    {
        if (fromList && !list())
            open(1);
        QWidget *window = fromList ? static_cast<QWidget *>(list()) : view;
        QAction *item = window->findChild<QAction *>(QLatin1String(name));
        // Only when it is in the window's Settings menu.
        return window->findChild<QMenu *>(QStringLiteral("Default"))->actions().contains(item) ? item
                                                                                               : nullptr;
    }
    SettingsDialogs &dialogs() { return program->settingsDialogs(); }
    QByteArray file() const { return ReadFile(GraphFilePath(folder())); }
    MainSettings reread() const
    {
        Configuration cfg;
        LoadConfiguration(folder(), cfg);
        return cfg.settings;
    }
};

// The file with line added at the end of its MAIN SETTINGS block.
QByteArray WithSetting(const QByteArray &line)
{
    return GraphText({GraphLocation{"abc"}}, line + "\r\n");
}

} // namespace

class TestAlertSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void numeric_data()
    {
        QTest::addColumn<int>("setting");
        QTest::addColumn<bool>("fromList");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message"); // empty: accepted
        QTest::addColumn<int>("stored");
        const int cycles = int(ProbeSetting::OfflineCycles), trip = int(ProbeSetting::SlowRoundTrip),
                  loss = int(ProbeSetting::SlowLoss);
        QTest::newRow("3") << cycles << false << QStringLiteral("3") << QString() << 3;
        QTest::newRow("3 from the List View, trimmed")
            << cycles << true << QStringLiteral(" 3 ") << QString() << 3;
        QTest::newRow("1") << cycles << true << QStringLiteral("1") << QString() << 1;
        QTest::newRow("0") << cycles << false << QStringLiteral("0")
                           << QStringLiteral("Please enter at least 1 cycle") << 1;
        QTest::newRow("blank") << cycles << true << QString() << QString::fromLatin1(BlankValueText) << 1;
        QTest::newRow("letters") << cycles << false << QStringLiteral("two")
                                 << QString::fromLatin1(NotNumericText) << 1;
        QTest::newRow("slow round trip 250 ms") << trip << false << QStringLiteral("250") << QString() << 250;
        QTest::newRow("slow round trip below 0")
            << trip << true << QStringLiteral("-5")
            << QStringLiteral("Please enter 0 (off) or more milliseconds") << 0;
        QTest::newRow("slow loss 20% from the List View")
            << loss << true << QStringLiteral("20") << QString() << 20;
        QTest::newRow("slow loss 0: off") << loss << false << QStringLiteral("0") << QString() << 0;
    }
    void numeric()
    {
        QFETCH(int, setting);
        QFETCH(bool, fromList);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(int, stored);
        const ProbeSetting which = ProbeSetting(setting);
        const ProbeSettingInfo &info = InfoOf(which);
        const char *entries[] = {"", "", "", "OfflineCycles", "SlowRoundTrip", "SlowLoss"};
        Rig p;
        const QByteArray before = p.file();
        const int absent = p.cfg.settings.*info.field;
        p.entry(entries[setting], fromList)->trigger();
        QPointer<ProbeSettingDialog> d = p.dialogs().dialog(which);
        QVERIFY(d && d->isVisible());
        QCOMPARE(d->windowTitle(), QLatin1String(info.caption));
        QCOMPARE(d->box()->text(), QString::number(absent)); // absent from the file: the default
        d->box()->setText(typed);
        QTest::mouseClick(d->submitButton(), Qt::LeftButton);
        QCOMPARE(int(p.cfg.settings.*info.field), stored);
        if (!message.isEmpty()) {
            QCOMPARE(p.boxes.shown, QStringList{message});
            QCOMPARE(p.file(), before);
            QVERIFY(d->isVisible());
            return;
        }
        QTRY_VERIFY(!d);
        QCOMPARE(p.file(), WithSetting(KeyText(info.key).toByteArray() + typed.trimmed().toLatin1()));
        const MainSettings reread = p.reread();
        QCOMPARE(int(reread.*info.field), stored);
    }

    void notifications()
    {
        Rig p;
        p.entry("Notifications", false)->trigger();
        QPointer<NotificationSettingDialog> d = p.dialogs().notificationsDialog();
        QVERIFY(d && d->isVisible());
        QCOMPARE(d->windowTitle(), QStringLiteral("Set Notifications"));
        QVERIFY(d->box()->isChecked()); // on by default
        d->box()->setChecked(false);
        QTest::mouseClick(d->submitButton(), Qt::LeftButton);
        QTRY_VERIFY(!d);
        QCOMPARE(p.cfg.settings.NOTIFICATIONS, qint16(0));
        QCOMPARE(p.file(), WithSetting("NOTIFICATIONS=0"));
        QCOMPARE(p.reread().NOTIFICATIONS, qint16(0));

        // From the other window: the same single dialog, showing the setting now.
        p.entry("Notifications", true)->trigger();
        d = p.dialogs().notificationsDialog();
        QVERIFY(!d->box()->isChecked());
        p.entry("Notifications", false)->trigger();
        QCOMPARE(p.dialogs().notificationsDialog(), d.data());
        d->box()->setChecked(true);
        QTest::mouseClick(d->submitButton(), Qt::LeftButton);
        QTRY_VERIFY(!d);
        QCOMPARE(p.file(), WithSetting("NOTIFICATIONS=1"));
        QCOMPARE(p.reread().NOTIFICATIONS, qint16(1));
        QCOMPARE(p.pleaseWait.begins, 2);
        QVERIFY(p.boxes.shown.isEmpty());
    }

    // "Marker Shapes" from either window: written as SHAPES=, shown by both windows at once, read at
    // start-up; a setting that cannot be written leaves the look and the entries as they were.
    void markerShapes()
    {
        Rig p;
        MapView &v = *p.view;
        const QRect small = v.indicator(1)->geometry();
        const QColor red(255, 0, 0), green(0, 255, 0);
        QVERIFY(!v.indicator(1)->glyphShown() && !v.controls().legendOnlineShape->glyphShown());
        p.entry("MarkerShapes", false)->trigger();
        QCOMPARE(p.file(), WithSetting("SHAPES=1"));
        QVERIFY(v.indicator(1)->glyphShown() && v.controls().legendOnlineShape->glyphShown());
        QCOMPARE(v.indicator(1)->height(), v.marker(1)->height()); // a glyph as tall as its marker
        QVERIFY(v.indicator(1)->geometry().right() < v.marker(1)->x());
        v.setTitle(QStringLiteral("Applying Locations"), red);
        const QPalette title = v.controls().titleLabel->palette();
        QVERIFY(ContrastRatio(title.color(QPalette::WindowText), QColor(20, 38, 66)) >= kTextContrast);

        QAction *listEntry = p.entry("MarkerShapes", true);
        QVERIFY(listEntry->isChecked());
        ListView &l = *p.list();
        l.setResult(QStringLiteral("MONITORED"), green);
        const QPalette result = l.controls().resultLabel->palette();
        QVERIFY(ContrastRatio(result.color(QPalette::WindowText), result.color(QPalette::Window)) >=
                kTextContrast);
        listEntry->trigger();
        QCOMPARE(p.file(), WithSetting("SHAPES=0"));
        QVERIFY(!p.entry("MarkerShapes", false)->isChecked() && !v.indicator(1)->glyphShown());
        QCOMPARE(v.indicator(1)->geometry(), small);
        QCOMPARE(l.controls().resultLabel->palette().color(QPalette::WindowText), green);
        QCOMPARE(v.controls().titleLabel->palette().color(QPalette::WindowText), red);

        QVERIFY(QDir(p.folder()).mkpath(QStringLiteral("graphtmp.txt/inside")));
        listEntry->trigger();
        QVERIFY(!listEntry->isChecked() && !v.indicator(1)->glyphShown());
        QCOMPARE(p.boxes.icons, QList<MessageBoxes::Icon>{MessageBoxes::Icon::Critical});

        ProgramRig again;
        WriteFile(GraphFilePath(again.folder()), WithSetting("SHAPES=1"));
        again.start();
        QVERIFY(again.view->indicator(1)->glyphShown() &&
                again.view->controls().legendSlowShape->glyphShown());
        QVERIFY(again.view->controls().settings.markerShapes->isChecked());
    }

    void notificationsNotWritten()
    {
        Rig p;
        const QByteArray before = p.file();
        QVERIFY(QDir(p.folder()).mkpath(QStringLiteral("graphtmp.txt/inside"))); // the twin cannot be made
        NotificationSettingDialog *d = p.dialogs().openNotifications();
        d->box()->setChecked(false);
        QTest::mouseClick(d->submitButton(), Qt::LeftButton);
        QCOMPARE(p.boxes.icons, QList<MessageBoxes::Icon>{MessageBoxes::Icon::Critical});
        QVERIFY(p.boxes.shown.value(0).startsWith(QLatin1String("The setting was not changed.")));
        QCOMPARE(p.cfg.settings.NOTIFICATIONS, qint16(1));
        QCOMPARE(p.file(), before);
        QVERIFY(d->isVisible());
    }
};

QTEST_MAIN(TestAlertSettings)
#include "test_alertsettings.moc"
