// The data folder: which folder each kind of start uses, the command line that may name one, and
// seeding a new folder with the pictures without ever replacing a file that is there.
#include "app/datafolder.h"
#include "app/options.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace qos;

namespace {

const QStringList kPictures = {QStringLiteral("map.gif"), QStringLiteral("swag.ico"),
                               QStringLiteral("swar.ico")};

bool Write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray Read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// Puts the operator's own file in place just before the seed copy takes the name.
class LateArrival : public FileOps {
public:
    bool rename(const QString &from, const QString &to, bool replace, QString &error) override
    {
        Write(to, "operator's own");
        return FileOps::rename(from, to, replace, error);
    }
};

} // namespace

class TestDataFolder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Each row: --folder, program folder, holds graph.txt, writable, shared folder; the choice.
    void choice()
    {
        const char *U = "~/.local/share/QOR Online Status", *B = "/src/build/bin",
                   *S = "/usr/share/qor-online-status";
        const auto P = DataFolderKind::Portable, H = DataFolderKind::PerUser, O = DataFolderKind::Option;
        struct Row {
            const char *option, *program;
            bool graph, writable;
            const char *shared;
            DataFolderKind kind;
            const char *folder, *seed;
        } const rows[] = {
            {"", B, false, true, "", P, B, ""},                              // the build's folder
            {"", "/opt/q", true, false, "", P, "/opt/q", ""},                // read-only, with graph.txt
            {"", "/opt/q", false, false, "", H, U, "/opt/q"},                // read-only, no graph.txt
            {"", "/usr/bin", false, false, S, H, U, S},                      // the package
            {"", "/usr/bin", true, true, S, H, U, S},                        // root, a stray graph.txt
            {"", "/usr/local/bin", false, true, "", H, U, "/usr/local/bin"}, // no shared folder
            {"", "/u/.local/bin", false, true, "/u/.local/share/q", H, U, "/u/.local/share/q"}, // ~/.local
            {"/srv/q", "/usr/bin", false, false, S, O, "/srv/q", S},           // --folder beats installed
            {"/srv/q", B, true, true, "", O, "/srv/q", B},                     // --folder beats portable
            {"/src/build/bin/", B, false, true, "", O, "/src/build/bin/", ""}, // --folder names it
        };
        for (const Row &r : rows) {
            const DataFolderChoice c =
                ChooseDataFolder({QLatin1String(r.option), QLatin1String(r.program), r.graph, r.writable,
                                  QLatin1String(r.shared), QLatin1String(U)});
            const QString row =
                QStringLiteral("%1 %2").arg(QLatin1String(r.option), QLatin1String(r.program));
            QVERIFY2(
                c.kind == r.kind && c.folder == QLatin1String(r.folder) &&
                    c.seedFrom == QLatin1String(r.seed),
                qPrintable(row + QStringLiteral(" -> ") + c.folder + QStringLiteral(" from ") + c.seedFrom));
        }
    }

    void seeding_data()
    {
        QTest::addColumn<QStringList>("present"); // in the data folder before, with the operator's bytes
        QTest::addColumn<QStringList>("shipped"); // in the shared folder
        QTest::addColumn<QString>("subfolder");   // of the temporary folder that is the data folder
        QTest::newRow("new folder, nested") << QStringList() << kPictures << QStringLiteral("a/b/data");
        QTest::newRow("operator's own map")
            << QStringList{QStringLiteral("map.gif")} << kPictures << QStringLiteral("data");
        QTest::newRow("all present") << kPictures << kPictures << QStringLiteral("data");
        QTest::newRow("one picture not shipped")
            << QStringList() << kPictures.mid(1) << QStringLiteral("data");
    }
    void seeding()
    {
        QFETCH(QStringList, present);
        QFETCH(QStringList, shipped);
        QFETCH(QString, subfolder);
        QTemporaryDir dir;
        const QDir shared(dir.path()), data(dir.filePath(subfolder));
        for (const QString &name : shipped)
            QVERIFY(Write(shared.filePath(name), "shipped " + name.toLatin1()));
        QVERIFY(QDir().mkpath(data.path()) || present.isEmpty());
        for (const QString &name : present)
            QVERIFY(Write(data.filePath(name), "own " + name.toLatin1()));
        const DataFolderChoice choice{DataFolderKind::PerUser, data.path(), shared.path()};
        QVERIFY(PrepareDataFolder(choice).ok());
        QVERIFY(PrepareDataFolder(choice).ok()); // a second start changes nothing
        for (const QString &name : kPictures) {
            const QByteArray expected = present.contains(name)   ? "own " + name.toLatin1()
                                        : shipped.contains(name) ? "shipped " + name.toLatin1()
                                                                 : QByteArray("(missing)");
            QCOMPARE(Read(data.filePath(name)), expected);
        }
        const int expectedCount = int(QSet<QString>(present.begin(), present.end())
                                          .unite(QSet<QString>(shipped.begin(), shipped.end()))
                                          .size());
        QCOMPARE(data.entryList(QDir::Files | QDir::Hidden).size(), expectedCount); // no twins left
    }

    void seedingNeverReplacesAFileThatArrivesMeanwhile()
    {
        QTemporaryDir dir;
        QVERIFY(Write(dir.filePath(QStringLiteral("map.gif")), "shipped"));
        const QString data = dir.filePath(QStringLiteral("data"));
        LateArrival ops;
        QVERIFY(PrepareDataFolder({DataFolderKind::PerUser, data, dir.path()}, &ops).ok());
        QCOMPARE(Read(data + QStringLiteral("/map.gif")), QByteArray("operator's own"));
        QCOMPARE(QDir(data).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("map.gif")});
    }

    void folderThatCannotBeCreated_data()
    {
        QTest::addColumn<QString>("folder"); // below the temporary folder, which holds a file "file"
        QTest::addColumn<QString>("reason");
        QTest::newRow("below a file") << QStringLiteral("file/data") << QStringLiteral("Not a directory");
        QTest::newRow("is a file") << QStringLiteral("file") << QStringLiteral("Not a directory");
        QTest::newRow("no folder named") << QString() << QStringLiteral("HOME may not be set");
    }
    void folderThatCannotBeCreated()
    {
        QFETCH(QString, folder);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(Write(dir.filePath(QStringLiteral("file")), "x"));
        const QString path = folder.isEmpty() ? QString() : dir.filePath(folder);
        const Status status = PrepareDataFolder({DataFolderKind::PerUser, path, dir.path()});
        QVERIFY(!status.ok());
        const bool namesFolder = path.isEmpty() || status.error.contains(QStringLiteral("\"%1\"").arg(path));
        QVERIFY2(status.error.contains(reason) && namesFolder &&
                     status.error.contains(QStringLiteral("--folder DIR")),
                 qPrintable(status.error));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode"); // -1: the program starts
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("message"); // a part of it
        const QString cwd = QDir::currentPath();
        QTest::newRow("none") << QStringList() << -1 << QString() << QString();
        QTest::newRow("--folder DIR") << QStringList{QStringLiteral("--folder"), QStringLiteral("/srv/qos/")}
                                      << -1 << QStringLiteral("/srv/qos") << QString();
        QTest::newRow("--folder=relative") << QStringList{QStringLiteral("--folder=data/../qos")} << -1
                                           << cwd + QStringLiteral("/qos") << QString();
        QTest::newRow("--folder without a value")
            << QStringList{QStringLiteral("--folder")} << 2 << QString() << QStringLiteral("Missing value");
        QTest::newRow("--folder=") << QStringList{QStringLiteral("--folder=")} << 2 << QString()
                                   << QStringLiteral("needs a folder");
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("--headles")} << 2 << QString() << QStringLiteral("Unknown option");
        QTest::newRow("argument") << QStringList{QStringLiteral("graph.txt")} << 2 << QString()
                                  << QStringLiteral("Unexpected argument: graph.txt");
        QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << 0 << QString()
                                << QStringLiteral("--folder <dir>");
        QTest::newRow("--help names the program") << QStringList{QStringLiteral("--help")} << 0 << QString()
                                                  << QStringLiteral("Usage: qor-online-status [options]");
        QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << 0 << QString()
                                   << QStringLiteral("qor-online-status " QOS_VERSION);
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, folder);
        QFETCH(QString, message);
        const CommandLine line =
            ParseCommandLine(QStringList{QStringLiteral("qor-online-status")} + arguments);
        QCOMPARE(line.exitCode.value_or(-1), exitCode);
        QCOMPARE(line.folder, folder);
        QVERIFY2(line.message.contains(message), qPrintable(line.message));
    }

    // The headless options, read from argv before any application object exists (so the toolkit's
    // own options are taken away first, as QApplication would).
    void headlessCommandLine_data()
    {
        QTest::addColumn<QList<QByteArray>>("argv"); // after the program's name
        QTest::addColumn<int>("exitCode");           // -1: the program starts
        QTest::addColumn<bool>("headless");
        QTest::addColumn<QString>("metrics");
        QTest::addColumn<QString>("message"); // a part of it
        using A = QList<QByteArray>;
        QTest::newRow("--headless") << A{"--headless"} << -1 << true << QString() << QString();
        QTest::newRow("--metrics :port")
            << A{"--headless", "--metrics", ":9374"} << -1 << true << QStringLiteral(":9374") << QString();
        QTest::newRow("--metrics=host:port") << A{"--metrics=10.0.0.1:80", "--headless"} << -1 << true
                                             << QStringLiteral("10.0.0.1:80") << QString();
        QTest::newRow("toolkit options taken away")
            << A{"-platform", "offscreen", "-reverse", "--headless", "-style=fusion"} << -1 << true
            << QString() << QString();
        QTest::newRow("desktop with a toolkit option")
            << A{"-platform", "xcb"} << -1 << false << QString() << QString();
        QTest::newRow("--metrics without --headless") << A{"--metrics", ":9374"} << 2 << false << QString()
                                                      << QStringLiteral("--metrics needs --headless");
        QTest::newRow("--metrics without a port") << A{"--headless", "--metrics", "127.0.0.1"} << 2 << false
                                                  << QString() << QStringLiteral("--metrics 127.0.0.1: give");
        QTest::newRow("--metrics with a name") << A{"--headless", "--metrics", "localhost:9374"} << 2 << false
                                               << QString() << QStringLiteral("dotted IPv4");
        QTest::newRow("--metrics without a value")
            << A{"--headless", "--metrics"} << 2 << false << QString() << QStringLiteral("Missing value");
        QTest::newRow("--help names them")
            << A{"--help"} << 0 << false << QString() << QStringLiteral("--metrics <host:port>");
    }
    void headlessCommandLine()
    {
        QFETCH(QList<QByteArray>, argv);
        QFETCH(int, exitCode);
        QFETCH(bool, headless);
        QFETCH(QString, metrics);
        QFETCH(QString, message);
        argv.prepend("qor-online-status");
        std::vector<const char *> pointers;
        for (const QByteArray &a : argv)
            pointers.push_back(a.constData());
        const CommandLine line =
            ParseCommandLine(WithoutToolkitOptions(int(pointers.size()), pointers.data()));
        QCOMPARE(line.exitCode.value_or(-1), exitCode);
        QCOMPARE(line.headless, headless);
        QCOMPARE(line.metrics, metrics);
        QVERIFY2(line.message.contains(message), qPrintable(line.message));
    }
};

QTEST_GUILESS_MAIN(TestDataFolder)
#include "test_datafolder.moc"
