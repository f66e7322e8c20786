// Writing graph.txt: the rewrite through the twin, appending a location, and composing lines.
//
// Invariants:
//  - The original file is never opened for writing: the new content goes to the twin, which is forced
//    to disk and then renamed over the original in one step.
//  - Until that rename succeeds every failure removes the twin and leaves the original as it was.
#include "store/fileops.h"
#include "store/graphfile.h"
#include "store/linereader.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>

namespace qos {

namespace {

constexpr qsizetype WriteChunk = 64 * 1024;

QString Shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool HasLineBreak(QByteArrayView bytes)
{
    return bytes.contains('\r') || bytes.contains('\n');
}

QString LineBreakRefusal(const QString &target)
{
    return QStringLiteral("%1 was not changed: a line to be written contains a line break, which would "
                          "add lines of its own to the file.")
        .arg(Shown(target));
}

// Writes the twin of target: source (or nothing when source is empty) through rule, then extraLines,
// then renames the twin over target. Without a source the rename refuses to replace an existing target.
Status Rewrite(const QString &source, const QString &target, const QString &twinPath, const LineRule &rule,
               const QList<QByteArray> &extraLines, FileOps &ops)
{
    for (const QByteArray &line : extraLines) {
        if (HasLineBreak(line))
            return Status::failure(LineBreakRefusal(target));
    }
    const QString unchanged = QStringLiteral(" %1 was not changed.").arg(Shown(target));
    QString error;
    QFile in(source);
    if (!source.isEmpty() && !ops.open(in, QIODevice::ReadOnly | QIODevice::Unbuffered, error))
        return Status::failure(QStringLiteral("Cannot read %1: %2.").arg(Shown(source), error) + unchanged);

    // With a source, a twin already there is a leftover of an interrupted update and the source is
    // complete. Without one, a twin there may be the only copy: creating the twin then fails instead.
    if (!source.isEmpty())
        ops.remove(twinPath);
    QFile out(twinPath);
    if (!ops.open(out, QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered, error))
        return Status::failure(QStringLiteral("Cannot create %1: %2.").arg(Shown(twinPath), error) +
                               unchanged);
    const auto fail = [&](const QString &text) {
        out.close();
        ops.remove(twinPath);
        return Status::failure(text);
    };
    const auto writeFailure = [&] {
        return fail(QStringLiteral("Cannot write %1: %2.").arg(Shown(twinPath), error) + unchanged);
    };
    if (!source.isEmpty())
        out.setPermissions(QFile::permissions(source));

    QByteArray pending;
    pending.reserve(WriteChunk + 1024);
    const auto put = [&](QByteArrayView line) {
        pending.append(line).append("\r\n");
        if (pending.size() < WriteChunk)
            return true;
        const bool written = ops.write(out, pending, error);
        pending.truncate(0);
        return written;
    };

    if (!source.isEmpty()) {
        LineReader reader(in, ops);
        for (;;) {
            const auto outcome = reader.next();
            if (outcome == LineReader::Outcome::End)
                break;
            if (outcome == LineReader::Outcome::Failed) {
                return fail(QStringLiteral("Cannot read %1 (line %2): %3.")
                                .arg(Shown(source))
                                .arg(reader.lineNumber() + 1)
                                .arg(reader.error()) +
                            unchanged);
            }
            if (outcome == LineReader::Outcome::TooLong) {
                return fail(QStringLiteral("Line %1 of %2 is longer than %3 bytes; this is not a "
                                           "configuration file the program can update.")
                                .arg(reader.lineNumber())
                                .arg(Shown(source))
                                .arg(MaxLineLength) +
                            unchanged);
            }
            const QByteArray &line = reader.line();
            const std::optional<QByteArray> written = rule ? rule(line) : std::optional<QByteArray>(line);
            if (!written)
                continue;
            // A line kept exactly as read may hold a stray CR; it goes back as it came.
            if (HasLineBreak(*written) && *written != line)
                return fail(LineBreakRefusal(target));
            if (!put(*written))
                return writeFailure();
        }
    }
    for (const QByteArray &line : extraLines) {
        if (!put(line))
            return writeFailure();
    }
    if (!pending.isEmpty() && !ops.write(out, pending, error))
        return writeFailure();
    if (!ops.sync(out, error))
        return writeFailure();
    out.close();
    const bool replace = !source.isEmpty();
    if (!ops.rename(twinPath, target, replace, error)) {
        return fail(
            QStringLiteral("Cannot replace %1 with %2: %3.").arg(Shown(target), Shown(twinPath), error) +
            unchanged);
    }
    return Status::success();
}

// Collects the lines of a block; the first value that cannot be stored decides the outcome.
class BlockLines {
public:
    BlockLines &fixed(const char *line)
    {
        m_lines << QByteArray(line);
        return *this;
    }
    BlockLines &plain(Key key, const QByteArray &value)
    {
        m_lines << KeyText(key).toByteArray() + value;
        return *this;
    }
    BlockLines &text(Key key, const QString &value)
    {
        QByteArray line;
        if (m_status.ok())
            m_status = KeyLine(key, value, line);
        m_lines << line;
        return *this;
    }
    Status takeInto(QList<QByteArray> &lines)
    {
        if (m_status.ok())
            lines += std::exchange(m_lines, {});
        return m_status;
    }

private:
    QList<QByteArray> m_lines;
    Status m_status;
};

Status MainSettingsBlock(const MainSettings &settings, QList<QByteArray> &lines)
{
    return BlockLines()
        .fixed(MainSettingsLine)
        .plain(Key::PingTimeout, QByteArray::number(settings.PINGTIMEOUT))
        .plain(Key::PingInterval, QByteArray::number(settings.PINGINTERVAL))
        .plain(Key::PingPackets, QByteArray::number(settings.PINGPACKETS))
        .text(Key::AlertWav, settings.ALERTWAV)
        .text(Key::OnlineWav, settings.ONLINEWAV)
        .fixed(MainSettingsLine)
        .takeInto(lines);
}

// The block a new location gets: no ignored addresses, enabled.
Status LocationBlock(const LocationRecord &rec, QList<QByteArray> &lines)
{
    if (!std::isfinite(rec.left) || !std::isfinite(rec.top))
        return Status::failure(QStringLiteral("The position of location %1 is not a number.").arg(rec.site));
    return BlockLines()
        .fixed(LocationBeginLine)
        .text(Key::SiteId, rec.site)
        .plain(Key::Ignore, {})
        .text(Key::SiteIp, rec.siteip)
        .plain(Key::Disabled, "0")
        .plain(Key::SiteLeft, PositionText(rec.left))
        .plain(Key::SiteTop, PositionText(rec.top))
        .fixed(LocationEndLine)
        .takeInto(lines);
}

} // namespace

QString GraphFilePath(const QString &folder)
{
    return QDir(folder).filePath(QLatin1String(GraphFileName));
}

QString GraphTwinPath(const QString &folder)
{
    return QDir(folder).filePath(QLatin1String(GraphTwinName));
}

Status KeyLine(Key key, const QString &value, QByteArray &line)
{
    const QString keyText = QString::fromLatin1(KeyText(key));
    const auto refuse = [&](const QString &why) {
        return Status::failure(QStringLiteral("The value \"%1\" cannot be stored as %2 in graph.txt: %3.")
                                   .arg(value, keyText, why));
    };
    if (value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n')))
        return refuse(QStringLiteral("it contains a line break"));
    for (const QChar c : value) {
        if (c.unicode() > 0xff)
            return refuse(QStringLiteral("the character \"%1\" has no place in the file's code page").arg(c));
    }
    line = KeyText(key).toByteArray() + value.toLatin1();
    const auto read = ReadKeyedLine(line);
    if (read && read->key == key && read->value == value.toLatin1())
        return Status::success();
    if (!read)
        return refuse(QStringLiteral("it contains \"---------\", which marks a separator line"));
    if (read->key != key)
        return refuse(QStringLiteral("it contains \"%1\"").arg(QString::fromLatin1(KeyText(read->key))));
    return refuse(QStringLiteral("it ends with a space"));
}

Status RewriteViaTemporary(const QString &path, const QString &twinPath, const LineRule &rule,
                           const QList<QByteArray> &extraLines, PleaseWait *pleaseWait, FileOps *ops)
{
    FileOps system;
    PleaseWaitGuard shown(pleaseWait);
    return Rewrite(path, path, twinPath, rule, extraLines, ops ? *ops : system);
}

Status AppendLocation(const QString &folder, const MainSettings &settings, const LocationRecord &rec,
                      PleaseWait *pleaseWait, FileOps *ops)
{
    QList<QByteArray> block;
    if (Status s = LocationBlock(rec, block); !s)
        return s;
    const QString path = GraphFilePath(folder);
    const QString twin = GraphTwinPath(folder);
    if (QFileInfo::exists(path))
        return RewriteViaTemporary(path, twin, {}, block, pleaseWait, ops);

    if (QFileInfo::exists(twin)) {
        return Status::failure(
            QStringLiteral("%1 is missing and %2 holds the only copy of the configuration. "
                           "Nothing was written; restart the program to recover it.")
                .arg(Shown(path), Shown(twin)));
    }
    QList<QByteArray> lines;
    if (Status s = MainSettingsBlock(settings, lines); !s)
        return s;
    lines += block;
    FileOps system;
    PleaseWaitGuard shown(pleaseWait);
    return Rewrite(QString(), path, twin, {}, lines, ops ? *ops : system);
}

} // namespace qos
