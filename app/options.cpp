#include "app/options.h"

#include "metrics/endpoint.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace qos {

CommandLine ParseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "QOR Online Status: watches groups of hosts on a map with ICMP echo requests.\n"
        "Its files (graph.txt, info.txt, the pictures) live in the program's own folder when "
        "that holds graph.txt or may be written to, unless it is an installed program's folder "
        "(/usr/bin, say); then they live in ~/.local/share/QOR Online Status."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption folder(QStringLiteral("folder"),
                                    QStringLiteral("Keep graph.txt, info.txt and the pictures in <dir>."),
                                    QStringLiteral("dir"));
    parser.addOption(folder);
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Monitor without a window or a display: state changes go to standard output, "
                       "messages to standard error. SIGHUP reloads graph.txt; SIGTERM and SIGINT end it."));
    parser.addOption(headless);
    const QCommandLineOption metrics(QStringLiteral("metrics"),
                                     QStringLiteral("With --headless: serve Prometheus metrics at "
                                                    "http://<host:port>/metrics (host 127.0.0.1 when "
                                                    "left out, e.g. :9374). Without it, the METRICS= "
                                                    "line of graph.txt names the address, if any."),
                                     QStringLiteral("host:port"));
    parser.addOption(metrics);
    const QCommandLineOption background(
        QStringLiteral("background"),
        QStringLiteral(
            "Start in the notification area (as after \"Run in Background\") and start monitoring."));
    parser.addOption(background);

    CommandLine line;
    if (!parser.parse(arguments)) {
        line.exitCode = 2;
        line.message = parser.errorText() + QStringLiteral("\n");
    } else if (!parser.positionalArguments().isEmpty()) {
        line.exitCode = 2;
        line.message = QStringLiteral("Unexpected argument: %1\n").arg(parser.positionalArguments().first());
    } else if (parser.isSet(help)) {
        line.exitCode = 0;
        // The usage line names the program as it was started, whether or not an application object
        // (which the parser would ask) exists yet.
        const QString text = parser.helpText();
        line.message = QStringLiteral("Usage: %1 [options]").arg(QFileInfo(arguments.value(0)).fileName()) +
                       text.mid(text.indexOf(QLatin1Char('\n')));
    } else if (parser.isSet(version)) {
        line.exitCode = 0;
        line.message = QStringLiteral("qor-online-status " QOS_VERSION "\n");
    } else if (parser.isSet(folder) && parser.value(folder).isEmpty()) {
        line.exitCode = 2;
        line.message = QStringLiteral("--folder needs a folder.\n");
    } else if (parser.isSet(metrics) && !parser.isSet(headless)) {
        line.exitCode = 2;
        line.message = QStringLiteral("--metrics needs --headless; the desktop program serves metrics when "
                                      "graph.txt has a METRICS=host:port line.\n");
    } else if (QString why; parser.isSet(metrics) && !ParseListenAddress(parser.value(metrics), &why)) {
        line.exitCode = 2;
        line.message = QStringLiteral("--metrics %1: %2\n").arg(parser.value(metrics), why);
    } else {
        if (parser.isSet(folder))
            line.folder = QDir::cleanPath(QDir::current().absoluteFilePath(parser.value(folder)));
        line.headless = parser.isSet(headless);
        line.metrics = parser.value(metrics);
        line.background = parser.isSet(background);
    }
    return line;
}

QStringList WithoutToolkitOptions(int argc, const char *const *argv)
{
    // QGuiApplication's and QApplication's own options; the first group takes a value.
    static const QStringList withValue = {QStringLiteral("platform"),
                                          QStringLiteral("platformpluginpath"),
                                          QStringLiteral("platformtheme"),
                                          QStringLiteral("plugin"),
                                          QStringLiteral("qwindowgeometry"),
                                          QStringLiteral("qwindowicon"),
                                          QStringLiteral("qwindowtitle"),
                                          QStringLiteral("display"),
                                          QStringLiteral("geometry"),
                                          QStringLiteral("style"),
                                          QStringLiteral("stylesheet"),
                                          QStringLiteral("session"),
                                          QStringLiteral("name"),
                                          QStringLiteral("title"),
                                          QStringLiteral("visual"),
                                          QStringLiteral("qmljsdebugger")};
    static const QStringList flags = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                      QStringLiteral("nograb"), QStringLiteral("dograb"),
                                      QStringLiteral("sync")};
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        // Qt's options have one dash; ours have two and are never taken away.
        const bool single =
            i > 0 && arg.startsWith(QLatin1Char('-')) && !arg.startsWith(QStringLiteral("--"));
        const QString name = arg.mid(1).section(QLatin1Char('='), 0, 0);
        if (single && withValue.contains(name)) {
            if (!arg.contains(QLatin1Char('=')))
                ++i;
            continue;
        }
        if (single && flags.contains(name))
            continue;
        arguments << arg;
    }
    return arguments;
}

int PrintCommandLineMessage(const CommandLine &line)
{
    const int code = line.exitCode.value_or(0);
    std::fputs(line.message.toLocal8Bit().constData(), code == 0 ? stdout : stderr);
    return code;
}

} // namespace qos
