#pragma once
// The data folder: where graph.txt, info.txt, the pictures and the chosen sounds live.
//
// Invariants:
//  - ChooseDataFolder decides from the facts it is handed alone; ExamineDataFolders is the one place
//    that looks at this machine to gather them.
//  - --folder DIR wins. Otherwise a portable program (its folder holds graph.txt or the user may
//    write there) keeps everything in its own folder, as a program unpacked anywhere always has.
//    An installed program (its folder is a system program folder such as /usr/bin, or it has
//    share/qor-online-status beside it) never keeps files beside itself: it uses the per-user data
//    folder (QStandardPaths::AppDataLocation).
//  - Seeding copies a picture only when the data folder has no file of that name: a file the
//    operator put there is never replaced, and a copy cut short leaves no partial picture behind.
#include "store/fileops.h"
#include "store/status.h"

#include <QString>

namespace qos {

// The package's name: the executable, its shared data folder <prefix>/share/<name>, its icon.
inline constexpr char kPackageName[] = "qor-online-status";

struct DataFolderFacts {
    QString folderOption;  // --folder DIR as an absolute path; empty when not given
    QString programFolder; // the executable's folder, symbolic links resolved
    bool programFolderHasGraph = false;
    bool programFolderWritable = false;
    QString sharedFolder; // <prefix>/share/<name> beside the program folder; empty when none
    QString userFolder;   // the per-user data folder; empty when the system names none
};

enum class DataFolderKind { Option, Portable, PerUser };

struct DataFolderChoice {
    DataFolderKind kind = DataFolderKind::Portable;
    QString folder;
    QString seedFrom; // the folder the pictures are copied from; empty: nothing is copied
};

// True for the folders the system installs programs into (/usr/bin, /usr/local/bin, ...).
bool IsSystemProgramFolder(const QString &folder);

DataFolderChoice ChooseDataFolder(const DataFolderFacts &facts);

// The facts for an executable in programFolder started with folderOption (empty: no --folder).
DataFolderFacts ExamineDataFolders(const QString &programFolder, const QString &folderOption);

// Creates choice.folder with its parents when missing and seeds it from choice.seedFrom. Fails, with
// a text for the operator, only when the folder is not there afterwards; a picture that cannot be
// copied is reported at start-up like any other missing picture.
Status PrepareDataFolder(const DataFolderChoice &choice, FileOps *ops = nullptr);

struct DataFolder {
    QString folder;
    Status status;
};

// Chooses and prepares the data folder of this run.
DataFolder OpenDataFolder(const QString &programFolder, const QString &folderOption);

} // namespace qos
