// Alerts: the tray icon's lifetime, the attention switch, tooltips, icons and sounds.
#include "alerts/alerts.h"
#include "tests/support/fakes.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace qos;
using namespace qos::test;

namespace {

struct Rig {
    QTemporaryDir dir;
    RunState run;
    MainSettings settings;
    FakeTray tray;
    FakeSound sound;
    FakeNotifier notifier;
    QIcon windowIcon;
    int windowIconChanges = 0;
    Alerts alerts{run,
                  settings,
                  tray,
                  sound,
                  dir.path(),
                  [this](const QIcon &icon) {
                      windowIcon = icon;
                      ++windowIconChanges;
                  },
                  &notifier};

    explicit Rig(bool withIcons = true)
    {
        settings.ICONTEXT = QStringLiteral("QOR Online Status");
        if (withIcons) {
            for (const char *name : {NormalIconFile, AttentionIconFile})
                QFile::copy(QStringLiteral(QOS_ASSETS_DIR "/") + QLatin1String(name),
                            dir.filePath(QLatin1String(name)));
        }
    }
    void start()
    {
        alerts.LoadNormalIcon();
        alerts.AddTrayIcon();
    }
};

// The dominant colour of the disc beside the sign: 'r' red, 'g' green, '?' otherwise.
char tint(const QIcon &icon)
{
    const QImage image = icon.pixmap(32, 32).toImage();
    const QColor c = image.pixelColor(image.width() * 3 / 4, image.height() * 3 / 4);
    if (c.red() > 150 && c.green() < 100)
        return 'r';
    if (c.green() > 100 && c.red() < 100)
        return 'g';
    return '?';
}

} // namespace

class TestAlerts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tooltips_data();
    void tooltips();
    void attentionSwitchesOnce();
    void pictures_data();
    void pictures();
    void noTrayIconOutsideItsLifetime();
    void sounds_data();
    void sounds();
    void noticeText_data();
    void noticeText();
    void oneNoticePerRun();
};

void TestAlerts::tooltips_data()
{
    QTest::addColumn<QString>("iconText");
    QTest::addColumn<QString>("normal");
    QTest::addColumn<QString>("attention");
    QTest::newRow("default") << QStringLiteral("QOR Online Status") << QStringLiteral("QOR Online Status")
                             << QStringLiteral("QOR Online Status - ATTENTION");
    const QString sixty = QStringLiteral("0123456789").repeated(6);
    QTest::newRow("60 characters") << sixty << sixty << sixty + QStringLiteral(" - ");
    const QString seventy = QStringLiteral("abcdefghij").repeated(7);
    QTest::newRow("70 characters") << seventy << seventy.left(63) << seventy.left(63);
    QTest::newRow("empty") << QString() << QString() << QStringLiteral(" - ATTENTION");
}

void TestAlerts::tooltips()
{
    QFETCH(QString, iconText);
    QFETCH(QString, normal);
    QFETCH(QString, attention);
    Rig r;
    r.settings.ICONTEXT = iconText;
    r.start();
    QCOMPARE(r.tray.tooltip, normal);
    r.alerts.ShowAttention();
    QCOMPARE(r.tray.tooltip, attention);
    QVERIFY(r.tray.tooltip.size() <= 63);
    r.alerts.ClearAttention();
    QCOMPARE(r.tray.tooltip, normal);
}

void TestAlerts::attentionSwitchesOnce()
{
    Rig r;
    r.start();
    QCOMPARE(r.tray.adds, 1);
    r.alerts.ClearAttention(); // not up: nothing happens
    QCOMPARE(r.tray.adds, 1);
    QCOMPARE(r.tray.removes, 0);

    // Two locations offline in one cycle: one switch, each done as remove + add.
    r.alerts.ShowAttention();
    r.alerts.ShowAttention();
    QCOMPARE(r.run.AttentionShown, 1);
    QCOMPARE(r.tray.removes, 1);
    QCOMPARE(r.tray.adds, 2);
    QVERIFY(r.tray.present);

    r.alerts.ClearAttention();
    r.alerts.ClearAttention();
    QCOMPARE(r.run.AttentionShown, 0);
    QCOMPARE(r.tray.removes, 2);
    QCOMPARE(r.tray.adds, 3);
    QCOMPARE(r.windowIconChanges, 3); // start-up, attention, normal
}

void TestAlerts::pictures_data()
{
    QTest::addColumn<QByteArray>("normalFile");    // contents written over swag.ico; empty = bundled copy
    QTest::addColumn<QByteArray>("attentionFile"); // "-" = file removed
    QTest::addColumn<QStringList>("unreadable");
    QTest::newRow("bundled") << QByteArray() << QByteArray() << QStringList();
    QTest::newRow("missing") << QByteArray("-") << QByteArray("-")
                             << QStringList{QStringLiteral("swag.ico"), QStringLiteral("swar.ico")};
    QTest::newRow("unreadable") << QByteArray() << QByteArray("garbage")
                                << QStringList{QStringLiteral("swar.ico")};
}

void TestAlerts::pictures()
{
    QFETCH(QByteArray, normalFile);
    QFETCH(QByteArray, attentionFile);
    QFETCH(QStringList, unreadable);
    Rig r;
    const QList<std::pair<const char *, QByteArray>> files = {{NormalIconFile, normalFile},
                                                              {AttentionIconFile, attentionFile}};
    for (const auto &[name, contents] : files) {
        const QString path = r.dir.filePath(QLatin1String(name));
        if (contents == "-") {
            QFile::remove(path);
        } else if (!contents.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(contents);
        }
    }
    QCOMPARE(r.alerts.unreadableIconFiles(), unreadable);

    // Whatever the folder holds, window and tray show the same, right picture.
    r.start();
    QCOMPARE(tint(r.windowIcon), 'g');
    QCOMPARE(r.tray.icon.cacheKey(), r.windowIcon.cacheKey());
    r.alerts.ShowAttention();
    QCOMPARE(tint(r.windowIcon), 'r');
    QCOMPARE(r.tray.icon.cacheKey(), r.windowIcon.cacheKey());
    r.alerts.ClearAttention();
    QCOMPARE(tint(r.tray.icon), 'g');
    QCOMPARE(r.tray.icon.cacheKey(), r.windowIcon.cacheKey());
}

void TestAlerts::noTrayIconOutsideItsLifetime()
{
    Rig r;
    r.alerts.LoadNormalIcon();
    r.alerts.ShowAttention(); // before AddTrayIcon: the window icon switches, no tray icon appears
    QCOMPARE(r.tray.adds, 0);
    QCOMPARE(tint(r.windowIcon), 'r');
    r.alerts.AddTrayIcon();
    QCOMPARE(tint(r.tray.icon), 'r'); // the icon shows the window's current picture
    r.alerts.RemoveTrayIcon();
    r.alerts.RemoveTrayIcon();
    QCOMPARE(r.tray.removes, 1);
    r.alerts.ClearAttention();
    QVERIFY(!r.tray.present);
    QCOMPARE(r.tray.adds, 1);
}

void TestAlerts::sounds_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<bool>("playable");
    QTest::addColumn<QString>("played"); // relative to the program folder
    QTest::addColumn<int>("beeps");
    QTest::newRow("none set") << QString() << true << QString() << 100;
    QTest::newRow("bare name") << QStringLiteral("alarm.wav") << true << QStringLiteral("alarm.wav") << 0;
    QTest::newRow("missing file") << QStringLiteral("gone.wav") << false << QStringLiteral("gone.wav") << 100;
}

void TestAlerts::sounds()
{
    QFETCH(QString, setting);
    QFETCH(bool, playable);
    QFETCH(QString, played);
    QFETCH(int, beeps);
    Rig r;
    const QString path = played.isEmpty() ? QString() : r.dir.filePath(played);
    if (!playable)
        r.sound.missing << path;
    const QStringList expectedPlays = played.isEmpty() ? QStringList() : QStringList{path};

    r.settings.ALERTWAV = setting;
    r.alerts.PlayAlertSound();
    QCOMPARE(r.sound.played, expectedPlays);
    QCOMPARE(r.sound.beeps, beeps);

    r.sound.played.clear();
    r.sound.beeps = 0;
    r.settings.ALERTWAV.clear();
    r.settings.ONLINEWAV = setting;
    r.alerts.PlayOnlineSound();
    QCOMPARE(r.sound.played, expectedPlays);
    QCOMPARE(r.sound.beeps, beeps);
}

// The notice of a run: "+" turned offline, "~" partly down, "-" back online, "s" slow (its figures
// after ":"), "n" no longer slow; failing addresses after ":"; "*N" after the name: N locations
// behind it turned unreachable.
void TestAlerts::noticeText_data()
{
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QStringList>("body");
    QTest::addColumn<bool>("urgent");
    QTest::newRow("one offline") << QStringList{QStringLiteral("+WAR:10.1.2.3,router-war")}
                                 << QStringLiteral("WAR offline")
                                 << QStringList{QStringLiteral("WAR offline: 10.1.2.3, router-war")} << true;
    QTest::newRow("one back") << QStringList{QStringLiteral("-ABC")} << QStringLiteral("ABC back online")
                              << QStringList{QStringLiteral("ABC back online")} << false;
    QTest::newRow("offline with no address named")
        << QStringList{QStringLiteral("+ABC:")} << QStringLiteral("ABC offline")
        << QStringList{QStringLiteral("ABC offline")} << true;
    QTest::newRow("several offline, in their order")
        << QStringList{QStringLiteral("+B:h1"), QStringLiteral("+A:h2"), QStringLiteral("+C:h3")}
        << QStringLiteral("3 locations offline")
        << QStringList{QStringLiteral("B offline: h1"), QStringLiteral("A offline: h2"),
                       QStringLiteral("C offline: h3")}
        << true;
    QTest::newRow("two back") << QStringList{QStringLiteral("-A"), QStringLiteral("-B")}
                              << QStringLiteral("2 locations back online")
                              << QStringList{QStringLiteral("A back online"), QStringLiteral("B back online")}
                              << false;
    QTest::newRow("mixed") << QStringList{QStringLiteral("-A"), QStringLiteral("+B:h"),
                                          QStringLiteral("+C:h")}
                           << QStringLiteral("2 locations offline, 1 back online")
                           << QStringList{QStringLiteral("A back online"), QStringLiteral("B offline: h"),
                                          QStringLiteral("C offline: h")}
                           << true;

    QTest::newRow("offline with locations behind it")
        << QStringList{QStringLiteral("+WAR*3:10.1.2.3")}
        << QStringLiteral("WAR offline (3 locations behind it unreachable)")
        << QStringList{QStringLiteral("WAR offline (3 locations behind it unreachable): 10.1.2.3")} << true;
    QTest::newRow("partly down alarms as offline")
        << QStringList{QStringLiteral("~VIE:h2")} << QStringLiteral("VIE partly down")
        << QStringList{QStringLiteral("VIE partly down: h2")} << true;
    QTest::newRow("every kind counted in its order")
        << QStringList{QStringLiteral("sA:f"), QStringLiteral("-B"), QStringLiteral("~C:h"),
                       QStringLiteral("+D:h"), QStringLiteral("nE")}
        << QStringLiteral("1 location offline, 1 partly down, 1 back online, 1 slow, 1 no longer slow")
        << QStringList{QStringLiteral("A slow: f"), QStringLiteral("B back online"),
                       QStringLiteral("C partly down: h"), QStringLiteral("D offline: h"),
                       QStringLiteral("E no longer slow")}
        << true;

    QStringList many, lines;
    for (int i = 1; i <= MaxNoticeLines + 5; ++i) {
        many << QStringLiteral("+S%1:").arg(i);
        if (i <= MaxNoticeLines)
            lines << QStringLiteral("S%1 offline").arg(i);
    }
    lines << QStringLiteral("... and 5 more");
    QTest::newRow("a power cut: lines bounded")
        << many << QStringLiteral("%1 locations offline").arg(MaxNoticeLines + 5) << lines << true;
    QStringList addresses;
    for (int i = 1; i <= MaxNoticeAddresses + 2; ++i)
        addresses << QStringLiteral("h%1").arg(i);
    QTest::newRow("addresses bounded")
        << QStringList{QStringLiteral("+X:") + addresses.join(QLatin1Char(','))}
        << QStringLiteral("X offline")
        << QStringList{QStringLiteral("X offline: ") +
                       addresses.mid(0, MaxNoticeAddresses).join(QStringLiteral(", ")) +
                       QStringLiteral(" and 2 more")}
        << true;
}

void TestAlerts::noticeText()
{
    QFETCH(QStringList, changes);
    QFETCH(QString, summary);
    QFETCH(QStringList, body);
    QFETCH(bool, urgent);
    using Kind = LocationChange::Kind;
    const QHash<QChar, Kind> kinds{{QLatin1Char('+'), Kind::Offline},
                                   {QLatin1Char('~'), Kind::PartlyDown},
                                   {QLatin1Char('-'), Kind::Back},
                                   {QLatin1Char('s'), Kind::Slow},
                                   {QLatin1Char('n'), Kind::NotSlow}};
    QList<LocationChange> list;
    for (const QString &c : changes) {
        const QString rest = c.mid(1);
        LocationChange change;
        change.kind = kinds.value(c.at(0));
        change.site = rest.section(QLatin1Char(':'), 0, 0).section(QLatin1Char('*'), 0, 0);
        change.behind = rest.section(QLatin1Char(':'), 0, 0).section(QLatin1Char('*'), 1).toInt();
        const QString after = rest.section(QLatin1Char(':'), 1);
        if (change.kind == Kind::Slow)
            change.figures = after;
        else
            change.failing = SplitAddressList(after);
        list.append(change);
    }
    const Notice n = ComposeNotice(list);
    QCOMPARE(n.summary, summary);
    QCOMPARE(n.body.split(QLatin1Char('\n')), body);
    QCOMPARE(n.urgent, urgent);
}

// What the cycle reports turned goes out as one notice when SendNotices comes, then is forgotten.
void TestAlerts::oneNoticePerRun()
{
    Rig r;
    LocationRecord war;
    war.site = QStringLiteral("WAR");
    war.holdbad = QStringList{QStringLiteral("10.1.2.3"), QStringLiteral("router-war")};
    LocationRecord abc;
    abc.site = QStringLiteral("ABC");
    abc.holdbad = QStringList{QStringLiteral("old")}; // not told for a location back online
    r.alerts.LocationTurned(war, Turn::Offline, {});
    r.alerts.LocationTurned(abc, Turn::Back, {});
    QVERIFY(r.notifier.notices.isEmpty()); // nothing before the run ends
    const QStringList warDown{QStringLiteral("WAR")};
    r.alerts.SendNotices(warDown);
    QCOMPARE(r.notifier.notices.size(), 1);
    QVERIFY(r.notifier.notices[0].acknowledge);
    QCOMPARE(r.notifier.notices[0].body,
             QStringLiteral("WAR offline: 10.1.2.3, router-war\nABC back online"));
    QCOMPARE(r.notifier.notices[0].iconPath, r.dir.filePath(QLatin1String(AttentionIconFile)));
    r.alerts.SendNotices(warDown); // a run without changes: no notice
    QCOMPARE(r.notifier.notices.size(), 1);

    r.alerts.LocationTurned(abc, Turn::Back, {});
    r.alerts.SendNotices(warDown);
    QCOMPARE(r.notifier.notices.size(), 2);
    QCOMPARE(r.notifier.replaced[1], NoticeId(0)); // the first still tells the truth
    QCOMPARE(r.notifier.notices[1].iconPath, r.dir.filePath(QLatin1String(NormalIconFile)));

    // Turned off: the run's changes are dropped, not kept for later.
    r.settings.NOTIFICATIONS = 0;
    r.alerts.LocationTurned(war, Turn::Offline, {});
    r.alerts.SendNotices(warDown);
    r.settings.NOTIFICATIONS = 1;
    r.alerts.SendNotices(warDown);
    QCOMPARE(r.notifier.notices.size(), 2);

    // Back online: its notice is replaced by the one that says so; one that named two offline
    // locations is replaced by a notice naming the one still offline, and withdrawn when that
    // one is gone too (deleted, or monitoring stopped).
    r.alerts.LocationTurned(war, Turn::Back, {});
    r.alerts.SendNotices({});
    QCOMPARE(r.notifier.notices.size(), 3);
    QCOMPARE(r.notifier.replaced[2], NoticeId(1));
    LocationRecord ber;
    ber.site = QStringLiteral("BER");
    r.alerts.LocationTurned(war, Turn::Offline, {});
    r.alerts.LocationTurned(ber, Turn::Offline, {});
    r.alerts.SendNotices({QStringLiteral("WAR"), QStringLiteral("BER")});
    r.alerts.LocationTurned(war, Turn::Back, {});
    r.alerts.SendNotices({QStringLiteral("BER")});
    QCOMPARE(r.notifier.notices.size(), 5);
    QCOMPARE(r.notifier.replaced[4], NoticeId(4));
    QCOMPARE(r.notifier.notices[4].body, QStringLiteral("WAR back online\nStill offline: BER"));
    QVERIFY(r.notifier.notices[4].urgent);
    r.alerts.FollowState({QStringLiteral("BER")});
    QVERIFY(r.notifier.withdrawn.isEmpty());
    r.alerts.FollowState({});
    QCOMPARE(r.notifier.withdrawn, QList<NoticeId>{5});

    Rig bare(false); // no pictures in the folder: no icon named
    bare.alerts.LocationTurned(war, Turn::Offline, {});
    bare.alerts.SendNotices(warDown);
    QCOMPARE(bare.notifier.notices.size(), 1);
    QVERIFY(bare.notifier.notices[0].iconPath.isEmpty());
}

QTEST_MAIN(TestAlerts)
#include "test_alerts.moc"
