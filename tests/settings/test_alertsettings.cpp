// The alert settings from the Settings menus of both windows: "Offline Cycles" (a numeric dialog like
// the probe settings) and "Notifications" (a switch): what Submit accepts, writes and reads back.
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
    void offlineCycles_data()
    {
        QTest::addColumn<bool>("fromList");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message"); // empty: accepted
        QTest::addColumn<int>("stored");
        QTest::newRow("3") << false << QStringLiteral("3") << QString() << 3;
        QTest::newRow("3 from the List View, trimmed") << true << QStringLiteral(" 3 ") << QString() << 3;
        QTest::newRow("1") << true << QStringLiteral("1") << QString() << 1;
        QTest::newRow("0") << false << QStringLiteral("0") << QStringLiteral("Please enter at least 1 cycle")
                           << 1;
        QTest::newRow("blank") << true << QString() << QString::fromLatin1(BlankValueText) << 1;
        QTest::newRow("letters") << false << QStringLiteral("two") << QString::fromLatin1(NotNumericText)
                                 << 1;
    }
    void offlineCycles()
    {
        QFETCH(bool, fromList);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(int, stored);
        Rig p;
        const QByteArray before = p.file();
        p.entry("OfflineCycles", fromList)->trigger();
        QPointer<ProbeSettingDialog> d = p.dialogs().dialog(ProbeSetting::OfflineCycles);
        QVERIFY(d && d->isVisible());
        QCOMPARE(d->windowTitle(), QStringLiteral("Set Offline Cycles"));
        QCOMPARE(d->box()->text(), QStringLiteral("1")); // absent from the file: 1
        d->box()->setText(typed);
        QTest::mouseClick(d->submitButton(), Qt::LeftButton);
        QCOMPARE(int(p.cfg.settings.OFFLINECYCLES), stored);
        if (!message.isEmpty()) {
            QCOMPARE(p.boxes.shown, QStringList{message});
            QCOMPARE(p.file(), before);
            QVERIFY(d->isVisible());
            return;
        }
        QTRY_VERIFY(!d);
        QCOMPARE(p.file(), WithSetting("OFFLINECYCLES=" + typed.trimmed().toLatin1()));
        QCOMPARE(int(p.reread().OFFLINECYCLES), stored);
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
