#pragma once
// What the fuzz targets share: a scratch folder in memory, file primitives without the disk flushes,
// and the file's lines as the store reads them.
#include "store/fileops.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace qos::fuzz {

// The store's own primitives less the forced writes to disk, which would make each run take
// milliseconds; what is written and renamed is the same.
class FastOps : public FileOps {
public:
    bool sync(QFile &file, QString &error) override
    {
        if (file.flush())
            return true;
        error = file.errorString();
        return false;
    }
    bool rename(const QString &from, const QString &to, bool replace, QString &error) override
    {
        if (replace &&
            std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
            return true;
        return FileOps::rename(from, to, replace, error);
    }
};

// One scratch folder for the whole run, in memory where the system has a tmpfs.
inline QString Folder()
{
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/qos-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/qos-fuzz-XXXXXX"));
    if (!dir.isValid())
        std::abort();
    return dir.path();
}

inline void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        std::abort();
}

inline QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        std::abort();
    return f.readAll();
}

// The lines as the store reads them: split at LF, one CR at the end of each line dropped, a last line
// without LF still a line.
inline QList<QByteArray> Lines(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (bytes.isEmpty() || bytes.endsWith('\n'))
        lines.removeLast();
    for (QByteArray &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

// True when after is before with one run of lines removed that starts at a BEGIN line, ends at an END
// line and holds the line named.
inline bool OneBlockRemoved(const QList<QByteArray> &before, const QList<QByteArray> &after,
                            const QByteArray &begin, const QByteArray &end, const QByteArray &named)
{
    const qsizetype removed = before.size() - after.size();
    if (removed < 2)
        return false;
    qsizetype prefix = 0; // after starts with before[0, prefix)
    while (prefix < after.size() && after[prefix] == before[prefix])
        ++prefix;
    qsizetype suffix = 0; // and ends with the last suffix lines of before
    while (suffix < after.size() && after[after.size() - 1 - suffix] == before[before.size() - 1 - suffix])
        ++suffix;
    // The removed run may start anywhere both agree on: equal lines around it can sit on either side.
    for (qsizetype p = qMax<qsizetype>(0, after.size() - suffix); p <= prefix; ++p) {
        if (before[p] == begin && before[p + removed - 1] == end && before.mid(p, removed).contains(named))
            return true;
    }
    return false;
}

[[noreturn]] inline void Fault(const char *what)
{
    std::fprintf(stderr, "fault: %s\n", what);
    std::abort();
}

} // namespace qos::fuzz
