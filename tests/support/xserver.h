#pragma once
// A private X server for tests that run the real program: Xvfb at 96 DPI on the first free display,
// and the output of the desktop tools (xdotool, import, convert) that look at it.
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

namespace qos::test {

// Standard output of a tool that ended well; empty otherwise.
inline QByteArray ToolOutput(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(15000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

class XServer {
public:
    XServer()
    {
        m_xvfb.start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                      QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-dpi"),
                      QStringLiteral("96"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QByteArray number;
        while (!number.contains('\n') && m_xvfb.waitForReadyRead(10000))
            number += m_xvfb.readAllStandardOutput();
        if (number.contains('\n'))
            display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
    }
    ~XServer()
    {
        m_xvfb.terminate();
        if (!m_xvfb.waitForFinished(3000))
            m_xvfb.kill();
        m_xvfb.waitForFinished(1000);
    }
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;

    QString display; // empty when it did not start

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
};

} // namespace qos::test
