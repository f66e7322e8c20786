// The twips helper and the Qt implementations of the desktop interfaces.
#include "platform/contrast.h"
#include "platform/qtmessageboxes.h"
#include "platform/qtpleasewait.h"
#include "platform/qtsound.h"
#include "platform/qttray.h"
#include "platform/twips.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace qos;

namespace {

// A click delivered the way the window system delivers it: to the button's top-level window, so
// that the application's modality check sees it (QTest::mouseClick on the widget would bypass it).
void ClickThroughWindow(QAbstractButton *button)
{
    QWidget *top = button->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, button->mapTo(top, button->rect().center()));
}

// Two windows of the program, a main window and a modeless dialog, each with a button that counts
// its clicks.
struct ProgramWindows {
    QMainWindow main;
    QDialog other;
    QPushButton *finished = new QPushButton(QStringLiteral("Finished"), &main);
    QPushButton *submit = new QPushButton(QStringLiteral("Submit"), &other);
    int clicks = 0;

    ProgramWindows()
    {
        main.setCentralWidget(finished);
        other.resize(200, 100);
        QObject::connect(finished, &QPushButton::clicked, &main, [this] { ++clicks; });
        QObject::connect(submit, &QPushButton::clicked, &other, [this] { ++clicks; });
        main.show();
        other.show();
    }
    void clickBoth()
    {
        ClickThroughWindow(finished);
        ClickThroughWindow(submit);
    }
};

} // namespace

class TestQtPlatform : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void twips_data();
    void twips();
    void readableColours_data();
    void readableColours();
    void trayReportsLeftClicksOnly_data();
    void trayReportsLeftClicksOnly();
    void wavCheck_data();
    void wavCheck();
    void messageBoxReturnsAtOnce();
    void messageBoxBlocksEveryWindow_data();
    void messageBoxBlocksEveryWindow();
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
    QTest::newRow("huge clamps") << 96.0 << QRectF(1e12, 1e12, 1e12, 1335)
                                 << QRect(MaxPixels, MaxPixels, MaxPixels, 89);
    QTest::newRow("huge negative clamps")
        << 96.0 << QRectF(-1e12, -3e300, 1335, -1e12) << QRect(-MaxPixels, -MaxPixels, 89, -MaxPixels);
    QTest::newRow("just inside the clamp")
        << 96.0 << QRectF(15.0 * MaxPixels, -15.0 * MaxPixels, 0, 0) << QRect(MaxPixels, -MaxPixels, 0, 0);
    QTest::newRow("not a number") << 96.0 << QRectF(qQNaN(), qInf(), -qInf(), 375)
                                  << QRect(0, MaxPixels, -MaxPixels, 25);
}

void TestQtPlatform::twips()
{
    QFETCH(double, dpi);
    QFETCH(QRectF, twips);
    QFETCH(QRect, pixels);
    const TwipsScale scale = TwipsScale::fromDpi(dpi, dpi);
    QCOMPARE(scale.toPixels(twips), pixels);
    QCOMPARE(scale.toTwips(QPointF(pixels.topLeft())),
             QPointF(pixels.x() * 1440.0 / dpi, pixels.y() * 1440.0 / dpi));
    QCOMPARE(TwipsScale::forWidget(nullptr).perPixelY(), 15.0); // the offscreen screen: 96 DPI
}

void TestQtPlatform::readableColours_data()
{
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<bool>("kept");
    QTest::newRow("bright green on grey") << QColor(0, 255, 0) << QColor(239, 239, 239) << false;
    QTest::newRow("red on navy") << QColor(255, 0, 0) << QColor(20, 38, 66) << false;
    QTest::newRow("dark red on black") << QColor(192, 0, 0) << QColor(Qt::black) << false;
    QTest::newRow("mid grey on mid grey") << QColor(119, 119, 119) << QColor(118, 118, 118) << false;
    QTest::newRow("white on navy") << QColor(Qt::white) << QColor(20, 38, 66) << true;
}

// A readable colour reaches 4.5:1 with the hue it had, and a colour that already does is kept.
void TestQtPlatform::readableColours()
{
    QFETCH(QColor, text);
    QFETCH(QColor, background);
    QFETCH(bool, kept);
    QCOMPARE(ContrastRatio(text, background) >= kTextContrast, kept);
    const QColor readable = ReadableColour(text, background);
    QVERIFY2(ContrastRatio(readable, background) >= kTextContrast, qPrintable(readable.name()));
    QVERIFY(ContrastRatio(readable, background) <
            kTextContrast + (kept ? 100 : 0.1)); // no further than needed
    if (kept)
        QCOMPARE(readable, text);
    else if (text.hslSaturation() > 0)
        QVERIFY(qAbs(readable.hslHue() - text.hslHue()) <= 1);
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

void TestQtPlatform::messageBoxBlocksEveryWindow_data()
{
    QTest::addColumn<bool>("question");
    QTest::addColumn<QString>("answer"); // "Ok", "Yes", "No" (the button clicked), "escape" or "close"
    QTest::addColumn<QList<int>>("answers");
    QTest::newRow("OK box, OK") << false << QStringLiteral("Ok") << QList<int>{1};
    QTest::newRow("OK box, Escape") << false << QStringLiteral("escape") << QList<int>{1};
    QTest::newRow("question, Yes") << true << QStringLiteral("Yes") << QList<int>{1};
    QTest::newRow("question, No") << true << QStringLiteral("No") << QList<int>{0};
    QTest::newRow("question, Escape") << true << QStringLiteral("escape") << QList<int>{0};
    QTest::newRow("question, closed") << true << QStringLiteral("close") << QList<int>{0};
}

void TestQtPlatform::messageBoxBlocksEveryWindow()
{
    QFETCH(bool, question);
    QFETCH(QString, answer);
    QFETCH(QList<int>, answers);
    ProgramWindows windows;
    QVERIFY(QTest::qWaitForWindowExposed(&windows.main));
    QVERIFY(QTest::qWaitForWindowExposed(&windows.other));
    windows.clickBoth();
    QCOMPARE(windows.clicks, 2); // the clicks reach the buttons while no box is up

    QtMessageBoxes boxes;
    QList<int> got;
    if (question)
        boxes.ask(QStringLiteral("Delete?"), [&](bool yes) { got << int(yes); });
    else
        boxes.show(QStringLiteral("Right Click Point To Apply Location"), MessageBoxes::Icon::Information,
                   [&] { got << 1; });
    QPointer<QMessageBox> box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    QVERIFY(box);
    QCOMPARE(box->windowModality(), Qt::ApplicationModal);
    QCOMPARE(box->windowTitle(), QStringLiteral("QOR Online Status"));
    QVERIFY(QTest::qWaitForWindowExposed(box.data()));
    windows.clickBoth();
    QCOMPARE(windows.clicks, 2); // swallowed while the box is up
    QVERIFY(got.isEmpty());

    if (answer == QLatin1String("escape")) {
        QTest::keyClick(box.data(), Qt::Key_Escape);
    } else if (answer == QLatin1String("close")) {
        box->close();
    } else {
        const QMessageBox::StandardButton which = answer == QLatin1String("Yes")  ? QMessageBox::Yes
                                                  : answer == QLatin1String("No") ? QMessageBox::No
                                                                                  : QMessageBox::Ok;
        QAbstractButton *button = box->button(which);
        QVERIFY(button);
        ClickThroughWindow(button); // the box itself takes input
    }
    QTRY_COMPARE(got, answers); // answered once, with the answer given
    QVERIFY(!QApplication::activeModalWidget());
    QTRY_VERIFY(box.isNull()); // deleted once answered
    windows.clickBoth();
    QCOMPARE(windows.clicks, 4);
    QCOMPARE(got, answers);
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
