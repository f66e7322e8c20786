#include "app/datafolder.h"

#include "store/filecopy.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace qos {
namespace {

const char *const kSeedPictures[] = {"map.gif", "swag.ico", "swar.ico"};

const QString kUseAnotherFolder = QStringLiteral("Start it with --folder DIR to keep its files in DIR.");

bool SameFolder(const QString &a, const QString &b)
{
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}

// Like mkdir -p; error gets the system's text for the component that could not be made.
bool MakeFolder(const QString &path, QString &error)
{
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    if (!info.exists()) {
        const QString parent = info.absolutePath();
        if (!SameFolder(parent, path) && !MakeFolder(parent, error))
            return false;
        if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0 && errno != EEXIST) {
            error = qt_error_string(errno);
            return false;
        }
    }
    if (QFileInfo(path).isDir())
        return true;
    error = qt_error_string(ENOTDIR);
    return false;
}

} // namespace

bool IsSystemProgramFolder(const QString &folder)
{
    static const char *const kSystemFolders[] = {"/bin",       "/sbin",           "/usr/bin",
                                                 "/usr/sbin",  "/usr/local/bin",  "/usr/local/sbin",
                                                 "/usr/games", "/usr/local/games"};
    const QString clean = QDir::cleanPath(folder);
    for (const char *system : kSystemFolders) {
        if (clean == QLatin1String(system))
            return true;
    }
    return false;
}

DataFolderChoice ChooseDataFolder(const DataFolderFacts &facts)
{
    // The pictures come from the package's shared folder, or else from beside the program.
    const QString source = facts.sharedFolder.isEmpty() ? facts.programFolder : facts.sharedFolder;
    const auto seeded = [&source](DataFolderKind kind, const QString &folder) {
        return DataFolderChoice{kind, folder, SameFolder(folder, source) ? QString() : source};
    };
    if (!facts.folderOption.isEmpty())
        return seeded(DataFolderKind::Option, facts.folderOption);
    const bool installed = IsSystemProgramFolder(facts.programFolder) || !facts.sharedFolder.isEmpty();
    if (!installed && (facts.programFolderHasGraph || facts.programFolderWritable))
        return {DataFolderKind::Portable, facts.programFolder, {}};
    return seeded(DataFolderKind::PerUser, facts.userFolder);
}

DataFolderFacts ExamineDataFolders(const QString &programFolder, const QString &folderOption)
{
    DataFolderFacts facts;
    facts.folderOption = folderOption;
    const QString canonical = QFileInfo(programFolder).canonicalFilePath();
    facts.programFolder = canonical.isEmpty() ? QDir::cleanPath(programFolder) : canonical;
    const QDir dir(facts.programFolder);
    facts.programFolderHasGraph = QFileInfo::exists(dir.filePath(QStringLiteral("graph.txt")));
    facts.programFolderWritable = ::access(QFile::encodeName(facts.programFolder).constData(), W_OK) == 0;
    const QString shared =
        QDir::cleanPath(dir.filePath(QStringLiteral("../share/") + QLatin1String(kPackageName)));
    if (QFileInfo(shared).isDir())
        facts.sharedFolder = shared;
    facts.userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return facts;
}

Status PrepareDataFolder(const DataFolderChoice &choice, FileOps *ops)
{
    if (choice.folder.isEmpty())
        return Status::failure(
            QStringLiteral("QOR Online Status finds no folder for its data: the system names "
                           "no per-user data folder (HOME may not be set).\n") +
            kUseAnotherFolder);
    QString error;
    if (!MakeFolder(choice.folder, error))
        return Status::failure(QStringLiteral("QOR Online Status cannot create its data folder \"%1\": %2.\n")
                                   .arg(choice.folder, error) +
                               kUseAnotherFolder);
    if (choice.seedFrom.isEmpty())
        return Status::success();
    FileOps defaultOps;
    const QDir from(choice.seedFrom), to(choice.folder);
    // Each copy goes through a twin that takes the name only while no file holds it, so a picture
    // that appears meanwhile is kept; one that cannot be copied is shown missing.
    for (const char *picture : kSeedPictures) {
        bool copied = false;
        (void)CopyFileIfAbsent(from.filePath(QLatin1String(picture)), to.filePath(QLatin1String(picture)),
                               copied, ops ? ops : &defaultOps);
    }
    return Status::success();
}

DataFolder OpenDataFolder(const QString &programFolder, const QString &folderOption)
{
    const DataFolderChoice choice = ChooseDataFolder(ExamineDataFolders(programFolder, folderOption));
    return {choice.folder, PrepareDataFolder(choice)};
}

} // namespace qos
