// A small program that the tests run as another user and in namespaces of their own:
//   qos_probe_helper startup          "started datagram" / "started raw", or "failed" and the text
//                                     the operator would see (exit code 1)
//   qos_probe_helper echo ADDRESS     start-up, then one echo with a 2000 ms timeout: "status N"
//   qos_probe_helper resolve NAME     "resolved [TEXT]", then "longest-gap-ms N": the longest delay
//                                     of a 10 ms timer while the look-up ran
//   qos_probe_helper --early ...      as the program starts: the socket is opened and every
//                                     capability given up before anything else; first prints
//                                     "capabilities none" when the process has none left (else
//                                     "capabilities kept"), then goes on as above on that socket
#include "platform/icmpengine.h"
#include "platform/icmpsocket.h"
#include "probe/echoprober.h"
#include "tests/support/fakes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <cstring>

using namespace qos;

namespace {

void say(const QString &line)
{
    std::printf("%s\n", line.toLocal8Bit().constData());
}

// True when this process holds no capability in any of its sets but the bounding set.
bool holdsNoCapability()
{
    const QStringList sets{QStringLiteral("CapInh:"), QStringLiteral("CapPrm:"), QStringLiteral("CapEff:"),
                           QStringLiteral("CapAmb:")};
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    int seen = 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        const QStringList fields = QString::fromLatin1(line).simplified().split(QLatin1Char(' '));
        if (fields.size() == 2 && sets.contains(fields[0])) {
            if (fields[1].toULongLong(nullptr, 16) != 0)
                return false;
            ++seen;
        }
    }
    return seen == sets.size();
}

} // namespace

int main(int argc, char **argv)
{
    const bool early = argc > 1 && std::strcmp(argv[1], "--early") == 0;
    IcmpSockets earlySocket = early ? OpenIcmpSocketEarly() : IcmpSockets();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(early ? 2 : 1);
    if (args.isEmpty())
        return 2;
    if (early)
        say(holdsNoCapability() ? QStringLiteral("capabilities none") : QStringLiteral("capabilities kept"));
    test::FakeMessageBoxes boxes;
    StartupNotice notice(boxes);
    auto engine = early ? std::make_unique<IcmpSocketEngine>(std::move(earlySocket))
                        : std::make_unique<IcmpSocketEngine>();
    IcmpSocketEngine *socket = engine.get();
    EchoProber prober(std::move(engine), boxes, notice);
    QObject context;

    if (args[0] == QLatin1String("resolve") && args.size() == 2) {
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0, longest = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, &context, [&] {
            longest = std::max(longest, clock.elapsed() - last - 10);
            last = clock.elapsed();
        });
        tick.start(10);
        prober.ResolveHostAddress(args[1], &context, [&](const QString &dotted) {
            say(QStringLiteral("resolved [%1]").arg(dotted));
            say(QStringLiteral("longest-gap-ms %1").arg(longest));
            app.quit();
        });
        return app.exec();
    }

    if (!prober.SocketsStartup()) {
        say(QStringLiteral("failed"));
        say(prober.SocketsStartupFailureText());
        return 1;
    }
    say(socket->socketKind() == IcmpSocketEngine::SocketKind::Raw ? QStringLiteral("started raw")
                                                                  : QStringLiteral("started datagram"));
    if (args[0] == QLatin1String("echo") && args.size() == 2) {
        prober.EchoProbe(args[1], 2000, &context, [&](const EchoResult &result) {
            say(QStringLiteral("status %1").arg(result.status));
            app.quit();
        });
        return app.exec();
    }
    return 0;
}
