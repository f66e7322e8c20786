#include "store/fileops.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
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

constexpr std::pair<mode_t, QFile::Permission> kPermissionBits[] = {
    {S_IRUSR, QFile::ReadOwner}, {S_IWUSR, QFile::WriteOwner}, {S_IXUSR, QFile::ExeOwner},
    {S_IRGRP, QFile::ReadGroup}, {S_IWGRP, QFile::WriteGroup}, {S_IXGRP, QFile::ExeGroup},
    {S_IROTH, QFile::ReadOther}, {S_IWOTH, QFile::WriteOther}, {S_IXOTH, QFile::ExeOther}};

// What a file that is not regular is, in the words of a refusal.
QString NotRegularText(mode_t mode)
{
    const char *what = S_ISDIR(mode)                     ? "a folder"
                       : S_ISFIFO(mode)                  ? "a FIFO"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                       : S_ISSOCK(mode)                  ? "a socket"
                                                         : "not a regular file";
    return QStringLiteral("it is %1, not a regular file").arg(QLatin1String(what));
}

// Opens a file for reading without blocking on a FIFO, and keeps it only when it is regular.
bool OpenRegular(QFile &file, QIODevice::OpenMode mode, QString &error)
{
    const QByteArray name = QFile::encodeName(file.fileName());
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        error = qt_error_string(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        error = NotRegularText(st.st_mode);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (file.open(fd, mode, QFileDevice::AutoCloseHandle))
        return true;
    ::close(fd);
    error = file.errorString();
    return false;
}

} // namespace

bool FileOps::open(QFile &file, QIODevice::OpenMode mode, QString &error)
{
    if (!(mode & QIODevice::WriteOnly))
        return OpenRegular(file, mode, error);
    if (file.open(mode))
        return true;
    error = file.errorString();
    return false;
}

bool FileOps::createLike(QFile &file, const QString &like, bool sameOwner, QString &error)
{
    struct stat st;
    const bool known = !like.isEmpty() && ::stat(QFile::encodeName(like).constData(), &st) == 0;
    const mode_t bits = known ? st.st_mode & 07777 : 0666;
    QFile::Permissions permissions;
    for (const auto &[bit, permission] : kPermissionBits) {
        if (bits & bit)
            permissions |= permission;
    }
    // One open(2) with O_CREAT | O_EXCL and these bits; the umask may narrow them, never widen.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered, permissions)) {
        error = file.errorString();
        return false;
    }
    if (!known)
        return true;
    // Only root may give a file away; anyone else stays its owner (EPERM), which is fine.
    if (sameOwner && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()))
        (void)::fchown(file.handle(), st.st_uid, st.st_gid);
    ::fchmod(file.handle(), bits); // the bits the umask took, and those a change of owner cleared
    return true;
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
