#pragma once
// The file-system primitives the data files are read and rewritten with.
//
// Invariants:
//  - Every primitive reports failure by its result and puts the system's error text into `error`;
//    none throws or prints.
//  - The default implementation forwards to the operating system. Tests derive from it and make one
//    primitive fail the way a full disk, a locked file or a failed rename would.
#include <QByteArrayView>
#include <QFile>
#include <QString>

namespace qos {

class FileOps {
public:
    virtual ~FileOps() = default;

    virtual bool open(QFile &file, QIODevice::OpenMode mode, QString &error);
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
