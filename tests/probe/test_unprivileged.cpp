// Probing as an ordinary user, and name look-ups that fail or hang, each in a process of its own
// (qos_probe_helper) inside a namespace test network.
#include "tests/support/netns.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using qos::test::NetLab;

namespace {

const QString kStartupText =
    QStringLiteral("Windows Sockets for 32 bit Windows environments is not successfully responding.");

struct Run {
    int exitCode = -1;
    QString output;
    qint64 ms = 0;
};

// Each start-up case as the helper opens the socket itself, and as the program does: socket
// first, then every capability given up (the early start prints one line of its own first).
void addStarts()
{
    QTest::addColumn<QStringList>("start");
    QTest::addColumn<QString>("first");
    QTest::newRow("engine opens") << QStringList() << QString();
    QTest::newRow("opened early") << QStringList{QStringLiteral("--early")}
                                  << QStringLiteral("capabilities none\n");
}

} // namespace

class TestUnprivileged : public QObject {
    Q_OBJECT
    std::unique_ptr<NetLab> m_lab;
    QString m_helper;

    // The helper in the lab's client namespace; as user and group 65534 when `nobody` is set.
    Run helper(const QStringList &arguments, bool nobody, const QString &program = {})
    {
        QStringList command{QStringLiteral("netns"), QStringLiteral("exec"), m_lab->client()};
        if (nobody)
            command << QStringLiteral("setpriv") << QStringLiteral("--reuid=65534")
                    << QStringLiteral("--regid=65534") << QStringLiteral("--clear-groups");
        command << (program.isEmpty() ? m_helper : program) << arguments;
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // LeakSanitizer cannot inspect a process that gained capabilities from its file.
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        QElapsedTimer clock;
        clock.start();
        process.start(QStringLiteral("ip"), command);
        Run run;
        if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit)
            run.exitCode = process.exitCode();
        run.ms = clock.elapsed();
        run.output = QString::fromLocal8Bit(process.readAll());
        return run;
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString reason = NetLab::unavailableReason();
        if (!reason.isEmpty())
            QSKIP(qPrintable(QStringLiteral("namespace test hosts unavailable: ") + reason));
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("setpriv (util-linux) is not installed");
        m_helper = QCoreApplication::applicationDirPath() + QStringLiteral("/qos_probe_helper");
        QVERIFY2(QFile::exists(m_helper), qPrintable(m_helper));
        m_lab = std::make_unique<NetLab>();
        if (!m_lab->start())
            QSKIP(qPrintable(QStringLiteral("cannot build the test network: ") + m_lab->error()));
    }
    void cleanupTestCase() { m_lab.reset(); }

    void withoutPermissionTheOperatorIsToldWhy_data() { addStarts(); }
    void withoutPermissionTheOperatorIsToldWhy()
    {
        QFETCH(QStringList, start);
        QFETCH(QString, first);
        QVERIFY(m_lab->sysctl(m_lab->client(), {"net.ipv4.ping_group_range=1 0"}));
        const Run run = helper(start << QStringLiteral("startup"), true);
        QVERIFY2(run.exitCode == 1, qPrintable(run.output));
        QVERIFY2(run.output.startsWith(first), qPrintable(run.output));
        const QStringList lines = run.output.mid(first.size()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QStringLiteral("failed"));
        QCOMPARE(lines[1], kStartupText);
        QVERIFY2(lines[2].contains(QStringLiteral("setcap cap_net_raw+ep ") + m_helper),
                 qPrintable(lines[2]));
        QVERIFY2(lines[2].contains(QStringLiteral("group 65534")), qPrintable(lines[2]));
        QVERIFY2(lines[2].contains(QStringLiteral("net.ipv4.ping_group_range")), qPrintable(lines[2]));
        QVERIFY2(lines[2].contains(QStringLiteral("\"1 0\"")), qPrintable(lines[2]));
    }

    void capabilityOnTheBinaryLetsItProbe_data() { addStarts(); }
    void capabilityOnTheBinaryLetsItProbe()
    {
        QFETCH(QStringList, start);
        QFETCH(QString, first);
        QVERIFY(m_lab->sysctl(m_lab->client(), {"net.ipv4.ping_group_range=1 0"}));
        if (QStandardPaths::findExecutable(QStringLiteral("setcap")).isEmpty())
            QSKIP("setcap (libcap2-bin) is not installed");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString copy = dir.filePath(QStringLiteral("qos_probe_helper"));
        QVERIFY(QFile::copy(m_helper, copy));
        const auto everyone = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                              QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(dir.path(), everyone) && QFile::setPermissions(copy, everyone));
        QVERIFY2(m_lab->run(QStringLiteral("setcap"), {QStringLiteral("cap_net_raw+ep"), copy}),
                 qPrintable(m_lab->error()));
        const Run run = helper(start << QStringLiteral("echo") << QStringLiteral("10.213.1.2"), true, copy);
        QCOMPARE(run.output, first + QStringLiteral("started raw\nstatus 0\n"));
    }

    void pingGroupRangeLetsItProbe_data() { addStarts(); }
    void pingGroupRangeLetsItProbe()
    {
        QFETCH(QStringList, start);
        QFETCH(QString, first);
        QVERIFY(m_lab->sysctl(m_lab->client(), {"net.ipv4.ping_group_range=65534 65534"}));
        const Run run = helper(start << QStringLiteral("echo") << QStringLiteral("10.213.1.2"), true);
        QCOMPARE(run.output, first + QStringLiteral("started datagram\nstatus 0\n"));
    }

    void nameThatCannotBeResolvedGivesEmptyText()
    {
        // Nothing listens on the namespace's own 127.0.0.1:53: the look-up fails at once.
        QVERIFY2(m_lab->setClientResolver("nameserver 127.0.0.1\n"), qPrintable(m_lab->error()));
        const Run run =
            helper({QStringLiteral("resolve"), QStringLiteral("no-such-host.qos-test.invalid")}, false);
        QVERIFY2(run.output.startsWith(QStringLiteral("resolved []\n")), qPrintable(run.output));
    }

    void silentNameServerFreezesNothing()
    {
        // The server address leads into the lab's sink: every query waits for its full timeout.
        QVERIFY(m_lab->setClientResolver("nameserver 10.213.2.3\noptions timeout:1 attempts:1\n"));
        const Run run =
            helper({QStringLiteral("resolve"), QStringLiteral("no-such-host.qos-test.invalid")}, false);
        QVERIFY2(run.output.startsWith(QStringLiteral("resolved []\n")), qPrintable(run.output));
        QVERIFY2(run.ms >= 900, qPrintable(QString::number(run.ms))); // the look-up really waited
        const qint64 gap = run.output.section(QLatin1Char(' '), -1).trimmed().toLongLong();
        QVERIFY2(gap < 100, qPrintable(run.output));
    }
};

QTEST_GUILESS_MAIN(TestUnprivileged)
#include "test_unprivileged.moc"
