// The sound selection dialogs opened from the Settings menus of both windows, browsing drives and
// folders of a test tree: what is listed, what Select copies and writes, the default, and failures.
#include "settings/settingsdialogs.h"
#include "store/filecopy.h"
#include "store/graphfile.h"
#include "tests/support/programrig.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>

using namespace qos;
using namespace qos::test;

Q_DECLARE_METATYPE(qos::SoundSetting)

namespace {

QByteArray Wav(const char *tag)
{
    return QByteArray("RIFF\x24\0\0\0WAVE", 12) + tag;
}

// A tree to browse: drive a (the start, with its sounds folder), drive b, and a drive that is gone.
//   a/sounds: alarm.wav A.WAV b.wav .hidden.wav c.wav.txt, folders deeper (ding.wav) and .secret
struct SoundRig : ProgramRig {
    QTemporaryDir tree;
    QString a, b, gone, sounds;
    QDateTime opened;

    explicit SoundRig(bool withFile = true)
    {
        const QDir t(tree.path());
        a = t.filePath(QStringLiteral("a"));
        b = t.filePath(QStringLiteral("b"));
        gone = t.filePath(QStringLiteral("gone"));
        sounds = QDir(a).filePath(QStringLiteral("sounds"));
        QDir(sounds).mkpath(QStringLiteral("deeper"));
        QDir(sounds).mkpath(QStringLiteral(".secret"));
        QDir(b).mkpath(QStringLiteral("."));
        for (const char *name :
             {"alarm.wav", "A.WAV", "b.wav", ".hidden.wav", "c.wav.txt", "deeper/ding.wav"})
            WriteFile(QDir(sounds).filePath(QLatin1String(name)), Wav(name));
        if (withFile)
            WriteGraph(folder(), {GraphLocation{"abc"}});
        const QList<SoundDrive> drives{
            {a, QStringLiteral("a")}, {b, QStringLiteral("b")}, {gone, QStringLiteral("gone")}};
        program->settingsDialogs().setBrowsing(SoundBrowsing{[drives] { return drives; }, sounds});
        start();
    }
    QByteArray graph() const { return ReadFile(GraphFilePath(folder())); }
    QString inProgram(const char *name) const { return QDir(folder()).filePath(QLatin1String(name)); }

    SoundChooserDialog *open(SoundSetting which, bool fromList)
    {
        if (fromList && !list())
            QTest::mouseClick(view->marker(1), Qt::LeftButton);
        const SettingsMenu &m = fromList ? list()->controls().settings : c().settings;
        (which == SoundSetting::Alert ? m.alertSound : m.onlineSound)->trigger();
        return program->settingsDialogs().dialog(which);
    }
    static QStringList rows(const QListWidget *l)
    {
        QStringList texts;
        for (int r = 0; r < l->count(); ++r)
            texts << l->item(r)->text();
        return texts;
    }
    static QString label(const SoundChooserDialog *d, const char *name)
    {
        return d->findChild<QLabel *>(QLatin1String(name))->text();
    }
    // A click on the WAV list entry.
    static void pick(SoundChooserDialog *d, const QString &name)
    {
        const QList<QListWidgetItem *> found = d->wavList()->findItems(name, Qt::MatchExactly);
        QVERIFY2(found.size() == 1, qPrintable(name));
        QListWidget *l = d->wavList();
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(found[0]).center());
    }
    // Select, noting how many messages were up when the dialog closed.
    int select(SoundChooserDialog *d)
    {
        int shownAtClose = -1;
        QObject::connect(d, &QDialog::finished, d, [&] { shownAtClose = int(boxes.shown.size()); });
        QTest::mouseClick(d->selectButton(), Qt::LeftButton);
        return shownAtClose;
    }
};

} // namespace

class TestSoundChooser : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lists()
    {
        SoundRig p;
        p.cfg.settings.ONLINEWAV = QStringLiteral("ding.wav");
        SoundChooserDialog *alert = p.open(SoundSetting::Alert, false);
        QCOMPARE(alert->windowTitle(), QStringLiteral("Alert Wav"));
        QCOMPARE(alert->selectButton()->text(), QStringLiteral("&Select Alert Wav"));
        QCOMPARE(SoundRig::label(alert, "currentWav"), QStringLiteral("DEFAULT"));
        QCOMPARE(SoundRig::label(alert, "selectedWav"), QStringLiteral("DEFAULT"));
        QCOMPARE(alert->driveList()->currentText(), QStringLiteral("a"));
        QCOMPARE(SoundRig::rows(alert->wavList()),
                 (QStringList{QStringLiteral("alarm.wav"), QStringLiteral("b.wav")}));
        QCOMPARE(SoundRig::rows(alert->folderList()),
                 (QStringList{p.a, QStringLiteral("  sounds"), QStringLiteral("    deeper")}));
        QCOMPARE(alert->folderList()->currentRow(), 1);
        QVERIFY(!alert->playButton()->isEnabled());

        SoundRig::pick(alert, QStringLiteral("b.wav"));
        QCOMPARE(alert->SelectedSoundName(), QStringLiteral("b.wav"));
        QCOMPARE(SoundRig::label(alert, "selectedWav"), QStringLiteral("b.wav"));

        // A folder opened in the folder list: its files, and the default again.
        QListWidget *folders = alert->folderList();
        folders->setCurrentRow(2);
        QTest::keyClick(folders, Qt::Key_Return);
        QCOMPARE(alert->folder(), QDir(p.sounds).filePath(QStringLiteral("deeper")));
        QCOMPARE(SoundRig::rows(alert->wavList()), QStringList{QStringLiteral("ding.wav")});
        QCOMPARE(alert->SelectedSoundName(), QStringLiteral("DEFAULT"));

        SoundChooserDialog *online = p.open(SoundSetting::Online, true); // both open at once
        QCOMPARE(online->windowTitle(), QStringLiteral("Online Wav"));
        QCOMPARE(SoundRig::label(online, "currentWav"), QStringLiteral("ding.wav"));
        QVERIFY(alert->isVisible() && online->isVisible());
        QCOMPARE(p.open(SoundSetting::Alert, true), alert); // brought forward, as it was
        QCOMPARE(alert->folder(), QDir(p.sounds).filePath(QStringLiteral("deeper")));
    }

    void select_data()
    {
        QTest::addColumn<SoundSetting>("which");
        QTest::addColumn<bool>("fromList");
        QTest::addColumn<QString>("picked"); // empty: Select right after opening
        QTest::addColumn<QByteArray>("own"); // the program folder's alarm.wav beforehand, if any
        QTest::addColumn<QString>("message");
        const auto A = SoundSetting::Alert, O = SoundSetting::Online;
        const QString alarm = QStringLiteral("alarm.wav");
        QTest::newRow("alarm.wav copied")
            << A << false << alarm << QByteArray() << QStringLiteral("Alert Wav Successfully Loaded");
        QTest::newRow("an existing name is not replaced")
            << A << true << alarm << QByteArray("mine") << QStringLiteral("Alert Wav Successfully Loaded");
        QTest::newRow("online from the List View")
            << O << true << alarm << QByteArray() << QStringLiteral("Online Wav Successfully Loaded");
        QTest::newRow("default right after opening")
            << A << false << QString() << QByteArray()
            << QStringLiteral("Default Alert Wav Successfully Loaded");
        QTest::newRow("online default") << O << true << QString() << QByteArray()
                                        << QStringLiteral("Default Online Wav Successfully Loaded");
    }
    void select()
    {
        QFETCH(SoundSetting, which);
        QFETCH(bool, fromList);
        QFETCH(QString, picked);
        QFETCH(QByteArray, own);
        QFETCH(QString, message);
        SoundRig p;
        QString &setting = which == SoundSetting::Alert ? p.cfg.settings.ALERTWAV : p.cfg.settings.ONLINEWAV;
        setting = QStringLiteral("old.wav");
        const QByteArray key = which == SoundSetting::Alert ? "ALERTWAV=" : "ONLINEWAV=";
        QVERIFY(WriteFile(GraphFilePath(p.folder()), p.graph().replace(key + "\r\n", key + "old.wav\r\n")));
        const QByteArray before = p.graph();
        if (!own.isEmpty())
            QVERIFY(WriteFile(p.inProgram("alarm.wav"), own));

        QPointer<SoundChooserDialog> d = p.open(which, fromList);
        QCOMPARE(SoundRig::label(d, "currentWav"), QStringLiteral("old.wav"));
        if (!picked.isEmpty())
            SoundRig::pick(d, picked);
        QCOMPARE(p.select(d), 0); // the message comes after the dialog has closed
        QCOMPARE(p.boxes.shown, QStringList{message});
        QTRY_VERIFY(!d);
        QCOMPARE(setting, picked);
        QCOMPARE(p.graph(), QByteArray(before).replace(key + "old.wav", key + picked.toLatin1()));
        QCOMPARE(p.pleaseWait.begins, 1);
        const QByteArray inProgram = ReadFile(p.inProgram("alarm.wav"));
        QCOMPARE(inProgram, !own.isEmpty() ? own : picked.isEmpty() ? QByteArray() : Wav("alarm.wav"));
        QVERIFY(!p.graph().contains("DEFAULT"));
    }

    void defaultAfterAFolderChange()
    {
        SoundRig p;
        p.cfg.settings.ALERTWAV = QStringLiteral("alarm.wav");
        SoundChooserDialog *d = p.open(SoundSetting::Alert, false);
        SoundRig::pick(d, QStringLiteral("alarm.wav"));
        QVERIFY(d->FolderChange(p.b));
        p.select(d);
        QCOMPARE(p.cfg.settings.ALERTWAV, QString());
        QCOMPARE(p.boxes.shown, QStringList{QStringLiteral("Default Alert Wav Successfully Loaded")});
        QVERIFY(!QFile::exists(p.inProgram("alarm.wav")));
    }

    void fileInTheProgramFolder()
    {
        SoundRig p;
        QVERIFY(WriteFile(p.inProgram("own.wav"), "own"));
        SoundChooserDialog *d = p.open(SoundSetting::Online, false);
        QVERIFY(d->FolderChange(p.folder()));
        SoundRig::pick(d, QStringLiteral("own.wav"));
        p.select(d);
        QCOMPARE(p.cfg.settings.ONLINEWAV, QStringLiteral("own.wav"));
        QCOMPARE(ReadFile(p.inProgram("own.wav")), QByteArray("own"));
        QVERIFY(!QFile::exists(CopyTwinPath(p.inProgram("own.wav"))));
    }

    void withoutGraphFile()
    {
        SoundRig p(false);
        p.cfg.settings.ALERTWAV = QStringLiteral("alarm.wav");
        SoundChooserDialog *d = p.open(SoundSetting::Online, false);
        QVERIFY(d->FolderChange(QDir(p.sounds).filePath(QStringLiteral("deeper"))));
        SoundRig::pick(d, QStringLiteral("ding.wav"));
        p.select(d);
        QCOMPARE(p.graph(), QByteArray("------------MAIN SETTINGS-----------\r\nPINGTIMEOUT=2000\r\n"
                                       "PINGINTERVAL=3\r\nPINGPACKETS=4\r\nALERTWAV=alarm.wav\r\n"
                                       "ONLINEWAV=ding.wav\r\n------------MAIN SETTINGS-----------\r\n"));
        QCOMPARE(ReadFile(p.inProgram("ding.wav")), Wav("deeper/ding.wav"));
    }

    void failedDriveChangeGoesBack()
    {
        SoundRig p;
        SoundChooserDialog *d = p.open(SoundSetting::Alert, false);
        d->driveList()->setCurrentIndex(1);
        QCOMPARE(d->folder(), p.b);
        QCOMPARE(SoundRig::rows(d->folderList()), QStringList{p.b});
        d->driveList()->setCurrentIndex(2); // gone
        QCOMPARE(d->driveList()->currentIndex(), 1);
        QCOMPARE(d->folder(), p.b);
        QCOMPARE(d->SelectedSoundName(), QStringLiteral("DEFAULT"));
        QVERIFY(p.boxes.shown.isEmpty());
        QVERIFY(!d->FolderChange(p.gone));
        QCOMPARE(d->folder(), p.b);
    }

    void failuresChangeNothing_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("told"); // part of the message
        QTest::newRow("the source is gone") << QStringLiteral("source") << QStringLiteral("Cannot read");
        QTest::newRow("graph.txt cannot be rewritten")
            << QStringLiteral("twin") << QStringLiteral("graphtmp.txt");
        QTest::newRow("a name graph.txt cannot hold")
            << QStringLiteral("name") << QStringLiteral("code page");
    }
    void failuresChangeNothing()
    {
        QFETCH(QString, cause);
        QFETCH(QString, told);
        SoundRig p;
        const QString name =
            cause == QLatin1String("name") ? QStringLiteral("\u20ac.wav") : QStringLiteral("alarm.wav");
        QVERIFY(WriteFile(QDir(p.sounds).filePath(name), Wav("euro")));
        const QByteArray before = p.graph();
        QPointer<SoundChooserDialog> d = p.open(SoundSetting::Alert, false);
        SoundRig::pick(d, name);
        if (cause == QLatin1String("source"))
            QVERIFY(QFile::remove(QDir(p.sounds).filePath(name)));
        if (cause == QLatin1String("twin"))
            QVERIFY(QDir(p.folder()).mkpath(QStringLiteral("graphtmp.txt/inside")));
        p.select(d);
        QCOMPARE(p.boxes.shown.size(), 1);
        QVERIFY2(p.boxes.shown[0].contains(told), qPrintable(p.boxes.shown[0]));
        QCOMPARE(p.boxes.icons, QList<MessageBoxes::Icon>{MessageBoxes::Icon::Critical});
        QVERIFY(d && d->isVisible());
        QCOMPARE(p.cfg.settings.ALERTWAV, QString());
        QCOMPARE(p.graph(), before);
        QVERIFY(!QFile::exists(QDir(p.folder()).filePath(name)));
        QVERIFY(!QFile::exists(CopyTwinPath(QDir(p.folder()).filePath(name))));
    }

    void play()
    {
        SoundRig p;
        SoundChooserDialog *d = p.open(SoundSetting::Online, false);
        SoundRig::pick(d, QStringLiteral("b.wav"));
        QVERIFY(d->playButton()->isEnabled());
        QTest::mouseClick(d->playButton(), Qt::LeftButton);
        const QString path = QDir(p.sounds).filePath(QStringLiteral("b.wav"));
        QCOMPARE(p.sound.played, QStringList{path});
        QVERIFY(p.boxes.shown.isEmpty());
        p.sound.missing << path;
        QTest::mouseClick(d->playButton(), Qt::LeftButton);
        QCOMPARE(p.boxes.shown.size(), 1);
        QVERIFY(p.boxes.shown[0].contains(path));
        QCOMPARE(p.cfg.settings.ONLINEWAV, QString()); // hearing a sound chooses nothing
        QVERIFY(d->isVisible());
    }
};

QTEST_MAIN(TestSoundChooser)
#include "test_soundchooser.moc"
