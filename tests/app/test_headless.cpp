// The headless program as a process without a display: its exit codes and one-line reasons, then a
// few cycles against namespace test hosts (one answering, one silent) read through its metrics
// endpoint, a reload by SIGHUP and the clean end by SIGTERM.
#include "app/headless.h"
#include "app/monitorcore.h"
#include "tests/app/headlessrig.h"
#include "tests/support/fakeprober.h"
#include "tests/support/fakes.h"
#include "tests/support/netns.h"

#include <QTcpServer>

#include <csignal>

using namespace qos::test;

namespace {

const QString kUp = QStringLiteral("{host=\"10.213.1.2\",ip=\"10.213.1.2\",location=\"Answers\"}");
const QString kDown =
    QStringLiteral("{host=\"10.213.2.3\",ip=\"10.213.2.3\",location=\"Silent, \\\"dark\\\"\"}");

} // namespace

class TestHeadless : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Boxes become one line each, answered from the event loop; a repeat of the last one is not logged.
    void messageBoxesAsLines()
    {
        std::FILE *out = std::tmpfile();
        QVERIFY(out);
        {
            qos::LogMessageBoxes boxes(out);
            int confirmed = 0;
            std::optional<bool> answer;
            boxes.show(QStringLiteral("Cannot read graph.txt.\r\n\r\n  Fix it. "),
                       qos::MessageBoxes::Icon::Critical, [&] { ++confirmed; });
            boxes.show(QStringLiteral("Cannot read graph.txt.\nFix it."), {}, [&] { ++confirmed; });
            boxes.ask(QStringLiteral("Delete location?"), [&](bool yes) { answer = yes; });
            boxes.show(QStringLiteral("Cannot read graph.txt. Fix it."));
            QCOMPARE(confirmed, 0); // never from inside the call
            QTRY_COMPARE(confirmed, 2);
            QTRY_COMPARE(answer, std::optional<bool>(false));
        }
        std::rewind(out);
        char buffer[512] = {};
        const size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
        std::fclose(out);
        QCOMPARE(QByteArray(buffer, qsizetype(n)),
                 QByteArray("Cannot read graph.txt. Fix it.\nDelete location? (answered No)\n"
                            "Cannot read graph.txt. Fix it.\n"));
    }

    // The table replaced while running, in the core both programs hold: a graph.txt that reads
    // replaces it and starts the cycle anew; one that does not is kept out (SIGHUP) or replaces it too.
    void reloadTable_data()
    {
        QTest::addColumn<bool>("keeps");     // Unreadable::Keeps, else Replaces
        QTest::addColumn<bool>("readable");  // the new graph.txt can be read
        QTest::addColumn<int>("locations");  // in the table afterwards
        QTest::addColumn<bool>("restarted"); // the cycle's run ended and attention cleared
        QTest::addColumn<double>("loadSuccess");
        QTest::newRow("read, kept on failure") << true << true << 1 << true << 1.0;
        QTest::newRow("read, replaced on failure") << false << true << 1 << true << 1.0;
        QTest::newRow("unreadable, kept") << true << false << 2 << false << 0.0;
        QTest::newRow("unreadable, replaced") << false << false << 0 << true << 0.0;
    }
    void reloadTable()
    {
        QFETCH(bool, keeps);
        QFETCH(bool, readable);
        QFETCH(int, locations);
        QFETCH(bool, restarted);
        QFETCH(double, loadSuccess);
        QTemporaryDir dir;
        QVERIFY(WriteGraph(dir.path(), {Site("Stays", "127.0.0.1"), Site("Gone", "127.0.0.2")}));
        FakeProber prober;
        FakeMessageBoxes boxes;
        qos::StartupNotice notice(boxes);
        FakeAlerts *alerts = nullptr;
        qos::MonitorCore core(dir.path(), {prober, notice}, [&alerts](qos::RunState &, qos::Configuration &) {
            auto sink = std::make_unique<FakeAlerts>();
            alerts = sink.get();
            return sink;
        });
        QVERIFY(core.loadTable().error.isEmpty());
        core.monitor().StartMonitor();
        QVERIFY(core.monitor().monitoring());
        const int cleared = alerts->count("ClearAttention");
        if (readable) {
            QVERIFY(WriteGraph(dir.path(), {Site("Stays", "127.0.0.1")}));
        } else {
            QVERIFY(QFile::remove(dir.filePath(QStringLiteral("graph.txt"))));
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("graph.txt")));
        }
        using Unreadable = qos::MonitorCore::Unreadable;
        const qos::LoadResult loaded = core.reloadTable(keeps ? Unreadable::Keeps : Unreadable::Replaces);
        QCOMPARE(loaded.error.isEmpty(), readable);
        QCOMPARE(core.config().table.LocationCount(), locations);
        QCOMPARE(core.monitor().monitoring(), !restarted);
        QCOMPARE(alerts->count("ClearAttention") - cleared, restarted ? 1 : 0);
        const QByteArray text = QByteArray::fromStdString(core.metrics().text());
        QCOMPARE(Sample(text, QStringLiteral("qos_graph_last_load_success")),
                 std::optional<double>(loadSuccess));
        QCOMPARE(text.contains("location=\"Gone\""), locations == 2);
    }

    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("arguments"); // "DIR" is the data folder, "FILE" a file in it
        QTest::addColumn<QByteArray>("setup");      // "graph dir": graph.txt is a folder; "held": a first
                                                    // program runs on DIR; "port": PORT is in use
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("reason"); // a part of standard error, or of standard output for 0
        const auto args = [](const char *text) { return QString::fromLatin1(text).split(QLatin1Char(' ')); };
        QTest::newRow("--help") << args("--help") << QByteArray() << 0 << QStringLiteral("--headless");
        QTest::newRow("--version") << args("--headless --version") << QByteArray() << 0
                                   << QStringLiteral("qor-online-status ");
        QTest::newRow("unknown option")
            << args("--headless --bogus") << QByteArray() << 2 << QStringLiteral("Unknown option 'bogus'");
        QTest::newRow("--metrics alone")
            << args("--metrics :9374") << QByteArray() << 2 << QStringLiteral("--metrics needs --headless");
        QTest::newRow("--metrics bad") << args("--headless --folder DIR --metrics here") << QByteArray() << 2
                                       << QStringLiteral("--metrics here: give HOST:PORT");
        QTest::newRow("folder cannot be made") << args("--headless --folder FILE/sub") << QByteArray() << 1
                                               << QStringLiteral("cannot create its data folder");
        QTest::newRow("graph.txt unreadable") << args("--headless --folder DIR") << QByteArray("graph dir")
                                              << 1 << QStringLiteral("Cannot read");
        QTest::newRow("port in use") << args("--headless --folder DIR --metrics 127.0.0.1:PORT")
                                     << QByteArray("port") << 1
                                     << QStringLiteral("The metrics endpoint cannot listen on 127.0.0.1:");
        QTest::newRow("second on a folder") << args("--headless --folder DIR") << QByteArray("held") << 1
                                            << QStringLiteral("is already running on the folder");
    }
    void exitCodes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, setup);
        QFETCH(int, exitCode);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(WriteFile(dir.filePath(QStringLiteral("file")), "x"));
        QVERIFY(WriteFile(dir.filePath(QStringLiteral("graph.txt")), HeadlessGraph({})));
        QTcpServer taken;
        HeadlessRun first;
        if (setup == "graph dir") {
            QVERIFY(QFile::remove(dir.filePath(QStringLiteral("graph.txt"))));
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("graph.txt")));
        } else if (setup == "port") {
            QVERIFY(taken.listen(QHostAddress::LocalHost, 0));
        } else if (setup == "held") {
            first.start(HeadlessGraph({}));
            QTRY_VERIFY(QFile::exists(first.dir.filePath(QStringLiteral("qor-online-status.lock"))));
        }
        const QString folder = setup == "held" ? first.dir.path() : dir.path();
        for (QString &a : arguments) {
            a.replace(QStringLiteral("DIR"), folder)
                .replace(QStringLiteral("FILE"), dir.filePath(QStringLiteral("file")));
            a.replace(QStringLiteral("PORT"), QString::number(taken.serverPort()));
        }
        QProcess program;
        program.setProcessEnvironment(NoDisplayEnvironment());
        program.start(QStringLiteral(QOS_PROGRAM), arguments);
        QVERIFY(program.waitForFinished(30000));
        const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY2(program.exitCode() == exitCode, qPrintable(err + out));
        QVERIFY2((exitCode == 0 ? out : err).contains(reason), qPrintable(err + out));
        if (exitCode != 0) // the reason is one line (Qt's own warnings aside)
            QVERIFY2(err.trimmed().split(QLatin1Char('\n')).last().contains(reason), qPrintable(err));
    }

    void endToEnd()
    {
        const QString why = NetLab::unavailableReason();
        if (!why.isEmpty())
            QSKIP(qPrintable(QStringLiteral("namespace test hosts: ") + why));
        NetLab lab;
        QVERIFY2(lab.start(), qPrintable(lab.error()));
        NetnsScope scope(lab.client()); // the program, its loopback and our client all live there
        QVERIFY(scope.entered());
        HeadlessRun run;
        const bool v6 = lab.hasIpv6(); // an IPv6 address beside the IPv4 one: shown whole everywhere
        run.startServing(
            HeadlessGraph({Site("Answers", v6 ? "10.213.1.2,fd00:213:1::2" : "10.213.1.2"),
                           Site("Silent, \"dark\"", "10.213.2.3"), Site("Off", "10.213.1.2", {}, "1")}));

        // A few cycles: the silent address times out each time, the answering one replies.
        QByteArray text;
        QTRY_VERIFY_WITH_TIMEOUT(
            (text = run.metrics(),
             Sample(text, QStringLiteral("qos_requests_total") + kDown).value_or(0) >= 3),
            30000);
        QCOMPARE(Sample(text, QStringLiteral("qos_address_up") + kUp), 1.0);
        QCOMPARE(Sample(text, QStringLiteral("qos_address_up") + kDown), 0.0);
        QVERIFY(*Sample(text, QStringLiteral("qos_replies_total") + kUp) >= 3);
        QCOMPARE(Sample(text, QStringLiteral("qos_replies_total") + kDown), 0.0);
        QCOMPARE(Sample(text, QStringLiteral("qos_send_errors_total") + kDown), 0.0);
        QCOMPARE(Sample(text, QStringLiteral("qos_location_state{location=\"Answers\"}")), 2.0);
        QCOMPARE(Sample(text, QStringLiteral("qos_location_state{location=\"Silent, \\\"dark\\\"\"}")), 4.0);
        QCOMPARE(Sample(text, QStringLiteral("qos_location_state{location=\"Off\"}")), 1.0);
        QCOMPARE(Sample(text, QStringLiteral("qos_location_up{location=\"Answers\"}")), 1.0);
        QCOMPARE(Sample(text, QStringLiteral("qos_graph_last_load_success")), 1.0);
        // One line per state change on standard output, as the history file has them.
        const QByteArray out = run.process.readAllStandardOutput();
        QVERIFY2(out.contains(",Answers,10.213.1.2,,answering,ONLINE,"), out.constData());
        QVERIFY2(out.contains(",\"Silent, \"\"dark\"\"\",,waiting,offline,10.213.2.3,\n"), out.constData());
        QVERIFY(!out.contains('\r'));
        if (v6) {
            const QString up6 =
                QStringLiteral("{host=\"fd00:213:1::2\",ip=\"fd00:213:1::2\",location=\"Answers\"}");
            QCOMPARE(Sample(text, QStringLiteral("qos_address_up") + up6), 1.0);
            QVERIFY2(out.contains(",Answers,fd00:213:1::2,,answering,ONLINE,"), out.constData());
        }

        // SIGHUP with a location gone: its series go; with graph.txt unreadable: the table stays.
        QVERIFY(WriteFile(run.dir.filePath(QStringLiteral("graph.txt")),
                          HeadlessGraph({Site("Answers", "10.213.1.2")})));
        ::kill(pid_t(run.process.processId()), SIGHUP);
        QTRY_VERIFY_WITH_TIMEOUT(!run.metrics().contains("Silent"), 10000);
        QVERIFY(QFile::remove(run.dir.filePath(QStringLiteral("graph.txt"))));
        QVERIFY(QDir(run.dir.path()).mkdir(QStringLiteral("graph.txt")));
        ::kill(pid_t(run.process.processId()), SIGHUP);
        QTRY_COMPARE_WITH_TIMEOUT(Sample(run.metrics(), QStringLiteral("qos_graph_last_load_success")), 0.0,
                                  10000);
        const double before = *Sample(run.metrics(), QStringLiteral("qos_requests_total") + kUp);
        QTRY_VERIFY_WITH_TIMEOUT(*Sample(run.metrics(), QStringLiteral("qos_requests_total") + kUp) > before,
                                 10000);
        QVERIFY(run.process.readAllStandardError().contains(
            "Monitoring goes on with the locations loaded before."));

        // SIGTERM: exit 0, the locations' last lines written and printed, the port closed.
        QCOMPARE(run.stop(SIGTERM), 0);
        QVERIFY(run.process.readAllStandardOutput().contains(",Answers,,online,waiting,program ended,\n"));
        QVERIFY(HttpGet(run.port, "/metrics", "GET", 1000).isEmpty());
        QVERIFY(ReadFile(run.dir.filePath(QStringLiteral("history.csv"))).contains("program ended"));
    }
};

QTEST_GUILESS_MAIN(TestHeadless)
#include "test_headless.moc"
