// The List View opened from the Map View: its window, lists, selection, menus and closing, and "Ping
// IP" / "Ping All" over the scripted prober.
#include "history/historywindow.h"
#include "listview/listpings.h"
#include "listview/rows.h"
#include "mapview/addlocationdialog.h"
#include "mapview/mapplacementview.h"
#include "mapview/mapwidgets.h"
#include "platform/mnemonics.h"
#include "tests/support/programrig.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

using namespace qos;
using namespace qos::test;

namespace {

struct Rig : ProgramRig {
    explicit Rig(const QList<GraphLocation> &locations)
    {
        startWith(locations);
    }
    QColor resultColour() const
    {
        return list()->controls().resultLabel->palette().color(QPalette::WindowText);
    }
    bool pingsIdle() const
    {
        return !list()->pings().pingAllRunning() && !list()->pings().pingSelectedRunning();
    }
    void pingAll()
    {
        QTest::mouseClick(list()->controls().pingAll, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([this] { return pingsIdle(); }));
    }
    // Selects the row of the address in whichever group holds it and presses "Ping IP".
    void pingIp(const QString &address)
    {
        for (int n : {1, 4}) {
            if (const int r = FindRow(list()->list(n), address); r >= 0)
                SelectRow(list()->list(n), r);
        }
        QCOMPARE(list()->address(), address);
        QTest::mouseClick(list()->controls().pingIp, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([this] { return pingsIdle(); }));
    }
};

// The width a button's style leaves for its text.
int ContentsWidth(const QAbstractButton *b)
{
    QStyleOptionButton o;
    o.initFrom(b);
    o.text = b->text();
    const bool push = qobject_cast<const QPushButton *>(b);
    const QStyle::SubElement e = push                                    ? QStyle::SE_PushButtonContents
                                 : qobject_cast<const QRadioButton *>(b) ? QStyle::SE_RadioButtonContents
                                                                         : QStyle::SE_CheckBoxContents;
    return b->style()->subElementRect(e, &o, b).width();
}

// The texts cut by their own control in the window's visible labels, buttons and frames: one line
// each, "objectName: text (needs n, has m pixels)"; the menu titles without an Alt+letter; and the
// visible buttons and box captions whose Alt+letter another control or a menu of the window has.
QStringList ClippedTexts(const QWidget *window)
{
    QStringList out;
    QHash<QChar, QString> letters;
    const auto claim = [&](const QString &caption, const QString &who) {
        const QChar letter = MnemonicOf(caption);
        if (letter.isNull())
            return;
        if (letters.contains(letter))
            out << QStringLiteral("%1 %2: Alt+%3 is also %4")
                       .arg(window->objectName(), who, letter, letters[letter]);
        letters.insert(letter, who);
    };
    if (const auto *main = qobject_cast<const QMainWindow *>(window))
        for (const QAction *menu : main->menuBar()->actions()) {
            if (MnemonicOf(menu->text()).isNull())
                out << QStringLiteral("%1 menu %2: no Alt+letter").arg(window->objectName(), menu->text());
            claim(menu->text(), menu->text());
        }
    const auto note = [&](const QWidget *w, const QString &text, int needs, int has) {
        if (needs > has)
            out << QStringLiteral("%1 %2: %3 (needs %4, has %5)")
                       .arg(window->objectName(), w->objectName(), text)
                       .arg(needs)
                       .arg(has);
    };
    for (const QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window))
            continue;
        const QFontMetrics fm = w->fontMetrics();
        if (const auto *f = qobject_cast<const FitLabel *>(w)) // draws its text smaller where it must
            note(w, f->text(), QFontMetrics(f->fittedFont()).horizontalAdvance(f->text()),
                 f->contentsRect().width());
        else if (const auto *l = qobject_cast<const QLabel *>(w);
                 l && !l->wordWrap() && l->pixmap().isNull()) {
            const QString shown = l->buddy() ? QString(l->text()).remove(QLatin1Char('&')) : l->text();
            note(w, shown, fm.horizontalAdvance(shown), l->contentsRect().width() - 2 * l->margin());
            if (l->buddy())
                claim(l->text(), w->objectName());
        } else if (const auto *b = qobject_cast<const QAbstractButton *>(w); b && !b->text().isEmpty()) {
            const QString shown = QString(b->text()).remove(QLatin1Char('&'));
            note(w, shown, fm.horizontalAdvance(shown), ContentsWidth(b));
            claim(b->text(), w->objectName());
        } else if (const auto *g = qobject_cast<const QGroupBox *>(w); g && !g->title().isEmpty())
            note(w, g->title(), fm.horizontalAdvance(g->title()) + 16, g->width());
    }
    return out;
}
} // namespace

class TestListView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void openFromMarkerAndMenu();
    void rowSelectionAndScroll();
    void longAddressesFit();
    void textsFitTheirControls();
    void namesForScreenReaders_data();
    void namesForScreenReaders();
    void closeResumesPausedCycle();
    void pingAll_data();
    void pingAll();
    void pingIp_data();
    void pingIp();
    void pingIpResultStaysWithItsRow();
    void stopPingAndCloseDuringRun();
    void startupFailureToldOnce();
};

void TestListView::openFromMarkerAndMenu()
{
    Rig p({Site("abc", "10.0.0.1, 10.0.0.2,,10.0.0.3", "10.0.0.3,10.0.0.3"), Site("ab", "")});
    p.cfg.table[1].holdbad = QStringList{QStringLiteral("10.0.0.1")};

    p.c().addLocations->trigger(); // no marker opens anything while placing
    QTest::mouseClick(p.view->marker(1), Qt::LeftButton);
    QVERIFY(!p.list());
    p.c().finishedButton->click();

    ListView &l = p.open(1);
    const ListView::Controls &c = l.controls();
    QVERIFY(!p.view->isVisible() && l.isVisible());
    QCOMPARE(l.windowTitle(), QStringLiteral("QOR Online Status - List View"));
    QCOMPARE(p.run.MonitorPaused, 1);
    QCOMPARE(p.run.SelectedLocation, 1);
    QCOMPARE(p.run.SelectedIgnoreList, (QStringList{QStringLiteral("10.0.0.3"), QStringLiteral("10.0.0.3")}));
    for (const char *name : {"Label1",   "List1",    "List6",     "total",          "ilabel",     "mlabel",
                             "Command1", "Run_Ping", "addinfo",   "Frame1",         "Frame2",     "Option1",
                             "Option2",  "Address",  "Result",    "ignoreyes2",     "removeip",   "addip",
                             "Command4", "Command3", "IPAddress", "displaytimeout", "packetlabel"})
        QVERIFY2(l.findChild<QWidget *>(QLatin1String(name)), name);
    QCOMPARE(c.locationFrame->title(), QStringLiteral("location: abc"));
    QVERIFY(c.enabledYes->isChecked());
    QCOMPARE(p.column(1), (QStringList{QStringLiteral("10.0.0.2"), QString()}));
    QCOMPARE(p.column(4), (QStringList{QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.3"),
                                       QStringLiteral("10.0.0.3")}));
    QCOMPARE(p.column(5), (QStringList{QStringLiteral("OFFLINE"), QStringLiteral("NOT CHECKED"),
                                       QStringLiteral("NOT CHECKED")}));
    QCOMPARE(c.totalCount->text() + c.ignoredCount->text() + c.monitoredCount->text(), QStringLiteral("523"));
    QCOMPARE(l.result(), QStringLiteral("Ready"));
    QVERIFY(l.address().isEmpty() && !c.pingIp->isEnabled());
    QVERIFY(c.pingAll->isVisible() && c.pingAll->isEnabled() && c.stopPing->isHidden());
    QCOMPARE(c.timeoutValue->text() + c.packetsValue->text(), QStringLiteral("20004"));

    // Its own SELECT SITE menu re-targets the window; the current location again reloads, menu kept.
    const int items = int(c.siteMenu->actions().size());
    QCOMPARE(items, 3);
    QAction *ab = nullptr;
    for (QAction *item : LocationItems(c.siteMenu))
        if (ListSiteCaption(item).trimmed() == QLatin1String("ab"))
            ab = item;
    QVERIFY(ab);
    ab->trigger();
    QCOMPARE(p.run.SelectedLocation, 2);
    QCOMPARE(c.locationFrame->title(), QStringLiteral("location: ab"));
    QCOMPARE(c.totalCount->text() + c.ignoredCount->text() + c.monitoredCount->text(), QStringLiteral("000"));
    ab->trigger();
    QCOMPARE(p.run.SelectedLocation, 2);
    QCOMPARE(c.siteMenu->actions().size(), items);
    // An item whose name no location carries any more is ignored.
    p.cfg.table[1].site = QStringLiteral("zzz");
    p.cfg.table[2].site = QStringLiteral("yyy");
    for (QAction *item : LocationItems(c.siteMenu))
        item->trigger();
    QCOMPARE(p.run.SelectedLocation, 2);
    QCOMPARE(p.list(), &l);
}

// A long IPv6 literal widens its column and the address label; a location of short ones has the
// window's own layout back.
void TestListView::longAddressesFit()
{
    const QString wide = QStringLiteral("2001:db8:1234:5678:9abc:def0:1234:5678%eth0");
    Rig p({Site("abc", "10.0.0.1"), Site("v6", "2001:db8::1," + wide.toLatin1())});
    ListView &l = p.open(1);
    const ListView::Controls &c = l.controls();
    const auto places = [&] { // of what the window lays out itself
        QList<QRect> out;
        for (QWidget *parent : {l.centralWidget(), static_cast<QWidget *>(c.locationFrame)})
            for (QWidget *w : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
                out << w->geometry();
        return out;
    };
    const QList<QRect> before = places();
    const QSize size = l.size();
    p.cfg.table[2].holdbad = QStringList{wide};
    for (QAction *item : LocationItems(c.siteMenu))
        if (ListSiteCaption(item).trimmed() == QLatin1String("v6"))
            item->trigger();
    QCOMPARE(p.column(4), QStringList{wide});
    for (int n : {1, 4}) {
        QListView *list = l.list(n);
        const int margin =
            list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1; // the item's text margin
        const int right = list->x() + list->viewport()->x() +
                          list->visualRect(list->model()->index(0, 0)).left() + margin +
                          list->fontMetrics().horizontalAdvance(wide);
        QVERIFY2(right < l.list(n + 1)->x(),
                 qPrintable(QStringLiteral("List%1 row cut at %2").arg(n).arg(right)));
        QCOMPARE(l.list(n + 1)->x() - (list->x() + list->width()),
                 l.list(2)->x() - (l.list(1)->x() + l.list(1)->width()));
    }
    SelectRow(l.list(4), 0);
    QCOMPARE(l.address(), wide);
    QVERIFY(c.addressLabel->width() >= c.addressLabel->fontMetrics().horizontalAdvance(wide));
    QVERIFY(c.addressLabel->x() + c.addressLabel->width() <= c.locationFrame->width());
    QVERIFY(c.locationFrame->x() + c.locationFrame->width() < l.list(1)->x());
    QVERIFY(c.ignoredCount->x() > c.ignoredCaption->x() &&
            c.saveNote->x() > c.noteBox->x() + c.noteBox->width());

    for (QAction *item : LocationItems(c.siteMenu))
        if (ListSiteCaption(item).trimmed() == QLatin1String("abc"))
            item->trigger();
    QCOMPARE(places(), before);
    QTRY_COMPARE(l.size(), size);
}

// No window or dialog cuts its own texts or gives one Alt+letter twice, at any scale the test runs under
// (QT_SCALE_FACTOR).
void TestListView::textsFitTheirControls()
{
    Rig p({Site("abc", "10.0.0.1,10.0.0.2", "10.0.0.2"), Site("def", "10.0.0.3")});
    QStringList clipped = ClippedTexts(p.view);
    p.c().addLocations->trigger();
    QTest::mousePress(p.view->canvas(), Qt::RightButton, {}, QPoint(100, 40));
    QVERIFY(p.view->placement().dialog());
    clipped += ClippedTexts(p.view->placement().dialog());
    p.view->placement().closeDialog();
    p.c().finishedButton->click();
    ListView &l = p.open(1);
    SelectRow(l.list(1), 0);
    clipped += ClippedTexts(&l);
    l.findChild<QAction *>(QStringLiteral("History"))->trigger();
    clipped += ClippedTexts(p.program->historyWindow(QStringLiteral("abc")));
    const SettingsMenu &m = l.controls().settings;
    int dialogs = 0;
    for (QAction *a : {m.alertSound, m.onlineSound, m.timeout, m.interval, m.packets, m.offlineCycles,
                       m.slowRoundTrip, m.slowLoss, m.notifications}) {
        a->trigger();
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (auto *d = qobject_cast<QDialog *>(top); d && d->isVisible()) {
                ++dialogs;
                clipped += ClippedTexts(d);
                d->reject();
            }
        }
    }
    l.setResult(ProbeStatusText(11003), Red); // the longest status word
    clipped += ClippedTexts(&l);
    QTest::mouseClick(l.controls().addIps, Qt::LeftButton);
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *d = qobject_cast<QDialog *>(top); d && d->isVisible())
            clipped += ClippedTexts(d), ++dialogs;
    QCOMPARE(dialogs, 10); // the nine of the Settings menu and the Add/Delete Address dialog
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
}

// What a screen reader is told of the controls whose meaning is in a caption beside them.
void TestListView::namesForScreenReaders_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::newRow("address list") << "List1"
                                  << "Address, addresses answering or not probed";
    QTest::newRow("role list of the second group") << "List6"
                                                   << "Monitored, addresses ignored or failing";
    QTest::newRow("a count") << "total"
                             << "Total Addresses: 2";
    QTest::newRow("another") << "ilabel"
                             << "Ignored: 1";
    QTest::newRow("the selected address") << "Address"
                                          << "Hostname/IP: 10.0.0.1";
    QTest::newRow("its status") << "Result"
                                << "Status: MONITORED";
    QTest::newRow("an option of the pair") << "ignoreyes"
                                           << "Ignore IP: yes";
    QTest::newRow("the note box, by its caption") << "addinfo"
                                                  << "Additional IP Info:";
    QTest::newRow("a button, by its text") << "Run_Ping"
                                           << "Ping IP";
}

void TestListView::namesForScreenReaders()
{
    QFETCH(QString, control);
    Rig p({Site("abc", "10.0.0.1,10.0.0.2", "10.0.0.2")});
    ListView &l = p.open(1);
    SelectRow(l.list(1), 0);
    auto *w = l.findChild<QWidget *>(control);
    QVERIFY(w);
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    QVERIFY(a);
    QTEST(a->text(QAccessible::Name), "name");
}

void TestListView::rowSelectionAndScroll()
{
    QByteArray many;
    for (int i = 1; i <= 40; ++i)
        many += (i > 1 ? "," : "") + QByteArray("10.1.0.") + QByteArray::number(i);
    Rig p({Site("abc", many + ",10.2.0.1,10.2.0.2,10.2.0.3", "10.2.0.3")});
    p.cfg.table[1].holdbad = QStringList{QStringLiteral("10.2.0.1"), QStringLiteral("10.2.0.2")};
    ListView &l = p.open(1);
    const ListView::Controls &c = l.controls();

    SelectRow(l.list(1), 4); // a first-group row first, so the switch to the second is seen
    QCOMPARE(l.FirstGroupSelected, 1);
    QCOMPARE(l.address(), QStringLiteral("10.1.0.5"));
    QVERIFY(c.pingIp->isEnabled());
    QVERIFY(c.ignoreNo->isChecked() && l.IgnoreClickGuard[ListView::First] == 0);

    const QRect row3 = l.list(5)->visualRect(RowIndex(l.list(5), 2));
    QTest::mouseClick(l.list(5)->viewport(), Qt::LeftButton, {}, row3.center());
    for (int n : {4, 5, 6})
        QCOMPARE(l.list(n)->currentIndex().row(), 2);
    for (int n : {1, 2, 3})
        QCOMPARE(SelectedRow(l.list(n)), -1);
    QCOMPARE(l.FirstGroupSelected, 0);
    QCOMPARE(l.SecondGroupSelected, 1);
    QCOMPARE(l.address(), QStringLiteral("10.2.0.3"));
    QCOMPARE(l.result(), QStringLiteral("IGNORED"));
    QCOMPARE(p.resultColour(), Red);
    QVERIFY(c.ignoreYes2->isChecked() && !c.ignoreNo2->isChecked());
    QCOMPARE(l.IgnoreClickGuard[ListView::Second], 0); // the code's own selection took the guard
    QCOMPARE(p.cfg.table[1].ignore, QStringLiteral("10.2.0.3"));

    l.list(2)->verticalScrollBar()->setValue(7);
    QCOMPARE(l.list(1)->verticalScrollBar()->value(), 7);
    QCOMPARE(l.list(3)->verticalScrollBar()->value(), 7);
    QCOMPARE(l.list(4)->verticalScrollBar()->value(), 0);
    QCOMPARE(l.FirstGroupSelected, 1);
}

void TestListView::closeResumesPausedCycle()
{
    Rig p({Site("one", "10.0.0.1"), Site("two", "10.0.0.2"), Site("tre", "10.0.0.3")});
    p.fake.manual = true;
    p.cfg.settings.PINGINFLIGHT = 1; // one address at a time: the test follows each echo
    QTest::mouseClick(p.c().startMonitor, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return p.fake.pending.size() == 1; }));
    ListView &l = p.open(1); // while the first location's echo is out
    QPointer<ListView> window = &l;
    p.fake.answerNext();
    QVERIFY(QTest::qWaitFor([&] { return !p.monitor().running(); }));
    QCOMPARE(p.run.ResumeIndex, 2); // paused at the next location boundary
    QCOMPARE(p.fake.echoes.size(), 1);

    l.close(); // the close box
    QVERIFY(p.view->isVisible());
    QCOMPARE(p.run.MonitorPaused, 0);
    QTRY_VERIFY(!window);
    p.program->clocks().resume->setInterval(1);
    QVERIFY(QTest::qWaitFor([&] { return p.fake.pending.size() == 1; }));
    QCOMPARE(p.fake.echoes.last(), QStringLiteral("10.0.0.2")); // resumed where it paused
    p.fake.manual = false;
    p.fake.answerNext();
    QVERIFY(p.cycleEnds());
    QCOMPARE(p.colour(3), Green);
}

void TestListView::pingAll_data()
{
    QTest::addColumn<QByteArray>("siteip");
    QTest::addColumn<QByteArray>("ignore");
    QTest::addColumn<int>("packets");
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");
    QTest::addColumn<QStringList>("holdbad");
    QTest::addColumn<QColor>("marker");
    QTest::addColumn<int>("echoes");
    const QString up = QStringLiteral("10.0.0.1"), down = QStringLiteral("10.0.0.2");
    QTest::newRow("one up, one down")
        << QByteArray("10.0.0.1,10.0.0.2") << QByteArray() << 4 << QStringList{up} << QStringList{down}
        << QStringList{down} << Red << 5;
    QTest::newRow("down with an ignored one")
        << QByteArray("10.0.0.2,10.0.0.9") << QByteArray("10.0.0.9") << 2 << QStringList{}
        << QStringList{down, QStringLiteral("10.0.0.9")} << QStringList{down} << DarkRed << 2;
    QTest::newRow("all ignored: nothing probed")
        << QByteArray("10.0.0.1,10.0.0.2") << QByteArray("10.0.0.2,10.0.0.1") << 4 << QStringList{}
        << QStringList{up, down} << QStringList{} << Cyan << 0;
    // The ignore line names it in another spelling: the same address.
    QTest::newRow("IPv6 ignored as written elsewhere")
        << QByteArray("2001:db8::1,2001:DB8:0::9") << QByteArray("2001:db8::9") << 1
        << QStringList{QStringLiteral("2001:db8::1")} << QStringList{QStringLiteral("2001:DB8:0::9")}
        << QStringList{} << Cyan << 1;
    QTest::newRow("blank element counted, not probed")
        << QByteArray("10.0.0.1, ,") << QByteArray() << 4 << QStringList{up} << QStringList{} << QStringList{}
        << Green << 1;
    QTest::newRow("PINGPACKETS 0: no echo, not answered")
        << QByteArray("10.0.0.1") << QByteArray() << 0 << QStringList{} << QStringList{up} << QStringList{up}
        << Red << 0;
}

void TestListView::pingAll()
{
    QFETCH(QByteArray, siteip);
    QFETCH(QByteArray, ignore);
    QFETCH(int, packets);
    Rig p({Site("abc", siteip, ignore), Site("oth", "10.9.9.9")});
    p.fake.script[QStringLiteral("10.0.0.2")] = {StatusTimedOut};
    p.cfg.settings.PINGPACKETS = qint16(packets);
    p.cfg.table[1].holdbad = QStringList{QStringLiteral("stale")};
    ListView &l = p.open(1);
    p.pingAll();
    QTEST(p.column(1), "first");
    QTEST(p.column(4), "second");
    QTEST(p.cfg.table[1].holdbad, "holdbad");
    QTEST(p.colour(1), "marker");
    QTEST(int(p.fake.echoes.size()), "echoes");
    QCOMPARE(p.colour(2), QColor(Qt::white)); // other locations untouched
    QVERIFY(p.boxes.shown.isEmpty());
    QCOMPARE(l.result(), QStringLiteral("Ready"));
    const bool offline = !p.cfg.table[1].holdbad.isEmpty();
    QCOMPARE(p.cfg.table[1].flash, offline ? QStringLiteral("1") : QStringLiteral("0"));
    QCOMPARE(p.run.AttentionShown, offline ? 1 : 0);
    if (packets == 0)
        QCOMPARE(RowText(p.list()->list(5), 0), QLatin1String(NotProbedText));
}

void TestListView::pingIp_data()
{
    QTest::addColumn<QByteArray>("ignore");
    QTest::addColumn<QByteArray>("disabled");
    QTest::addColumn<bool>("monitoring");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QList<ProbeStatus>>("answers");
    QTest::addColumn<QStringList>("second");   // List4 after the ping
    QTest::addColumn<QStringList>("statuses"); // List5
    QTest::addColumn<QString>("flash");
    QTest::addColumn<QColor>("marker");
    QTest::addColumn<int>("echoes");
    const QString a = QStringLiteral("10.0.0.1"), b = QStringLiteral("10.0.0.2");
    const QList<ProbeStatus> third{StatusTimedOut, StatusTimedOut, StatusReply};
    const QList<ProbeStatus> never{StatusTimedOut};
    QTest::newRow("answers on the third attempt")
        << QByteArray() << QByteArray("0") << true << a << third << QStringList{} << QStringList{}
        << QStringLiteral("0") << Green << 3;
    QTest::newRow("silent, monitoring not started: marker kept")
        << QByteArray() << QByteArray("0") << false << a << never << QStringList{a}
        << QStringList{QStringLiteral("OFFLINE")} << QStringLiteral("1") << QColor(Qt::white) << 4;
    QTest::newRow("silent, monitoring started")
        << QByteArray() << QByteArray("0") << true << a << never << QStringList{a}
        << QStringList{QStringLiteral("OFFLINE")} << QStringLiteral("1") << Red << 4;
    QTest::newRow("ignored address answers: row stays, marker kept")
        << QByteArray("10.0.0.2") << QByteArray("0") << true << b << QList<ProbeStatus>{StatusReply}
        << QStringList{b} << QStringList{QStringLiteral("ONLINE")} << QStringLiteral("0") << Cyan << 1;
    // A disabled location is never flagged, so it cannot hold the attention picture up.
    QTest::newRow("disabled location: lists only")
        << QByteArray() << QByteArray("1") << true << a << never << QStringList{a}
        << QStringList{QStringLiteral("OFFLINE")} << QStringLiteral("0") << QColor(Qt::black) << 4;
}

void TestListView::pingIp()
{
    QFETCH(QByteArray, ignore);
    QFETCH(QByteArray, disabled);
    QFETCH(bool, monitoring);
    QFETCH(QString, address);
    QFETCH(QList<ProbeStatus>, answers);
    QFETCH(QString, flash);
    Rig p({Site("abc", ignore.isEmpty() ? "10.0.0.1" : "10.0.0.1,10.0.0.2", ignore, disabled)});
    if (monitoring) { // one cycle, everything answering; monitoring stays on
        QTest::mouseClick(p.c().startMonitor, Qt::LeftButton);
        QVERIFY(p.cycleEnds());
        p.fake.echoes.clear();
    }
    p.fake.script[address] = answers;
    ListView &l = p.open(1);
    p.pingIp(address);
    QTEST(p.column(4), "second");
    QTEST(p.column(5), "statuses");
    QCOMPARE(p.cfg.table[1].flash, flash);
    QTEST(int(p.fake.echoes.size()), "echoes");
    const bool answered = answers.last() == StatusReply;
    QCOMPARE(l.result(), answered ? QStringLiteral("ONLINE") : QStringLiteral("OFFLINE"));
    QCOMPARE(p.resultColour(), answered ? Green : Red);
    QVERIFY(l.controls().pingIp->isEnabled());
    QTEST(p.colour(1), "marker");
}

void TestListView::pingIpResultStaysWithItsRow()
{
    Rig p({Site("abc", "10.0.0.1,10.0.0.2")});
    p.fake.manual = true;
    ListView &l = p.open(1);
    QCOMPARE(p.column(2), (QStringList{QLatin1String(NotProbedText), QLatin1String(NotProbedText)}));
    SelectRow(l.list(1), 0);
    QTest::mouseClick(l.controls().pingIp, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return p.fake.pending.size() == 1; }));
    SelectRow(l.list(1), 1); // another row while the echo is out
    p.fake.answerNext();
    QVERIFY(QTest::qWaitFor([&] { return p.pingsIdle(); }));
    QCOMPARE(l.address(), QStringLiteral("10.0.0.2"));
    QCOMPARE(l.result(), QLatin1String(RoleMonitored)); // its own caption, not the late answer
    QCOMPARE(p.column(2), (QStringList{QStringLiteral("ONLINE"), QLatin1String(NotProbedText)}));
}

void TestListView::stopPingAndCloseDuringRun()
{
    Rig p({Site("abc", "10.0.0.1,10.0.0.2"), Site("oth", "10.0.0.3")});
    p.fake.manual = true;
    p.cfg.settings.PINGINFLIGHT = 1; // one address at a time: the test follows each echo
    ListView &l = p.open(1);
    const ListView::Controls &c = l.controls();
    QTest::mouseClick(c.pingAll, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return p.fake.pending.size() == 1; }));
    QVERIFY(c.stopPing->isVisible() && c.pingAll->isHidden());
    // Nothing else changes the location meanwhile, nor a note: `Address` moves on under the box.
    QVERIFY(!c.pingIp->isEnabled() && !c.enabledFrame->isEnabled() && !c.saveNote->isEnabled() &&
            !c.noteBox->isEnabled());
    QTest::mouseClick(c.stopPing, Qt::LeftButton);
    QVERIFY(c.pingAll->isVisible() && c.stopPing->isHidden()); // at once
    p.fake.answerNext();
    QVERIFY(QTest::qWaitFor([&] { return p.fake.pending.size() == 1; }));
    p.fake.answerNext();
    QVERIFY(QTest::qWaitFor([&] { return !l.pings().pingAllRunning(); }));
    QCOMPARE(c.monitoredCount->text(), QStringLiteral("2")); // the run completed
    QCOMPARE(p.colour(1), Green);

    // Closed while an echo is out: the late answer writes nowhere.
    p.cfg.table[1].holdbad = QStringList{QStringLiteral("kept")};
    QTest::mouseClick(c.pingAll, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return p.fake.pending.size() == 1; }));
    QPointer<ListView> window = &l;
    QTest::mouseClick(c.mapView, Qt::LeftButton); // "Map View"
    QTRY_VERIFY(!window);
    QVERIFY(p.view->isVisible());
    p.fake.script[QStringLiteral("10.0.0.1")] = {StatusTimedOut};
    p.fake.answerNext();
    QTest::qWait(20);
    // A run that did not finish leaves the failing addresses known before it.
    QCOMPARE(p.cfg.table[1].holdbad, QStringList{QStringLiteral("kept")});
    QCOMPARE(p.cfg.table[2].holdbad, QStringList{});
}

void TestListView::startupFailureToldOnce()
{
    Rig p({Site("abc", "10.0.0.1")});
    p.fake.startupsThatWork = 0;
    ListView &l = p.open(1);
    p.pingIp(QStringLiteral("10.0.0.1"));
    QCOMPARE(p.boxes.shown, QStringList{QStringLiteral("No echo facility.")}); // four attempts, one box
    QCOMPARE(p.fake.failedStartups, 4);
    QCOMPARE(l.result(), QLatin1String(NotProbedText));
    QCOMPARE(p.column(4), QStringList{QStringLiteral("10.0.0.1")});
    // No address selected: the operator is told.
    l.setAddress(QString());
    l.pings().PingSelected();
    QCOMPARE(p.boxes.shown.last(), QStringLiteral("Please select an address to ping"));
}

QTEST_MAIN(TestListView)
#include "test_listview.moc"
