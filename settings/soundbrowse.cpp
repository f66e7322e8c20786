#include "settings/soundbrowse.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

namespace qos {

namespace {

bool IsInside(const QString &folder, const QString &top)
{
    if (folder == top)
        return true;
    return folder.startsWith(top.endsWith(QLatin1Char('/')) ? top : top + QLatin1Char('/'));
}

QString Clean(const QString &path)
{
    return QDir::cleanPath(QDir(path).absolutePath());
}

} // namespace

QList<SoundDrive> ReadableDrives()
{
    const QString home = Clean(QDir::homePath());
    QList<SoundDrive> volumes;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QString top = Clean(volume.rootPath());
        if (!volume.isValid() || !volume.isReady() || top == home || !CanBrowse(top))
            continue;
        if (std::any_of(volumes.cbegin(), volumes.cend(), [&](const SoundDrive &d) { return d.path == top; }))
            continue;
        const QString name = volume.name();
        volumes << SoundDrive{top, name.isEmpty() ? top : QStringLiteral("%1 [%2]").arg(top, name)};
    }
    std::sort(volumes.begin(), volumes.end(),
              [](const SoundDrive &a, const SoundDrive &b) { return a.path < b.path; });
    QList<SoundDrive> drives;
    if (CanBrowse(home))
        drives << SoundDrive{home, QStringLiteral("%1 [home]").arg(home)};
    return drives + volumes;
}

bool CanBrowse(const QString &folder)
{
    const QFileInfo info(folder);
    return info.isDir() && info.isReadable() && info.isExecutable();
}

int DriveOf(const QList<SoundDrive> &drives, const QString &folder)
{
    const QString clean = Clean(folder);
    int best = 0;
    qsizetype bestLength = -1;
    for (int k = 0; k < drives.size(); ++k) {
        if (IsInside(clean, drives[k].path) && drives[k].path.size() > bestLength) {
            best = k;
            bestLength = drives[k].path.size();
        }
    }
    return best;
}

QList<FolderRow> FolderRows(const QString &drive, const QString &folder)
{
    const QString top = Clean(drive);
    const QString here = IsInside(Clean(folder), top) ? Clean(folder) : top;
    QList<FolderRow> rows{FolderRow{top, top, 0, here == top}};
    const QString below = QDir(top).relativeFilePath(here);
    QString path = top;
    if (here != top) {
        for (const QString &part : below.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            path = QDir(path).filePath(part);
            rows << FolderRow{path, part, int(rows.size()), path == here};
        }
    }
    const int depth = int(rows.size());
    const QFileInfoList subfolders =
        QDir(here).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &sub : subfolders)
        rows << FolderRow{Clean(sub.absoluteFilePath()), sub.fileName(), depth, false};
    return rows;
}

QStringList VisibleFiles(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
}

QStringList WavFiles(const QStringList &files)
{
    QStringList wavs;
    for (const QString &name : files) {
        if (name.endsWith(QLatin1String(".wav"), Qt::CaseSensitive))
            wavs << name;
    }
    return wavs;
}

} // namespace qos
