#pragma once
// The command line. Started without options the program behaves as it always has.
//
// Invariants:
//  - Parsing looks at the arguments it is handed and at nothing else; it prints nothing and never
//    ends the process: main() prints the message and ends with exitCode when one is set.
//  - folder, when given, is absolute (made so against the working folder at parse time).
#include <QString>
#include <QStringList>
#include <optional>

namespace qos {

struct CommandLine {
    QString folder;              // --folder DIR; empty when not given
    bool headless = false;       // --headless: no window, no display; monitoring starts at once
    QString metrics;             // --metrics HOST:PORT as given (checked); empty when not given
    bool background = false;     // --background: start in the notification area, monitoring
    std::optional<int> exitCode; // set: print message and end with this code (help, version, errors)
    QString message;
};

// arguments as QCoreApplication::arguments() gives them: the program first, Qt's own options removed.
CommandLine ParseCommandLine(const QStringList &arguments);

// argv as text without the options the window toolkit takes for itself (-platform NAME, -style NAME,
// -reverse, ...), as QApplication would leave them: the command line can be read before it exists.
QStringList WithoutToolkitOptions(int argc, const char *const *argv);

// Prints the message of a command line that ends the program (to stdout for 0, else to stderr) and
// returns its exit code.
int PrintCommandLineMessage(const CommandLine &line);

} // namespace qos
