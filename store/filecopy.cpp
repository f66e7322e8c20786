#include "store/filecopy.h"

#include "store/fileops.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qos {

namespace {

constexpr qint64 CopyChunk = 64 * 1024;

QString Shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Copies the bytes of in into out and forces them onto the disk.
Status CopyBytes(QFile &in, const QString &source, QFile &out, const QString &twin, FileOps &ops)
{
    QByteArray buffer(CopyChunk, Qt::Uninitialized);
    QString error;
    for (;;) {
        const qint64 n = ops.read(in, buffer.data(), buffer.size(), error);
        if (n < 0)
            return Status::failure(QStringLiteral("Cannot read %1: %2.").arg(Shown(source), error));
        if (n == 0)
            break;
        if (!ops.write(out, QByteArrayView(buffer.constData(), n), error))
            return Status::failure(QStringLiteral("Cannot write %1: %2.").arg(Shown(twin), error));
    }
    if (!ops.sync(out, error))
        return Status::failure(QStringLiteral("Cannot write %1: %2.").arg(Shown(twin), error));
    return Status::success();
}

} // namespace

QString CopyTwinPath(const QString &target)
{
    return target + QStringLiteral(".copying");
}

Status CopyFileIfAbsent(const QString &source, const QString &target, bool &copied, FileOps *ops)
{
    copied = false;
    FileOps system;
    FileOps &files = ops ? *ops : system;
    if (QFileInfo::exists(target))
        return Status::success();
    QString error;
    QFile in(source);
    if (!files.open(in, QIODevice::ReadOnly | QIODevice::Unbuffered, error))
        return Status::failure(QStringLiteral("Cannot read %1: %2.").arg(Shown(source), error));

    const QString twin = CopyTwinPath(target);
    files.remove(twin); // a leftover of a copy cut short; never the only copy of anything
    QFile out(twin);
    // The copy is as private as the file it copies; its owner is the program's.
    if (!files.createLike(out, source, false, error))
        return Status::failure(QStringLiteral("Cannot create %1: %2.").arg(Shown(twin), error));
    Status s = CopyBytes(in, source, out, twin, files);
    out.close();
    bool renamed = false;
    if (s) {
        renamed = files.rename(twin, target, false, error);
        // A file of that name that appeared meanwhile is kept, and serves as well.
        if (!renamed && !QFileInfo::exists(target))
            s = Status::failure(QStringLiteral("Cannot create %1: %2.").arg(Shown(target), error));
    }
    if (!renamed)
        files.remove(twin);
    copied = renamed;
    return s;
}

} // namespace qos
