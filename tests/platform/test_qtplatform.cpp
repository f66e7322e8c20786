// The twips helper and the Qt implementations of the desktop interfaces.
#include "platform/qtmessageboxes.h"
#include "platform/qtpleasewait.h"
#include "platform/qtsound.h"
#include "platform/qttray.h"
#include "platform/twips.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace qos;

class TestQtPlatform : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void twips_data();
    void twips();
    void trayReportsLeftClicksOnly_data();
    void trayReportsLeftClicksOnly();
    void wavCheck_data();
    void wavCheck();
    void messageBoxReturnsAtOnce();
    void pleaseWaitNests();
};

void TestQtPlatform::twips_data()
{
    QTest::addColumn<double>("dpi");
    QTest::addColumn<QRectF>("twips");
    QTest::addColumn<QRect>("pixels");
    QTest::newRow("96 dpi") << 96.0 << QRectF(6840, 7440, 1335, 375) << QRect(456, 496, 89, 25);
    QTest::newRow("halves to even") << 96.0 << QRectF(22.5, 37.5, 7.5, 52.5) << QRect(2, 2, 0, 4);
    QTest::newRow("120 dpi") << 120.0 << QRectF(9585, 8145, 0, 0) << QRect(799, 679, 0, 0);
}

void TestQtPlatform::twips()
{
    QFETCH(double, dpi);
    QFETCH(QRectF, twips);
    QFETCH(QRect, pixels);
    const TwipsScale scale = TwipsScale::fromDpi(dpi, dpi);
    QCOMPARE(scale.toPixels(twips), pixels);
    QCOMPARE(scale.toTwips(QPointF(pixels.topLeft())),
             QPointF(pixels.x() * 1440 / dpi, pixels.y() * 1440 / dpi));
    QCOMPARE(TwipsScale::forWidget(nullptr).perPixelY(), 15.0); // the offscreen screen: 96 DPI
}

void TestQtPlatform::trayReportsLeftClicksOnly_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("reports");
    QTest::newRow("left click") << int(QSystemTrayIcon::Trigger) << 1;
    QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << 1;
    QTest::newRow("right click") << int(QSystemTrayIcon::Context) << 0;
    QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick) << 0;
}

void TestQtPlatform::trayReportsLeftClicksOnly()
{
    QFETCH(int, reason);
    QFETCH(int, reports);
    QtTray tray;
    QSignalSpy activated(&tray, &Tray::activated);
    QVERIFY(!tray.icon());
    tray.add(QIcon(), QStringLiteral("tip"));
    QVERIFY(tray.icon());
    QCOMPARE(tray.icon()->toolTip(), QStringLiteral("tip"));
    Q_EMIT tray.icon()->activated(QSystemTrayIcon::ActivationReason(reason));
    QCOMPARE(activated.size(), reports);
    tray.remove();
    QVERIFY(!tray.icon());
}

void TestQtPlatform::wavCheck_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("wav");
    QTest::newRow("wav header") << QByteArray("RIFF\x24\x00\x00\x00WAVEfmt ", 16) << true;
    QTest::newRow("other riff") << QByteArray("RIFF\x24\x00\x00\x00AVI LIST", 16) << false;
    QTest::newRow("short") << QByteArray("RIFF") << false;
    QTest::newRow("missing") << QByteArray() << false;
}

void TestQtPlatform::wavCheck()
{
    QFETCH(QByteArray, contents);
    QFETCH(bool, wav);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.wav"));
    if (!contents.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(contents);
    }
    QCOMPARE(QtSound::looksLikeWav(path), wav);
    if (!wav) {
        QtSound sound;
        QVERIFY(!sound.play(path));
    }
}

void TestQtPlatform::messageBoxReturnsAtOnce()
{
    QtMessageBoxes boxes;
    int done = 0;
    boxes.show(QStringLiteral("Site name already in use."), MessageBoxes::Icon::Exclamation, [&] { ++done; });
    QCOMPARE(done, 0); // no nested event loop: the call returned with the box open
    QMessageBox *box = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        box = box ? box : qobject_cast<QMessageBox *>(w);
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), QStringLiteral("QOR Online Status"));
    QCOMPARE(box->text(), QStringLiteral("Site name already in use."));
    QVERIFY(!box->testAttribute(Qt::WA_QuitOnClose));
    box->button(QMessageBox::Ok)->click();
    QCOMPARE(done, 1);

    bool answer = false;
    boxes.ask(QStringLiteral("Delete?"), [&](bool yes) {
        answer = yes;
        ++done;
    });
    QMessageBox *question = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *candidate = qobject_cast<QMessageBox *>(w);
        if (candidate && candidate->isVisible() && candidate->text() == QLatin1String("Delete?"))
            question = candidate;
    }
    QVERIFY(question);
    question->button(QMessageBox::Yes)->click();
    QCOMPARE(done, 2);
    QVERIFY(answer);
}

void TestQtPlatform::pleaseWaitNests()
{
    QtPleaseWait wait;
    QVERIFY(!wait.window()->isVisible());
    wait.begin();
    wait.begin();
    QVERIFY(wait.window()->isVisible());
    wait.end();
    QVERIFY(wait.window()->isVisible());
    wait.end();
    QVERIFY(!wait.window()->isVisible());
    wait.end(); // unbalanced: ignored
    QVERIFY(!wait.window()->isVisible());
}

QTEST_MAIN(TestQtPlatform)
#include "test_qtplatform.moc"
