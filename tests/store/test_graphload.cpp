#include "graphfiles.h"
#include "store/graphfile.h"
#include "store/linereader.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qos;
using namespace qos::test;

namespace {

// One location as a compact text: site|siteip|ignore|disabled|left|top|colour.
QString Describe(const LocationRecord &r)
{
    return QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
        .arg(r.site, r.siteip, r.ignore, r.sitedisabled, QString::fromLatin1(PositionText(r.left)),
             QString::fromLatin1(PositionText(r.top)),
             r.center == Indicator::Black ? QStringLiteral("B") : QStringLiteral("W"));
}

QByteArray Block(const char *site, const char *ip, const char *left = "10", const char *top = "20")
{
    return QByteArray("------------LOCATION BEGIN-----------\r\nSITEID=") + site +
           "\r\nIGNORE=\r\nSITEIP=" + ip + "\r\nDISABLED=0\r\nSITELEFT=" + left + "\r\nSITETOP=" + top +
           "\r\n------------LOCATION END-----------\r\n";
}

// Loads file as graph.txt of a fresh folder.
LoadResult LoadBytes(const QByteArray &file, Configuration &cfg)
{
    QTemporaryDir dir;
    if (!WriteBytes(GraphFilePath(dir.path()), file))
        return {true, {}, QStringLiteral("test file not written")};
    return LoadConfiguration(dir.path(), cfg);
}

long PeakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

class TestGraphLoad : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void absentFileGivesDefaults()
    {
        QTemporaryDir dir;
        Configuration cfg;
        cfg.settings.ALERTWAV = QStringLiteral("old.wav");
        cfg.table.records.append(LocationRecord{});
        const LoadResult r = LoadConfiguration(dir.path(), cfg);
        QVERIFY(!r.fileExisted);
        QVERIFY(r.error.isEmpty() && r.warnings.isEmpty());
        QCOMPARE(cfg.settings.PINGTIMEOUT, qint16(2000));
        QCOMPARE(cfg.settings.PINGINTERVAL, qint16(3));
        QCOMPARE(cfg.settings.PINGPACKETS, qint16(4));
        QVERIFY(cfg.settings.ALERTWAV.isEmpty() && cfg.settings.ONLINEWAV.isEmpty());
        QCOMPARE(cfg.settings.ICONTEXT, QStringLiteral("QOR Online Status"));
        QCOMPARE(cfg.table.LocationCount(), 0);
        QCOMPARE(cfg.generation, quint64(1));
        LoadConfiguration(dir.path(), cfg);
        QCOMPARE(cfg.generation, quint64(2));
    }

    void settings_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<int>>("numbers"); // timeout, interval, packets
        QTest::addColumn<QStringList>("texts");  // alert, online, icon text
        QTest::addColumn<int>("warnings");
        const QString tray = QStringLiteral("QOR Online Status");
        QTest::newRow("present but empty")
            << QByteArray() << QList<int>{0, 0, 0} << QStringList{{}, {}, tray} << 0;
        QTest::newRow("blocks but no settings")
            << Block("a", "h") << QList<int>{0, 0, 0} << QStringList{{}, {}, tray} << 0;
        QTest::newRow("main block")
            << QByteArray("------------MAIN SETTINGS-----------\r\nPINGTIMEOUT=1500\r\nPINGINTERVAL=5\r\n"
                          "PINGPACKETS=2\r\nALERTWAV=a.wav\r\nONLINEWAV=b.wav\r\n"
                          "------------MAIN SETTINGS-----------\r\n")
            << QList<int>{1500, 5, 2} << QStringList{QStringLiteral("a.wav"), QStringLiteral("b.wav"), tray}
            << 0;
        QTest::newRow("LF only, no final line end")
            << QByteArray("PINGTIMEOUT=7\nPINGINTERVAL=8\nICONTEXT=Head office") << QList<int>{7, 8, 0}
            << QStringList{{}, {}, QStringLiteral("Head office")} << 0;
        QTest::newRow("spaces trimmed, tabs kept")
            << QByteArray("   PINGPACKETS=3   \r\nALERTWAV=x.wav\t \r\n") << QList<int>{0, 0, 3}
            << QStringList{QStringLiteral("x.wav\t"), {}, tray} << 0;
        QTest::newRow("empty icon text")
            << QByteArray("ICONTEXT=\r\n") << QList<int>{0, 0, 0} << QStringList{{}, {}, {}} << 0;
        QTest::newRow("earlier key wins, value after its length")
            << QByteArray("ONLINEWAV=ALERTWAV=a.wav\r\n") << QList<int>{0, 0, 0}
            << QStringList{QStringLiteral("=ALERTWAV=a.wav"), {}, tray} << 0;
        QTest::newRow("separator anywhere skips the line")
            << QByteArray("PINGTIMEOUT=5---------\r\n") << QList<int>{0, 0, 0} << QStringList{{}, {}, tray}
            << 0;
        QTest::newRow("halves to even")
            << QByteArray("PINGTIMEOUT=2.5\r\nPINGINTERVAL=3.5\r\nPINGPACKETS=-2.5\r\n")
            << QList<int>{2, 4, -2} << QStringList{{}, {}, tray} << 1; // packets below 1 are told
        QTest::newRow("range ends")
            << QByteArray("PINGTIMEOUT=32767\r\nPINGINTERVAL=-32768.5\r\nPINGPACKETS=+1e1\r\n")
            << QList<int>{32767, -32768, 10} << QStringList{{}, {}, tray} << 0;
        QTest::newRow("unconvertible keeps previous value")
            << QByteArray(
                   "PINGTIMEOUT=700\r\nPINGTIMEOUT=abc\r\nPINGINTERVAL=99999\r\nPINGPACKETS=32767.5\r\n"
                   "PINGPACKETS=\r\nPINGINTERVAL=nan\r\nPINGTIMEOUT=1 000\r\n")
            << QList<int>{700, 0, 0} << QStringList{{}, {}, tray} << 6;
    }
    void settings()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<int>, numbers);
        QFETCH(QStringList, texts);
        QFETCH(int, warnings);
        Configuration cfg;
        const LoadResult r = LoadBytes(file, cfg);
        QVERIFY(r.fileExisted);
        QVERIFY(r.error.isEmpty());
        QCOMPARE(r.warnings.size(), warnings);
        QCOMPARE((QList<int>{cfg.settings.PINGTIMEOUT, cfg.settings.PINGINTERVAL, cfg.settings.PINGPACKETS}),
                 numbers);
        QCOMPARE((QStringList{cfg.settings.ALERTWAV, cfg.settings.ONLINEWAV, cfg.settings.ICONTEXT}), texts);
    }

    // The later settings: absent means on and one cycle, in a file of any age.
    void alertSettings_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("notifications");
        QTest::addColumn<int>("offlineCycles");
        QTest::addColumn<int>("warnings");
        QTest::newRow("a file from before them") << "PINGTIMEOUT=5\r\n" + Block("abc", "h") << 1 << 1 << 0;
        QTest::newRow("set") << QByteArray("NOTIFICATIONS=0\r\nOFFLINECYCLES=3\r\n") << 0 << 3 << 0;
        QTest::newRow("spaces and halves")
            << QByteArray("  NOTIFICATIONS=1  \r\nOFFLINECYCLES=2.5\r\n") << 1 << 2 << 0;
        QTest::newRow("not numbers keep the defaults")
            << QByteArray("NOTIFICATIONS=off\r\nOFFLINECYCLES=99999\r\n") << 1 << 1 << 2;
        QTest::newRow("inside a location value the older key wins")
            << QByteArray("SITEIP=h,NOTIFICATIONS=0\r\nIGNORE=OFFLINECYCLES=4\r\nSITETOP=1\r\n") << 1 << 1
            << 0;
    }
    void alertSettings()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, notifications);
        QFETCH(int, offlineCycles);
        QFETCH(int, warnings);
        Configuration cfg;
        cfg.settings.NOTIFICATIONS = 7; // a load starts from the defaults
        cfg.settings.OFFLINECYCLES = 7;
        const LoadResult r = LoadBytes(file, cfg);
        QCOMPARE(r.warnings.size(), warnings);
        QCOMPARE(int(cfg.settings.NOTIFICATIONS), notifications);
        QCOMPARE(int(cfg.settings.OFFLINECYCLES), offlineCycles);
    }

    // The states beyond up and down: absent keys leave everything off; a parent is a name of its own
    // block, never carried into the next one, and one that leads nowhere or round is warned of.
    void laterStates_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<int>>("settings"); // PARTIAL, SLOWMS, SLOWLOSS
        QTest::addColumn<QStringList>("parents"); // per location
        QTest::addColumn<QStringList>("warned");  // texts the warnings hold, in order
        const auto withParent = [](const char *site, const char *parent) {
            return Block(site, "h").replace("SITETOP=", QByteArray("PARENT=") + parent + "\r\nSITETOP=");
        };
        const QList<int> off{0, 0, 0};
        QTest::newRow("a file from before them")
            << "PINGTIMEOUT=5\r\n" + Block("abc", "h") << off << QStringList{QString()} << QStringList{};
        QTest::newRow("set") << QByteArray("PARTIAL=1\r\nSLOWMS=250\r\nSLOWLOSS=20\r\n")
                             << QList<int>{1, 250, 20} << QStringList{} << QStringList{};
        QTest::newRow("a parent by name, not carried to the next block")
            << withParent("kid", "router") + Block("router", "r") << off
            << QStringList{QStringLiteral("router"), QString()} << QStringList{};
        QTest::newRow("a name of no location is warned of")
            << withParent("kid", "nowhere") << off << QStringList{QStringLiteral("nowhere")}
            << QStringList{QStringLiteral("kid: PARENT=nowhere names no location")};
        QTest::newRow("a loop is warned of once, by its members")
            << withParent("a", "b") + withParent("b", "c") + withParent("c", "b") << off
            << QStringList{QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("b")}
            << QStringList{QStringLiteral("PARENT= lines of b, c lead round in a loop")};
    }
    void laterStates()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, parents);
        QFETCH(QStringList, warned);
        Configuration cfg;
        const LoadResult r = LoadBytes(file, cfg);
        QTEST((QList<int>{cfg.settings.PARTIAL, cfg.settings.SLOWMS, cfg.settings.SLOWLOSS}), "settings");
        QStringList loaded;
        for (int k = 1; k <= cfg.table.LocationCount(); ++k)
            loaded << cfg.table[k].parent;
        QCOMPARE(loaded, parents);
        QCOMPARE(r.warnings.size(), warned.size());
        for (qsizetype i = 0; i < warned.size(); ++i)
            QVERIFY2(r.warnings[i].contains(warned[i]), qPrintable(r.warnings[i]));
    }

    // The metrics address: absent is none; a location line that holds the text stays that location's.
    void metricsSetting_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("metrics");
        QTest::addColumn<QString>("siteip");
        QTest::newRow("absent") << "PINGTIMEOUT=5\r\n" + Block("abc", "h") << QString()
                                << QStringLiteral("h");
        QTest::newRow("set") << QByteArray("  METRICS=:9374  \r\n") << QStringLiteral(":9374") << QString();
        QTest::newRow("in an address list") << QByteArray("SITEIP=h,METRICS=:1\r\nSITETOP=1\r\n") << QString()
                                            << QStringLiteral("h,METRICS=:1");
    }
    void metricsSetting()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, metrics);
        QFETCH(QString, siteip);
        Configuration cfg;
        cfg.settings.METRICS = QStringLiteral("stale");
        QVERIFY(LoadBytes(file, cfg).warnings.isEmpty());
        QCOMPARE(cfg.settings.METRICS, metrics);
        QCOMPARE(cfg.table.LocationCount() ? cfg.table[1].siteip : QString(), siteip);
    }

    // The loader takes the first key found anywhere in a line: no key's text may hold another's, or a
    // line of one key would read as the other.
    void noKeyTextHoldsAnother()
    {
        for (int i = 0; i < KeyCount(); ++i) {
            for (int j = 0; j < KeyCount(); ++j) {
                const QByteArrayView a = KeyText(Key(i)), b = KeyText(Key(j));
                QVERIFY2(i == j || !a.contains(b),
                         (a.toByteArray() + " holds " + b.toByteArray()).constData());
            }
        }
    }

    // The one setting older programs do not know: absent means the default, bad values keep it.
    void pingInFlight_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("warnings");
        const int absent = kDefaultPingInFlight;
        QTest::newRow("absent") << QByteArray("PINGPACKETS=2\r\n") << absent << 0;
        QTest::newRow("64") << QByteArray("PINGINFLIGHT=64\r\n") << 64 << 0;
        QTest::newRow("1, one at a time") << QByteArray("  PINGINFLIGHT=1  \r\n") << 1 << 0;
        QTest::newRow("not a number") << QByteArray("PINGINFLIGHT=many\r\n") << absent << 1;
        QTest::newRow("beyond 16 bits") << QByteArray("PINGINFLIGHT=40000\r\n") << absent << 1;
        QTest::newRow("a line with an older key is that key's")
            << QByteArray("ALERTWAV=PINGINFLIGHT=5\r\n") << absent << 0;
    }
    void pingInFlight()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, warnings);
        Configuration cfg;
        cfg.settings.PINGINFLIGHT = 7; // loading starts from the defaults
        const LoadResult r = LoadBytes(file, cfg);
        QCOMPARE(r.warnings.size(), warnings);
        QTEST(int(cfg.settings.PINGINFLIGHT), "window");
    }

    void warningNamesLineAndText()
    {
        Configuration cfg;
        const LoadResult r = LoadBytes("PINGTIMEOUT=900\r\n\r\nPINGTIMEOUT=abc\r\n", cfg);
        QCOMPARE(r.warnings.size(), 1);
        QVERIFY2(r.warnings[0].contains(QLatin1String("line 3")), qPrintable(r.warnings[0]));
        QVERIFY(r.warnings[0].contains(QLatin1String("PINGTIMEOUT=abc")));
        QVERIFY(r.warnings[0].contains(QLatin1String("900")));
    }

    void packetsBelowOneAreTold_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("line"); // of the warning; 0 for none
        QTest::newRow("zero") << QByteArray("PINGTIMEOUT=5\r\nPINGPACKETS=0\r\n") << 2;
        QTest::newRow("negative") << QByteArray("PINGPACKETS=-3\r\n") << 1;
        QTest::newRow("rounds to zero") << QByteArray("PINGPACKETS=0.5\r\n") << 1;
        QTest::newRow("the last line counts") << QByteArray("PINGPACKETS=2\r\nPINGPACKETS=0\r\n") << 2;
        QTest::newRow("put right later") << QByteArray("PINGPACKETS=0\r\nPINGPACKETS=2\r\n") << 0;
        QTest::newRow("one") << QByteArray("PINGPACKETS=1\r\n") << 0;
    }
    void packetsBelowOneAreTold()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, line);
        Configuration cfg;
        const LoadResult r = LoadBytes(file, cfg);
        QCOMPARE(r.warnings.size(), line ? 1 : 0);
        if (line) {
            QVERIFY2(r.warnings[0].startsWith(QStringLiteral("graph.txt, line %1: \"PINGPACKETS=").arg(line)),
                     qPrintable(r.warnings[0]));
            QVERIFY(r.warnings[0].contains(QLatin1String("no echo request is sent")));
        }
    }

    void locations_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("locations");
        QTest::addColumn<int>("warnings");
        QTest::newRow("two blocks") << Block("abc", "10.0.0.1,host", "1475", "300.5") + Block("xyz", "h2")
                                    << QStringList{QStringLiteral("abc|10.0.0.1,host||0|1475|300.5|W"),
                                                   QStringLiteral("xyz|h2||0|10|20|W")}
                                    << 0;
        QTest::newRow("LF only") << Block("abc", "h").replace("\r\n", "\n")
                                 << QStringList{QStringLiteral("abc|h||0|10|20|W")} << 0;
        QTest::newRow("key anywhere, value after its length")
            << QByteArray("X SITEID=ABC\r\nSITETOP=1\r\n") << QStringList{QStringLiteral("D=ABC||||0|1|W")}
            << 0;
        QTest::newRow("spaces around key and value") << QByteArray("  SITEID=ABC  \r\nSITETOP=1\r\n")
                                                     << QStringList{QStringLiteral("ABC||||0|1|W")} << 0;
        QTest::newRow("first key in table order") << QByteArray("SITEIP=SITEID=x\r\nSITETOP=5\r\n")
                                                  << QStringList{QStringLiteral("SITEID=x||||0|5|W")} << 0;
        QTest::newRow("values carry to the next block")
            << QByteArray("SITEID=a\r\nIGNORE=h1\r\nSITEIP=h1,h2\r\nDISABLED=1\r\nSITELEFT=5\r\nSITETOP=6\r\n"
                          "SITEID=b\r\nSITETOP=7\r\n")
            << QStringList{QStringLiteral("a|h1,h2|h1|1|5|6|B"), QStringLiteral("b|h1,h2|h1|1|5|7|B")} << 0;
        QTest::newRow("block without SITETOP creates nothing")
            << QByteArray("SITEID=a\r\nSITEIP=h1\r\nSITEID=b\r\nSITETOP=2\r\n")
            << QStringList{QStringLiteral("b|h1|||0|2|W")} << 0;
        QTest::newRow("disabled texts")
            << QByteArray("SITEID=a\r\nDISABLED=1.0\r\nSITETOP=1\r\nSITEID=b\r\nDISABLED=abc\r\nSITETOP=1\r\n"
                          "SITEID=c\r\nDISABLED=0\r\nSITETOP=1\r\nSITEID=d\r\nDISABLED=1.4\r\nSITETOP=1\r\n")
            << QStringList{QStringLiteral("a|||1.0|0|1|B"), QStringLiteral("b|||abc|0|1|W"),
                           QStringLiteral("c|||0|0|1|W"), QStringLiteral("d|||1.4|0|1|W")}
            << 0;
        QTest::newRow("separator inside a value")
            << QByteArray("SITEID=a\r\nSITETOP=1\r\nSITEID=b---------c\r\nSITETOP=2\r\n")
            << QStringList{QStringLiteral("a||||0|1|W"), QStringLiteral("a||||0|2|W")} << 0;
        QTest::newRow("bad positions keep previous")
            << QByteArray("SITEID=a\r\nSITELEFT=5.25\r\nSITETOP=0.1\r\nSITEID=b\r\nSITELEFT=x\r\nSITETOP=\r\n"
                          "SITEID=c\r\nSITELEFT=1e39\r\nSITETOP=-3\r\n")
            << QStringList{QStringLiteral("a||||5.25|0.1|W"), QStringLiteral("b||||5.25|0.1|W"),
                           QStringLiteral("c||||5.25|-3|W")}
            << 3;
        QTest::newRow("stray CR and NUL stay in values")
            << QByteArray("SITEID=a\rb\r\r\nSITEIP=h\0x\r\nSITETOP=1", 34)
            << QStringList{QStringLiteral("a\rb\r|h") + QChar(0) + QStringLiteral("x|||0|1|W")} << 0;
        QTest::newRow("Latin-1 bytes") << QByteArray("SITEID=K\xf6ln\r\nSITETOP=1\r\n")
                                       << QStringList{QStringLiteral("K\u00f6ln||||0|1|W")} << 0;
        QTest::newRow("overlong line skipped")
            << QByteArray("SITEID=a\r\nSITEID=") + QByteArray(MaxLineLength + 10, 'x') + "\r\nSITETOP=1\r\n"
            << QStringList{QStringLiteral("a||||0|1|W")} << 1;
    }
    void locations()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, locations);
        QFETCH(int, warnings);
        Configuration cfg;
        const LoadResult r = LoadBytes(file, cfg);
        QVERIFY(r.error.isEmpty());
        QCOMPARE(r.warnings.size(), warnings);
        QStringList got;
        for (int k = 1; k <= cfg.table.LocationCount(); ++k) {
            got << Describe(cfg.table[k]);
            QCOMPARE(cfg.table[k].flash, QStringLiteral("0"));
            QVERIFY(cfg.table[k].holdbad.isEmpty());
        }
        QCOMPARE(got, locations);
    }

    void farPositionsRefused_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<QString>("why"); // what the warnings say
        const QString far = QStringLiteral("outside the window's reach (-1000000 to 1000000)");
        const QString nan = QStringLiteral("not a number");
        QTest::newRow("1e12") << QByteArray("1e12") << false << far;
        QTest::newRow("-1e12") << QByteArray("-1e12") << false << far;
        QTest::newRow("just beyond") << QByteArray("1000001") << false << far;
        QTest::newRow("nan") << QByteArray("nan") << false << nan;
        QTest::newRow("inf") << QByteArray("inf") << false << nan;
        QTest::newRow("-inf") << QByteArray("-inf") << false << nan;
        QTest::newRow("normal") << QByteArray("1475") << true << QString();
        QTest::newRow("the bound") << QByteArray("1000000") << true << QString();
        QTest::newRow("minus the bound") << QByteArray("-1000000") << true << QString();
    }
    void farPositionsRefused()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, kept);
        QFETCH(QString, why);
        const QByteArray file = "SITEID=a\r\nSITELEFT=5\r\nSITETOP=6\r\nSITEID=b\r\nSITELEFT=" + value +
                                "\r\nSITETOP=" + value + "\r\n";
        QTemporaryDir dir;
        QVERIFY(WriteBytes(GraphFilePath(dir.path()), file));
        Configuration cfg;
        const LoadResult r = LoadConfiguration(dir.path(), cfg);
        QVERIFY(r.error.isEmpty());
        QCOMPARE(cfg.table.LocationCount(), 2);
        QCOMPARE(Describe(cfg.table[1]), QStringLiteral("a||||5|6|W"));
        const QString shown = QString::fromLatin1(value);
        QCOMPARE(Describe(cfg.table[2]),
                 kept ? QStringLiteral("b||||%1|%1|W").arg(shown) : QStringLiteral("b||||5|6|W"));
        QCOMPARE(ReadBytes(GraphFilePath(dir.path())), file); // the file keeps its values
        if (kept) {
            QVERIFY(r.warnings.isEmpty());
            return;
        }
        QCOMPARE(
            r.warnings,
            (QStringList{
                QStringLiteral("graph.txt, line 5: \"SITELEFT=%1\": %2; SITELEFT stays 5.").arg(shown, why),
                QStringLiteral("graph.txt, line 6: \"SITETOP=%1\": %2; SITETOP stays 6.").arg(shown, why)}));
    }

    void startupWarningsText_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("lines");    // lines of the text
        QTest::addColumn<QString>("last"); // its last line
        QTest::newRow("none") << 0 << 1 << QString();
        QTest::newRow("one") << 1 << 1 << QStringLiteral("w1");
        QTest::newRow("twenty") << 20 << 20 << QStringLiteral("w20");
        QTest::newRow("twenty-one") << 21 << 21 << QStringLiteral("... and 1 more");
        QTest::newRow("a hundred") << 100 << 21 << QStringLiteral("... and 80 more");
    }
    void startupWarningsText()
    {
        QFETCH(int, count);
        QFETCH(int, lines);
        QFETCH(QString, last);
        QStringList warnings;
        for (int k = 1; k <= count; ++k)
            warnings << QStringLiteral("w%1").arg(k);
        const QStringList got = StartupWarningsText(warnings).split(QLatin1Char('\n'));
        QCOMPARE(got.size(), lines);
        QCOMPARE(got.last(), last);
        // The warnings shown are the first ones, in order.
        const int shown = qMin(count, MaxShownWarnings);
        QCOMPARE(got.mid(0, shown), warnings.mid(0, shown));
    }

    void atMostMaxLocations()
    {
        QByteArray file;
        for (int k = 0; k <= MaxLocations; ++k)
            file += "SITEID=n" + QByteArray::number(k) + "\r\nSITETOP=1\r\n";
        file += "PINGTIMEOUT=9\r\n";
        Configuration cfg;
        const LoadResult r = LoadBytes(file, cfg);
        QCOMPARE(cfg.table.LocationCount(), MaxLocations);
        QCOMPARE(r.warnings.size(), 1);
        QCOMPARE(cfg.settings.PINGTIMEOUT, qint16(9)); // loading went on after the last location
    }

    void leftoverTwinIsRecovered()
    {
        QTemporaryDir dir;
        const QByteArray content = "PINGTIMEOUT=1234\r\n" + Block("abc", "h");
        QVERIFY(WriteBytes(GraphTwinPath(dir.path()), content));
        Configuration cfg;
        const LoadResult r = LoadConfiguration(dir.path(), cfg);
        QVERIFY(r.fileExisted);
        QVERIFY(r.error.isEmpty());
        QCOMPARE(r.warnings.size(), 1);
        QVERIFY(r.warnings[0].contains(QLatin1String("graphtmp.txt")));
        QCOMPARE(cfg.settings.PINGTIMEOUT, qint16(1234));
        QCOMPARE(cfg.table.LocationCount(), 1);
        QCOMPARE(ReadBytes(GraphFilePath(dir.path())), content);
        QVERIFY(!QFile::exists(GraphTwinPath(dir.path())));
    }

    void leftoverTwinBesideGraphIsIgnored()
    {
        QTemporaryDir dir;
        QVERIFY(WriteBytes(GraphFilePath(dir.path()), "PINGTIMEOUT=1\r\n"));
        QVERIFY(WriteBytes(GraphTwinPath(dir.path()), "PINGTIMEOUT=2\r\n"));
        Configuration cfg;
        const LoadResult r = LoadConfiguration(dir.path(), cfg);
        QVERIFY(r.warnings.isEmpty());
        QCOMPARE(cfg.settings.PINGTIMEOUT, qint16(1));
    }

    void readFailureKeepsWhatWasRead()
    {
        QTemporaryDir dir;
        QByteArray file = "PINGTIMEOUT=5\r\n";
        while (file.size() < 100 * 1024)
            file += Block("a", "h");
        QVERIFY(WriteBytes(GraphFilePath(dir.path()), file));
        FailingOps ops;
        ops.step = FailingOps::Read;
        ops.onCall = 2;
        ops.text = QStringLiteral("Input/output error");
        Configuration cfg;
        const LoadResult r = LoadConfiguration(dir.path(), cfg, &ops);
        QVERIFY2(r.error.contains(ops.text) && r.error.contains(QLatin1String("graph.txt")),
                 qPrintable(r.error));
        QCOMPARE(cfg.settings.PINGTIMEOUT, qint16(5));
        QVERIFY(cfg.table.LocationCount() > 0);
        QCOMPARE(ReadBytes(GraphFilePath(dir.path())), file);
    }

    void twinThatCannotBeRenamedIsLoadedAndKept()
    {
        QTemporaryDir dir;
        const QByteArray content = "PINGTIMEOUT=1234\r\n" + Block("abc", "h");
        QVERIFY(WriteBytes(GraphTwinPath(dir.path()), content));
        FailingOps ops;
        ops.step = FailingOps::Rename;
        Configuration cfg;
        const LoadResult r = LoadConfiguration(dir.path(), cfg, &ops);
        QVERIFY(r.error.contains(QLatin1String("graphtmp.txt")));
        QCOMPARE(cfg.table.LocationCount(), 1);
        // Nothing may now create a fresh graph.txt beside the only copy.
        QVERIFY(!AppendLocation(dir.path(), cfg.settings, cfg.table[1], nullptr).ok());
        QCOMPARE(ReadBytes(GraphTwinPath(dir.path())), content);
        QVERIFY(!QFile::exists(GraphFilePath(dir.path())));
    }

    void unreadableFileIsAnErrorAndStaysUntouched()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QLatin1String(GraphFileName))); // exists, cannot be read as a file
        Configuration cfg;
        const LoadResult r = LoadConfiguration(dir.path(), cfg);
        QVERIFY(r.fileExisted);
        QVERIFY(r.error.contains(QLatin1String("graph.txt")));
        QCOMPARE(cfg.settings.PINGTIMEOUT, qint16(0));
        QCOMPARE(cfg.table.LocationCount(), 0);
        // A later append must not replace it with a file made from memory.
        LocationRecord rec;
        rec.site = QStringLiteral("abc");
        const Status s = AppendLocation(dir.path(), cfg.settings, rec, nullptr);
        QVERIFY(!s.ok());
        QVERIFY(QFileInfo(GraphFilePath(dir.path())).isDir());
    }

    // What takes a data file's name at start-up without being a whole regular file is refused with
    // a reason at once: reading it would wait for a writer for ever (a FIFO) or never end (a device),
    // and taking back a folder or a cut twin would put it in the file's place.
    void oddFilesAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("said");
        for (const char *name : {GraphFileName, GraphTwinName}) {
            QTest::addRow("%s FIFO", name) << name << "fifo" << "a FIFO";
            QTest::addRow("%s to /dev/zero", name) << name << "device" << "a device";
            QTest::addRow("%s folder", name) << name << "folder" << "a folder";
        }
        QTest::newRow("twin cut short") << GraphTwinName << "cut" << "cut short";
        QTest::newRow("empty twin") << GraphTwinName << "empty" << "cut short";
        QTest::newRow("beyond what a load reads") << GraphFileName << "huge" << "beyond";
    }
    void oddFilesAreRefused()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        const QByteArray bytes = QFile::encodeName(path);
        if (kind == QLatin1String("fifo"))
            QVERIFY(::mkfifo(bytes.constData(), 0600) == 0);
        else if (kind == QLatin1String("device"))
            QVERIFY(::symlink("/dev/zero", bytes.constData()) == 0);
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir(dir.path()).mkdir(name));
        else if (kind == QLatin1String("huge"))
            QVERIFY(WriteBytes(path, "PINGTIMEOUT=5\r\n") && QFile(path).resize(MaxFileBytes + 1));
        else
            QVERIFY(WriteBytes(path, kind == QLatin1String("cut") ? "PINGTIMEOUT=5\r\nPINGINT" : ""));
        Configuration cfg;
        const LoadResult r = LoadConfiguration(dir.path(), cfg);
        QVERIFY2(r.error.contains(said) && r.error.contains(name), qPrintable(r.error));
        QVERIFY(r.fileExisted); // so nothing writes a fresh file over or beside it
        QVERIFY(QFileInfo::exists(path));
        if (name == QLatin1String(GraphTwinName))
            QVERIFY(!QFileInfo::exists(GraphFilePath(dir.path())));
        QCOMPARE(cfg.table.LocationCount(), 0);
    }

    void hugeSingleLineStreams()
    {
        QTemporaryDir dir;
        {
            QFile f(GraphFilePath(dir.path()));
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.write("PINGTIMEOUT=5\r\n") == 15);
            QVERIFY(f.resize(200LL * 1024 * 1024)); // sparse: one 200 MB line of NUL bytes, no line end
        }
        const long before = PeakKilobytes();
        Configuration cfg;
        const LoadResult r = LoadConfiguration(dir.path(), cfg);
        QVERIFY(r.error.isEmpty());
        QCOMPARE(r.warnings.size(), 1);
        QVERIFY(r.warnings[0].contains(QLatin1String("line 2")));
        QCOMPARE(cfg.settings.PINGTIMEOUT, qint16(5));
        QVERIFY2(PeakKilobytes() - before < 64 * 1024, "loading must not hold the file in memory");
    }
};

QTEST_APPLESS_MAIN(TestGraphLoad)
#include "test_graphload.moc"
