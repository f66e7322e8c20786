#pragma once
// The file-system primitives the data files are read and rewritten with.
//
// Invariants:
//  - Every primitive reports failure by its result and puts the system's error text into `error`;
//    none throws or prints.
//  - The default implementation forwards to the operating system. Tests derive from it and make one
//    primitive fail the way a full disk, a locked file or a failed rename would.
//  - Reading opens regular files only: a FIFO, a device or a folder under a data file's name is refused
//    at once instead of blocking the thread that opens it or feeding it bytes without end.
//  - A file made by createLike has its final permission bits from the system call that creates it, so
//    a twin of a private file is never readable by others, not even for a moment.
#include <QByteArrayView>
#include <QFile>
#include <QString>

namespace qos {

class FileOps {
public:
    virtual ~FileOps() = default;

    // Opens file in mode; for reading only when it is a regular file (symbolic links followed).
    virtual bool open(QFile &file, QIODevice::OpenMode mode, QString &error);
    // Creates file's path, which must not exist yet, and opens it for writing (unbuffered). It gets the
    // permission bits of `like`, and with sameOwner its owner and group too where the program may give
    // them; with `like` empty or not there, 0666 less the umask.
    virtual bool createLike(QFile &file, const QString &like, bool sameOwner, QString &error);
    // Reads up to maxSize bytes; 0 at the end of the file, -1 on failure.
    virtual qint64 read(QFile &file, char *data, qint64 maxSize, QString &error);
    // Writes all of bytes or fails.
    virtual bool write(QFile &file, QByteArrayView bytes, QString &error);
    // Forces what was written to file onto the disk.
    virtual bool sync(QFile &file, QString &error);
    // Renames from to to in one step. With replace, an existing `to` is replaced atomically; without,
    // the rename fails when `to` exists.
    virtual bool rename(const QString &from, const QString &to, bool replace, QString &error);
    virtual bool remove(const QString &path);
};

} // namespace qos
