#include "store/linereader.h"

#include <cstring>

namespace qos {

namespace {
constexpr qsizetype ChunkSize = 64 * 1024;
}

LineReader::LineReader(QFile &file, FileOps &ops, qsizetype maxLineLength, qint64 maxFileBytes, Ends ends)
    : m_file(file)
    , m_ops(ops)
    , m_maxLineLength(maxLineLength)
    , m_keepEnds(ends == Ends::Kept)
    , m_maxFileBytes(maxFileBytes)
    , m_bytesLeft(maxFileBytes)
    , m_chunk(ChunkSize, Qt::Uninitialized)
{}

bool LineReader::fill()
{
    m_pos = 0;
    m_end = 0;
    const qint64 n = m_ops.read(m_file, m_chunk.data(), m_chunk.size(), m_error);
    if (n < 0) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("Unknown read error");
        return false;
    }
    if (n > m_bytesLeft) {
        m_error = QStringLiteral("the file goes on beyond %1 bytes, more than a data file of "
                                 "the program may hold")
                      .arg(m_maxFileBytes);
        return false;
    }
    m_bytesLeft -= n;
    m_end = qsizetype(n);
    return n > 0;
}

LineReader::Outcome LineReader::next()
{
    m_line.truncate(0); // keeps the capacity for the next line
    bool tooLong = false;
    bool started = false;
    for (;;) {
        if (m_pos == m_end && !fill()) {
            if (!m_error.isEmpty())
                return Outcome::Failed;
            if (!started)
                return Outcome::End;
            break; // last line without a line end
        }
        started = true;
        const char *begin = m_chunk.constData() + m_pos;
        const auto *lf = static_cast<const char *>(std::memchr(begin, '\n', size_t(m_end - m_pos)));
        const qsizetype take = lf ? qsizetype(lf - begin) + (m_keepEnds ? 1 : 0) : m_end - m_pos;
        if (!tooLong) {
            if (m_line.size() + take > m_maxLineLength) {
                tooLong = true;
                m_line = QByteArray();
            } else {
                m_line.append(begin, take);
            }
        }
        m_pos += take;
        if (lf) {
            m_pos += m_keepEnds ? 0 : 1;
            break;
        }
    }
    ++m_lineNumber;
    if (tooLong)
        return Outcome::TooLong;
    if (!m_keepEnds && m_line.endsWith('\r'))
        m_line.chop(1);
    return Outcome::Line;
}

QString LineReader::failureText(const QString &shownPath) const
{
    return QStringLiteral("Cannot read %1 (line %2): %3.")
        .arg(shownPath, QString::number(m_lineNumber + 1), m_error);
}

} // namespace qos
