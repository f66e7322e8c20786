// The List View's edits against the real files of a program folder: ignoring, enabling, the address
// dialog, "Remove IP", "Remove Location" and the notes panel; what the window shows, what the table
// holds and what graph.txt and info.txt hold agree after each.
#include "listview/addressdialog.h"
#include "listview/listedits.h"
#include "listview/listpings.h"
#include "listview/rows.h"
#include "tests/support/programrig.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>

using namespace qos;
using namespace qos::test;

namespace {

struct Rig : ProgramRig {
    explicit Rig(const QList<GraphLocation> &locations)
    {
        startWith(locations);
        open(1);
    }
    const ListView::Controls &l() const { return list()->controls(); }
    // Selects the first row of the address, in whichever group holds it.
    void select(const QString &address)
    {
        for (int n : {1, 4})
            if (const int r = FindRow(list()->list(n), address); r >= 0) {
                SelectRow(list()->list(n), r);
                return;
            }
        QFAIL(qPrintable(address));
    }
    // A click where the operator would click: on the window at the button's centre, so whatever
    // lies on top of the button takes it.
    static void click(QAbstractButton *b)
    {
        QWidget *top = b->window();
        QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, b->mapTo(top, b->rect().center()));
    }
    // The value of the first line of graph.txt that starts with key.
    QByteArray value(const QByteArray &key) const
    {
        for (const QByteArray &line : graph().split('\n'))
            if (line.startsWith(key))
                return line.mid(key.size()).chopped(1);
        return "<none>";
    }
    void writeNotes(const QByteArray &lines, const QList<QByteArray> &sites = {"abc"})
    {
        QByteArray text;
        for (const QByteArray &site : sites)
            text += "------------LOCATION BEGIN-----------\r\nSITEID=" + site + "\r\n" + lines +
                    "------------LOCATION END-----------\r\n";
        WriteFile(QDir(folder()).filePath(QStringLiteral("info.txt")), text);
    }
};

} // namespace

class TestListEdits : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void ignore_data();
    void ignore();
    void selectingFromCodeNeverWrites();
    void partialIgnoreDemotion();
    void enableDisable();
    void failedWriteLeavesAllAsItWas();
    void removeIp_data();
    void removeIp();
    void addressDialog_data();
    void addressDialog();
    void addressDialogCancelAndClose();
    void removeLocation_data();
    void removeLocation();
    void notesPanel();
    void editsSurviveRestart();
};

void TestListEdits::ignore_data()
{
    QTest::addColumn<QByteArray>("siteip");
    QTest::addColumn<QByteArray>("ignore");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QByteArray>("written"); // "<same>": graph.txt untouched
    QTest::newRow("first ignore") << QByteArray("10.0.0.1,10.0.0.2") << QByteArray() << "10.0.0.2" << true
                                  << QByteArray("10.0.0.2");
    // Shown trimmed, stored with its blank: the ignore list must take the element as stored.
    QTest::newRow("element stored with a blank") << QByteArray("10.0.0.1, 10.0.0.2") << QByteArray() << "10.0.0.2"
                                                 << true << QByteArray(" 10.0.0.2");
    QTest::newRow("beside a longer element") << QByteArray("10.0.0.1,10.0.0.10") << QByteArray("10.0.0.10")
                                             << "10.0.0.1" << true << QByteArray("10.0.0.10,10.0.0.1");
    QTest::newRow("already ignored") << QByteArray("10.0.0.1") << QByteArray("10.0.0.1") << "10.0.0.1" << true
                                     << QByteArray("<same>");
    QTest::newRow("monitor keeps longer element")
        << QByteArray("10.0.0.1,10.0.0.10") << QByteArray("10.0.0.10,10.0.0.1") << "10.0.0.1" << false
        << QByteArray("10.0.0.10");
    QTest::newRow("monitor the only one")
        << QByteArray("10.0.0.1") << QByteArray("10.0.0.1") << "10.0.0.1" << false << QByteArray("");
    QTest::newRow("monitor a monitored one")
        << QByteArray("10.0.0.1") << QByteArray() << "10.0.0.1" << false << QByteArray("<same>");
}

void TestListEdits::ignore()
{
    QFETCH(QByteArray, siteip);
    QFETCH(QByteArray, ignore);
    QFETCH(QString, address);
    QFETCH(bool, yes);
    QFETCH(QByteArray, written);
    Rig p({Site("abc", siteip, ignore)});
    const QByteArray before = p.graph();
    p.select(address);
    const bool second = FindRow(p.list()->list(4), address) >= 0;
    QRadioButton *button =
        second ? (yes ? p.l().ignoreYes2 : p.l().ignoreNo2) : (yes ? p.l().ignoreYes : p.l().ignoreNo);
    QVERIFY(button->isVisible());
    p.click(button);
    if (written == "<same>") {
        QCOMPARE(p.graph(), before);
        return;
    }
    QCOMPARE(p.value("IGNORE="), written);
    QCOMPARE(p.cfg.table[1].ignore, QString::fromLatin1(written));
    QCOMPARE(p.run.SelectedIgnoreList, SplitAddressList(QString::fromLatin1(written)));
    const int roleList = second ? 6 : 3;
    const int r = int(p.column(second ? 4 : 1).indexOf(address));
    QCOMPARE(p.column(roleList).at(r), QLatin1String(yes ? RoleIgnored : RoleMonitored));
    QCOMPARE(p.list()->result(), QLatin1String(yes ? RoleIgnored : RoleMonitored));
    QCOMPARE(p.column(second ? 4 : 1).indexOf(address), r); // the row stays in its group
    // The counters follow the rows.
    const int ignoredRows = int((p.column(3) + p.column(6)).count(QLatin1String(RoleIgnored)));
    QCOMPARE(p.l().ignoredCount->text(), QString::number(ignoredRows));
    QCOMPARE(p.l().totalCount->text(), QString::number(p.column(1).size() + p.column(4).size()));
}

void TestListEdits::selectingFromCodeNeverWrites()
{
    Rig p({Site("abc", "10.0.0.1,10.0.0.2,10.0.0.3", "10.0.0.2,10.0.0.3")});
    const QByteArray before = p.graph();
    for (const char *a : {"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.1"})
        p.select(QLatin1String(a));
    SelectRow(p.list()->list(6), 1);
    SelectRow(p.list()->list(3), 0);
    QCOMPARE(p.graph(), before);
    QCOMPARE(p.cfg.table[1].ignore, QStringLiteral("10.0.0.2,10.0.0.3"));
}

void TestListEdits::partialIgnoreDemotion()
{
    Rig p({Site("abc", "10.0.0.1,10.0.0.2,10.0.0.3", "10.0.0.3")});
    p.cfg.table[1].center = Indicator::Cyan;
    p.select(QStringLiteral("10.0.0.1"));
    p.click(p.l().ignoreYes); // another row of the second group still reads "IGNORED"
    QCOMPARE(p.cfg.table[1].center, Indicator::Cyan);
    p.select(QStringLiteral("10.0.0.3"));
    p.click(p.l().ignoreNo2);
    QCOMPARE(p.cfg.table[1].center, Indicator::Green);
    QCOMPARE(p.colour(1), Green);
    p.cfg.table[1].center = Indicator::DarkRed;
    p.click(p.l().ignoreYes2);
    p.click(p.l().ignoreNo2);
    QCOMPARE(p.cfg.table[1].center, Indicator::Red);
}

void TestListEdits::enableDisable()
{
    Rig p({Site("abc", "10.0.0.1"), Site("odd", "10.0.0.2", {}, "2")});
    p.cfg.table[1].center = Indicator::Red;
    p.click(p.l().enabledNo);
    QCOMPARE(p.value("DISABLED="), QByteArray("1"));
    QCOMPARE(p.colour(1), QColor(Qt::black));
    p.click(p.l().enabledYes);
    QCOMPARE(p.value("DISABLED="), QByteArray("0"));
    QCOMPARE(p.colour(1), QColor(Qt::white));

    p.list()->close();
    p.open(2);
    const QByteArray before = p.graph();
    p.click(p.l().enabledNo);
    p.click(p.l().enabledYes);
    QCOMPARE(p.graph(), before);
    QCOMPARE(p.cfg.table[2].sitedisabled, QStringLiteral("2"));
}

void TestListEdits::failedWriteLeavesAllAsItWas()
{
    Rig p({Site("abc", "10.0.0.1,10.0.0.2")});
    // The block is renamed behind the program's back: no rewrite finds it.
    QByteArray changed = p.graph();
    changed.replace("SITEID=abc", "SITEID=abd");
    WriteFile(QDir(p.folder()).filePath(QStringLiteral("graph.txt")), changed);
    p.cfg.table[1].center = Indicator::Green;

    p.select(QStringLiteral("10.0.0.2"));
    p.click(p.l().ignoreYes);
    QVERIFY(p.l().ignoreNo->isChecked() && !p.l().ignoreYes->isChecked());
    QCOMPARE(p.column(3), (QStringList{QLatin1String(RoleMonitored), QLatin1String(RoleMonitored)}));
    p.click(p.l().enabledNo);
    QVERIFY(p.l().enabledYes->isChecked());
    p.click(p.l().removeIp);
    QCOMPARE(p.column(1).size(), 2);
    QCOMPARE(p.boxes.shown.size(), 3);
    QCOMPARE(p.boxes.icons.last(), MessageBoxes::Icon::Critical);
    const LocationRecord &rec = p.cfg.table[1];
    QCOMPARE(rec.ignore + rec.siteip + rec.sitedisabled, QStringLiteral("10.0.0.1,10.0.0.20"));
    QCOMPARE(rec.center, Indicator::Green);
    QCOMPARE(p.graph(), changed);
}

void TestListEdits::removeIp_data()
{
    QTest::addColumn<QByteArray>("siteip");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("shorter of two") << QByteArray("10.0.0.1,10.0.0.10") << "10.0.0.1"
                                    << QByteArray("10.0.0.10");
    QTest::newRow("the last one") << QByteArray("10.0.0.1") << "10.0.0.1" << QByteArray("");
    QTest::newRow("an ignored one") << QByteArray("10.0.0.2,10.0.0.3") << "10.0.0.3"
                                    << QByteArray("10.0.0.2");
    QTest::newRow("both copies") << QByteArray("a,10.0.0.2,a") << "a" << QByteArray("10.0.0.2");
    QTest::newRow("stored with a blank") << QByteArray("a, 10.0.0.5") << "10.0.0.5" << QByteArray("a");
}

void TestListEdits::removeIp()
{
    QFETCH(QByteArray, siteip);
    QFETCH(QString, address);
    QFETCH(QByteArray, written);
    Rig p({Site("abc", siteip, "10.0.0.3")});
    p.writeNotes(address.toLatin1() + "=cabinet 3\r\n10.0.0.2=kept\r\n");
    p.click(p.l().removeIp); // hidden without a selection, and says so if reached
    p.boxes.answer = false;
    p.select(address);
    p.click(p.l().removeIp);
    QCOMPARE(p.value("SITEIP="), siteip);
    p.boxes.answer = true;
    p.click(p.l().removeIp);
    QCOMPARE(p.boxes.asked.last(),
             address + QStringLiteral(" will be deleted from location: abc\r\n\r\nAre you sure?"));
    QCOMPARE(p.value("SITEIP="), written);
    QCOMPARE(p.value("IGNORE="), QByteArray("10.0.0.3"));
    QVERIFY(!p.column(1).contains(address) && !p.column(4).contains(address));
    QCOMPARE(p.column(1).size() + p.column(4).size(), p.column(3).size() + p.column(6).size());
    QVERIFY(!p.notes().contains("cabinet") && p.notes().contains("10.0.0.2=kept"));
    QVERIFY(p.list()->address().isEmpty() && p.l().removeIp->isHidden() && p.l().noteBox->isHidden());
    QCOMPARE(p.list()->result(), QStringLiteral("Ready"));
    QCOMPARE(p.list()->pings().addresses(), SplitAddressList(QString::fromLatin1(written)));
    QCOMPARE(p.l().totalCount->text(), QString::number(p.column(1).size() + p.column(4).size()));
}

void TestListEdits::addressDialog_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("blanks and commas")
        << " Host-A , 10.0.0.1,,10.0.0.2, "
        << "Host-A,10.0.0.1,10.0.0.2" << QByteArray("host-a,10.0.0.1,10.0.0.2");
    QTest::newRow("lines joined") << "10.0.0.1\n10.0.0.2"
                                  << "10.0.0.110.0.0.2" << QByteArray("10.0.0.110.0.0.2");
    QTest::newRow("control characters") << "10.0.0.1,\t10.0.0.2\r"
                                        << "10.0.0.1,10.0.0.2" << QByteArray("10.0.0.1,10.0.0.2");
    QTest::newRow("empty") << ""
                           << "" << QByteArray("");
    QTest::newRow("a comma") << ","
                             << "" << QByteArray("");
}

void TestListEdits::addressDialog()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QByteArray, written);
    Rig p({Site("abc", "10.0.0.9")});
    p.click(p.l().addIps);
    AddressDialog *d = p.program->addressDialog();
    QVERIFY(d && d->isVisible() && (!p.list() || !p.list()->isVisible()) && !p.view->isVisible());
    QCOMPARE(p.run.MonitorPaused, 1);
    QCOMPARE(d->windowTitle(), QStringLiteral("Add/Delete Address"));
    QCOMPARE(d->controls().titleLabel->text(), QStringLiteral("Location - abc"));
    QCOMPARE(d->controls().addressText->toPlainText(), QStringLiteral("10.0.0.9"));
    QPointer<AddressDialog> guard(d);
    QString showing; // what the box shows as the dialog ends
    QObject::connect(d, &AddressDialog::submitted, d,
                     [&] { showing = d->controls().addressText->toPlainText(); });
    d->controls().addressText->setPlainText(typed);
    p.click(d->controls().submitButton);
    QCOMPARE(showing, shown);
    QCOMPARE(p.value("SITEIP="), written);
    QCOMPARE(p.cfg.table[1].siteip, QString::fromLatin1(written));
    QVERIFY(p.list() && p.list()->isVisible() && !p.view->isVisible());
    QCOMPARE(p.list()->pings().addresses(), SplitAddressList(QString::fromLatin1(written)));
    QVERIFY(QTest::qWaitFor([&] { return guard.isNull(); }));
}

void TestListEdits::addressDialogCancelAndClose()
{
    Rig p({Site("abc", "10.0.0.9")});
    const QByteArray before = p.graph();
    for (const char *way : {"Cancel", "close box", "Escape in the box"}) {
        p.click(p.l().addIps);
        AddressDialog *d = p.program->addressDialog();
        d->controls().addressText->setPlainText(QStringLiteral("changed"));
        if (way[0] == 'c')
            d->close();
        else if (way[0] == 'E')
            QTest::keyClick(d->controls().addressText, Qt::Key_Escape);
        else
            p.click(d->controls().cancelButton);
        QVERIFY(QTest::qWaitFor([&] { return !p.program->addressDialog(); }));
        QVERIFY2(p.list() && p.list()->isVisible(), way);
        QCOMPARE(p.run.MonitorPaused, 1);
    }
    QCOMPARE(p.graph(), before);
    // The tray brings the Map View back instead; no List View follows.
    p.click(p.l().addIps);
    p.tray.click();
    QVERIFY(QTest::qWaitFor([&] { return !p.program->addressDialog(); }));
    QVERIFY(!p.list() && p.view->isVisible());
    QCOMPARE(p.run.MonitorPaused, 0);
}

void TestListEdits::removeLocation_data()
{
    QTest::addColumn<QByteArray>("notes");
    QTest::newRow("with notes") << QByteArray("10.0.0.1=x\r\n");
    QTest::newRow("no notes file") << QByteArray();
}

void TestListEdits::removeLocation()
{
    QFETCH(QByteArray, notes);
    Rig p({Site("abc", "10.0.0.1"), Site("def", "10.0.0.2"), Site("ghi", "10.0.0.3")});
    if (!notes.isEmpty())
        p.writeNotes(notes, {"abc", "def"});
    p.list()->close();
    p.c().startMonitor->click(); // monitoring on; the cycle then pauses for the List View
    p.open(2);
    p.boxes.answer = false;
    p.l().removeLocation->trigger();
    QCOMPARE(p.cfg.table.LocationCount(), 3);
    p.boxes.answer = true;
    p.boxes.confirmAtOnce = false;
    p.l().removeLocation->trigger();
    QCOMPARE(p.boxes.asked.last(), QStringLiteral("Delete location: def\r\n\r\nAre you sure?"));
    QCOMPARE(p.boxes.shown.last(),
             QStringLiteral("Location: def has been deleted\r\n\r\nLocations will not be "
                            "monitored until 'Start Monitor' is activated"));
    QVERIFY(!p.graph().contains("SITEID=def") && p.graph().contains("SITEID=ghi"));
    QCOMPARE(p.cfg.table.LocationCount(), 2);
    QCOMPARE(p.view->marker(2)->text(), QStringLiteral("ghi"));
    QVERIFY(!p.view->marker(3));
    QCOMPARE(p.menuCaptions().size(), 2);
    QVERIFY(!p.monitor().monitoring() && !p.monitor().running());
    p.boxes.confirmAll();
    QVERIFY(QTest::qWaitFor([&] { return !p.list(); }));
    QVERIFY(p.view->isVisible() && p.showsOnly(p.c().startMonitor));
    QVERIFY(p.tray.present && p.tray.adds - p.tray.removes == 1);
    QVERIFY(!p.notes().contains("SITEID=def"));
    QCOMPARE(p.notes().contains("SITEID=abc\r\n10.0.0.1=x"), !notes.isEmpty());
}

void TestListEdits::notesPanel()
{
    Rig p({Site("abc", "10.0.0.1,10.0.0.2,10.0.0.3", "10.0.0.3")});
    p.writeNotes("10.0.0.1=router in cabinet 3\r\n");
    QVERIFY(p.l().noteBox->isHidden());
    p.select(QStringLiteral("10.0.0.1"));
    QVERIFY(p.l().noteBox->isVisible() && p.l().saveNote->isVisible());
    QCOMPARE(p.l().noteBox->text(), QStringLiteral("router in cabinet 3"));
    p.select(QStringLiteral("10.0.0.2"));
    QCOMPARE(p.l().noteBox->text(), QString());
    // Typed (or pasted) line breaks become spaces; surrounding blanks are kept.
    p.l().noteBox->setFocus();
    QTest::keyClicks(p.l().noteBox, QStringLiteral(" call"));
    p.l().noteBox->insert(QStringLiteral("\nAnna "));
    Q_EMIT p.l().noteBox->textEdited(p.l().noteBox->text());
    p.click(p.l().saveNote);
    QCOMPARE(p.boxes.shown.last(), QStringLiteral("Info saved for IP: 10.0.0.2"));
    QVERIFY(p.notes().contains("10.0.0.2= call Anna \r\n"));
    p.select(QStringLiteral("10.0.0.3"));
    QVERIFY(p.l().ignoreCaption2->isVisible() && p.l().ignoreYes->isHidden());
    p.click(p.l().saveNote); // blank: nothing stored, the message all the same
    QCOMPARE(p.boxes.shown.last(), QStringLiteral("Info saved for IP: 10.0.0.3"));
    QVERIFY(p.notes().contains("10.0.0.3=\r\n------------LOCATION END")); // an empty line, not a note
    // During Ping All a new selection keeps the panel and its text.
    p.select(QStringLiteral("10.0.0.1"));
    p.fake.manual = true;
    p.click(p.l().pingAll);
    p.l().noteBox->setText(QStringLiteral("unsaved"));
    QVERIFY(QTest::qWaitFor([&] { return !p.fake.pending.isEmpty(); }));
    p.fake.answerNext();
    QVERIFY(QTest::qWaitFor([&] { return RowCount(p.list()->list(1)) > 0; }));
    SelectRow(p.list()->list(1), 0);
    QCOMPARE(p.list()->address(), QStringLiteral("10.0.0.1"));
    QCOMPARE(p.l().noteBox->text(), QStringLiteral("unsaved"));
    const qsizetype asked = p.boxes.asked.size(); // nothing removes the location under the run
    p.l().removeLocation->trigger();
    QCOMPARE(p.boxes.asked.size(), asked);
    p.click(p.l().stopPing);
}

void TestListEdits::editsSurviveRestart()
{
    Rig p({Site("abc", "10.0.0.1,10.0.0.2"), Site("def", "10.0.0.5")});
    p.select(QStringLiteral("10.0.0.2"));
    p.click(p.l().ignoreYes);
    p.click(p.l().enabledNo);
    p.l().noteBox->setText(QStringLiteral("call Anna"));
    p.click(p.l().saveNote);
    p.click(p.l().addIps);
    p.program->addressDialog()->controls().addressText->setPlainText(
        QStringLiteral("10.0.0.1,10.0.0.2,10.0.0.4"));
    p.click(p.program->addressDialog()->controls().submitButton);
    p.select(QStringLiteral("10.0.0.1"));
    p.click(p.l().removeIp);

    ProgramRig again(ProgramRig::Engine::Scripted, true, p.folder());
    again.start();
    const LocationRecord &rec = again.cfg.table[1];
    QCOMPARE(rec.siteip + QLatin1Char('|') + rec.ignore + QLatin1Char('|') + rec.sitedisabled,
             QStringLiteral("10.0.0.2,10.0.0.4|10.0.0.2|1"));
    QCOMPARE(again.colour(1), QColor(Qt::black));
    again.open(1);
    QCOMPARE(again.column(4), QStringList{QStringLiteral("10.0.0.2")});
    SelectRow(again.list()->list(4), 0);
    QCOMPARE(again.list()->controls().noteBox->text(), QStringLiteral("call Anna"));
    QCOMPARE(again.cfg.table[2].siteip, QStringLiteral("10.0.0.5"));
}

QTEST_MAIN(TestListEdits)
#include "test_listedits.moc"
