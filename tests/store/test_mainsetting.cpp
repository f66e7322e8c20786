// The main-settings rewrite of graph.txt and the copy of a chosen sound into the program folder.
#include "graphfiles.h"
#include "store/filecopy.h"
#include "store/graphfile.h"
#include "tests/support/fakes.h"
#include "tests/support/graphtext.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace qos;
using namespace qos::test;

Q_DECLARE_METATYPE(qos::Key)

namespace {

const QByteArray Standard = GraphText({GraphLocation{"abc"}});

QByteArray Replaced(QByteArray text, const QByteArray &from, const QByteArray &to)
{
    return text.replace(from, to);
}

} // namespace

class TestMainSetting : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rewrites_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<Key>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("timeout 500: one line changes")
            << Standard << Key::PingTimeout << QStringLiteral("500")
            << Replaced(Standard, "PINGTIMEOUT=2000", "PINGTIMEOUT=500");
        QTest::newRow("LF-only file comes out CR LF")
            << Replaced(Standard, "\r\n", "\n") << Key::PingPackets << QStringLiteral("7")
            << Replaced(Standard, "PINGPACKETS=4", "PINGPACKETS=7");
        QTest::newRow("text written as typed") << Standard << Key::PingInterval << QStringLiteral("2.5")
                                               << Replaced(Standard, "PINGINTERVAL=3", "PINGINTERVAL=2.5");
        QTest::newRow("sound to default")
            << Replaced(Standard, "ALERTWAV=", "ALERTWAV=old.wav") << Key::AlertWav << QString() << Standard;
        QTest::newRow("location line holding the key text stays")
            << GraphText({GraphLocation{"abc"}}, "ICONTEXT=Branch\r\n")
                   .replace("SITEIP=127.0.0.1", "SITEIP=h,ONLINEWAV=x")
            << Key::OnlineWav << QStringLiteral("ding.wav")
            << GraphText({GraphLocation{"abc"}}, "ICONTEXT=Branch\r\n")
                   .replace("SITEIP=127.0.0.1", "SITEIP=h,ONLINEWAV=x")
                   .replace("ONLINEWAV=\r\n", "ONLINEWAV=ding.wav\r\n");
        QTest::newRow("missing key goes into the MAIN SETTINGS block")
            << Replaced(Standard, "PINGPACKETS=4\r\n", "") << Key::PingPackets << QStringLiteral("3")
            << Replaced(Standard, "ONLINEWAV=\r\n", "ONLINEWAV=\r\nPINGPACKETS=3\r\n")
                   .replace("PINGPACKETS=4\r\n", "");
        QTest::newRow("no main block: before the first location")
            << LocationBlock(GraphLocation{"abc"}) << Key::PingTimeout << QStringLiteral("9")
            << "PINGTIMEOUT=9\r\n" + LocationBlock(GraphLocation{"abc"});
        QTest::newRow("empty file") << QByteArray() << Key::AlertWav << QStringLiteral("a.wav")
                                    << QByteArray("ALERTWAV=a.wav\r\n");
        QTest::newRow("notifications off: a new line in the MAIN SETTINGS block")
            << Standard << Key::Notifications << QStringLiteral("0")
            << Replaced(Standard, "ONLINEWAV=\r\n", "ONLINEWAV=\r\nNOTIFICATIONS=0\r\n");
        QTest::newRow("offline cycles replaced where it is")
            << Replaced(Standard, "PINGTIMEOUT=2000\r\n", "PINGTIMEOUT=2000\r\nOFFLINECYCLES=2\r\n")
            << Key::OfflineCycles << QStringLiteral("3")
            << Replaced(Standard, "PINGTIMEOUT=2000\r\n", "PINGTIMEOUT=2000\r\nOFFLINECYCLES=3\r\n");
        QTest::newRow("every key line outside the blocks, spaces and all")
            << QByteArray("  PINGTIMEOUT=1  \r\nX PINGTIMEOUT=2\r\n") + LocationBlock(GraphLocation{"abc"}) +
                   "PINGTIMEOUT=3\r\n"
            << Key::PingTimeout << QStringLiteral("-5")
            << "PINGTIMEOUT=-5\r\nPINGTIMEOUT=-5\r\n" + LocationBlock(GraphLocation{"abc"}) +
                   "PINGTIMEOUT=-5\r\n";
    }
    void rewrites()
    {
        QFETCH(QByteArray, before);
        QFETCH(Key, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        QVERIFY(WriteBytes(GraphFilePath(dir.path()), before));
        FakePleaseWait wait;
        const Status s = RewriteMainSetting(dir.path(), MainSettings{}, key, value, &wait);
        QVERIFY2(s.ok(), qPrintable(s.error));
        QCOMPARE(ReadBytes(GraphFilePath(dir.path())), after);
        QCOMPARE(wait.begins, 1);
        QVERIFY(!wait.showing());
        QVERIFY(!QFile::exists(GraphTwinPath(dir.path())));

        // What a restart reads is what was set.
        Configuration cfg;
        LoadConfiguration(dir.path(), cfg);
        const MainSettings &m = cfg.settings;
        const QString read = key == Key::PingTimeout     ? QString::number(m.PINGTIMEOUT)
                             : key == Key::PingInterval  ? QString::number(m.PINGINTERVAL)
                             : key == Key::PingPackets   ? QString::number(m.PINGPACKETS)
                             : key == Key::AlertWav      ? m.ALERTWAV
                             : key == Key::Notifications ? QString::number(m.NOTIFICATIONS)
                             : key == Key::OfflineCycles ? QString::number(m.OFFLINECYCLES)
                                                         : m.ONLINEWAV;
        QCOMPARE(read, value == QLatin1String("2.5") ? QStringLiteral("2") : value);
    }

    // Without graph.txt a later setting gets its line at the end of the new MAIN SETTINGS block.
    void laterSettingInNewFile()
    {
        QTemporaryDir dir;
        MainSettings memory;
        memory.ALERTWAV = QStringLiteral("alarm.wav");
        QVERIFY(
            RewriteMainSetting(dir.path(), memory, Key::OfflineCycles, QStringLiteral("4"), nullptr).ok());
        QCOMPARE(ReadBytes(GraphFilePath(dir.path())),
                 QByteArray("------------MAIN SETTINGS-----------\r\nPINGTIMEOUT=2000\r\nPINGINTERVAL=3\r\n"
                            "PINGPACKETS=4\r\nALERTWAV=alarm.wav\r\nONLINEWAV=\r\nOFFLINECYCLES=4\r\n"
                            "------------MAIN SETTINGS-----------\r\n"));
    }

    void refused_data()
    {
        QTest::addColumn<Key>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("line break") << Key::AlertWav << QStringLiteral("a\r\nSITEID=x");
        QTest::newRow("not in the code page") << Key::AlertWav << QStringLiteral("\u20ac.wav");
        QTest::newRow("reads back as another key") << Key::OnlineWav << QStringLiteral("SITEID=x.wav");
        QTest::newRow("not a main setting") << Key::SiteIp << QStringLiteral("1.2.3.4");
    }
    void refused()
    {
        QFETCH(Key, key);
        QFETCH(QString, value);
        QTemporaryDir dir;
        QVERIFY(WriteBytes(GraphFilePath(dir.path()), Standard));
        Status s = RewriteMainSetting(dir.path(), MainSettings{}, key, value, nullptr);
        QCOMPARE(s.kind, Status::Kind::Refused);
        QCOMPARE(ReadBytes(GraphFilePath(dir.path())), Standard);
        QVERIFY(QFile::remove(GraphFilePath(dir.path())));
        s = RewriteMainSetting(dir.path(), MainSettings{}, key, value, nullptr);
        QCOMPARE(s.kind, Status::Kind::Refused);
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void copyIfAbsent_data()
    {
        QTest::addColumn<bool>("targetThere");
        QTest::addColumn<int>("step"); // a failing primitive, FailingOps::None for none
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("copied");
        QTest::newRow("copies") << false << int(FailingOps::None) << true << true;
        QTest::newRow("existing name kept") << true << int(FailingOps::None) << true << false;
        QTest::newRow("source unreadable") << false << int(FailingOps::OpenSource) << false << false;
        QTest::newRow("folder not writable") << false << int(FailingOps::OpenTwin) << false << false;
        QTest::newRow("disk full") << false << int(FailingOps::Write) << false << false;
        QTest::newRow("rename fails") << false << int(FailingOps::Rename) << false << false;
    }
    void copyIfAbsent()
    {
        QFETCH(bool, targetThere);
        QFETCH(int, step);
        QFETCH(bool, ok);
        QFETCH(bool, copied);
        QTemporaryDir dir;
        const QString source = QDir(dir.path()).filePath(QStringLiteral("elsewhere.wav"));
        const QString target = QDir(dir.path()).filePath(QStringLiteral("program/alarm.wav"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("program")));
        const QByteArray theirs = QByteArray(200 * 1024, 'w'); // several chunks
        QVERIFY(WriteBytes(source, theirs));
        if (targetThere)
            QVERIFY(WriteBytes(target, "mine"));
        FailingOps ops;
        ops.step = FailingOps::Step(step);
        bool didCopy = true;
        const Status s = CopyFileIfAbsent(source, target, didCopy, &ops);
        QCOMPARE(s.ok(), ok);
        QCOMPARE(didCopy, copied);
        if (!ok)
            QVERIFY2(s.error.contains(ops.text), qPrintable(s.error));
        QCOMPARE(ReadBytes(target), targetThere ? QByteArray("mine") : ok ? theirs : QByteArray());
        QCOMPARE(QFile::exists(target), targetThere || ok);
        QVERIFY(!QFile::exists(CopyTwinPath(target)));
        QCOMPARE(ReadBytes(source), theirs);
    }

    void copyKeepsAFileThatAppeared()
    {
        QTemporaryDir dir;
        const QString source = QDir(dir.path()).filePath(QStringLiteral("a.wav"));
        const QString target = QDir(dir.path()).filePath(QStringLiteral("b.wav"));
        QVERIFY(WriteBytes(source, "theirs"));
        FailingOps ops; // fails nothing; the name is taken just before the copy is put in place
        ops.beforeRename = [&] { QVERIFY(WriteBytes(target, "mine")); };
        bool copied = true;
        QVERIFY(CopyFileIfAbsent(source, target, copied, &ops).ok());
        QVERIFY(!copied);
        QCOMPARE(ReadBytes(target), QByteArray("mine"));
        QVERIFY(!QFile::exists(CopyTwinPath(target)));
    }
};

QTEST_APPLESS_MAIN(TestMainSetting)
#include "test_mainsetting.moc"
