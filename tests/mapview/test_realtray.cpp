// The notification-area icon on a real X server: Xvfb with trayer as the tray host. The test starts
// both itself on a free display and skips with a message where they cannot be started.
#include "app/program.h"
#include "mapview/mapview.h"
#include "platform/qttray.h"
#include "tests/support/fakeprober.h"
#include "tests/support/fakes.h"
#include "tests/support/graphtext.h"
#include "tests/support/xsession.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

using namespace qos;
using namespace qos::test;

namespace {

bool xdotool(const QStringList &args)
{
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

// A right click on the icon at (x, y), then a left click on the entry named name of the menu it opens.
bool chooseFromMenu(QtTray &tray, const QString &x, const QString &y, const char *name)
{
    if (!xdotool({QStringLiteral("mousemove"), x, y, QStringLiteral("click"), QStringLiteral("3")}))
        return false;
    QMenu *menu = tray.menu();
    if (!QTest::qWaitFor([menu] { return menu->isVisible(); }, 5000))
        return false;
    QAction *entry = menu->findChild<QAction *>(QLatin1String(name));
    if (!entry || !entry->isVisible() || !entry->isEnabled())
        return false;
    const QPoint at = menu->mapToGlobal(menu->actionGeometry(entry).center());
    return xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                    QStringLiteral("click"), QStringLiteral("1")}) &&
           QTest::qWaitFor([menu] { return !menu->isVisible(); }, 5000);
}

} // namespace

class TestRealTray : public QObject {
    Q_OBJECT
public:
    explicit TestRealTray(QString skipReason)
        : m_skip(std::move(skipReason))
    {}

private Q_SLOTS:
    void iconTooltipAndClickRestore();

private:
    QString m_skip;
};

void TestRealTray::iconTooltipAndClickRestore()
{
    if (!m_skip.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no X server with a tray: ") + m_skip));
    QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable(), 10000);

    QTemporaryDir dir;
    QVERIFY(CopyAssets(QStringLiteral(QOS_ASSETS_DIR), dir.path()));
    QVERIFY(WriteGraph(dir.path(), {Site("war", "10.213.9.1")}, "PINGPACKETS=1\r\n"));
    QtTray tray;
    FakeSound sound;
    FakeMessageBoxes boxes;
    StartupNotice notice{boxes};
    FakeProber prober;
    prober.script[QStringLiteral("10.213.9.1")] = {StatusTimedOut, StatusTimedOut, StatusReply};
    Program program(dir.path(), DesktopServices{tray, sound, boxes, nullptr, prober, notice});
    int quits = 0;
    connect(&program, &Program::quitRequested, this, [&quits] { ++quits; });
    program.startUp();
    MapView &view = program.mapView();

    QVERIFY(tray.icon());
    QCOMPARE(tray.icon()->toolTip(), QStringLiteral("QOR Online Status"));
    // Until trayer has embedded it the icon reports the origin; trayer sits at the top right.
    QTRY_VERIFY_WITH_TIMEOUT(tray.icon()->geometry().x() > 0, 10000);
    QTest::qWait(200);
    const QPoint centre = tray.icon()->geometry().center();
    const QString x = QString::number(centre.x());
    const QString y = QString::number(centre.y());

    // Hovering shows the tooltip.
    for (int step = 3; step >= 0; --step) {
        QVERIFY(xdotool(
            {QStringLiteral("mousemove"), QString::number(centre.x() - step), QString::number(centre.y())}));
        QTest::qWait(100);
    }
    QTRY_VERIFY_WITH_TIMEOUT(QToolTip::isVisible(), 5000);
    QCOMPARE(QToolTip::text(), QStringLiteral("QOR Online Status"));

    // In the background: a left click brings the window back, and so does the menu's "Map View".
    view.RunInBackground();
    QVERIFY(!view.isVisible());
    QVERIFY(xdotool({QStringLiteral("mousemove"), x, y, QStringLiteral("click"), QStringLiteral("1")}));
    QTRY_VERIFY_WITH_TIMEOUT(view.isVisible(), 5000);
    QCOMPARE(program.run().MonitorPaused, 0);
    view.RunInBackground();
    QVERIFY(chooseFromMenu(tray, x, y, "trayMapView"));
    QTRY_VERIFY_WITH_TIMEOUT(view.isVisible(), 5000);

    // "Start Monitor" in the menu starts monitoring as the button does; the menu then offers "Stop
    // Monitor". The location found offline: the attention picture replaces the icon, and its tooltip
    // names the location below its first line.
    QVERIFY(chooseFromMenu(tray, x, y, "trayStartMonitor"));
    QTRY_VERIFY(program.monitor().monitoring());
    QTRY_COMPARE(program.config().table[1].center, Indicator::Red);
    QVERIFY(tray.icon());
    const QStringList tip = tray.icon()->toolTip().split(QLatin1Char('\n'));
    QCOMPARE(tip.size(), 2);
    QCOMPARE(tip[0], QStringLiteral("QOR Online Status - ATTENTION"));
    QVERIFY2(tip[1].startsWith(QLatin1String("war offline since ")), qPrintable(tip[1]));
    QTRY_VERIFY_WITH_TIMEOUT(tray.icon()->geometry().x() > 0, 10000);
    QTest::qWait(200);

    // "Acknowledge" lowers the attention picture; the line stays while the location is offline.
    QVERIFY(chooseFromMenu(tray, x, y, "trayAcknowledge"));
    QTRY_COMPARE(program.run().AttentionShown, qint16(0));
    QTRY_VERIFY(tray.icon() &&
                tray.icon()->toolTip().startsWith(QLatin1String("QOR Online Status\nwar offline")));
    QVERIFY(!tray.menu()->findChild<QAction *>(QStringLiteral("trayAcknowledge"))->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(tray.icon()->geometry().x() > 0, 10000);
    QTest::qWait(200);

    QVERIFY(chooseFromMenu(tray, x, y, "trayStopMonitor"));
    QTRY_VERIFY(!program.monitor().monitoring());
    QVERIFY(chooseFromMenu(tray, x, y, "trayExit")); // as EXIT
    QTRY_COMPARE(quits, 1);
    QVERIFY(!tray.icon());
}

int main(int argc, char **argv)
{
    XSession session(XSession::Tray::Trayer, {QStringLiteral("xdotool")});
    qputenv("QT_QPA_PLATFORM", session.ok ? "xcb" : "offscreen");
    QApplication app(argc, argv);
    TestRealTray test(session.ok ? QString() : session.reason);
    return QTest::qExec(&test, argc, argv);
}

#include "test_realtray.moc"
