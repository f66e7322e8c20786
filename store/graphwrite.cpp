// Writing graph.txt: the rewrite through the twin, appending a location, and composing lines.
//
// Invariants:
//  - The original file is never opened for writing: the new content goes to the twin, which is forced
//    to disk and then renamed over the original in one step.
//  - Until that rename succeeds every failure removes the twin and leaves the original as it was.
#include "store/blockrules.h"
#include "store/fileops.h"
#include "store/graphfile.h"
#include "store/linereader.h"
#include "store/text.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <utility>

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

QString LineBreakRefusal()
{
    return QStringLiteral("a line to be written contains a line break, which would add lines of its own "
                          "to the file.");
}

// The twin being written. Lines are collected into chunks; the first failure is kept and every later
// line is ignored, so the caller checks failed() after each step and stops.
class TwinWriter : public LineOut {
public:
    TwinWriter(QFile &out, FileOps &ops, const QString &twinPath)
        : m_out(out)
        , m_ops(ops)
        , m_twinPath(twinPath)
    {
        m_pending.reserve(WriteChunk + 1024);
    }

    // A line as read never holds LF; a stray CR in it goes back as it came.
    void keep(const QByteArray &line) override { put(line, line.contains('\n')); }
    void write(QByteArrayView line) override { put(line, HasLineBreak(line)); }

    bool failed() const { return !m_status.ok(); }
    const Status &status() const { return m_status; }

    // Writes what is pending and forces the twin onto the disk.
    Status finish()
    {
        if (!failed() && !m_pending.isEmpty() && !m_ops.write(m_out, m_pending, m_error))
            writeFailed();
        if (!failed() && !m_ops.sync(m_out, m_error))
            writeFailed();
        return m_status;
    }

private:
    void put(QByteArrayView line, bool breaksLines)
    {
        if (failed())
            return;
        if (breaksLines) {
            m_status = Status::refused(LineBreakRefusal());
            return;
        }
        if (line.size() > MaxLineLength) { // it would be skipped when the file is read
            m_status = Status::refused(
                QStringLiteral("a line to be written is longer than %1 bytes, more than the file may hold "
                               "in one line.")
                    .arg(MaxLineLength));
            return;
        }
        m_pending.append(line).append("\r\n");
        if (m_pending.size() < WriteChunk)
            return;
        if (!m_ops.write(m_out, m_pending, m_error))
            writeFailed();
        m_pending.truncate(0);
    }
    void writeFailed()
    {
        m_status = Status::failure(QStringLiteral("Cannot write %1: %2.").arg(Shown(m_twinPath), m_error));
    }

    QFile &m_out;
    FileOps &m_ops;
    QString m_twinPath;
    QByteArray m_pending;
    QString m_error;
    Status m_status;
};

// Tells each line's place in the block structure.
class BlockTracker {
public:
    LinePlace place(QByteArrayView line)
    {
        if (line == LocationBeginLine) {
            m_inBlock = true;
            return LinePlace::BlockBegin;
        }
        if (!m_inBlock)
            return LinePlace::Outside;
        if (line == LocationEndLine) {
            m_inBlock = false;
            return LinePlace::BlockEnd;
        }
        return LinePlace::InBlock;
    }

private:
    bool m_inBlock = false;
};

// Copies source through rule into twin, ending with the rule's outcome.
Status CopyThrough(QFile &in, const QString &source, LineRule *rule, TwinWriter &twin, FileOps &ops)
{
    LineReader reader(in, ops);
    BlockTracker blocks;
    for (;;) {
        const auto outcome = reader.next();
        if (outcome == LineReader::Outcome::End)
            break;
        if (outcome == LineReader::Outcome::Failed) {
            return Status::failure(reader.failureText(Shown(source)));
        }
        if (outcome == LineReader::Outcome::TooLong) {
            return Status::refused(QStringLiteral("Line %1 of %2 is longer than %3 bytes; this is not a "
                                                  "file the program can update.")
                                       .arg(QString::number(reader.lineNumber()), Shown(source),
                                            QString::number(MaxLineLength)));
        }
        const QByteArray &line = reader.line();
        const LinePlace place = blocks.place(line);
        if (rule)
            rule->line(line, place, twin);
        else
            twin.keep(line);
        if (twin.failed())
            return twin.status();
    }
    if (!rule)
        return Status::success();
    const Status ended = rule->end(twin);
    if (!ended)
        return Status::failure(ended.kind, QStringLiteral("%1: %2").arg(Shown(source), ended.error));
    return twin.status();
}

// Writes the twin of target: source (or nothing when source is empty) through rule, then extraLines,
// then renames the twin over target. Without a source the rename refuses to replace an existing target.
Status Rewrite(const QString &source, const QString &target, const QString &twinPath, LineRule *rule,
               const QList<QByteArray> &extraLines, FileOps &ops)
{
    const QString unchanged = QStringLiteral(" %1 was not changed.").arg(Shown(target));
    for (const QByteArray &line : extraLines) {
        if (HasLineBreak(line))
            return Status::refused(Shown(target) + QStringLiteral(": ") + LineBreakRefusal() + unchanged);
    }
    QString error;
    QFile in(source);
    if (!source.isEmpty() && !ops.open(in, QIODevice::ReadOnly | QIODevice::Unbuffered, error))
        return Status::failure(QStringLiteral("Cannot read %1: %2.").arg(Shown(source), error) + unchanged);

    // With a source, a twin already there is a leftover of an interrupted update and the source is
    // complete. Without one, a twin there may be the only copy: creating the twin then fails instead.
    if (!source.isEmpty())
        ops.remove(twinPath);
    QFile out(twinPath);
    if (!ops.createLike(out, source, true, error))
        return Status::failure(QStringLiteral("Cannot create %1: %2.").arg(Shown(twinPath), error) +
                               unchanged);

    TwinWriter twin(out, ops, twinPath);
    Status s = source.isEmpty() ? Status::success() : CopyThrough(in, source, rule, twin, ops);
    for (const QByteArray &line : extraLines)
        twin.write(line);
    if (s)
        s = twin.finish();
    out.close();
    if (s && !ops.rename(twinPath, target, !source.isEmpty(), error))
        s = Status::failure(
            QStringLiteral("Cannot replace %1 with %2: %3.").arg(Shown(target), Shown(twinPath), error));
    if (!s) {
        ops.remove(twinPath);
        return Status::failure(s.kind, s.error + unchanged);
    }
    return s;
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

constexpr Key MainSettingKeys[] = {Key::PingTimeout, Key::PingInterval, Key::PingPackets, Key::AlertWav,
                                   Key::OnlineWav};
// Main settings a file holds only once the operator has set them.
constexpr Key LaterMainSettingKeys[] = {Key::Notifications, Key::OfflineCycles, Key::Partial,
                                        Key::SlowMs,        Key::SlowLoss,      Key::Shapes};

// The seven lines of the main-settings block; values[i] goes after MainSettingKeys[i]. A later
// setting, when given, goes last in the block.
Status MainSettingsBlock(const std::array<QString, 5> &values, QList<QByteArray> &lines,
                         std::optional<std::pair<Key, QString>> later = std::nullopt)
{
    BlockLines block;
    block.fixed(MainSettingsLine);
    for (size_t i = 0; i < values.size(); ++i)
        block.text(MainSettingKeys[i], values[i]);
    if (later)
        block.text(later->first, later->second);
    return block.fixed(MainSettingsLine).takeInto(lines);
}

Status MainSettingsBlock(const MainSettings &settings, QList<QByteArray> &lines)
{
    return MainSettingsBlock({QString::number(settings.PINGTIMEOUT), QString::number(settings.PINGINTERVAL),
                              QString::number(settings.PINGPACKETS), settings.ALERTWAV, settings.ONLINEWAV},
                             lines);
}

// The block a new location gets: no ignored addresses, enabled.
Status LocationBlock(const LocationRecord &rec, QList<QByteArray> &lines)
{
    if (!std::isfinite(rec.left) || !std::isfinite(rec.top))
        return Status::refused(QStringLiteral("The position of location %1 is not a number.").arg(rec.site));
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
        return Status::refused(QStringLiteral("The value \"%1\" cannot be stored as %2 in graph.txt: %3.")
                                   .arg(value, keyText, why));
    };
    if (value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n')))
        return refuse(QStringLiteral("it contains a line break"));
    for (const QChar c : value) {
        if (IsControlCharacter(c))
            return refuse(QStringLiteral("it contains a control character (code %1)").arg(c.unicode()));
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

Status CheckCompleteTwin(const QString &twin, FileOps &ops)
{
    QFile file(twin);
    QString error;
    if (!ops.open(file, QIODevice::ReadOnly | QIODevice::Unbuffered, error))
        return Status::refused(error);
    char end[2] = {};
    const qint64 size = file.size();
    if (size < 2 || !file.seek(size - 2) || ops.read(file, end, 2, error) != 2 || end[0] != '\r' ||
        end[1] != '\n')
        return Status::refused(error.isEmpty() ? QStringLiteral("it does not end with a line end, so it "
                                                                "was cut short while it was written")
                                               : error);
    return Status::success();
}

Status RewriteViaTemporary(const QString &path, const QString &twinPath, LineRule *rule,
                           const QList<QByteArray> &extraLines, PleaseWait *pleaseWait, FileOps *ops)
{
    FileOps system;
    PleaseWaitGuard shown(pleaseWait);
    return Rewrite(path, path, twinPath, rule, extraLines, ops ? *ops : system);
}

Status CreateViaTemporary(const QString &path, const QString &twinPath, const QList<QByteArray> &lines,
                          PleaseWait *pleaseWait, FileOps *ops)
{
    if (QFileInfo::exists(twinPath)) {
        return Status::failure(
            QStringLiteral("%1 is missing and %2 may hold the only copy of it. Nothing was written; restart "
                           "the program to recover it.")
                .arg(Shown(path), Shown(twinPath)));
    }
    FileOps system;
    PleaseWaitGuard shown(pleaseWait);
    return Rewrite(QString(), path, twinPath, nullptr, lines, ops ? *ops : system);
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
        return RewriteViaTemporary(path, twin, nullptr, block, pleaseWait, ops);
    QList<QByteArray> lines;
    if (Status s = MainSettingsBlock(settings, lines); !s)
        return s;
    return CreateViaTemporary(path, twin, lines + block, pleaseWait, ops);
}

bool IsMainSettingKey(Key key)
{
    return std::ranges::find(MainSettingKeys, key) != std::end(MainSettingKeys) ||
           std::ranges::find(LaterMainSettingKeys, key) != std::end(LaterMainSettingKeys);
}

Status RewriteMainSetting(const QString &folder, const MainSettings &settings, Key key,
                          const QString &valueText, PleaseWait *pleaseWait, FileOps *ops)
{
    if (!IsMainSettingKey(key))
        return Status::refused(QStringLiteral("%1 is not a main setting.").arg(QLatin1String(KeyText(key))));
    QByteArray line;
    if (Status s = KeyLine(key, valueText, line); !s)
        return s;
    const QString path = GraphFilePath(folder);
    const QString twin = GraphTwinPath(folder);
    if (QFileInfo::exists(path)) {
        MainSettingRule rule(key, line);
        return RewriteViaTemporary(path, twin, &rule, {}, pleaseWait, ops);
    }
    // A new file: the numbers not being set get their defaults, the sounds what memory holds.
    std::array<QString, 5> values = {QStringLiteral("2000"), QStringLiteral("3"), QStringLiteral("4"),
                                     settings.ALERTWAV, settings.ONLINEWAV};
    std::optional<std::pair<Key, QString>> later{{key, valueText}};
    for (size_t i = 0; i < values.size(); ++i) {
        if (MainSettingKeys[i] == key) {
            values[i] = valueText;
            later.reset();
        }
    }
    QList<QByteArray> lines;
    if (Status s = MainSettingsBlock(values, lines, later); !s)
        return s;
    return CreateViaTemporary(path, twin, lines, pleaseWait, ops);
}

} // namespace qos
