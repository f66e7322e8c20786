// QOR Online Status: the program folder is the executable's folder; everything lasting lives there.
#include "app/program.h"
#include "app/singleinstance.h"
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

    qos::QtTray tray;
    qos::QtSound sound;
    qos::QtMessageBoxes messages;
    const QString folder = QCoreApplication::applicationDirPath();
    qos::SingleInstance single(folder); // one program per folder: a second start shows this one's window
    if (const std::optional<int> exitCode = qos::ClaimFolder(single, messages))
        return *exitCode;
    qos::QtPleaseWait pleaseWait;
    qos::StartupNotice notice(messages);
    qos::EchoProber prober(qos::makeEchoEngine(std::move(icmp)), messages, notice);

    qos::Program program(folder, qos::DesktopServices{tray, sound, messages, &pleaseWait, prober, notice});
    QObject::connect(&single, &qos::SingleInstance::showRequested, &program, &qos::Program::RestoreFromTray);
    QObject::connect(&program, &qos::Program::quitRequested, &app, [] { QCoreApplication::exit(0); });
    program.startUp();
    return app.exec();
}
