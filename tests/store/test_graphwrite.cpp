#include "graphfiles.h"
#include "store/filecopy.h"
#include "store/graphfile.h"
#include "store/linereader.h"
#include "store/notesfile.h"
#include "tests/support/fakes.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>
#include <sys/stat.h>

using namespace qos;
using namespace qos::test;

namespace {

const QByteArray AbcBlock = "------------LOCATION BEGIN-----------\r\nSITEID=abc\r\nIGNORE=\r\n"
                            "SITEIP=10.0.0.1,host\r\nDISABLED=0\r\nSITELEFT=1475\r\nSITETOP=300.5\r\n"
                            "------------LOCATION END-----------\r\n";

LocationRecord Abc()
{
    LocationRecord rec;
    rec.site = QStringLiteral("abc");
    rec.siteip = QStringLiteral("10.0.0.1,host");
    rec.left = 1475;
    rec.top = 300.5f;
    return rec;
}

// The permission bits of each file the store creates, looked at the moment it exists, before a byte
// is written to it.
class ModeWatch : public FileOps {
public:
    bool createLike(QFile &file, const QString &like, bool sameOwner, QString &error) override
    {
        const bool made = FileOps::createLike(file, like, sameOwner, error);
        struct stat st;
        if (made && ::stat(QFile::encodeName(file.fileName()).constData(), &st) == 0)
            modes << int(st.st_mode & 07777);
        return made;
    }
    QList<int> modes;
};

} // namespace

class TestGraphWrite : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void positionText_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("whole") << 1475.0f << QByteArray("1475");
        QTest::newRow("large whole") << 100000.0f << QByteArray("100000");
        QTest::newRow("negative") << -3.0f << QByteArray("-3");
        QTest::newRow("half") << 300.5f << QByteArray("300.5");
        QTest::newRow("tenth") << 0.1f << QByteArray("0.1");
        QTest::newRow("small") << 0.00001f << QByteArray("0.00001");
        QTest::newRow("float digits") << 1234.5677f << QByteArray("1234.5677");
        QTest::newRow("negative zero") << -0.0f << QByteArray("0");
    }
    void positionText()
    {
        QFETCH(float, value);
        QFETCH(QByteArray, text);
        QCOMPARE(PositionText(value), text);
        QCOMPARE(PositionText(value).toFloat(), value);
    }

    void appendToAbsentFile()
    {
        QTemporaryDir dir;
        MainSettings settings;
        settings.PINGTIMEOUT = 2000;
        settings.PINGINTERVAL = 3;
        settings.PINGPACKETS = 4;
        settings.ALERTWAV = QStringLiteral("alarm.wav");
        settings.ICONTEXT = QStringLiteral("Never written");
        FakePleaseWait wait;
        const Status s = AppendLocation(dir.path(), settings, Abc(), &wait);
        QVERIFY2(s.ok(), qPrintable(s.error));
        QCOMPARE(
            ReadBytes(GraphFilePath(dir.path())),
            "------------MAIN SETTINGS-----------\r\nPINGTIMEOUT=2000\r\nPINGINTERVAL=3\r\nPINGPACKETS=4\r\n"
            "ALERTWAV=alarm.wav\r\nONLINEWAV=\r\n------------MAIN SETTINGS-----------\r\n" +
                AbcBlock);
        QCOMPARE(wait.begins, 1);
        QVERIFY(!wait.showing());
        QVERIFY(!QFile::exists(GraphTwinPath(dir.path())));

        Configuration cfg;
        LoadConfiguration(dir.path(), cfg);
        QCOMPARE(cfg.settings.PINGTIMEOUT, qint16(2000));
        QCOMPARE(cfg.settings.ALERTWAV, settings.ALERTWAV);
        QCOMPARE(cfg.table.LocationCount(), 1);
        QCOMPARE(cfg.table[1].site, QStringLiteral("abc"));
        QCOMPARE(cfg.table[1].top, 300.5f);
    }

    void appendToExistingFile_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("kept"); // what the old lines become
        const QByteArray main =
            "------------MAIN SETTINGS-----------\r\nPINGTIMEOUT=1\r\nICONTEXT=Branch\r\n";
        QTest::newRow("CR LF") << main << main;
        QTest::newRow("empty file") << QByteArray() << QByteArray();
        QTest::newRow("LF only") << QByteArray(main).replace("\r\n", "\n") << main;
        QTest::newRow("no final line end") << main + "ONLINEWAV=x" << main + "ONLINEWAV=x\r\n";
        QTest::newRow("unknown lines, spaces, tabs, empty lines")
            << QByteArray("  junk \t\r\n\r\n; comment\r\n  SITEID=x  \r\n")
            << QByteArray("  junk \t\r\n\r\n; comment\r\n  SITEID=x  \r\n");
        QTest::newRow("Latin-1 and NUL bytes")
            << QByteArray("SITEID=K\xf6ln\0!\r\n", 15) << QByteArray("SITEID=K\xf6ln\0!\r\n", 15);
        QTest::newRow("stray CR kept as read")
            << QByteArray("a\rb\r\nc\r\r\n") << QByteArray("a\rb\r\nc\r\r\n");
    }
    void appendToExistingFile()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, kept);
        QTemporaryDir dir;
        QVERIFY(WriteBytes(GraphFilePath(dir.path()), before));
        QVERIFY(QFile::setPermissions(GraphFilePath(dir.path()), QFile::ReadOwner | QFile::WriteOwner));
        FakePleaseWait wait;
        const Status s = AppendLocation(dir.path(), MainSettings{}, Abc(), &wait);
        QVERIFY2(s.ok(), qPrintable(s.error));
        QCOMPARE(ReadBytes(GraphFilePath(dir.path())), kept + AbcBlock);
        QCOMPARE(wait.begins, 1);
        QCOMPARE(wait.ends, 1);
        QCOMPARE(QFile::permissions(GraphFilePath(dir.path())),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    }

    // A twin of a private file is private from the start: another user cannot read it while it is
    // being written. The mask lets nothing through that the original does not (umask 0 would widen
    // anything created at 0666).
    void twinIsAsPrivateAsItsOriginal_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("mode");
        for (const char *file : {"graph.txt", "info.txt", "alarm.wav"})
            for (const int mode : {0600, 0640, 0644})
                QTest::addRow("%s %o", file, mode) << QString::fromLatin1(file) << mode;
    }
    void twinIsAsPrivateAsItsOriginal()
    {
        QFETCH(QString, file);
        QFETCH(int, mode);
        QTemporaryDir dir;
        const QString original = dir.filePath(file);
        QVERIFY(WriteBytes(original, "------------LOCATION BEGIN-----------\r\nSITEID=abc\r\n"));
        QVERIFY(::chmod(QFile::encodeName(original).constData(), mode_t(mode)) == 0);
        const mode_t mask = ::umask(0);
        ModeWatch ops;
        Status s;
        if (file == QLatin1String("graph.txt")) {
            s = AppendLocation(dir.path(), MainSettings{}, Abc(), nullptr, &ops);
        } else if (file == QLatin1String("info.txt")) {
            s = SaveAddressNote(dir.path(), QStringLiteral("abc"), QStringLiteral("h1"), QStringLiteral("n"),
                                nullptr, &ops);
        } else {
            bool copied = false;
            s = CopyFileIfAbsent(original, dir.filePath(QStringLiteral("copy.wav")), copied, &ops);
        }
        ::umask(mask);
        QVERIFY2(s.ok(), qPrintable(s.error));
        QCOMPARE(ops.modes, QList<int>{mode});
    }

    void staleTwinIsReplaced()
    {
        QTemporaryDir dir;
        QVERIFY(WriteBytes(GraphFilePath(dir.path()), "PINGTIMEOUT=1\r\n"));
        QVERIFY(WriteBytes(GraphTwinPath(dir.path()), "stale"));
        QVERIFY(QFile::setPermissions(GraphTwinPath(dir.path()), QFile::ReadOwner));
        QVERIFY(AppendLocation(dir.path(), MainSettings{}, Abc(), nullptr).ok());
        QCOMPARE(ReadBytes(GraphFilePath(dir.path())), "PINGTIMEOUT=1\r\n" + AbcBlock);
        QVERIFY(!QFile::exists(GraphTwinPath(dir.path())));
    }

    void twinAloneIsNeverOverwritten()
    {
        QTemporaryDir dir;
        QVERIFY(WriteBytes(GraphTwinPath(dir.path()), "PINGTIMEOUT=1\r\n"));
        const Status s = AppendLocation(dir.path(), MainSettings{}, Abc(), nullptr);
        QVERIFY(!s.ok());
        QVERIFY(s.error.contains(QLatin1String("graphtmp.txt")));
        QCOMPARE(ReadBytes(GraphTwinPath(dir.path())), QByteArray("PINGTIMEOUT=1\r\n"));
        QVERIFY(!QFile::exists(GraphFilePath(dir.path())));
    }

    void rewriteAppliesRule()
    {
        QTemporaryDir dir;
        const QString path = GraphFilePath(dir.path());
        QVERIFY(WriteBytes(path, "keep\nreplace me\r\ndrop\r\nICONTEXT=x\n"));
        MapRule rule([](const QByteArray &line) -> std::optional<QByteArray> {
            if (line == "drop")
                return std::nullopt;
            if (line == "replace me")
                return QByteArray("replaced");
            return line;
        });
        FakePleaseWait wait;
        const Status s =
            RewriteViaTemporary(path, GraphTwinPath(dir.path()), &rule, {"extra 1", "extra 2"}, &wait);
        QVERIFY2(s.ok(), qPrintable(s.error));
        QCOMPARE(ReadBytes(path), QByteArray("keep\r\nreplaced\r\nICONTEXT=x\r\nextra 1\r\nextra 2\r\n"));
        QCOMPARE(wait.begins, 1);
        QCOMPARE(wait.ends, 1);
    }

    void lineBreaksAreRefused_data()
    {
        QTest::addColumn<QByteArray>("replacement");
        QTest::addColumn<QByteArray>("extra");
        QTest::newRow("rule CR LF") << QByteArray("SITEIP=a\r\nPINGTIMEOUT=1") << QByteArray();
        QTest::newRow("rule LF") << QByteArray("SITEIP=a\nSITETOP=1") << QByteArray();
        QTest::newRow("rule CR") << QByteArray("SITEIP=a\rSITETOP=1") << QByteArray();
        QTest::newRow("extra line") << QByteArray() << QByteArray("SITEID=x\r\nSITETOP=1");
    }
    void lineBreaksAreRefused()
    {
        QFETCH(QByteArray, replacement);
        QFETCH(QByteArray, extra);
        QTemporaryDir dir;
        const QString path = GraphFilePath(dir.path());
        const QByteArray before = "PINGTIMEOUT=7\r\nSITEIP=a\r\n";
        QVERIFY(WriteBytes(path, before));
        MapRule rule([&](const QByteArray &line) -> std::optional<QByteArray> {
            return line.startsWith("SITEIP=") && !replacement.isEmpty() ? replacement : line;
        });
        QList<QByteArray> extras;
        if (!extra.isEmpty())
            extras << extra;
        const Status s = RewriteViaTemporary(path, GraphTwinPath(dir.path()), &rule, extras, nullptr);
        QVERIFY(!s.ok());
        QVERIFY(s.error.contains(QLatin1String("line break")));
        QCOMPARE(ReadBytes(path), before);
        QVERIFY(!QFile::exists(GraphTwinPath(dir.path())));
    }

    void craftedValuesAreRefused_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("siteip");
        QTest::addColumn<QString>("why");
        const QString ip = QStringLiteral("h");
        QTest::newRow("CR LF in name")
            << QStringLiteral("x\r\nPINGTIMEOUT=1") << ip << QStringLiteral("line break");
        QTest::newRow("LF in name") << QStringLiteral("x\nSITETOP=5") << ip << QStringLiteral("line break");
        QTest::newRow("block in addresses")
            << QStringLiteral("x")
            << QStringLiteral("h\r\n------------LOCATION BEGIN-----------\r\nSITEID=evil")
            << QStringLiteral("line break");
        QTest::newRow("not Latin-1") << QStringLiteral("\u20ac") << ip << QStringLiteral("code page");
        QTest::newRow("earlier key in addresses")
            << QStringLiteral("x") << QStringLiteral("h,SITEID=evil") << QStringLiteral("SITEID=");
        QTest::newRow("separator in name")
            << QStringLiteral("a---------b") << ip << QStringLiteral("---------");
        QTest::newRow("trailing space") << QStringLiteral("abc ") << ip << QStringLiteral("space");
    }
    void craftedValuesAreRefused()
    {
        QFETCH(QString, site);
        QFETCH(QString, siteip);
        QFETCH(QString, why);
        QTemporaryDir dir;
        const QString path = GraphFilePath(dir.path());
        const QByteArray before = "------------MAIN SETTINGS-----------\r\nPINGTIMEOUT=2000\r\n";
        QVERIFY(WriteBytes(path, before));
        LocationRecord rec = Abc();
        rec.site = site;
        rec.siteip = siteip;
        FakePleaseWait wait;
        const Status s = AppendLocation(dir.path(), MainSettings{}, rec, &wait);
        QVERIFY(!s.ok());
        QVERIFY2(s.error.contains(why), qPrintable(s.error));
        QCOMPARE(ReadBytes(path), before);
        QCOMPARE(wait.begins, 0);

        // Nor through the settings when the file is created.
        QVERIFY(QFile::remove(path));
        MainSettings settings;
        settings.ONLINEWAV = site == QLatin1String("x") ? siteip : site;
        QVERIFY(!AppendLocation(dir.path(), settings, Abc(), nullptr).ok());
        QVERIFY(!QFile::exists(path));
    }

    void nonFinitePositionIsRefused()
    {
        QTemporaryDir dir;
        LocationRecord rec = Abc();
        rec.left = std::numeric_limits<float>::quiet_NaN();
        QVERIFY(!AppendLocation(dir.path(), MainSettings{}, rec, nullptr).ok());
        QVERIFY(!QFile::exists(GraphFilePath(dir.path())));
    }

    void failureLeavesFileIntact_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("onCall");
        QTest::addColumn<QString>("named"); // the file the message must name
        QTest::newRow("open graph.txt") << int(FailingOps::OpenSource) << 1 << QStringLiteral("graph.txt");
        QTest::newRow("create twin") << int(FailingOps::OpenTwin) << 1 << QStringLiteral("graphtmp.txt");
        QTest::newRow("first read") << int(FailingOps::Read) << 1 << QStringLiteral("graph.txt");
        QTest::newRow("later read") << int(FailingOps::Read) << 3 << QStringLiteral("graph.txt");
        QTest::newRow("first write") << int(FailingOps::Write) << 1 << QStringLiteral("graphtmp.txt");
        QTest::newRow("last write") << int(FailingOps::Write) << 3 << QStringLiteral("graphtmp.txt");
        QTest::newRow("sync") << int(FailingOps::Sync) << 1 << QStringLiteral("graphtmp.txt");
        QTest::newRow("rename") << int(FailingOps::Rename) << 1 << QStringLiteral("graph.txt");
    }
    void failureLeavesFileIntact()
    {
        QFETCH(int, step);
        QFETCH(int, onCall);
        QFETCH(QString, named);
        QTemporaryDir dir;
        const QString path = GraphFilePath(dir.path());
        QByteArray before = "PINGTIMEOUT=5\r\n";
        while (before.size() < 150 * 1024) // several read and write chunks
            before += "SITEIP=10.0.0.1,10.0.0.2,10.0.0.3\r\n";
        QVERIFY(WriteBytes(path, before));
        FailingOps ops;
        ops.step = FailingOps::Step(step);
        ops.onCall = onCall;
        ops.text = QStringLiteral("No space left on device");
        FakePleaseWait wait;
        const Status s = AppendLocation(dir.path(), MainSettings{}, Abc(), &wait, &ops);
        QVERIFY(!s.ok());
        QVERIFY2(s.error.contains(named) && s.error.contains(ops.text), qPrintable(s.error));
        QCOMPARE(ReadBytes(path), before);
        QVERIFY(!QFile::exists(GraphTwinPath(dir.path())));
        QCOMPARE(wait.begins, 1);
        QVERIFY(!wait.showing());
    }

    void failureWhileCreating_data()
    {
        QTest::addColumn<int>("step");
        QTest::newRow("create twin") << int(FailingOps::OpenTwin);
        QTest::newRow("write") << int(FailingOps::Write);
        QTest::newRow("sync") << int(FailingOps::Sync);
        QTest::newRow("rename") << int(FailingOps::Rename);
    }
    void failureWhileCreating()
    {
        QFETCH(int, step);
        QTemporaryDir dir;
        FailingOps ops;
        ops.step = FailingOps::Step(step);
        const Status s = AppendLocation(dir.path(), MainSettings{}, Abc(), nullptr, &ops);
        QVERIFY(!s.ok());
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void createNeverReplacesAFileThatAppeared()
    {
        QTemporaryDir dir;
        const QString path = GraphFilePath(dir.path());
        FailingOps ops; // fails nothing; another writer creates graph.txt just before the rename
        ops.beforeRename = [&] { QVERIFY(WriteBytes(path, "PINGTIMEOUT=1\r\n")); };
        const Status s = AppendLocation(dir.path(), MainSettings{}, Abc(), nullptr, &ops);
        QVERIFY(!s.ok());
        QCOMPARE(ReadBytes(path), QByteArray("PINGTIMEOUT=1\r\n"));
        QVERIFY(!QFile::exists(GraphTwinPath(dir.path())));
    }

    void realFailures()
    {
        QTemporaryDir dir;
        const QString path = GraphFilePath(dir.path());
        const QString twin = GraphTwinPath(dir.path());
        // No source at all.
        Status s = RewriteViaTemporary(path, twin, nullptr, {}, nullptr);
        QVERIFY(!s.ok());
        QVERIFY(s.error.contains(QDir::toNativeSeparators(path)));
        // The twin's name is taken by a folder that cannot be removed.
        QVERIFY(WriteBytes(path, "PINGTIMEOUT=1\r\n"));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("graphtmp.txt/inside")));
        s = AppendLocation(dir.path(), MainSettings{}, Abc(), nullptr);
        QVERIFY(!s.ok());
        QVERIFY(s.error.contains(QDir::toNativeSeparators(twin)));
        QCOMPARE(ReadBytes(path), QByteArray("PINGTIMEOUT=1\r\n"));
        QVERIFY(QFileInfo(twin).isDir());
    }

    void overlongLineIsNotRewritten()
    {
        QTemporaryDir dir;
        const QString path = GraphFilePath(dir.path());
        const QByteArray before = "PINGTIMEOUT=1\r\n" + QByteArray(MaxLineLength + 1, 'x');
        QVERIFY(WriteBytes(path, before));
        const Status s = AppendLocation(dir.path(), MainSettings{}, Abc(), nullptr);
        QVERIFY(!s.ok());
        QVERIFY(s.error.contains(QLatin1String("Line 2")));
        QCOMPARE(ReadBytes(path), before);
        QVERIFY(!QFile::exists(GraphTwinPath(dir.path())));

        // A line the reader would skip is never written: the file stays as it was.
        QVERIFY(WriteBytes(path, "PINGTIMEOUT=1\r\n"));
        LocationRecord big = Abc();
        big.siteip = QString(MaxLineLength, QLatin1Char('a'));
        const Status refused = AppendLocation(dir.path(), MainSettings{}, big, nullptr);
        QCOMPARE(refused.kind, Status::Kind::Refused);
        QCOMPARE(ReadBytes(path), QByteArray("PINGTIMEOUT=1\r\n"));
        QVERIFY(!QFile::exists(GraphTwinPath(dir.path())));
    }
};

QTEST_APPLESS_MAIN(TestGraphWrite)
#include "test_graphwrite.moc"
