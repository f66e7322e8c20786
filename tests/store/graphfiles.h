#pragma once
// Small file helpers shared by the store tests.
#include "store/fileops.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>

namespace qos::test {

inline bool WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline QByteArray ReadBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Makes one primitive fail on its n-th use, as the system would.
class FailingOps : public FileOps {
public:
    enum Step { None, OpenSource, OpenTwin, Read, Write, Sync, Rename };
    Step step = None;
    int onCall = 1;
    QString text = QStringLiteral("Simulated failure");
    std::function<void()> beforeRename;

    bool open(QFile &file, QIODevice::OpenMode mode, QString &error) override
    {
        return !fails(mode & QIODevice::WriteOnly ? OpenTwin : OpenSource, error) &&
               FileOps::open(file, mode, error);
    }
    bool createLike(QFile &file, const QString &like, bool sameOwner, QString &error) override
    {
        return !fails(OpenTwin, error) && FileOps::createLike(file, like, sameOwner, error);
    }
    qint64 read(QFile &file, char *data, qint64 maxSize, QString &error) override
    {
        return fails(Read, error) ? -1 : FileOps::read(file, data, maxSize, error);
    }
    bool write(QFile &file, QByteArrayView bytes, QString &error) override
    {
        if (step == Write && calls + 1 == onCall) // part of the data goes out, then the disk is full
            FileOps::write(file, bytes.first(bytes.size() / 2), error);
        return !fails(Write, error) && FileOps::write(file, bytes, error);
    }
    bool sync(QFile &file, QString &error) override
    {
        return !fails(Sync, error) && FileOps::sync(file, error);
    }
    bool rename(const QString &from, const QString &to, bool replace, QString &error) override
    {
        if (beforeRename)
            beforeRename();
        return !fails(Rename, error) && FileOps::rename(from, to, replace, error);
    }

private:
    bool fails(Step s, QString &error)
    {
        if (s != step || ++calls != onCall)
            return false;
        error = text;
        return true;
    }
    int calls = 0;
};

// Every step of a rewrite at which the file system can fail, on a file of several read and write chunks.
struct FailureStep {
    const char *name;
    FailingOps::Step step;
    int onCall;
    bool namesTwin; // the message names the twin rather than the file
};
inline constexpr FailureStep RewriteFailureSteps[] = {
    {"open the file", FailingOps::OpenSource, 1, false},
    {"create the twin", FailingOps::OpenTwin, 1, true},
    {"first read", FailingOps::Read, 1, false},
    {"later read", FailingOps::Read, 3, false},
    {"first write", FailingOps::Write, 1, true},
    {"last write", FailingOps::Write, 3, true},
    {"sync", FailingOps::Sync, 1, true},
    {"rename", FailingOps::Rename, 1, false},
};

} // namespace qos::test
