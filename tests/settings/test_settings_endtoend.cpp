// Settings changed in the dialogs reach the wire: the next cycle sends the new number of echo
// requests to a silent namespace test host, each waiting the new timeout. Needs root; skips without.
#include "settings/settingsdialogs.h"
#include "tests/support/netns.h"
#include "tests/support/programrig.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QRegularExpression>

using namespace qos;
using namespace qos::test;

namespace {

// Echo requests the lab's target has forwarded towards the silent host, by an nft counter.
class EchoCounter {
public:
    EchoCounter(NetLab &lab, const char *address)
        : m_lab(lab)
    {
        m_ok = lab.inNamespace(
            lab.target(), {QStringLiteral("nft"), QStringLiteral("-f"), QStringLiteral("-")},
            QByteArray("add rule ip lab passing ip daddr ") + address + " icmp type echo-request counter\n");
    }
    bool ok() const { return m_ok; }
    int count() const
    {
        QProcess nft;
        nft.start(QStringLiteral("ip"),
                  {QStringLiteral("netns"), QStringLiteral("exec"), m_lab.target(), QStringLiteral("nft"),
                   QStringLiteral("list"), QStringLiteral("chain"), QStringLiteral("ip"),
                   QStringLiteral("lab"), QStringLiteral("passing")});
        if (!nft.waitForFinished(10000))
            return -1;
        static const QRegularExpression packets(QStringLiteral("echo-request counter packets (\\d+)"));
        const auto m = packets.match(QString::fromLatin1(nft.readAllStandardOutput()));
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    }

private:
    NetLab &m_lab;
    bool m_ok = false;
};

void Submit(ProgramRig &p, QAction *item, ProbeSetting which, const char *text)
{
    item->trigger();
    ProbeSettingDialog *d = p.program->settingsDialogs().dialog(which);
    QVERIFY(d);
    d->box()->setText(QLatin1String(text));
    d->submit();
}

} // namespace

class TestSettingsEndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nextCycleSendsWhatWasSet()
    {
        QOS_START_NETLAB(lab);
        const char *silent = "10.213.2.3";
        EchoCounter echoes(lab, silent);
        QVERIFY2(echoes.ok(), qPrintable(lab.error()));
        NetnsScope scope(lab.client()); // the engine's socket opens in the lab's client namespace
        QVERIFY(scope.entered());

        ProgramRig p(ProgramRig::Engine::Real);
        GraphLocation quiet{"sil"};
        quiet.siteip = silent;
        QVERIFY(WriteGraph(p.folder(), {quiet}));
        p.start();
        Submit(p, p.c().settings.timeout, ProbeSetting::Timeout, "300");
        QTest::mouseClick(p.view->marker(1), Qt::LeftButton);
        Submit(p, p.list()->controls().settings.packets, ProbeSetting::Packets, "3");
        QTest::mouseClick(p.list()->controls().mapView, Qt::LeftButton); // "Map View"
        QCOMPARE(echoes.count(), 0);

        QElapsedTimer cycle;
        cycle.start();
        QTest::mouseClick(p.c().startMonitor, Qt::LeftButton); // "Start Monitor"
        QVERIFY(p.cycleEnds(10000));
        const qint64 took = cycle.elapsed();
        QCOMPARE(echoes.count(), 3);
        // Three waits of 300 ms, far from even one wait of the old 2000 ms.
        QVERIFY2(took >= 850 && took < 2000, qPrintable(QString::number(took)));
        QCOMPARE(p.colour(1), Red);

        Submit(p, p.c().settings.packets, ProbeSetting::Packets, "1");
        QTest::mouseClick(p.c().stopMonitor, Qt::LeftButton); // "Stop Monitor"
        QTest::mouseClick(p.c().startMonitor, Qt::LeftButton);
        QVERIFY(p.cycleEnds(10000));
        QCOMPARE(echoes.count(), 4);
        QVERIFY2(p.boxes.shown.isEmpty(), qPrintable(p.boxes.shown.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestSettingsEndToEnd)
#include "test_settings_endtoend.moc"
