#pragma once
// The history file: history.csv in the program folder, with one previous file, history.old.csv.
//
// Invariants:
//  - Lines are only ever appended, one at a time, each flushed to the system before append returns;
//    no line already in a file is rewritten. When a line would take history.csv past the rotation
//    size, history.csv is renamed over history.old.csv in one step and a new history.csv begins with
//    the header; so at most two files exist and each stays within the rotation size (a single line
//    longer than that goes into a file of its own).
//  - A file whose first line is not our header is not ours: it is read for nothing, written never,
//    and never renamed over. A file cut short inside its header is ours and gets the header's rest.
//  - A file that ends without a line end (cut short in its last line) gets one before the next line,
//    so the cut line stays as it was and the next one starts clean.
//  - Reading takes what makes sense: unreadable lines are skipped and counted, and the count and
//    the first such line go into one warning.
//  - Reading streams: memory stays within one record of MaxHistoryLine whatever the file holds, and
//    one file is read up to MaxFileBytes (the rest is told as a read failure).
#include "history/events.h"
#include "store/fileops.h"
#include "store/status.h"

#include <QString>
#include <map>
#include <memory>

namespace qos {

inline constexpr char HistoryFileName[] = "history.csv";
inline constexpr char PreviousHistoryFileName[] = "history.old.csv";
inline constexpr qint64 DefaultRotateBytes = 4 * 1024 * 1024;
// Longest record read back (a quoted field over several lines counts whole); a longer one is a line
// that cannot be read. The program writes records of a few hundred bytes.
inline constexpr qsizetype MaxHistoryLine = 16 * 1024;

QString HistoryFilePath(const QString &folder);
QString PreviousHistoryFilePath(const QString &folder);

// What reading one history file found.
struct HistoryFileRead {
    bool exists = false;
    bool ours = true;         // the header is ours (or the file is empty, absent or a cut header)
    QByteArray missingHeader; // the rest of a header the file was cut inside
    bool endsWithLineEnd = true;
    int lines = 0; // records after the header
    int badLines = 0;
    int firstBadLine = 0; // 1-based line number in the file
    QString error;        // it could not be read
};

// Adds the records of the file at path to log, in file order.
HistoryFileRead ReadHistoryFile(const QString &path, EventLog &log);

struct LoadedHistory {
    std::shared_ptr<EventLog> log;
    std::map<QString, State> lastLocationStates; // each location's state after its last line
    QString warning; // one text for everything that was wrong; empty when nothing was
    HistoryFileRead current;
    HistoryFileRead previous;
};

// The previous file, then the current one, as far as they make sense, in time order.
LoadedHistory LoadHistory(const QString &folder, qsizetype capacity = EventLog::DefaultCapacity);

// Appends lines to the history file of a folder. Not thread-bound, but used by one thread at a time.
class HistoryWriter {
public:
    explicit HistoryWriter(QString folder, qint64 rotateBytes = DefaultRotateBytes,
                           std::unique_ptr<FileOps> ops = nullptr);

    // What loading found about the two files decides what may be written and renamed.
    void setFound(const HistoryFileRead &current, const HistoryFileRead &previous);

    // One line with its line end. Refused (and never written) for a file that is not ours; an I/O
    // failure for everything else that goes wrong.
    Status append(const QByteArray &line);

private:
    Status rotate();

    QString m_path;
    QString m_previousPath;
    qint64 m_rotateBytes;
    std::unique_ptr<FileOps> m_ops;
    bool m_currentOurs = true;
    bool m_previousOurs = true;
    QByteArray m_prefix; // written before the next line: a header's rest, or a line end
};

} // namespace qos
