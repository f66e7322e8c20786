// Starting with the session: the autostart entry's text (what its Exec line starts, quoted as desktop
// files need), turning it on and off on disk, the Settings entry of both windows, and the program
// started by it (in the notification area, monitoring).
#include "app/autostart.h"
#include "app/options.h"
#include "tests/support/programrig.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace qos;
using namespace qos::test;

class TestAutostart : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void exec_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("exec");
        QTest::newRow("installed") << QStringLiteral("/usr/bin/qor-online-status") << QString()
                                   << QStringLiteral("/usr/bin/qor-online-status --background");
        QTest::newRow("a folder given")
            << QStringLiteral("/usr/bin/qor-online-status") << QStringLiteral("/srv/qos")
            << QStringLiteral("/usr/bin/qor-online-status --background --folder /srv/qos");
        QTest::newRow("spaces are quoted") << QStringLiteral("/home/ann/QOR Status/bin/qor-online-status")
                                           << QStringLiteral("/home/ann/my sites")
                                           << QStringLiteral("\"/home/ann/QOR Status/bin/qor-online-status\" "
                                                             "--background --folder \"/home/ann/my sites\"");
        // In quotes " ` $ \ take a backslash; the file's own escape doubles that backslash, and % is
        // doubled so it is no field code.
        QTest::newRow("shell characters")
            << QStringLiteral("/opt/a$b/q\"o`s\\x") << QStringLiteral("/srv/100%")
            << QStringLiteral(
                   "\"/opt/a\\\\$b/q\\\\\"o\\\\`s\\\\\\\\x\" --background --folder \"/srv/100%%\"");
    }
    void exec()
    {
        QFETCH(QString, executable);
        QFETCH(QString, folder);
        QFETCH(QString, exec);
        QCOMPARE(AutostartExec({executable, folder}), exec);
    }

    // On and off on disk; each data folder has an entry of its own; the entry is a valid desktop file.
    void onAndOff()
    {
        QTemporaryDir config;
        const QString folder = config.filePath(QStringLiteral("autostart"));
        const Autostart plain(folder, {QStringLiteral("/usr/bin/qor-online-status"), {}});
        const Autostart other(folder,
                              {QStringLiteral("/usr/bin/qor-online-status"), QStringLiteral("/srv/qos")});
        QVERIFY(!plain.isOn());
        QVERIFY(plain.turnOff()); // nothing there: nothing to do
        QVERIFY(plain.turnOn());
        QCOMPARE(QFileInfo(plain.path()).fileName(), QStringLiteral("qor-online-status.desktop"));
        QVERIFY(plain.isOn() && !other.isOn());
        QVERIFY(other.turnOn());
        QVERIFY(other.path() != plain.path());
        const QByteArray text = ReadFile(other.path());
        QVERIFY(text.startsWith("[Desktop Entry]\n"));
        QVERIFY(text.contains("\nExec=/usr/bin/qor-online-status --background --folder /srv/qos\n"));
        QVERIFY(plain.turnOn()); // again: replaced whole, no twin left behind
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2);
        const QString validate = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (!validate.isEmpty()) {
            QProcess p;
            p.start(validate, {plain.path(), other.path()});
            QVERIFY(p.waitForFinished());
            QVERIFY2(p.exitCode() == 0, p.readAll().constData());
        }
        QVERIFY(plain.turnOff());
        QVERIFY(!plain.isOn() && other.isOn());
    }

    void folderThatCannotBeCreated()
    {
        QTemporaryDir config;
        WriteFile(config.filePath(QStringLiteral("autostart")), "a file in the folder's place");
        const Autostart entry(config.filePath(QStringLiteral("autostart")),
                              {QStringLiteral("/usr/bin/q"), {}});
        const Status s = entry.turnOn();
        QVERIFY(!s);
        QVERIFY2(s.error.contains(config.filePath(QStringLiteral("autostart"))), qPrintable(s.error));
        QVERIFY(!entry.isOn());
    }

    // The Settings entry of both windows writes and removes the entry and shows which it is; a failure
    // says why and leaves the entry unticked.
    void settingsEntry()
    {
        ProgramRig p;
        p.startWith({Site("VIE", "127.0.0.1")});
        QAction *mapEntry = p.c().settings.startWithSession;
        QVERIFY(mapEntry->isVisible() && mapEntry->isCheckable() && !mapEntry->isChecked());
        mapEntry->trigger();
        QVERIFY(p.autostart.isOn() && mapEntry->isChecked());
        ListView &l = p.open(1);
        QAction *listEntry = l.controls().settings.startWithSession;
        QVERIFY(listEntry->isChecked());
        listEntry->trigger();
        QVERIFY(!p.autostart.isOn() && !listEntry->isChecked() && !mapEntry->isChecked());

        QDir(p.config.filePath(QStringLiteral("autostart"))).removeRecursively();
        WriteFile(p.config.filePath(QStringLiteral("autostart")), "");
        listEntry->trigger();
        QVERIFY(!listEntry->isChecked() && !mapEntry->isChecked());
        QCOMPARE(p.boxes.icons, QList<MessageBoxes::Icon>{MessageBoxes::Icon::Critical});
    }

    // Started by the entry: in the notification area, window hidden, monitoring.
    void startedInTheBackground()
    {
        const CommandLine line =
            ParseCommandLine({QStringLiteral("qor-online-status"), QStringLiteral("--background"),
                              QStringLiteral("--folder=/srv/q")});
        QVERIFY(!line.exitCode && line.background);
        QCOMPARE(line.folder, QStringLiteral("/srv/q"));
        QVERIFY(!ParseCommandLine({QStringLiteral("qor-online-status")}).background);

        ProgramRig p;
        WriteGraph(p.folder(), {Site("VIE", "127.0.0.1")});
        p.start(Program::Start::Background);
        QVERIFY(!p.view->isVisible());
        QVERIFY(p.tray.present);
        QVERIFY(p.c().stopMonitor->isVisibleTo(p.view)); // "Stop Monitor": monitoring runs
        QVERIFY(!p.c().startMonitor->isVisibleTo(p.view));
        QTRY_COMPARE(p.colour(1), Green);
        Q_EMIT p.tray.activated();
        QVERIFY(p.view->isVisible());
    }
};

QTEST_MAIN(TestAutostart)
#include "test_autostart.moc"
