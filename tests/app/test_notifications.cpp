// Desktop notifications over a session bus of the test's own, with a fake notification service
// registered on it: the Notify call, clicks, the tray fallback where the service is absent, and the
// whole program giving one notification per cycle and restoring the Map View on a click.
#include "platform/dbusnotifier.h"
#include "tests/support/programrig.h"
#include "tests/support/sessionbus.h"

#include <QApplication>
#include <QDBusContext>
#include <QDBusMessage>
#include <QSignalSpy>

using namespace qos;
using namespace qos::test;

namespace {

// org.freedesktop.Notifications as a notification daemon offers it, recording the calls.
class FakeNotificationService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString app, icon, summary, body;
        uint replaces;
        QStringList actions;
        QVariantMap hints;
        int timeout;
    };
    QList<Call> calls;
    QStringList capabilities{QStringLiteral("actions"), QStringLiteral("body"),
                             QStringLiteral("body-markup")};
    bool fails = false; // Notify answers with an error
    uint lastId = 40;
    int capabilityQueries = 0;
    QList<uint> closed; // CloseNotification calls

public Q_SLOTS:
    uint Notify(const QString &app, uint replaces, const QString &icon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int timeout)
    {
        if (fails) {
            sendErrorReply(QDBusError::Failed, QStringLiteral("out of order"));
            return 0;
        }
        calls << Call{app, icon, summary, body, replaces, actions, hints, timeout};
        return ++lastId;
    }
    QStringList GetCapabilities()
    {
        ++capabilityQueries;
        return capabilities;
    }
    void CloseNotification(uint id)
    {
        closed << id;
        Q_EMIT NotificationClosed(id, 3);
    }

Q_SIGNALS:
    void ActionInvoked(uint id, const QString &action_key);
    void NotificationClosed(uint id, uint reason);
};

// The service on a connection of its own, so every call really goes over the bus.
struct Service {
    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("service"));
    FakeNotificationService fake;

    bool up()
    {
        return bus.registerObject(QLatin1String(NotificationsPath), &fake,
                                  QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
               bus.registerService(QLatin1String(NotificationsService));
    }
    ~Service()
    {
        bus.unregisterService(QLatin1String(NotificationsService));
        bus.unregisterObject(QLatin1String(NotificationsPath));
    }
};

DBusNotifier::Identity Us()
{
    return {QStringLiteral("QOR Online Status"), QStringLiteral("qor-online-status")};
}

// Answers on their way to the notifier: this lets them arrive.
void LetAnswersArrive()
{
    QTest::qWait(200);
}

} // namespace

class TestNotifications : public QObject {
    Q_OBJECT
public:
    explicit TestNotifications(const PrivateSessionBus &bus)
        : m_bus(bus)
    {}

private Q_SLOTS:
    void init()
    {
        if (!m_bus.error.isEmpty())
            QSKIP(qPrintable(m_bus.error));
    }

    void notifyCall_data()
    {
        QTest::addColumn<bool>("markup");
        QTest::addColumn<bool>("urgent");
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("urgency");
        const QString text = QStringLiteral("R&D offline: <a>\nB back online");
        QTest::newRow("markup escaped, urgent")
            << true << true << QStringLiteral("R&amp;D offline: &lt;a&gt;\nB back online") << 2;
        QTest::newRow("plain service gets plain text") << false << false << text << 1;
    }
    void notifyCall()
    {
        QFETCH(bool, markup);
        QFETCH(bool, urgent);
        QFETCH(QString, body);
        QFETCH(int, urgency);
        Service service;
        if (!markup)
            service.fake.capabilities.removeAll(QStringLiteral("body-markup"));
        QVERIFY(service.up());
        FakeTray tray;
        tray.present = true;
        DBusNotifier notifier(QDBusConnection::sessionBus(), &tray, Us());
        QTRY_COMPARE(service.fake.capabilityQueries, 1); // asked once, when it was made
        LetAnswersArrive();
        notifier.notify({QStringLiteral("2 locations changed"),
                         QStringLiteral("R&D offline: <a>\nB back online"), urgent,
                         QStringLiteral("/data/swar.ico")});
        QTRY_COMPARE(service.fake.calls.size(), 1);
        const FakeNotificationService::Call &c = service.fake.calls[0];
        QCOMPARE(c.app, QStringLiteral("QOR Online Status"));
        QCOMPARE(c.replaces, 0u);
        QCOMPARE(c.icon, QStringLiteral("file:///data/swar.ico"));
        QCOMPARE(c.summary, QStringLiteral("2 locations changed"));
        QCOMPARE(c.body, body);
        QCOMPARE(c.actions.value(0), QStringLiteral("default")); // a click on the notice
        QCOMPARE(c.hints.value(QStringLiteral("urgency")).toInt(), urgency);
        QCOMPARE(c.hints.value(QStringLiteral("desktop-entry")).toString(),
                 QStringLiteral("qor-online-status"));
        QCOMPARE(c.timeout, -1);
        QTest::qWait(50);
        QVERIFY(tray.messages.isEmpty());
    }

    // Only a click on a notice of ours counts, and only while the service has not closed it.
    void clicks()
    {
        Service service;
        QVERIFY(service.up());
        DBusNotifier notifier(QDBusConnection::sessionBus(), nullptr, Us());
        QSignalSpy clicked(&notifier, &Notifier::clicked);
        notifier.notify({QStringLiteral("s"), QStringLiteral("b"), false, {}});
        notifier.notify({QStringLiteral("s"), QStringLiteral("b"), false, {}});
        QTRY_COMPARE(service.fake.calls.size(), 2);
        LetAnswersArrive();
        const uint first = service.fake.lastId - 1, second = service.fake.lastId;
        Q_EMIT service.fake.ActionInvoked(first + 100, QStringLiteral("default")); // another program's
        Q_EMIT service.fake.ActionInvoked(first, QStringLiteral("other"));
        Q_EMIT service.fake.ActionInvoked(first, QStringLiteral("default"));
        QTRY_COMPARE(clicked.size(), 1);
        Q_EMIT service.fake.NotificationClosed(second, 2);
        Q_EMIT service.fake.ActionInvoked(second, QStringLiteral("default"));
        Q_EMIT service.fake.ActionInvoked(first, QStringLiteral("default"));
        QTRY_COMPARE(clicked.size(), 2);
        QTest::qWait(100);
        QCOMPARE(clicked.size(), 2); // the closed one counted no click
    }

    // Without the service the tray's message stands in, and without a tray icon nothing shows.
    void fallback_data()
    {
        QTest::addColumn<QString>("bus"); // "no service", "service fails", "no bus"
        QTest::addColumn<bool>("trayIcon");
        for (const char *bus : {"no service", "service fails", "no bus"}) {
            QTest::newRow(bus) << QString::fromLatin1(bus) << true;
            QTest::newRow(QByteArray(bus).append(", no tray icon")) << QString::fromLatin1(bus) << false;
        }
    }
    void fallback()
    {
        QFETCH(QString, bus);
        QFETCH(bool, trayIcon);
        Service service;
        if (bus == QLatin1String("service fails")) {
            service.fake.fails = true;
            QVERIFY(service.up());
        }
        const QDBusConnection connection =
            bus == QLatin1String("no bus")
                ? QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                QStringLiteral("nobus"))
                : QDBusConnection::sessionBus();
        FakeTray tray;
        tray.present = trayIcon;
        DBusNotifier notifier(connection, &tray, Us());
        QSignalSpy clicked(&notifier, &Notifier::clicked);
        notifier.notify(
            {QStringLiteral("WAR offline"), QStringLiteral("WAR offline: 10.1.2.3 & more"), true, {}});
        if (!trayIcon) {
            QTest::qWait(300);
            QVERIFY(tray.messages.isEmpty());
            return;
        }
        QTRY_COMPARE(tray.messages.size(), 1);
        QCOMPARE(tray.messages[0].title, QStringLiteral("WAR offline"));
        QCOMPARE(tray.messages[0].text, QStringLiteral("WAR offline: 10.1.2.3 & more")); // never escaped
        QVERIFY(tray.messages[0].urgent);
        QVERIFY(service.fake.calls.isEmpty());
        Q_EMIT tray.messageClicked();
        QCOMPARE(clicked.size(), 1);
    }

    // The program: locations turned in one cycle give one Notify call, and a click on it brings the
    // Map View back from the List View.
    void oneNotificationPerCycleAndClickRestoresMap()
    {
        Service service;
        QVERIFY(service.up());
        FakeTray fallbackTray;
        DBusNotifier notifier(QDBusConnection::sessionBus(), &fallbackTray, Us());
        ProgramRig p(ProgramRig::Engine::Scripted, true, {}, &notifier);
        QList<GraphLocation> sites{Site("war", "10.213.9.1,10.213.9.2"), Site("ber", "10.213.9.3"),
                                   Site("ok", "10.213.9.4"), Site("lon", "10.213.9.5")};
        QVERIFY(WriteGraph(p.folder(), sites, "PINGPACKETS=1\r\n"));
        p.start();
        for (const char *down : {"10.213.9.1", "10.213.9.2", "10.213.9.3", "10.213.9.5"})
            p.fake.script[QLatin1String(down)] = {StatusTimedOut, StatusTimedOut, StatusReply};

        QTest::mouseClick(p.c().startMonitor, Qt::LeftButton); // "Start Monitor"
        QVERIFY(p.cycleEnds());
        QTRY_COMPARE(service.fake.calls.size(), 1);
        QCOMPARE(service.fake.calls[0].summary, QStringLiteral("3 locations offline"));
        QCOMPARE(service.fake.calls[0].body,
                 QStringLiteral("war offline: 10.213.9.1, 10.213.9.2\n"
                                "ber offline: 10.213.9.3\nlon offline: 10.213.9.5"));
        QCOMPARE(service.fake.calls[0].icon,
                 QUrl::fromLocalFile(QDir(p.folder()).filePath(QStringLiteral("swar.ico"))).toString());

        p.monitor().StartMonitor(); // still offline: nothing new to tell
        QVERIFY(p.cycleEnds());
        p.monitor().StartMonitor(); // all back
        QVERIFY(p.cycleEnds());
        QTRY_COMPARE(service.fake.calls.size(), 2);
        QCOMPARE(service.fake.calls[1].summary, QStringLiteral("3 locations back online"));
        QCOMPARE(service.fake.calls[1].hints.value(QStringLiteral("urgency")).toInt(), 1);
        QCOMPARE(service.fake.calls[1].replaces, 41u); // in the place of the "offline" one
        QVERIFY(!service.fake.calls[1].actions.contains(QStringLiteral("acknowledge")));

        // Offline again: a notice of its own, with "Acknowledge", which lowers the attention picture.
        p.fake.script[QStringLiteral("10.213.9.5")] = {StatusTimedOut, StatusTimedOut, StatusReply};
        p.monitor().StartMonitor();
        QVERIFY(p.cycleEnds());
        QTRY_COMPARE(service.fake.calls.size(), 3);
        QCOMPARE(service.fake.calls[2].replaces, 0u);
        QVERIFY(service.fake.calls[2].actions.contains(QStringLiteral("acknowledge")));
        QCOMPARE(p.run.AttentionShown, qint16(1));
        LetAnswersArrive();
        Q_EMIT service.fake.ActionInvoked(service.fake.lastId, QStringLiteral("acknowledge"));
        QTRY_COMPARE(p.run.AttentionShown, qint16(0));
        QVERIFY(p.program->states().acknowledged());
        // Stop: the location is no longer shown offline, and its notice is withdrawn.
        p.c().stopMonitor->click();
        QTRY_COMPARE(service.fake.closed, QList<uint>{service.fake.lastId});
        QCOMPARE(service.fake.calls.size(), 3);

        ListView &l = p.open(2);
        QVERIFY(l.isVisible() && !p.view->isVisible());
        Q_EMIT service.fake.ActionInvoked(service.fake.lastId - 1,
                                          QStringLiteral("default")); // "back online"
        QTRY_VERIFY(p.view->isVisible());
        QTRY_VERIFY(!p.list());
        QCOMPARE(p.run.MonitorPaused, qint16(0));
        QVERIFY(fallbackTray.messages.isEmpty());
    }

    // A cycle paused by the List View tells what it found before the pause; the rest of it, after.
    void pausedCycleTellsWhatItFoundSoFar()
    {
        ProgramRig p;
        p.fake.manual = true;
        QVERIFY(WriteGraph(p.folder(), {Site("war", "10.213.9.1"), Site("ber", "10.213.9.2")},
                           "PINGPACKETS=1\r\n"));
        p.start();
        p.fake.script[QStringLiteral("10.213.9.1")] = {StatusTimedOut};
        p.fake.script[QStringLiteral("10.213.9.2")] = {StatusTimedOut};
        const auto answerAll = [&p] {
            while (!p.fake.pending.isEmpty())
                p.fake.answerNext();
        };
        QTest::mouseClick(p.c().startMonitor, Qt::LeftButton);
        QTRY_VERIFY(!p.fake.pending.isEmpty());
        ListView &l = p.open(2); // pauses the cycle at the next location
        answerAll();
        QVERIFY(p.cycleEnds());
        QCOMPARE(p.run.ResumeIndex, 2);
        QCOMPARE(p.notifier.notices.size(), 1);
        QCOMPARE(p.notifier.notices[0].body, QStringLiteral("war offline: 10.213.9.1"));

        QTest::mouseClick(l.controls().mapView, Qt::LeftButton); // back to the map: the cycle resumes
        QTRY_VERIFY(!p.fake.pending.isEmpty());
        answerAll();
        QTRY_COMPARE(p.notifier.notices.size(), 2);
        QCOMPARE(p.notifier.notices[1].body, QStringLiteral("ber offline: 10.213.9.2"));
    }

private:
    const PrivateSessionBus &m_bus;
};

int main(int argc, char **argv)
{
    PrivateSessionBus bus; // before the application: Qt reads the bus address once
    QApplication app(argc, argv);
    TestNotifications test(bus);
    return QTest::qExec(&test, argc, argv);
}

#include "test_notifications.moc"
