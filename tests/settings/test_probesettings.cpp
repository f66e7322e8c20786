// The probe settings dialogs opened from the Settings menus of both windows: what Submit accepts and
// refuses, what it writes, the displays it refreshes, the single shared instances, and that the next
// probe uses the new values.
#include "settings/settingsdialogs.h"
#include "store/graphfile.h"
#include "tests/support/programrig.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

using namespace qos;
using namespace qos::test;

Q_DECLARE_METATYPE(qos::ProbeSetting)

namespace {

const QByteArray Silent = "10.213.2.3";

struct Rig : ProgramRig {
    explicit Rig(bool withFile = true)
    {
        GraphLocation l{"abc"};
        l.siteip = Silent;
        if (withFile)
            WriteGraph(folder(), {l});
        start();
    }
    QByteArray file() const { return ReadFile(GraphFilePath(folder())); }
    SettingsDialogs &dialogs() { return program->settingsDialogs(); }
    // The Settings menu entry of the Map View, or of the List View (opened first).
    ProbeSettingDialog *open(ProbeSetting which, bool fromList)
    {
        if (fromList && !list())
            QTest::mouseClick(view->marker(1), Qt::LeftButton);
        const SettingsMenu &m = fromList ? list()->controls().settings : c().settings;
        (which == ProbeSetting::Timeout    ? m.timeout
         : which == ProbeSetting::Interval ? m.interval
                                           : m.packets)
            ->trigger();
        return dialogs().dialog(which);
    }
    // Types text into the open dialog and presses "Submit".
    void submit(ProbeSettingDialog *d, const QString &text)
    {
        d->box()->setText(text);
        QTest::mouseClick(d->submitButton(), Qt::LeftButton);
    }
    // The values the two windows show: Map View timeout, interval, packets; List View timeout, packets.
    QStringList displays() const
    {
        QStringList shown{c().timeoutValue->text(), c().intervalValue->text(), c().packetsValue->text()};
        if (list())
            shown << list()->controls().timeoutValue->text() << list()->controls().packetsValue->text();
        return shown;
    }
};

qint16 ValueOf(const MainSettings &s, ProbeSetting which)
{
    return s.*InfoOf(which).field;
}

} // namespace

class TestProbeSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void submit_data()
    {
        QTest::addColumn<ProbeSetting>("which");
        QTest::addColumn<bool>("fromList");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message"); // empty: accepted
        QTest::addColumn<int>("stored");
        QTest::addColumn<QByteArray>("line");
        const auto T = ProbeSetting::Timeout, I = ProbeSetting::Interval, P = ProbeSetting::Packets;
        const QString blank = QLatin1String(BlankValueText), numeric = QLatin1String(NotNumericText);
        const QString timeout = QStringLiteral("Please enter a timeout of at least 1 millisecond");
        const QString packets = QStringLiteral("Please enter at least 1 ping packet");
        QTest::newRow("timeout 500") << T << false << QStringLiteral("500") << QString() << 500
                                     << QByteArray("PINGTIMEOUT=500");
        QTest::newRow("timeout 500 from the List View")
            << T << true << QStringLiteral("500") << QString() << 500 << QByteArray("PINGTIMEOUT=500");
        QTest::newRow("packets trimmed")
            << P << true << QStringLiteral(" 7 ") << QString() << 7 << QByteArray("PINGPACKETS=7");
        QTest::newRow("interval -5") << I << false << QStringLiteral("-5") << QString() << -5
                                     << QByteArray("PINGINTERVAL=-5");
        QTest::newRow("interval 0") << I << true << QStringLiteral("0") << QString() << 0
                                    << QByteArray("PINGINTERVAL=0");
        QTest::newRow("2.5 stored as 2, written as typed")
            << I << false << QStringLiteral("2.5") << QString() << 2 << QByteArray("PINGINTERVAL=2.5");
        QTest::newRow("exponent") << T << false << QStringLiteral("1e3") << QString() << 1000
                                  << QByteArray("PINGTIMEOUT=1e3");
        QTest::newRow("blank") << T << false << QString() << blank << 2000 << QByteArray();
        QTest::newRow("only spaces") << T << false << QStringLiteral("    ") << numeric << 2000
                                     << QByteArray();
        QTest::newRow("letters") << I << true << QStringLiteral("abc") << numeric << 3 << QByteArray();
        QTest::newRow("sign apart") << P << false << QStringLiteral("- 5") << numeric << 4 << QByteArray();
        QTest::newRow("beyond 16 bits")
            << T << false << QStringLiteral("9e9") << numeric << 2000 << QByteArray();
        QTest::newRow("timeout 15000 whole")
            << T << false << QStringLiteral("15000") << QString() << 15000 << QByteArray("PINGTIMEOUT=15000");
        QTest::newRow("interval -32768 whole")
            << I << true << QStringLiteral("-32768") << QString() << -32768 << QByteArray("PINGINTERVAL=-32768");
        QTest::newRow("40000 refused, not cut to 4000")
            << T << false << QStringLiteral("40000") << numeric << 2000 << QByteArray();
        QTest::newRow("timeout 0") << T << false << QStringLiteral("0") << timeout << 2000 << QByteArray();
        QTest::newRow("timeout -5") << T << true << QStringLiteral("-5") << timeout << 2000 << QByteArray();
        QTest::newRow("timeout 0.5 rounds to 0")
            << T << false << QStringLiteral("0.5") << timeout << 2000 << QByteArray();
        QTest::newRow("packets 0") << P << false << QStringLiteral("0") << packets << 4 << QByteArray();
        QTest::newRow("packets -5") << P << true << QStringLiteral("-5") << packets << 4 << QByteArray();
    }
    void submit()
    {
        QFETCH(ProbeSetting, which);
        QFETCH(bool, fromList);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(int, stored);
        QFETCH(QByteArray, line);
        Rig p;
        const QByteArray before = p.file();
        QPointer<ProbeSettingDialog> d = p.open(which, fromList);
        QVERIFY(d && d->isVisible());
        QCOMPARE(d->windowTitle(), QLatin1String(InfoOf(which).caption));
        QCOMPARE(d->findChild<QLabel *>(QStringLiteral("promptLabel"))->text(),
                 QLatin1String(InfoOf(which).label));
        QCOMPARE(d->box()->text(), QString::number(ValueOf(p.cfg.settings, which)));
        QCOMPARE(d->box()->maxLength(), 6);
        const QStringList shownBefore = p.displays();

        p.submit(d, typed);
        QCOMPARE(ValueOf(p.cfg.settings, which), qint16(stored));
        if (!message.isEmpty()) {
            QCOMPARE(p.boxes.shown, QStringList{message});
            QCOMPARE(d->box()->text(), QString::number(stored)); // the current value back
            QVERIFY(d->isVisible());
            QCOMPARE(p.file(), before);
            QCOMPARE(p.displays(), shownBefore);
            QCOMPARE(p.pleaseWait.begins, 0);
            return;
        }
        QVERIFY(p.boxes.shown.isEmpty());
        QTRY_VERIFY(!d);
        // Exactly the one line changed.
        const QByteArray key = KeyText(InfoOf(which).key).toByteArray();
        QList<QByteArray> expected = before.split('\n');
        for (QByteArray &l : expected)
            if (l.startsWith(key))
                l = line + '\r';
        QCOMPARE(p.file(), expected.join('\n'));
        QCOMPARE(p.pleaseWait.begins, 1);
        QVERIFY(!p.pleaseWait.showing());
        // Both windows show the new values (the List View shows no interval).
        QStringList shown = shownBefore;
        const int slot = int(which);
        shown[slot] = QString::number(stored);
        if (fromList && which != ProbeSetting::Interval)
            shown[which == ProbeSetting::Timeout ? 3 : 4] = QString::number(stored);
        QCOMPARE(p.displays(), shown);
        // Opened again, the box shows the value whole, and Submit without editing keeps it.
        QPointer<ProbeSettingDialog> again = p.open(which, fromList);
        QCOMPARE(again->box()->text(), QString::number(stored));
        QTest::mouseClick(again->submitButton(), Qt::LeftButton);
        QTRY_VERIFY(!again);
        QCOMPARE(ValueOf(p.cfg.settings, which), qint16(stored));
    }

    void oneSharedInstance()
    {
        Rig p;
        QPointer<ProbeSettingDialog> fromMap = p.open(ProbeSetting::Timeout, false);
        fromMap->box()->setText(QStringLiteral("77"));
        QPointer<ProbeSettingDialog> fromList = p.open(ProbeSetting::Timeout, true);
        QCOMPARE(fromList, fromMap);
        QCOMPARE(fromList->box()->text(), QStringLiteral("77")); // brought forward unchanged
        QTRY_COMPARE(QApplication::activeWindow(), fromList.data());
        int shown = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            shown += w->isVisible() && w->windowTitle() == QLatin1String("Set Ping Timeout") ? 1 : 0;
        QCOMPARE(shown, 1);
        // Another kind is another window, and both can be open.
        QPointer<ProbeSettingDialog> packets = p.open(ProbeSetting::Packets, false);
        QVERIFY(packets && packets != fromMap && fromMap->isVisible());

        // Closed without Submit: nothing changed, and the next opening starts afresh.
        fromMap->close();
        QTRY_VERIFY(!fromMap);
        QCOMPARE(p.cfg.settings.PINGTIMEOUT, qint16(2000));
        ProbeSettingDialog *again = p.open(ProbeSetting::Timeout, true);
        QCOMPARE(again->box()->text(), QStringLiteral("2000"));
    }

    void withoutGraphFile()
    {
        Rig p(false);
        p.cfg.settings.ALERTWAV = QStringLiteral("alarm.wav");
        p.cfg.settings.PINGTIMEOUT = 1234; // memory's numbers are not what a new file gets
        p.submit(p.open(ProbeSetting::Interval, false), QStringLiteral("5"));
        QCOMPARE(p.file(),
                 QByteArray("------------MAIN SETTINGS-----------\r\nPINGTIMEOUT=2000\r\n"
                            "PINGINTERVAL=5\r\nPINGPACKETS=4\r\nALERTWAV=alarm.wav\r\nONLINEWAV=\r\n"
                            "------------MAIN SETTINGS-----------\r\n"));
        QCOMPARE(p.cfg.settings.PINGINTERVAL, qint16(5));
    }

    void failedRewriteChangesNothing()
    {
        Rig p;
        const QByteArray before = p.file();
        QVERIFY(QDir(p.folder()).mkpath(QStringLiteral("graphtmp.txt/inside"))); // the twin cannot be made
        QPointer<ProbeSettingDialog> d = p.open(ProbeSetting::Timeout, true);
        const QStringList shown = p.displays();
        p.submit(d, QStringLiteral("500"));
        QCOMPARE(p.boxes.shown.size(), 1);
        QVERIFY2(p.boxes.shown[0].contains(QLatin1String("graphtmp.txt")), qPrintable(p.boxes.shown[0]));
        QCOMPARE(p.boxes.icons, QList<MessageBoxes::Icon>{MessageBoxes::Icon::Critical});
        QCOMPARE(p.cfg.settings.PINGTIMEOUT, qint16(2000));
        QCOMPARE(p.displays(), shown);
        QCOMPARE(p.file(), before);
        QVERIFY(d && d->isVisible());
    }

    void nextProbeUsesNewValues()
    {
        Rig p;
        p.fake.fallback = StatusTimedOut; // every echo goes unanswered
        p.submit(p.open(ProbeSetting::Timeout, false), QStringLiteral("300"));
        p.submit(p.open(ProbeSetting::Packets, true), QStringLiteral("2"));
        QTest::mouseClick(p.list()->controls().mapView, Qt::LeftButton); // back to the map
        QTest::mouseClick(p.c().startMonitor, Qt::LeftButton);           // "Start Monitor"
        QVERIFY(p.cycleEnds());
        QCOMPARE(p.fake.echoes, (QStringList{QString::fromLatin1(Silent), QString::fromLatin1(Silent)}));
        QCOMPARE(p.fake.timeouts, (QList<int>{300, 300}));

        // A new interval counts from the next tick of the clock.
        p.submit(p.open(ProbeSetting::Interval, false), QStringLiteral("1"));
        p.submit(p.open(ProbeSetting::Packets, false), QStringLiteral("1"));
        p.run.SecondsCounter = 59;
        p.monitor().IntervalClockTick();
        QVERIFY(p.cycleEnds());
        QCOMPARE(p.fake.echoes.size(), 3);
    }
};

QTEST_MAIN(TestProbeSettings)
#include "test_probesettings.moc"
