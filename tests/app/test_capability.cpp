// The program itself on a real X server (an Xvfb the test starts), run from a copy that carries
// cap_net_raw by an ordinary user, and by root: once its window is up no thread of it holds a
// capability, and "Start Monitor" still turns a 127.0.0.1 location green.
#include "tests/support/xsession.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

using qos::test::ToolOutput;
using qos::test::XSession;

namespace {

const QString kTitle = QStringLiteral("QOR Online Status - Map View");
// Map View layout in twips at 96 DPI (15 twips a pixel), the window's client area below its menu
// bar: the "Start Monitor" and "EXIT" buttons, and the indicator of a location at SITELEFT/SITETOP
// (it sits 200 twips left of the marker, 255 x 135 twips).
constexpr double kTwipsPerPixel = 15;
constexpr double kClientHeight = 8145;
const QRectF kStartButton(6840, 7440, 1335, 375);
const QRectF kExitButton(8640, 7440, 855, 375);
constexpr int kSiteLeft = 2915, kSiteTop = 3113;
const QRectF kIndicator(kSiteLeft - 200, kSiteTop, 255, 135);

const QByteArray kGraph = "------------MAIN SETTINGS-----------\nPINGTIMEOUT=2000\nPINGINTERVAL=3\n"
                          "PINGPACKETS=4\nALERTWAV=\nONLINEWAV=\n------------MAIN SETTINGS-----------\n"
                          "------------LOCATION BEGIN-----------\nSITEID=LON\nIGNORE=\nSITEIP=127.0.0.1\n"
                          "DISABLED=0\nSITELEFT=" +
                          QByteArray::number(kSiteLeft) + "\nSITETOP=" + QByteArray::number(kSiteTop) +
                          "\n------------LOCATION END-----------\n";

QPoint pixels(const QPointF &twips, int menuHeight)
{
    return {int(twips.x() / kTwipsPerPixel), int(twips.y() / kTwipsPerPixel) + menuHeight};
}

bool click(const QString &window, QPoint at)
{
    return QProcess::execute(QStringLiteral("xdotool"),
                             {QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                              QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
                              QStringLiteral("1")}) == 0;
}

// Capability sets (CapInh, CapPrm, CapEff, CapAmb, CapBnd) of every thread of a process.
QList<QMap<QByteArray, quint64>> threadCapabilities(qint64 pid)
{
    QList<QMap<QByteArray, quint64>> threads;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks.filePath(task + QStringLiteral("/status")));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        QMap<QByteArray, quint64> sets;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("Cap"))
                sets.insert(line.left(6), line.mid(7).trimmed().toULongLong(nullptr, 16));
        }
        threads << sets;
    }
    return threads;
}

} // namespace

class TestCapability : public QObject {
    Q_OBJECT
    std::unique_ptr<XSession> m_x;
    QString m_display;

    // "r,g,b" of one pixel of the window.
    QString pixel(const QString &window, QPoint at, const QString &folder)
    {
        const QString shot = folder + QStringLiteral("/shot.png");
        if (ToolOutput(QStringLiteral("import"), {QStringLiteral("-window"), window, shot}).isNull() &&
            !QFile::exists(shot))
            return {};
        const QByteArray text =
            ToolOutput(QStringLiteral("convert"),
                       {shot, QStringLiteral("-crop"), QStringLiteral("1x1+%1+%2").arg(at.x()).arg(at.y()),
                        QStringLiteral("txt:-")});
        QFile::remove(shot);
        const int open = text.lastIndexOf("("), close = text.indexOf(")", open);
        return open < 0 || close < 0 ? QString() : QString::fromLatin1(text.mid(open + 1, close - open - 1));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to put cap_net_raw on a copy of the program and to run it as another user");
        for (const char *tool : {"Xvfb", "xdotool", "setcap", "setpriv", "import", "convert"}) {
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/install-deps.sh installs it)")
                                     .arg(QLatin1String(tool))));
        }
        struct statvfs mount {};
        if (::statvfs("/tmp", &mount) != 0 || (mount.f_flag & ST_NOSUID))
            QSKIP("/tmp is mounted nosuid: file capabilities of a copy there would not apply");
        m_x = std::make_unique<XSession>(XSession::Tray::None);
        if (m_x->display.isEmpty())
            QSKIP("Xvfb could not be started");
        qputenv("DISPLAY", m_x->display.toLatin1());
    }
    void cleanupTestCase() { m_x.reset(); }

    void noCapabilityOnceTheWindowIsUp_data()
    {
        QTest::addColumn<bool>("asNobody");
        QTest::addColumn<bool>("boundingCleared");
        QTest::newRow("user 65534, cap_net_raw on the copy") << true << false;
        QTest::newRow("root") << false << true;
    }
    void noCapabilityOnceTheWindowIsUp()
    {
        QFETCH(bool, asNobody);
        QFETCH(bool, boundingCleared);
        QTemporaryDir folder(QStringLiteral("/tmp/qos-capability-XXXXXX"));
        QVERIFY(folder.isValid());
        const QString exe = folder.filePath(QStringLiteral("qor-online-status"));
        QVERIFY(QFile::copy(QStringLiteral(QOS_PROGRAM), exe));
        for (const char *picture : {"map.gif", "swag.ico", "swar.ico"})
            QVERIFY(QFile::copy(QStringLiteral(QOS_ASSETS_DIR "/") + QLatin1String(picture),
                                folder.filePath(QLatin1String(picture))));
        QFile graph(folder.filePath(QStringLiteral("graph.txt")));
        QVERIFY(graph.open(QIODevice::WriteOnly) && graph.write(kGraph) == kGraph.size());
        graph.close();
        // The program keeps its configuration in its folder: the user it runs as owns that.
        const QByteArray path = QFile::encodeName(folder.path());
        QVERIFY(::chmod(path.constData(), 0755) == 0 &&
                ::chmod(QFile::encodeName(exe).constData(), 0755) == 0);
        if (asNobody) {
            QVERIFY(::chown(path.constData(), 65534, 65534) == 0);
            QVERIFY(::chown(QFile::encodeName(graph.fileName()).constData(), 65534, 65534) == 0);
            QVERIFY(QProcess::execute(QStringLiteral("setcap"), {QStringLiteral("cap_net_raw+ep"), exe}) ==
                    0);
        }

        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        // LeakSanitizer cannot inspect a process that gained capabilities from its file.
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(folder.path());
        program.setProcessChannelMode(QProcess::MergedChannels);
        if (asNobody)
            program.start(QStringLiteral("setpriv"),
                          {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                           QStringLiteral("--clear-groups"), exe});
        else
            program.start(exe);
        QVERIFY(program.waitForStarted(5000));
        const auto stop = qScopeGuard([&] {
            program.kill();
            program.waitForFinished(5000);
        });
        const QString window = XSession::waitForWindow(kTitle, program);
        QVERIFY2(!window.isEmpty(), program.readAll().constData());

        const auto threads = threadCapabilities(program.processId());
        QVERIFY(!threads.isEmpty());
        for (const auto &sets : threads) {
            for (const char *set : {"CapInh", "CapPrm", "CapEff", "CapAmb"})
                QCOMPARE(sets.value(set, ~0ULL), 0ULL);
            QCOMPARE(sets.value("CapBnd", ~0ULL) == 0, boundingCleared);
        }

        // The window's height less the client area's is the menu bar's.
        const QByteArray geometry =
            ToolOutput(QStringLiteral("xdotool"),
                       {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
        const int height = geometry.mid(geometry.indexOf("HEIGHT=") + 7).split('\n').first().toInt();
        const int menuHeight = height - int(kClientHeight / kTwipsPerPixel);
        QVERIFY2(menuHeight >= 0 && menuHeight < 60, geometry.constData());
        const QPoint indicator = pixels(kIndicator.center(), menuHeight);
        QCOMPARE(pixel(window, indicator, folder.path()), QStringLiteral("255,255,255")); // waiting
        QVERIFY(click(window, pixels(kStartButton.center(), menuHeight)));
        QTRY_COMPARE_WITH_TIMEOUT(pixel(window, indicator, folder.path()), QStringLiteral("0,255,0"), 15000);
        QVERIFY2(program.state() == QProcess::Running, program.readAll().constData());
        // "EXIT" ends it, and with it the folder's lock and the program's socket.
        QVERIFY(click(window, pixels(kExitButton.center(), menuHeight)));
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("qor-online-status.lock"))));
    }
};

QTEST_GUILESS_MAIN(TestCapability)
#include "test_capability.moc"
