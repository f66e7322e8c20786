#pragma once
// graph.txt: loading it into the model, appending a location block, and the one rewrite procedure
// through which every writer changes it.
//
// Invariants:
//  - Every rewrite writes the twin completely, flushes it, then renames it over the original, so the
//    file on disk is at every moment either the old or the new content.
//  - No line the program composes contains CR or LF; every written line ends with CR LF.
//  - Lines a rule keeps are copied byte for byte (only their line end becomes CR LF).
#include "store/graphkeys.h"
#include "store/linerule.h"
#include "store/model.h"
#include "store/pleasewait.h"
#include "store/status.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace qos {

class FileOps;

inline constexpr char GraphFileName[] = "graph.txt";
inline constexpr char GraphTwinName[] = "graphtmp.txt";

// The fixed lines that frame the sections of the file.
inline constexpr char MainSettingsLine[] = "------------MAIN SETTINGS-----------";
inline constexpr char LocationBeginLine[] = "------------LOCATION BEGIN-----------";
inline constexpr char LocationEndLine[] = "------------LOCATION END-----------";

QString GraphFilePath(const QString &folder); // folder/graph.txt
QString GraphTwinPath(const QString &folder); // folder/graphtmp.txt

struct LoadResult {
    bool fileExisted = false;
    QStringList warnings; // lines whose values could not be used, one text each; shown once at start-up
    // Set when the file exists but could not be read (or read to its end), or when a twin holding the
    // only copy could not be renamed back (it is then loaded from the twin). The model holds what was
    // read before the failure, with the settings of a present file (zeros) otherwise. Writers never
    // write the model wholesale: they copy the file through a line rule and fail while it cannot be
    // read, so an unreadable file is never replaced by what the model holds.
    QString error;
};

// Fills cfg (settings and table, bumps cfg.generation) from folder/graph.txt. When graph.txt is missing
// but graphtmp.txt is there, an update was interrupted and the twin is the only copy: it is renamed to
// graph.txt and loaded, with a warning.
// ops: the file primitives to use; null means the system's.
LoadResult LoadConfiguration(const QString &folder, Configuration &cfg, FileOps *ops = nullptr);

// The start-up warnings as the text of one message box of bounded height: the first
// MaxShownWarnings, one a line, and when there are more a last line "... and N more".
inline constexpr int MaxShownWarnings = 20;
QString StartupWarningsText(const QStringList &warnings);

// Whether twin, left beside a missing file by an update that did not finish, may take the file's
// place: it must be a regular file, and whole. Every line a rewrite writes ends with CR LF, so a twin
// cut short while it was written is empty or ends otherwise. A refusal says which.
Status CheckCompleteTwin(const QString &twin, FileOps &ops);

// Copies path through rule (null keeps every line) into twinPath, appends extraLines, forces the twin
// onto the disk, then atomically replaces path with it. pleaseWait is shown meanwhile. On any failure,
// and when the rule ends with a failure, path is left as it was, the twin is removed and the error
// names the file and the cause. A written line holding CR or LF refuses the whole rewrite.
// ops: the file primitives to use; null means the system's.
Status RewriteViaTemporary(const QString &path, const QString &twinPath, LineRule *rule,
                           const QList<QByteArray> &extraLines, PleaseWait *pleaseWait,
                           FileOps *ops = nullptr);

// Creates path holding lines through twinPath, the same way. Fails, writing nothing, when path or
// twinPath is already there: a twin without its file may be the only copy of it.
Status CreateViaTemporary(const QString &path, const QString &twinPath, const QList<QByteArray> &lines,
                          PleaseWait *pleaseWait, FileOps *ops = nullptr);

// Appends the eight-line block of rec (site, siteip, left, top) to folder/graph.txt, creating the file
// with the main-settings block from settings when it does not exist. Values that graph.txt cannot hold
// as they are (line breaks, characters outside Latin-1, text that would read back as another key) are
// refused before anything is written.
Status AppendLocation(const QString &folder, const MainSettings &settings, const LocationRecord &rec,
                      PleaseWait *pleaseWait, FileOps *ops = nullptr);

// True for the keys of the main-settings block the settings dialogs change: PINGTIMEOUT=,
// PINGINTERVAL=, PINGPACKETS=, ALERTWAV=, ONLINEWAV=, and the later NOTIFICATIONS=, OFFLINECYCLES=,
// PARTIAL=, SLOWMS=, SLOWLOSS= and SHAPES=.
bool IsMainSettingKey(Key key);

// Writes key + valueText as the main-settings line of key (see MainSettingRule: every such line outside
// the location blocks is replaced, and a file without one gets it in its MAIN SETTINGS block). Without
// graph.txt it creates the seven-line main-settings block: valueText for key, the defaults 2000, 3 and
// 4 for the other numbers (not what memory holds), the sound names from settings; a later setting
// gets its line at the end of that block. valueText is written
// exactly (the settings dialogs pass the text the operator typed, trimmed); values the file cannot hold
// as they are are refused, like every other failure without changing anything.
Status RewriteMainSetting(const QString &folder, const MainSettings &settings, Key key,
                          const QString &valueText, PleaseWait *pleaseWait, FileOps *ops = nullptr);

// The line "KEY=value" in the file's bytes, for writers. Fails with a text for the operator when the
// value holds a line break or a character outside Latin-1, or would not read back as this key with this
// value (it holds "---------" or an earlier key, or ends with a space).
Status KeyLine(Key key, const QString &value, QByteArray &line);

// Text of a position as written to the file: the shortest text that reads back as the same float;
// whole values as plain integers ("1475"), never an exponent, "." as the decimal point.
QByteArray PositionText(float value);

} // namespace qos
