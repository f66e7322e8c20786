// QOR Online Status: everything lasting lives in the data folder (app/datafolder.h says which).
#include "app/autostart.h"
#include "app/datafolder.h"
#include "app/options.h"
#include "app/program.h"
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

int main(int argc, char **argv)
{
    // First, while nothing of the user's choosing (plugins) is loaded: then no capability is left.
    auto icmp = qos::OpenIcmpSocketEarly();
    QApplication app(argc, argv);
    // No display name: each window's caption is exactly its own text.
    QApplication::setApplicationName(QStringLiteral("QOR Online Status"));
    QGuiApplication::setDesktopFileName(QLatin1String(qos::kPackageName));
    const qos::CommandLine options = qos::ParseCommandLine(QCoreApplication::arguments());
    if (options.exitCode)
        return qos::PrintCommandLineMessage(options);
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
