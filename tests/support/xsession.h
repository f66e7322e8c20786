#pragma once
// An X server of the test's own for the tests that need a real desktop: Xvfb on the first free display
// (it picks one and reports it) at 96 DPI, optionally with trayer as the notification area. DISPLAY
// points at it while it runs, and it keeps running when its last client leaves (it would otherwise reset
// and refuse the next one for a moment). Where a tool is missing or does not start, ok is false and reason
// says why.
#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTest>

namespace qos::test {

// Standard output of a tool that ended well within 15 s; empty otherwise.
inline QByteArray ToolOutput(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(15000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

class XSession {
public:
    enum class Tray { None, Trayer };

    // tools: further programs the test runs, checked for up front.
    explicit XSession(Tray tray, const QStringList &tools = {})
    {
        QStringList needed = tools;
        needed << QStringLiteral("Xvfb");
        if (tray == Tray::Trayer)
            needed << QStringLiteral("trayer");
        for (const QString &tool : needed) {
            if (QStandardPaths::findExecutable(tool).isEmpty()) {
                reason =
                    QStringLiteral("%1 is not installed (scripts/install-deps.sh installs it)").arg(tool);
                return;
            }
        }
        m_xvfb.start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                      QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-dpi"),
                      QStringLiteral("96"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                      QStringLiteral("-noreset")});
        QByteArray number;
        while (!number.contains('\n') && m_xvfb.waitForReadyRead(10000))
            number += m_xvfb.readAllStandardOutput();
        if (!number.contains('\n')) {
            reason = QStringLiteral("Xvfb could not be started: %1")
                         .arg(QString::fromLocal8Bit(m_xvfb.readAllStandardError()));
            return;
        }
        display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
        qputenv("DISPLAY", display.toLatin1());
        if (tray == Tray::Trayer) {
            m_trayer.start(QStringLiteral("trayer"),
                           {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                            QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                            QStringLiteral("--width"), QStringLiteral("200"), QStringLiteral("--height"),
                            QStringLiteral("32"), QStringLiteral("--SetDockType"), QStringLiteral("true")});
            if (!m_trayer.waitForStarted(5000)) {
                reason = QStringLiteral("trayer could not be started");
                return;
            }
        }
        ok = true;
    }
    ~XSession()
    {
        for (QProcess *p : {&m_trayer, &m_xvfb}) {
            if (p->state() == QProcess::NotRunning)
                continue;
            p->terminate();
            if (!p->waitForFinished(3000))
                p->kill();
            p->waitForFinished(1000);
        }
    }
    XSession(const XSession &) = delete;
    XSession &operator=(const XSession &) = delete;

    bool ok = false;
    QString reason;
    QString display;

    // The id of the first shown window whose name matches the regular expression, empty when none.
    static QString window(const QString &name)
    {
        const QByteArray ids =
            ToolOutput(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                   QStringLiteral("--name"), name});
        return ids.trimmed().isEmpty() ? QString() : QString::fromLatin1(ids.trimmed().split('\n').first());
    }

    // Waits (running the event loop) until such a window shows, while program runs, for up to ms of
    // real time; its id, or empty.
    static QString waitForWindow(const QString &name, const QProcess &program, int ms = 20000)
    {
        for (QDeadlineTimer deadline(ms); !deadline.hasExpired() && program.state() == QProcess::Running;
             QTest::qWait(200)) {
            const QString id = window(name);
            if (!id.isEmpty())
                return id;
        }
        return {};
    }

private:
    QProcess m_xvfb;
    QProcess m_trayer;
};

} // namespace qos::test
