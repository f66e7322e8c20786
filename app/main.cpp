// QOR Online Status: everything lasting lives in the data folder (app/datafolder.h says which).
#include "app/autostart.h"
#include "app/datafolder.h"
#include "app/headless.h"
#include "app/options.h"
#include "app/program.h"
#include "app/signalwatch.h"
#include "app/singleinstance.h"
#include "platform/dbusnotifier.h"
#include "platform/icmpsocket.h"
#include "platform/qtmessageboxes.h"
#include "platform/qtpleasewait.h"
#include "platform/qtsound.h"
#include "platform/qttray.h"
#include "probe/echoprober.h"
#include "probe/startupnotice.h"

#include <QApplication>

#include <cstdio>

namespace {

int Fail(const QString &line)
{
    std::fputs(qos::LogMessageBoxes::LogLine(line).constData(), stderr);
    return 1;
}

// --headless: a QCoreApplication, so no display is needed; monitoring starts at once.
int RunHeadless(int &argc, char **argv, const qos::CommandLine &options, qos::IcmpSockets icmp)
{
    // Before any thread exists, so that no thread of ours takes these signals: they reach the loop.
    qos::BlockStopSignals();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("QOR Online Status"));
    const qos::DataFolder data = qos::OpenDataFolder(QCoreApplication::applicationDirPath(), options.folder);
    if (!data.status)
        return Fail(data.status.error);
    qos::SingleInstance single(data.folder);
    if (single.claimQuietly() == qos::SingleInstance::Claim::NoAnswer)
        return Fail(single.heldText());

    qos::LogMessageBoxes messages;
    qos::StartupNotice notice(messages);
    qos::EchoProber prober(qos::makeEchoEngine(std::move(icmp)), messages, notice);
    qos::HeadlessProgram program(data.folder, qos::HeadlessServices{prober, notice, messages});
    qos::SignalWatch signals;
    QObject::connect(&signals, &qos::SignalWatch::stopRequested, &app, [] { QCoreApplication::exit(0); });
    QObject::connect(&signals, &qos::SignalWatch::reloadRequested, &program, &qos::HeadlessProgram::reload);
    if (const qos::Status started = program.startUp(options.metrics); !started)
        return Fail(started.error);
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    // First, while nothing of the user's choosing (plugins) is loaded: then no capability is left.
    auto icmp = qos::OpenIcmpSocketEarly();
    // Read before any application object: --help, --version and a bad option need no display.
    const qos::CommandLine options = qos::ParseCommandLine(qos::WithoutToolkitOptions(argc, argv));
    if (options.exitCode)
        return qos::PrintCommandLineMessage(options);
    if (options.headless)
        return RunHeadless(argc, argv, options, std::move(icmp));

    QApplication app(argc, argv);
    // No display name: each window's caption is exactly its own text.
    QApplication::setApplicationName(QStringLiteral("QOR Online Status"));
    QGuiApplication::setDesktopFileName(QLatin1String(qos::kPackageName));
    const qos::DataFolder data = qos::OpenDataFolder(QCoreApplication::applicationDirPath(), options.folder);

    qos::QtTray tray;
    qos::QtSound sound;
    qos::QtMessageBoxes messages;
    if (!data.status) {
        messages.show(data.status.error, qos::MessageBoxes::Icon::Critical,
                      [] { QCoreApplication::exit(1); });
        return app.exec();
    }
    // One program per data folder: a second start shows this one's window.
    qos::SingleInstance single(data.folder);
    if (const std::optional<int> exitCode = qos::ClaimFolder(single, messages))
        return *exitCode;
    qos::QtPleaseWait pleaseWait;
    qos::StartupNotice notice(messages);
    qos::EchoProber prober(qos::makeEchoEngine(std::move(icmp)), messages, notice);
    qos::DBusNotifier notifier(QDBusConnection::sessionBus(), &tray,
                               {QCoreApplication::applicationName(), QLatin1String(qos::kPackageName)});

    const qos::Autostart autostart(qos::Autostart::userAutostartFolder(),
                                   {QCoreApplication::applicationFilePath(), options.folder});

    qos::Program program(data.folder, qos::DesktopServices{tray, sound, messages, &pleaseWait, prober, notice,
                                                           &notifier, &autostart});
    QObject::connect(&single, &qos::SingleInstance::showRequested, &program, &qos::Program::RestoreFromTray);
    QObject::connect(&program, &qos::Program::quitRequested, &app, [] { QCoreApplication::exit(0); });
    program.startUp(options.background ? qos::Program::Start::Background : qos::Program::Start::Window);
    return app.exec();
}
