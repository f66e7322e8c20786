// One program per data folder, with the program itself: copies of it in folders of their own, started
// as separate processes on an Xvfb with trayer that the test starts (skips where they cannot be).
#include "app/singleinstance.h"
#include "tests/support/programrig.h"
#include "tests/support/xsession.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <utime.h>

using namespace qos;
using namespace qos::test;

namespace {

const QString kMapTitle = QStringLiteral("QOR Online Status - Map View");

// A program folder with its own copy of the program, the pictures and one location.
struct Folder {
    QTemporaryDir dir;
    QString exe;
    explicit Folder(const QByteArray &site)
        : exe(dir.filePath(QStringLiteral("qor-online-status")))
    {
        GraphLocation l(site);
        QFile::copy(QStringLiteral(QOS_PROGRAM), exe);
        ::chmod(QFile::encodeName(exe).constData(), 0755);
        CopyAssets(QStringLiteral(QOS_ASSETS_DIR), dir.path());
        WriteGraph(dir.path(), {l});
    }
    // A program killed here leaves its socket behind; the next start would take it over.
    ~Folder() { QLocalServer::removeServer(SingleInstance::ServerName(dir.path())); }
    QString lockFile() const { return dir.filePath(QLatin1String(SingleInstance::kLockFileName)); }
    qint64 lockHolder() const
    {
        QFile lock(lockFile());
        return lock.open(QIODevice::ReadOnly) ? lock.readLine().trimmed().toLongLong() : -1;
    }
};

// One start of the program in a folder.
class Start {
public:
    explicit Start(const Folder &folder)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM")); // the Xvfb, not offscreen
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(folder.exe, {});
        m_process.waitForStarted(5000);
        m_clock.start();
    }
    ~Start()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_process.processId()), SIGCONT);
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    qint64 pid() const { return m_process.processId(); }
    bool running() const { return m_process.state() == QProcess::Running; }
    void signal(int number) { ::kill(pid_t(pid()), number); }
    // The exit code once the process has ended by itself within timeoutMs; -1 otherwise.
    int exitCode(int timeoutMs)
    {
        if (!m_process.waitForFinished(timeoutMs) || m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_process.exitCode();
    }
    qint64 elapsed() const { return m_clock.elapsed(); }
    QByteArray log() { return m_process.readAll(); }

    // The id of this process's mapped window titled title, once there is one (0 after timeoutMs).
    quint64 window(const QString &title, int timeoutMs = 20000)
    {
        QElapsedTimer clock;
        clock.start();
        do {
            const QByteArray ids = ToolOutput(QStringLiteral("xdotool"),
                                              {QStringLiteral("search"), QStringLiteral("--all"),
                                               QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                               QString::number(pid()), QStringLiteral("--name"), title});
            if (!ids.trimmed().isEmpty())
                return ids.trimmed().split('\n').first().toULongLong();
            QTest::qWait(100);
        } while (running() && clock.elapsed() < timeoutMs);
        return 0;
    }

private:
    QProcess m_process;
    QElapsedTimer m_clock;
};

bool mapped(quint64 window)
{
    return ToolOutput(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)})
        .contains("Map State: IsViewable");
}

// The topmost mapped Map View of the screen.
quint64 topMapView()
{
    // xwininfo lists the root's children from the top of the stack down.
    const QByteArray tree =
        ToolOutput(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-children")});
    for (const QByteArray &line : tree.split('\n')) {
        if (!line.contains(kMapTitle.toUtf8()))
            continue;
        const quint64 id = line.trimmed().split(' ').first().toULongLong(nullptr, 16);
        if (mapped(id))
            return id;
    }
    return 0;
}

bool clickAt(quint64 window, QPoint at)
{
    return QProcess::execute(QStringLiteral("xdotool"),
                             {QStringLiteral("mousemove"), QStringLiteral("--window"),
                              QString::number(window), QString::number(at.x()), QString::number(at.y()),
                              QStringLiteral("click"), QStringLiteral("1")}) == 0;
}

// Where "Run in Background" sits in the Map View's menu bar: measured on a Map View of this process,
// laid out on the same display and never shown.
QPoint runInBackgroundPosition()
{
    ProgramRig rig;
    QMenuBar *bar = rig.view->menuBar();
    bar->resize(1000, bar->sizeHint().height());
    return bar->actionGeometry(rig.c().runInBackground).center();
}

// The second start's bound plus what a start of the program costs under the sanitizers.
constexpr int kSecondStartMs = SingleInstance::kAnswerWaitMs + 10000;

} // namespace

class TestSingleInstanceDesktop : public QObject {
    Q_OBJECT
public:
    explicit TestSingleInstanceDesktop(QString skip)
        : m_skip(std::move(skip))
    {}

private Q_SLOTS:
    void init()
    {
        if (!m_skip.isEmpty())
            QSKIP(qPrintable(QStringLiteral("no X server with a tray: ") + m_skip));
    }
    void secondStartShowsTheRunningWindow();
    void lockOfKilledProgramIsTakenOver();
    void silentProgramIsReported();

private:
    QString m_skip;
};

void TestSingleInstanceDesktop::secondStartShowsTheRunningWindow()
{
    Folder one("ONE"), two("TWO");
    Start first(one);
    const quint64 firstWindow = first.window(kMapTitle);
    QVERIFY2(firstWindow, first.log().constData());
    // Two folders side by side: the second program starts its own window over the first one.
    Start other(two);
    const quint64 otherWindow = other.window(kMapTitle);
    QVERIFY2(otherWindow, other.log().constData());
    QCOMPARE(one.lockHolder(), first.pid());
    QCOMPARE(two.lockHolder(), other.pid());
    QTRY_COMPARE(topMapView(), otherWindow);
    // However long the first program has held its folder.
    const utimbuf dayAgo{::time(nullptr) - 86400, ::time(nullptr) - 86400};
    QVERIFY(::utime(QFile::encodeName(one.lockFile()).constData(), &dayAgo) == 0);

    Start again(one);
    QCOMPARE(again.exitCode(kSecondStartMs), 0);
    qInfo("second start on the first folder handed over and ended with 0 after %lld ms", again.elapsed());
    QTRY_COMPARE(topMapView(), firstWindow);
    QVERIFY(first.running() && other.running());
    QCOMPARE(one.lockHolder(), first.pid());

    // "Run in Background" hides the first window; another start brings it back.
    QVERIFY(clickAt(firstWindow, runInBackgroundPosition()));
    QTRY_VERIFY(!mapped(firstWindow));
    Start third(one);
    QCOMPARE(third.exitCode(kSecondStartMs), 0);
    QTRY_VERIFY(mapped(firstWindow));
    QTRY_COMPARE(topMapView(), firstWindow);
    qInfo("a start while the first program ran in the background showed its Map View again");
}

void TestSingleInstanceDesktop::lockOfKilledProgramIsTakenOver()
{
    Folder folder("ONE");
    qint64 killedPid = 0;
    {
        Start killed(folder);
        QVERIFY(killed.window(kMapTitle));
        killedPid = killed.pid();
        killed.signal(SIGKILL);
        QCOMPARE(killed.exitCode(5000), -1);
    }
    QCOMPARE(folder.lockHolder(), killedPid); // left behind, with its socket

    Start next(folder);
    QVERIFY2(next.window(kMapTitle), next.log().constData());
    QCOMPARE(folder.lockHolder(), next.pid());
    // The new holder listens where the killed one did.
    Start again(folder);
    QCOMPARE(again.exitCode(kSecondStartMs), 0);
    QVERIFY(next.running());
    qInfo("lock of killed pid %lld taken over by pid %lld", killedPid, next.pid());
}

void TestSingleInstanceDesktop::silentProgramIsReported()
{
    Folder folder("ONE");
    Start stopped(folder);
    QVERIFY(stopped.window(kMapTitle));
    stopped.signal(SIGSTOP);

    Start asking(folder);
    const quint64 box = asking.window(QStringLiteral("^QOR Online Status$"), kSecondStartMs);
    QVERIFY2(box, asking.log().constData());
    QVERIFY(asking.elapsed() >= SingleInstance::kAnswerWaitMs);
    QVERIFY(asking.running()); // until the operator confirms the box
    QVERIFY(QProcess::execute(QStringLiteral("xdotool"),
                              {QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(box),
                               QStringLiteral("key"), QStringLiteral("Return")}) == 0);
    QCOMPARE(asking.exitCode(10000), 1);

    stopped.signal(SIGCONT);
    QCOMPARE(folder.lockHolder(), stopped.pid());
    Start later(folder);
    QCOMPARE(later.exitCode(kSecondStartMs), 0);
}

int main(int argc, char **argv)
{
    XSession desktop(XSession::Tray::Trayer, {QStringLiteral("xdotool"), QStringLiteral("xwininfo")});
    qputenv("QT_QPA_PLATFORM", desktop.ok ? "xcb" : "offscreen");
    QApplication app(argc, argv);
    TestSingleInstanceDesktop test(desktop.ok ? QString() : desktop.reason);
    return QTest::qExec(&test, argc, argv);
}

#include "test_singleinstance_desktop.moc"
