#include "history/historyfile.h"

#include "store/linereader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <climits>

namespace qos {
namespace {

QByteArrayView WithoutLineEnd(QByteArrayView line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

QString FileProblem(const QString &name, const HistoryFileRead &r)
{
    if (!r.error.isEmpty())
        return QStringLiteral("%1 cannot be read (%2); it is left as it is and not written to.")
            .arg(name, r.error);
    if (!r.ours)
        return QStringLiteral("%1 is not a history file of QOR Online Status (its first line is not the "
                              "history header); it is left as it is and not written to.")
            .arg(name);
    if (r.badLines > 0)
        return QStringLiteral(
                   "%1: %2 of its %3 lines could not be read and were skipped (the first is line %4).")
            .arg(name, QString::number(r.badLines), QString::number(r.lines),
                 QString::number(r.firstBadLine));
    return {};
}

} // namespace

QString HistoryFilePath(const QString &folder)
{
    return QDir(folder).filePath(QLatin1String(HistoryFileName));
}

QString PreviousHistoryFilePath(const QString &folder)
{
    return QDir(folder).filePath(QLatin1String(PreviousHistoryFileName));
}

namespace {

// Texts of the file to ids of the log, without making a QString for a text seen before.
class Interner {
public:
    explicit Interner(EventLog &log)
        : m_log(log)
    {}
    quint32 id(QByteArrayView bytes)
    {
        if (m_generation != m_log.namesGeneration()) {
            m_ids.clear(); // the log renumbered its texts
            m_generation = m_log.namesGeneration();
        }
        const auto it = m_ids.constFind(QByteArray::fromRawData(bytes.data(), bytes.size()));
        if (it != m_ids.constEnd())
            return *it;
        const quint32 id = m_log.intern(QString::fromLatin1(bytes));
        m_ids.insert(bytes.toByteArray(), id);
        return id;
    }

private:
    EventLog &m_log;
    QHash<QByteArray, quint32> m_ids;
    quint64 m_generation = 0;
};

// The records after the header, line by line; a quoted field may go on over line ends.
class RecordReader {
public:
    RecordReader(HistoryFileRead &read, EventLog &log)
        : m_read(read)
        , m_log(log)
        , m_ids(log)
    {}

    void line(QByteArrayView line)
    {
        ++m_lineNo;
        m_read.endsWithLineEnd = line.endsWith('\n');
        const qsizetype quotes = line.count('"');
        if (m_record.isEmpty()) {
            if (WithoutLineEnd(line).isEmpty())
                return; // a blank line is no record
            m_recordStart = m_lineNo;
            if (quotes % 2 == 0) {
                record(WithoutLineEnd(line));
                return;
            }
        }
        if (m_record.size() + line.size() > MaxHistoryLine) { // a quoted field that goes on too long
            m_record.clear();
            m_quotes = 0;
            ++m_read.lines;
            bad();
            return;
        }
        m_record += line;
        m_quotes += quotes;
        if (m_quotes % 2 != 0)
            return; // a quoted field goes on in the next line
        record(WithoutLineEnd(m_record));
        m_record.clear();
        m_quotes = 0;
    }

    // A line beyond MaxHistoryLine, read past without its text: a record that cannot be read.
    void tooLong()
    {
        ++m_lineNo;
        m_record.clear();
        m_quotes = 0;
        m_recordStart = m_lineNo;
        ++m_read.lines;
        bad();
    }

    void end()
    {
        if (!m_record.isEmpty()) { // a quote that never closes
            ++m_read.lines;
            bad();
        }
    }

private:
    void record(QByteArrayView text)
    {
        ++m_read.lines;
        if (!ParseChangeFields(text, m_fields)) {
            bad();
            return;
        }
        HistoryEvent e;
        e.timeMs = m_fields.timeMs;
        e.location = m_ids.id(m_fields.location);
        e.address = m_ids.id(m_fields.address);
        e.status = m_ids.id(m_fields.status);
        e.roundTripUs = qint32(qMin<qint64>(m_fields.roundTripUs, INT_MAX));
        e.from = m_fields.from;
        e.to = m_fields.to;
        m_log.add(e);
    }
    void bad()
    {
        if (m_read.badLines++ == 0)
            m_read.firstBadLine = m_recordStart;
    }

    HistoryFileRead &m_read;
    EventLog &m_log;
    Interner m_ids;
    ChangeFields m_fields;
    QByteArray m_record;
    qsizetype m_quotes = 0;
    int m_lineNo = 1; // the header
    int m_recordStart = 0;
};

} // namespace

HistoryFileRead ReadHistoryFile(const QString &path, EventLog &log)
{
    HistoryFileRead r;
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return r; // a folder in its place is the writer's to report
    r.exists = true;
    QFile file(path);
    FileOps ops;
    if (!ops.open(file, QIODevice::ReadOnly | QIODevice::Unbuffered, r.error)) {
        r.ours = false;
        return r;
    }
    // Streamed: memory stays within a chunk and one record of at most MaxHistoryLine bytes.
    LineReader lines(file, ops, MaxHistoryLine, MaxFileBytes, LineReader::Ends::Kept);
    const QByteArray header = HistoryHeader();
    const LineReader::Outcome first = lines.next();
    const QByteArray &line = lines.line();
    const bool cut = first == LineReader::Outcome::End ||
                     (first == LineReader::Outcome::Line && !line.endsWith('\n'));
    if (cut && line.size() < header.size() && header.startsWith(line)) {
        r.missingHeader = header.mid(line.size()); // empty, or cut while its header was written
        return r;
    }
    if (first != LineReader::Outcome::Line || WithoutLineEnd(line) != WithoutLineEnd(header)) {
        r.ours = false;
        return r;
    }
    r.endsWithLineEnd = line.endsWith('\n');
    RecordReader records(r, log);
    for (;;) {
        const LineReader::Outcome next = lines.next();
        if (next == LineReader::Outcome::Line)
            records.line(lines.line());
        else if (next == LineReader::Outcome::TooLong)
            records.tooLong();
        else if (next == LineReader::Outcome::Failed)
            r.error = lines.error(); // what came before it is kept
        if (next == LineReader::Outcome::End || next == LineReader::Outcome::Failed)
            break;
    }
    records.end();
    return r;
}

LoadedHistory LoadHistory(const QString &folder, qsizetype capacity)
{
    LoadedHistory h;
    h.log = std::make_shared<EventLog>(capacity);
    h.previous = ReadHistoryFile(PreviousHistoryFilePath(folder), *h.log);
    h.current = ReadHistoryFile(HistoryFilePath(folder), *h.log);
    h.log->settle();
    for (const HistoryEvent &e : h.log->events())
        if (e.address == 0)
            h.lastLocationStates.insert_or_assign(h.log->text(e.location), e.to);
    QStringList problems;
    for (const auto &[name, r] :
         {std::pair{PreviousHistoryFileName, h.previous}, {HistoryFileName, h.current}})
        if (const QString p = FileProblem(QLatin1String(name), r); !p.isEmpty())
            problems << p;
    if (!problems.isEmpty())
        h.warning = QStringLiteral("The history in the program folder could not be read in full.\n") +
                    problems.join(QLatin1Char('\n')) +
                    QStringLiteral("\nMonitoring goes on; the history window shows what could be read.");
    return h;
}

// ---- Writing ----

HistoryWriter::HistoryWriter(QString folder, qint64 rotateBytes, std::unique_ptr<FileOps> ops)
    : m_path(HistoryFilePath(folder))
    , m_previousPath(PreviousHistoryFilePath(folder))
    , m_rotateBytes(rotateBytes)
    , m_ops(ops ? std::move(ops) : std::make_unique<FileOps>())
{}

void HistoryWriter::setFound(const HistoryFileRead &current, const HistoryFileRead &previous)
{
    m_currentOurs = !current.exists || current.ours;
    m_previousOurs = !previous.exists || previous.ours;
    m_prefix.clear();
    if (current.exists && current.ours)
        m_prefix = !current.missingHeader.isEmpty() ? current.missingHeader
                   : current.endsWithLineEnd        ? QByteArray()
                                                    : QByteArrayLiteral("\r\n");
}

Status HistoryWriter::append(const QByteArray &line)
{
    if (!m_currentOurs)
        return Status::refused(QStringLiteral("%1 is not a history file of QOR Online Status")
                                   .arg(QLatin1String(HistoryFileName)));
    QString error;
    QFile file(m_path);
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered;
    if (!m_ops->open(file, mode, error))
        return Status::failure(error);
    if (file.size() > 0 && file.size() + m_prefix.size() + line.size() > m_rotateBytes) {
        file.close();
        if (Status s = rotate(); !s)
            return s;
        // The new file is as private as the one it follows, from its first moment.
        if (!m_ops->createLike(file, m_previousPath, true, error) && !m_ops->open(file, mode, error))
            return Status::failure(error);
    }
    const qint64 before = file.size();
    const QByteArray bytes = before == 0 ? HistoryHeader() + line : m_prefix + line;
    if (!m_ops->write(file, bytes, error)) {
        if (file.size() > before)
            m_prefix = QByteArrayLiteral("\r\n"); // the part that went in ends its own line
        return Status::failure(error);
    }
    m_prefix.clear();
    return Status::success();
}

Status HistoryWriter::rotate()
{
    if (!m_previousOurs)
        return Status::failure(
            QStringLiteral("%1 is full, and %2 is not a history file of QOR Online Status, so "
                           "it is not replaced")
                .arg(QLatin1String(HistoryFileName), QLatin1String(PreviousHistoryFileName)));
    QString error;
    if (!m_ops->rename(m_path, m_previousPath, true, error))
        return Status::failure(error);
    m_prefix.clear();
    return Status::success();
}

} // namespace qos
