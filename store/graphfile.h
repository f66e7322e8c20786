#pragma once
// graph.txt: loading it into the model, appending a location block, and the one rewrite procedure
// through which every writer changes it.
//
// Invariants:
//  - Every rewrite writes the twin completely, flushes it, then renames it over the original, so the
//    file on disk is at every moment either the old or the new content.
//  - No written line ever contains CR or LF inside it; every line ends with CR LF.
//  - Lines a rule keeps are copied byte for byte.
#include "store/model.h"
#include "store/pleasewait.h"
#include "store/status.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace qos {

inline constexpr char GraphFileName[] = "graph.txt";
inline constexpr char GraphTwinName[] = "graphtmp.txt";

struct LoadResult {
    bool fileExisted = false;
    QStringList warnings; // lines whose values could not be used, one text each; shown once at start-up
    QString error;        // set when the file exists but could not be read; the model then holds defaults
};

// Fills cfg (settings and table, bumps cfg.generation) from folder/graph.txt.
LoadResult LoadConfiguration(const QString &folder, Configuration &cfg);

// A line rule sees each line without its line end and returns the line to write, or nothing to drop it.
using LineRule = std::function<std::optional<QByteArray>(const QByteArray &line)>;

// Copies path through rule into twinPath, appends extraLines, then atomically replaces path with it.
Status RewriteViaTemporary(const QString &path, const QString &twinPath, const LineRule &rule,
                           const QList<QByteArray> &extraLines, PleaseWait *pleaseWait);

// Appends the eight-line block of rec to folder/graph.txt (creating the file with the main-settings
// block from settings when it does not exist).
Status AppendLocation(const QString &folder, const MainSettings &settings, const LocationRecord &rec,
                      PleaseWait *pleaseWait);

// Text of a position as written to the file: the shortest text that reads back as the same float;
// whole values as plain integers.
QByteArray PositionText(float value);

} // namespace qos
