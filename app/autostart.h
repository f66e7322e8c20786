#pragma once
// The user's session autostart entry (an XDG autostart desktop file) that starts this program in the
// notification area with its data folder.
//
// Invariants:
//  - One entry per data folder: the file name is the package's for the default folder and carries a
//    digest of the folder when the folder was named on the command line, so two folders started side
//    by side each keep their own entry.
//  - The entry is written whole through a temporary twin and an atomic replace, or not at all;
//    removing an entry that is not there succeeds.
#include "store/status.h"

#include <QByteArray>
#include <QString>

namespace qos {

// What the entry starts: the executable, and the --folder the program was given (empty for none).
struct AutostartTarget {
    QString executable;
    QString folderOption;
};

// The text of the desktop file for target.
QByteArray AutostartEntryText(const AutostartTarget &target);
// The Exec value that starts target in the background, quoted and escaped for a desktop file.
QString AutostartExec(const AutostartTarget &target);

class Autostart {
public:
    // autostartFolder: the user's autostart folder ($XDG_CONFIG_HOME/autostart).
    Autostart(const QString &autostartFolder, AutostartTarget target);

    // The folder of a user session's autostart entries.
    static QString userAutostartFolder();

    bool isOn() const;
    Status turnOn() const;
    Status turnOff() const;
    const QString &path() const { return m_path; }

private:
    QString m_folder;
    QString m_path;
    AutostartTarget m_target;
};

} // namespace qos
