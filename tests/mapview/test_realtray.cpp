// The notification-area icon on a real X server: Xvfb with trayer as the tray host. The test starts
// both itself on a free display and skips with a message where they cannot be started.
#include "app/program.h"
#include "mapview/mapview.h"
#include "platform/qttray.h"
#include "tests/support/fakeprober.h"
#include "tests/support/fakes.h"
#include "tests/support/graphtext.h"
#include "tests/support/xsession.h"

#include <QApplication>
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
    QtTray tray;
    FakeSound sound;
    FakeMessageBoxes boxes;
    StartupNotice notice{boxes};
    FakeProber prober;
    Program program(dir.path(), DesktopServices{tray, sound, boxes, nullptr, prober, notice});
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

    // In the background: a right click does nothing, a left click brings the window back.
    view.RunInBackground();
    QVERIFY(!view.isVisible());
    QVERIFY(xdotool({QStringLiteral("mousemove"), x, y, QStringLiteral("click"), QStringLiteral("3")}));
    QTest::qWait(700);
    QVERIFY(!view.isVisible());
    QVERIFY(xdotool({QStringLiteral("mousemove"), x, y, QStringLiteral("click"), QStringLiteral("1")}));
    QTRY_VERIFY_WITH_TIMEOUT(view.isVisible(), 5000);
    QCOMPARE(program.run().MonitorPaused, 0);

    // The attention picture replaces the icon; the new one carries the attention tooltip.
    program.alerts().ShowAttention();
    QVERIFY(tray.icon());
    QCOMPARE(tray.icon()->toolTip(), QStringLiteral("QOR Online Status - ATTENTION"));
    QTRY_VERIFY_WITH_TIMEOUT(tray.icon()->geometry().x() > 0, 10000);

    view.Exit();
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
