// The folder lock and the local socket of one program per data folder, inside one process: socket
// names, lock files left behind by other processes, and what the owner does with what arrives.
#include "app/singleinstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <utime.h>

using namespace qos;

namespace {

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System).size());
}

// A lock file as QLockFile writes it, for a process of this machine.
bool writeLock(const QString &folder, qint64 pid, const QByteArray &appName)
{
    QFile lock(QDir(folder).filePath(QLatin1String(SingleInstance::kLockFileName)));
    const QByteArray text = QByteArray::number(pid) + '\n' + appName + '\n' +
                            QSysInfo::machineHostName().toUtf8() + '\n' + QSysInfo::machineUniqueId() + '\n' +
                            QSysInfo::bootUniqueId() + '\n';
    return lock.open(QIODevice::WriteOnly) && lock.write(text) == text.size();
}

qint64 lockHolder(const QString &folder)
{
    QFile lock(QDir(folder).filePath(QLatin1String(SingleInstance::kLockFileName)));
    return lock.open(QIODevice::ReadOnly) ? lock.readLine().trimmed().toLongLong() : -1;
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void serverNamePerFolder_data();
    void serverNamePerFolder();
    void lockLeftBehind_data();
    void lockLeftBehind();
    void silentOwnerBoundsTheWait();
    void whatTheOwnerAnswers_data();
    void whatTheOwnerAnswers();
};

void TestSingleInstance::serverNamePerFolder_data()
{
    QTest::addColumn<QString>("other"); // relative to the parent of folder "a"
    QTest::addColumn<bool>("same");
    QTest::newRow("trailing slash") << QStringLiteral("a/") << true;
    QTest::newRow("dot-dot") << QStringLiteral("b/../a") << true;
    QTest::newRow("symbolic link") << QStringLiteral("link") << true;
    QTest::newRow("another folder") << QStringLiteral("b") << false;
    QTest::newRow("case differs") << QStringLiteral("A") << false;
}

void TestSingleInstance::serverNamePerFolder()
{
    QFETCH(QString, other);
    QFETCH(bool, same);
    QTemporaryDir root;
    QDir dir(root.path());
    QVERIFY(dir.mkdir(QStringLiteral("a")) && dir.mkdir(QStringLiteral("b")) &&
            dir.mkdir(QStringLiteral("A")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("a")), dir.filePath(QStringLiteral("link"))));
    const QString name = SingleInstance::ServerName(dir.filePath(QStringLiteral("a")));
    QCOMPARE(SingleInstance::ServerName(dir.filePath(other)) == name, same);
    QVERIFY(name.size() < 100); // within a local socket's path (107 bytes)
}

void TestSingleInstance::lockLeftBehind_data()
{
    QTest::addColumn<bool>("holderRuns");
    QTest::addColumn<bool>("taken");
    QTest::newRow("holder gone (killed)") << false << true;
    QTest::newRow("holder runs, lock an hour old") << true << false;
}

void TestSingleInstance::lockLeftBehind()
{
    QFETCH(bool, holderRuns);
    QFETCH(bool, taken);
    QTemporaryDir folder;
    QProcess holder;
    holder.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    QVERIFY(holder.waitForStarted());
    const qint64 pid = holder.processId();
    if (!holderRuns) {
        holder.kill();
        QVERIFY(holder.waitForFinished());
    }
    QVERIFY(writeLock(folder.path(), pid, "sleep"));
    const QByteArray path =
        QFile::encodeName(QDir(folder.path()).filePath(QLatin1String(SingleInstance::kLockFileName)));
    const utimbuf hourAgo{::time(nullptr) - 3600, ::time(nullptr) - 3600};
    QVERIFY(::utime(path.constData(), &hourAgo) == 0);

    SingleInstance single(folder.path());
    const SingleInstance::Claim claim = single.claim(300);
    QCOMPARE(claim == SingleInstance::Claim::Owner, taken);
    QCOMPARE(lockHolder(folder.path()), taken ? QCoreApplication::applicationPid() : pid);
    QCOMPARE(single.listening(), taken);
    if (holderRuns) {
        holder.kill();
        holder.waitForFinished();
    }
}

void TestSingleInstance::silentOwnerBoundsTheWait()
{
    // The owner runs in this thread, which waits in claim(): so it cannot answer.
    QTemporaryDir folder;
    SingleInstance owner(folder.path());
    QCOMPARE(owner.claim(), SingleInstance::Claim::Owner);
    QVERIFY(owner.listening());
    SingleInstance second(folder.path());
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(second.claim(400), SingleInstance::Claim::NoAnswer);
    QVERIFY2(clock.elapsed() < 1400, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(lockHolder(folder.path()), QCoreApplication::applicationPid());
    QVERIFY(second.noAnswerText().contains(QDir::toNativeSeparators(folder.path())));
    QVERIFY(second.noAnswerText().contains(
        QStringLiteral("process %1 on ").arg(QCoreApplication::applicationPid())));
}

void TestSingleInstance::whatTheOwnerAnswers_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("shows");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("closedWithinMs");
    QTest::newRow("show") << QByteArray("show\n") << 1 << QByteArray("shown\n") << 1000;
    QTest::newRow("unknown request") << QByteArray("quit\n") << 0 << QByteArray() << 1000;
    QTest::newRow("overlong line") << QByteArray(200, 'x') << 0 << QByteArray() << 1000;
    QTest::newRow("half a request") << QByteArray("sho") << 0 << QByteArray()
                                    << SingleInstance::kRequestWaitMs + 1500;
    QTest::newRow("nothing said") << QByteArray() << 0 << QByteArray()
                                  << SingleInstance::kRequestWaitMs + 1500;
}

void TestSingleInstance::whatTheOwnerAnswers()
{
    QFETCH(QByteArray, request);
    QFETCH(int, shows);
    QFETCH(QByteArray, answer);
    QFETCH(int, closedWithinMs);
    QTemporaryDir folder;
    SingleInstance owner(folder.path());
    QCOMPARE(owner.claim(), SingleInstance::Claim::Owner);
    QSignalSpy showRequested(&owner, &SingleInstance::showRequested);
    const int descriptors = openDescriptors();

    {
        QLocalSocket client;
        client.connectToServer(SingleInstance::ServerName(folder.path()));
        QVERIFY(client.waitForConnected(1000));
        client.write(request);
        QByteArray received;
        QObject::connect(&client, &QLocalSocket::readyRead, &client, [&] { received += client.readAll(); });
        QTRY_COMPARE_WITH_TIMEOUT(client.state(), QLocalSocket::UnconnectedState, closedWithinMs);
        received += client.readAll();
        QCOMPARE(showRequested.size(), shows);
        QCOMPARE(received, answer);
    }
    // Nothing of the connection stays behind on the owner's side.
    QTRY_COMPARE(openDescriptors(), descriptors);
    QVERIFY(owner.listening());
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_singleinstance.moc"
