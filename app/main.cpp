// QOR Online Status: the program folder is the executable's folder; everything lasting lives there.
#include "mapview/mapview.h"
#include "monitor/runstate.h"
#include "platform/icmpsocket.h"
#include "platform/qtmessageboxes.h"
#include "platform/qtpleasewait.h"
#include "platform/qtsound.h"
#include "platform/qttray.h"
#include "probe/echoprober.h"
#include "probe/startupnotice.h"
#include "store/model.h"

#include <QApplication>

int main(int argc, char **argv)
{
    // First, while nothing of the user's choosing (plugins) is loaded: then no capability is left.
    auto icmp = qos::OpenIcmpSocketEarly();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QOR Online Status"));
    QApplication::setApplicationDisplayName(QStringLiteral("QOR Online Status"));

    qos::RunState run;
    qos::Configuration config;
    qos::QtTray tray;
    qos::QtSound sound;
    qos::QtMessageBoxes messages;
    qos::StartupNotice notice(messages);
    qos::EchoProber prober(qos::makeEchoEngine(std::move(icmp)), messages, notice);
    qos::QtPleaseWait pleaseWait;

    qos::MapViewEnvironment env;
    env.programFolder = QCoreApplication::applicationDirPath();
    env.run = &run;
    env.config = &config;
    env.tray = &tray;
    env.sound = &sound;
    env.messages = &messages;
    env.pleaseWait = &pleaseWait;
    env.prober = &prober;
    env.notice = &notice;
    env.quit = [] { QCoreApplication::exit(0); };

    qos::MapView mapView(env);
    mapView.startUp();
    return app.exec();
}
