// The Debian package built from this build folder (cpack), looked at with dpkg-deb: what it holds,
// its control fields, its menu entry and AppStream data as the validators see them, its postinst
// against stand-in tools, and the program run from the unpacked package with a home of its own.
#include "tests/support/xsession.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using qos::test::XSession;

namespace {

const QString kProgram = QStringLiteral("usr/bin/qor-online-status");
const QString kShared = QStringLiteral("usr/share/qor-online-status/");
const QString kDesktop = QStringLiteral("usr/share/applications/qor-online-status.desktop");
const QString kMetainfo = QStringLiteral("usr/share/metainfo/" QOS_APPSTREAM_ID ".metainfo.xml");
const QStringList kIconSizes = {QStringLiteral("16"),  QStringLiteral("22"), QStringLiteral("24"),
                                QStringLiteral("32"),  QStringLiteral("48"), QStringLiteral("64"),
                                QStringLiteral("128"), QStringLiteral("256")};

struct Run {
    int exitCode = -1;
    QByteArray out, err;
};

Run Execute(const QString &program, const QStringList &arguments, const QProcessEnvironment &env = {})
{
    QProcess process;
    if (!env.isEmpty())
        process.setProcessEnvironment(env);
    process.start(program, arguments);
    Run run;
    if (process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

bool WriteScript(const QString &path, const QByteArray &body)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("#!/bin/sh\n" + body) > 0 &&
           file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

class TestPackage : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_deb, m_root, m_control; // the package, where it is unpacked, its control files

    QString fromRoot(const QString &path) const { return m_root + QStringLiteral("/") + path; }

private Q_SLOTS:
    void initTestCase()
    {
        for (const char *tool : {"cpack", "dpkg-deb", "dpkg-shlibdeps"}) {
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/install-deps.sh installs it)")
                                     .arg(QLatin1String(tool))));
        }
        const QStringList cpack = {
            QStringLiteral("-G"),       QStringLiteral("DEB"),
            QStringLiteral("--config"), QStringLiteral(QOS_BUILD_DIR "/CPackConfig.cmake"),
            QStringLiteral("-B"),       m_dir.path()};
        Run pack = Execute(QStringLiteral("cpack"), cpack);
        if (pack.exitCode != 0) {
            // Once, on a loaded machine, dpkg-shlibdeps ended without a word; a fault of ours fails twice.
            qWarning("cpack failed, trying once more:\n%s%s", pack.out.constData(), pack.err.constData());
            pack = Execute(QStringLiteral("cpack"), cpack);
        }
        QVERIFY2(pack.exitCode == 0, pack.out + pack.err);
        const QStringList debs = QDir(m_dir.path()).entryList({QStringLiteral("*.deb")});
        QCOMPARE(debs.size(), 1);
        m_deb = m_dir.filePath(debs.first());
        m_root = m_dir.filePath(QStringLiteral("root"));
        m_control = m_dir.filePath(QStringLiteral("control"));
        QCOMPARE(Execute(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), m_deb, m_root}).exitCode, 0);
        QCOMPARE(Execute(QStringLiteral("dpkg-deb"), {QStringLiteral("-e"), m_deb, m_control}).exitCode, 0);
    }

    // Every file it holds, and nothing else: no graph.txt, nothing outside /usr; one executable.
    void contents()
    {
        QStringList expected = {
            kProgram,
            kShared + QStringLiteral("map.gif"),
            kShared + QStringLiteral("swag.ico"),
            kShared + QStringLiteral("swar.ico"),
            kDesktop,
            kMetainfo,
            QStringLiteral("usr/lib/systemd/system/qor-online-status-headless.service"),
            QStringLiteral("usr/share/doc/qor-online-status/examples/prometheus/prometheus.yml"),
            QStringLiteral("usr/share/doc/qor-online-status/examples/prometheus/"
                           "qor-online-status-alerts.yml"),
            QStringLiteral("usr/share/doc/qor-online-status/copyright"),
            QStringLiteral("usr/share/doc/qor-online-status/changelog.Debian.gz"),
            QStringLiteral("usr/share/man/man1/qor-online-status.1.gz")};
        for (const QString &n : kIconSizes)
            expected << QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/qor-online-status.png").arg(n);
        const Run list = Execute(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), m_deb});
        QStringList files;
        for (const QByteArray &line : list.out.split('\n')) {
            if (line.startsWith('-'))
                files << QString::fromUtf8(line.mid(line.indexOf("./") + 2));
            if (line.startsWith("-rwxr-xr-x"))
                QCOMPARE(files.last(), kProgram); // the one executable
        }
        files.sort();
        expected.sort();
        QCOMPARE(files, expected);
        // The menu entry names the shipped program and icon, in the menus' Network and Monitor.
        QFile desktop(fromRoot(kDesktop));
        QVERIFY(desktop.open(QIODevice::ReadOnly));
        const QByteArray entry = desktop.readAll();
        for (const char *line :
             {"\nExec=qor-online-status\n", "\nIcon=qor-online-status\n", "\nCategories=Network;Monitor;\n"})
            QVERIFY2(entry.contains(line), line);
    }

    void control()
    {
        const char *const fields[][2] = {
            {"Package", "^qor-online-status$"},
            {"Version", "^" QOS_VERSION "$"},
            {"Section", "^net$"},
            {"Depends",
             "^(?=.*(^|, )libqt6widgets6 \\(>= 6)(?=.*(^|, )libc6 \\(>= )"}, // as the binary links them
            {"Recommends", "^libcap2-bin$"},
            {"Maintainer", "^[^<]+ <[^>]+@[^>]+>$"},
            {"Description", "^host-availability monitor [^\\n]+\\n QOR Online Status places"},
        };
        for (const auto &[field, pattern] : fields) {
            const QByteArray value =
                Execute(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), m_deb, QLatin1String(field)})
                    .out.trimmed();
            QVERIFY2(QRegularExpression(QLatin1String(pattern)).match(QString::fromUtf8(value)).hasMatch(),
                     field + QByteArray(": ") + value);
        }
    }

    void validators_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("desktop entry")
            << QStringLiteral("desktop-file-validate") << QStringList{fromRoot(kDesktop)};
        QTest::newRow("AppStream") << QStringLiteral("appstreamcli")
                                   << QStringList{QStringLiteral("validate"), QStringLiteral("--no-net"),
                                                  fromRoot(kMetainfo)};
    }
    void validators()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, arguments);
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP(
                qPrintable(tool + QStringLiteral(" is not installed (scripts/install-deps.sh installs it)")));
        const Run run = Execute(tool, arguments);
        QVERIFY2(run.exitCode == 0 && !run.out.contains("W:") && !run.out.contains("E:"), run.out + run.err);
    }

    void postinst_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QByteArray>("setcap"); // the stand-in's body; empty: setcap is not installed
        QTest::addColumn<bool>("statoverride"); // an override is registered for the binary
        QTest::addColumn<QByteArray>("calls");  // what setcap was called with
        QTest::addColumn<QString>("warning");   // a part of standard error; empty: nothing there
        const QByteArray works = "exit 0", fails = "echo 'Operation not supported' >&2; exit 1";
        const QByteArray set = "cap_net_raw+ep /usr/bin/qor-online-status\n";
        QTest::newRow("configure") << QStringLiteral("configure") << works << false << set << QString();
        QTest::newRow("configure, statoverride")
            << QStringLiteral("configure") << works << true << QByteArray() << QString();
        QTest::newRow("configure, file system without capabilities")
            << QStringLiteral("configure") << fails << false << set
            << QStringLiteral("may not hold capabilities");
        QTest::newRow("configure, no setcap") << QStringLiteral("configure") << QByteArray() << false
                                              << QByteArray() << QStringLiteral("libcap2-bin");
        QTest::newRow("abort-upgrade")
            << QStringLiteral("abort-upgrade") << works << false << QByteArray() << QString();
        QTest::newRow("triggered") << QStringLiteral("triggered") << works << false << QByteArray()
                                   << QString();
    }
    void postinst()
    {
        QFETCH(QString, action);
        QFETCH(QByteArray, setcap);
        QFETCH(bool, statoverride);
        QFETCH(QByteArray, calls);
        QFETCH(QString, warning);
        const QString script = m_control + QStringLiteral("/postinst");
        struct stat mode {};
        QVERIFY(::stat(QFile::encodeName(script).constData(), &mode) == 0);
        QCOMPARE(mode.st_mode & 07777, mode_t(0755));
        QCOMPARE(Execute(QStringLiteral("sh"), {QStringLiteral("-n"), script}).exitCode, 0);

        QTemporaryDir tools;
        const QString log = tools.filePath(QStringLiteral("calls"));
        if (!setcap.isEmpty())
            QVERIFY(WriteScript(tools.filePath(QStringLiteral("setcap")),
                                "echo \"$@\" >> '" + log.toUtf8() + "'\n" + setcap + "\n"));
        QVERIFY(WriteScript(tools.filePath(QStringLiteral("dpkg-statoverride")),
                            "[ \"$1 $2\" = '--list /usr/bin/qor-online-status' ] && exit " +
                                QByteArray(statoverride ? "0" : "1") + "\nexit 2\n"));
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"),
                   tools.path() + QStringLiteral(":/usr/bin:/bin")); // no sbin: no setcap
        const Run run = Execute(QStringLiteral("/bin/sh"), {script, action}, env);
        QCOMPARE(run.exitCode, 0);
        QFile called(log);
        QCOMPARE(called.open(QIODevice::ReadOnly) ? called.readAll() : QByteArray(), calls);
        if (warning.isEmpty())
            QCOMPARE(run.err, QByteArray());
        else
            QVERIFY2(run.err.contains(warning.toUtf8()), run.err.constData());
    }

    // The unpacked program finds its pictures in the package's shared folder and seeds the user's
    // data folder with them; a data folder that cannot be made is one clear box, and then the end.
    void unpackedProgram_data()
    {
        QTest::addColumn<QString>("home"); // below the test's own folder, which holds a file "file"
        QTest::addColumn<bool>("seeds");
        QTest::newRow("fresh home") << QStringLiteral("home") << true;
        QTest::newRow("home below a file") << QStringLiteral("file/home") << false;
    }
    void unpackedProgram()
    {
        QFETCH(QString, home);
        QFETCH(bool, seeds);
        for (const char *tool : {"Xvfb", "xdotool"}) {
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(tool))));
        }
        XSession x(XSession::Tray::None);
        if (x.display.isEmpty())
            QSKIP("Xvfb could not be started");
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("XDG_DATA_HOME"));
        env.insert(QStringLiteral("DISPLAY"), x.display);
        env.insert(QStringLiteral("HOME"), dir.filePath(home));
        qputenv("DISPLAY", x.display.toLatin1()); // for xdotool
        QProcess program;
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(fromRoot(kProgram));
        QVERIFY(program.waitForStarted(5000));
        const auto stop = qScopeGuard([&] {
            program.kill();
            program.waitForFinished(5000);
        });
        const QString box = QStringLiteral("^QOR Online Status$"),
                      map = QStringLiteral("^QOR Online Status - Map View$");
        if (seeds) {
            QVERIFY2(!XSession::waitForWindow(map, program).isEmpty(), program.readAll().constData());
            QVERIFY(XSession::window(box).isEmpty()); // nothing to complain about
            const QDir data(dir.filePath(home) + QStringLiteral("/.local/share/QOR Online Status"));
            for (const char *picture : {"map.gif", "swag.ico", "swar.ico"})
                QCOMPARE(Execute(QStringLiteral("cmp"), {data.filePath(QLatin1String(picture)),
                                                         fromRoot(kShared + QLatin1String(picture))})
                             .exitCode,
                         0);
        } else {
            const QString id = XSession::waitForWindow(box, program);
            QVERIFY2(!id.isEmpty(), program.readAll().constData());
            QVERIFY(XSession::window(map).isEmpty());
            // OK is the box's default button.
            QCOMPARE(Execute(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), id,
                                                         QStringLiteral("key"), QStringLiteral("Return")})
                         .exitCode,
                     0);
            QVERIFY(program.waitForFinished(10000));
            QCOMPARE(program.exitStatus(), QProcess::NormalExit);
            QCOMPARE(program.exitCode(), 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "test_package.moc"
