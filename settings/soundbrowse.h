#pragma once
// Browsing for WAV files on this machine: the "drives" (the home folder, then the mounted volumes the
// user can read), the folders of a drive and the WAV files of a folder.
//
// Invariants:
//  - Folders and files are read at the moment they are asked for; nothing is cached.
//  - Hidden entries (names starting with ".") and system entries (devices, sockets, pipes, broken
//    links) are never listed.
#include <QList>
#include <QString>
#include <QStringList>

namespace qos {

struct SoundDrive {
    QString path; // the drive's top folder
    QString text; // what the drive list shows
};

// The home folder first, then every mounted volume whose top folder can be listed, by path.
QList<SoundDrive> ReadableDrives();

// True when folder exists and its entries can be listed.
bool CanBrowse(const QString &folder);

// The drive of list that holds folder: the one whose path is its longest leading part; 0 when none does.
int DriveOf(const QList<SoundDrive> &drives, const QString &folder);

// The folder list for folder on a drive: the drive's top folder, each folder down to folder, then the
// visible subfolders of folder, by name. depth is the indentation shown.
struct FolderRow {
    QString path;
    QString name;
    int depth = 0;
    bool current = false; // the row of folder itself
};
QList<FolderRow> FolderRows(const QString &drive, const QString &folder);

// The visible files of folder, by name (case-insensitive).
QStringList VisibleFiles(const QString &folder);
// Those of files whose last four characters are exactly ".wav" (so "A.WAV" is not one).
QStringList WavFiles(const QStringList &files);

} // namespace qos
