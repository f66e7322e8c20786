#pragma once
// Reads a data file line by line in bounded memory.
//
// Invariants:
//  - A line ends at LF; one CR before the LF (or before the end of the file) belongs to the line end
//    and is removed (unless the reader keeps line ends, then the line holds them as read). All other
//    bytes, NUL and stray CR included, stay in the line.
//  - Memory is bounded by one read chunk plus MaxLineLength, whatever the file holds: a longer line
//    is consumed and reported as TooLong, without its text.
//  - A last line without a line end is still a line; an empty file has no lines.
//  - One reader reads at most MaxFileBytes: a file that goes on beyond them (one that grows without end,
//    or a huge one) fails there, after the lines before.
#include "store/fileops.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace qos {

// Longest line a data file may hold: an address list of some 6,000 addresses, which the monitor holds
// in some 20 MB. Real lines are far shorter; anything longer is not configuration.
inline constexpr qsizetype MaxLineLength = 64 * 1024;
// Most bytes one reading of a data file takes in; far beyond any real configuration.
inline constexpr qint64 MaxFileBytes = 256LL * 1024 * 1024;

class LineReader {
public:
    enum class Outcome { Line, TooLong, End, Failed };
    enum class Ends { Removed, Kept };

    // file must be open for reading.
    LineReader(QFile &file, FileOps &ops, qsizetype maxLineLength = MaxLineLength,
               qint64 maxFileBytes = MaxFileBytes, Ends ends = Ends::Removed);

    Outcome next();
    const QByteArray &line() const { return m_line; }  // after Line: the line without its end
    qint64 lineNumber() const { return m_lineNumber; } // 1-based number of the line last returned
    const QString &error() const { return m_error; }   // after Failed: the system's error text
    // After Failed: "Cannot read <shownPath> (line n): <error>.", n the line that could not be read.
    QString failureText(const QString &shownPath) const;

private:
    bool fill(); // false at the end of the file or on failure (then m_error is set)

    QFile &m_file;
    FileOps &m_ops;
    qsizetype m_maxLineLength;
    bool m_keepEnds;
    qint64 m_maxFileBytes;
    qint64 m_bytesLeft;
    QByteArray m_chunk;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
    QByteArray m_line;
    qint64 m_lineNumber = 0;
    QString m_error;
};

} // namespace qos
