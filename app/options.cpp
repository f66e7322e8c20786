#include "app/options.h"

#include <QCommandLineParser>
#include <QDir>

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
        line.message = parser.helpText();
    } else if (parser.isSet(version)) {
        line.exitCode = 0;
        line.message = QStringLiteral("qor-online-status " QOS_VERSION "\n");
    } else {
        line.background = parser.isSet(background);
    }
    if (!line.exitCode && parser.isSet(folder)) {
        const QString dir = parser.value(folder);
        if (dir.isEmpty()) {
            line.exitCode = 2;
            line.message = QStringLiteral("--folder needs a folder.\n");
        } else {
            line.folder = QDir::cleanPath(QDir::current().absoluteFilePath(dir));
        }
    }
    return line;
}

int PrintCommandLineMessage(const CommandLine &line)
{
    const int code = line.exitCode.value_or(0);
    std::fputs(line.message.toLocal8Bit().constData(), code == 0 ? stdout : stderr);
    return code;
}

} // namespace qos
