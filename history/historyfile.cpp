#include "history/historyfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
            .arg(name)
            .arg(r.badLines)
            .arg(r.lines)
            .arg(r.firstBadLine);
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

HistoryFileRead ReadHistoryFile(const QString &path, EventLog &log)
{
    HistoryFileRead r;
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return r; // a folder in its place is the writer's to report
    r.exists = true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        r.ours = false;
        r.error = file.errorString();
        return r;
    }
    const QByteArray header = HistoryHeader();
    const QByteArray first = file.readLine();
    if (file.atEnd() && first.size() < header.size() && header.startsWith(first)) {
        r.missingHeader = header.mid(first.size()); // empty, or cut while its header was written
        return r;
    }
    if (WithoutLineEnd(first) != WithoutLineEnd(header)) {
        r.ours = false;
        return r;
    }
    r.endsWithLineEnd = first.endsWith('\n');
    int lineNo = 1;
    int recordStart = 0;
    QByteArray record;
    qsizetype quotes = 0;
    auto bad = [&r](int at) {
        if (r.badLines++ == 0)
            r.firstBadLine = at;
    };
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (line.isEmpty())
            break;
        ++lineNo;
        r.endsWithLineEnd = line.endsWith('\n');
        if (record.isEmpty()) {
            if (WithoutLineEnd(line).isEmpty())
                continue; // a blank line is no record
            recordStart = lineNo;
        }
        record += line;
        quotes += line.count('"');
        if (quotes % 2 != 0)
            continue; // a quoted field goes on in the next line
        ++r.lines;
        if (const auto change = ParseChange(WithoutLineEnd(record)))
            log.add(*change);
        else
            bad(recordStart);
        record.clear();
        quotes = 0;
    }
    if (!record.isEmpty()) { // a quote that never closes
        ++r.lines;
        bad(recordStart);
    }
    return r;
}

LoadedHistory LoadHistory(const QString &folder, qsizetype capacity)
{
    LoadedHistory h;
    EventLog read(capacity);
    h.previous = ReadHistoryFile(PreviousHistoryFilePath(folder), read);
    h.current = ReadHistoryFile(HistoryFilePath(folder), read);
    h.log = std::make_shared<EventLog>(capacity);
    h.log->prepend(read); // in time order: hand edits and clock changes may have mixed it
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
        if (!m_ops->open(file, mode, error))
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
