#pragma once
// A D-Bus session bus of the test's own: a dbus-daemon with no service activation (so no desktop
// service installed on the machine can start on it), made the session bus of this process. Create it
// before the application object: Qt reads the bus address once.
#include <QByteArray>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <sys/types.h>

namespace qos::test {

class PrivateSessionBus {
public:
    PrivateSessionBus()
    {
        const QString config = m_dir.filePath(QStringLiteral("session.conf"));
        QFile file(config);
        if (!m_dir.isValid() || !file.open(QIODevice::WriteOnly)) {
            error = QStringLiteral("no folder for the bus");
            return;
        }
        file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                   " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig><type>session</type><listen>unix:dir=" +
                   m_dir.path().toUtf8() +
                   "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                   "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                   "<allow own=\"*\"/></policy></busconfig>\n");
        file.close();
        QProcess daemon;
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--config-file=") + config, QStringLiteral("--fork"),
                      QStringLiteral("--print-address=1"), QStringLiteral("--print-pid=1")});
        if (!daemon.waitForFinished(10000) || daemon.exitCode() != 0) {
            error = QStringLiteral("dbus-daemon cannot be started (package dbus-daemon): ") +
                    daemon.errorString();
            return;
        }
        const QList<QByteArray> lines = daemon.readAllStandardOutput().trimmed().split('\n');
        if (lines.size() != 2) {
            error = QStringLiteral("dbus-daemon said no address");
            return;
        }
        address = lines[0].trimmed();
        m_pid = lines[1].trimmed().toLongLong();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    }
    ~PrivateSessionBus()
    {
        if (m_pid > 0)
            ::kill(pid_t(m_pid), SIGTERM);
    }
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    QString error; // empty when the bus runs
    QByteArray address;

private:
    QTemporaryDir m_dir;
    qint64 m_pid = 0;
};

} // namespace qos::test
