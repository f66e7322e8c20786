#pragma once
// Copying a file into a folder without ever replacing what is there.
//
// Invariants:
//  - The target name holds either nothing or the complete copy: the bytes go to a twin beside it,
//    which is forced to disk and then renamed to the target in one step that fails if the target
//    exists meanwhile.
//  - An existing target is never opened for writing, replaced or removed; every failure removes the
//    twin and names the file and the cause.
#include "store/status.h"

#include <QString>

namespace qos {

class FileOps;

// The twin a copy to target is written through: target + ".copying".
QString CopyTwinPath(const QString &target);

// Copies source to target unless a file of target's name exists (then nothing is done and copied stays
// false). A file that appears at target while the copy runs is kept and counts as there.
// ops: the file primitives to use; null means the system's.
Status CopyFileIfAbsent(const QString &source, const QString &target, bool &copied, FileOps *ops = nullptr);

} // namespace qos
