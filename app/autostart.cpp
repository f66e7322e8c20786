#include "app/autostart.h"
#include "app/datafolder.h"

#include <algorithm>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace qos {

namespace {

// An argument of an Exec key: quoted when it holds anything but plain characters; inside quotes
// the four characters " ` $ \ take a backslash.
QString ExecArgument(const QString &argument)
{
    static const QString plain = QStringLiteral("-_./=+,:@");
    const bool quote = argument.isEmpty() || std::any_of(argument.begin(), argument.end(), [](QChar c) {
                           return !(c.isLetterOrNumber() && c.unicode() < 128) && !plain.contains(c);
                       });
    if (!quote)
        return argument;
    QString quoted;
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// A string value of a desktop file: its own escapes on top, and % doubled for the Exec key's field codes.
QString StringValue(const QString &value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    return escaped.replace(QLatin1Char('%'), QLatin1String("%%"));
}

QString EntryFileName(const AutostartTarget &target)
{
    const QString base = QLatin1String(kPackageName);
    if (target.folderOption.isEmpty())
        return base + QLatin1String(".desktop");
    const QByteArray digest =
        QCryptographicHash::hash(target.folderOption.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return base + QLatin1Char('-') + QString::fromLatin1(digest) + QLatin1String(".desktop");
}

} // namespace

QString AutostartExec(const AutostartTarget &target)
{
    QStringList words{ExecArgument(target.executable), QStringLiteral("--background")};
    if (!target.folderOption.isEmpty())
        words << QStringLiteral("--folder") << ExecArgument(target.folderOption);
    return StringValue(words.join(QLatin1Char(' ')));
}

QByteArray AutostartEntryText(const AutostartTarget &target)
{
    QString text = QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Name=QOR Online Status\n"
                                  "Comment=Watches groups of hosts on a map with ICMP echo requests\n");
    text += QStringLiteral("Exec=") + AutostartExec(target) + QLatin1Char('\n');
    text += QStringLiteral("Icon=%1\n").arg(QLatin1String(kPackageName));
    text += QStringLiteral("Terminal=false\n"
                           "X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

Autostart::Autostart(const QString &autostartFolder, AutostartTarget target)
    : m_folder(autostartFolder)
    , m_path(QDir(autostartFolder).filePath(EntryFileName(target)))
    , m_target(std::move(target))
{}

QString Autostart::userAutostartFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1String("/autostart");
}

bool Autostart::isOn() const
{
    return QFileInfo(m_path).isFile();
}

Status Autostart::turnOn() const
{
    if (!QDir().mkpath(m_folder))
        return Status::failure(
            QStringLiteral("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(m_folder)));
    QSaveFile file(m_path); // a temporary twin beside it, renamed over it on commit
    const QByteArray text = AutostartEntryText(m_target);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return Status::failure(QStringLiteral("%1 cannot be written: %2")
                                   .arg(QDir::toNativeSeparators(m_path), file.errorString()));
    return Status::success();
}

Status Autostart::turnOff() const
{
    QFile file(m_path);
    if (!file.exists() || file.remove())
        return Status::success();
    return Status::failure(
        QStringLiteral("%1 cannot be removed: %2").arg(QDir::toNativeSeparators(m_path), file.errorString()));
}

} // namespace qos
