#include "store/fileops.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace qos {

namespace {

// After a rename the directory entry itself must reach the disk too; a failure here cannot undo the
// rename, so it is not reported.
void SyncDirectoryOf(const QString &path)
{
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool FileOps::open(QFile &file, QIODevice::OpenMode mode, QString &error)
{
    if (file.open(mode))
        return true;
    error = file.errorString();
    return false;
}

qint64 FileOps::read(QFile &file, char *data, qint64 maxSize, QString &error)
{
    const qint64 n = file.read(data, maxSize);
    if (n < 0)
        error = file.errorString();
    return n;
}

bool FileOps::write(QFile &file, QByteArrayView bytes, QString &error)
{
    if (file.write(bytes.data(), bytes.size()) == bytes.size())
        return true;
    error = file.errorString();
    return false;
}

bool FileOps::sync(QFile &file, QString &error)
{
    if (!file.flush()) {
        error = file.errorString();
        return false;
    }
    if (::fsync(file.handle()) != 0) {
        error = qt_error_string(errno);
        return false;
    }
    return true;
}

bool FileOps::rename(const QString &from, const QString &to, bool replace, QString &error)
{
    const QByteArray f = QFile::encodeName(from);
    const QByteArray t = QFile::encodeName(to);
    int rc;
    if (replace) {
        rc = ::rename(f.constData(), t.constData());
    } else {
        rc = ::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE);
        if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // The file system cannot refuse atomically; check first.
            if (QFileInfo::exists(to)) {
                errno = EEXIST;
            } else {
                rc = ::rename(f.constData(), t.constData());
            }
        }
    }
    if (rc != 0) {
        error = qt_error_string(errno);
        return false;
    }
    SyncDirectoryOf(to);
    return true;
}

bool FileOps::remove(const QString &path)
{
    return QFile::remove(path);
}

} // namespace qos
