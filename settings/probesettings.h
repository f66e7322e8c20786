#pragma once
// The numeric settings of the probe (timeout, interval, packets) and of the alert (offline cycles, the
// slow round trip and loss) as their dialogs present and check them.
//
// Invariants:
//  - A value is accepted only when it is numeric (optional spaces around, an optional sign, digits
//    with at most one "." and an optional exponent), fits a 16-bit signed integer after rounding
//    (halves to even), and is not below the setting's lowest sensible value.
//  - The accepted text is the box text with its spaces trimmed; it is what graph.txt receives, and can
//    differ from the stored number ("2.5" is stored as 2).
#include "store/graphkeys.h"
#include "store/model.h"

#include <QString>

namespace qos {

enum class ProbeSetting { Timeout, Interval, Packets, OfflineCycles, SlowRoundTrip, SlowLoss };
inline constexpr int ProbeSettingCount = 6;

struct ProbeSettingInfo {
    const char *caption; // the window caption
    const char *label;
    Key key;
    qint16 MainSettings::*field;
    // Lowest value accepted, and the message for one below it. Below 1 ms a timeout would make the
    // echo request wait for weeks (it takes its timeout as an unsigned number); below 1 packet no
    // echo request would go out and every location would show online. Intervals take any value.
    // Offline cycles start at 1, one failing cycle. The slow thresholds take 0, which is off.
    int minimum;
    const char *tooSmall;
};

const ProbeSettingInfo &InfoOf(ProbeSetting setting);

// Characters the text box takes: any 16-bit value, "-32768" included, shows whole; a longer text
// names no 16-bit value, and Submit refuses what the box holds rather than a cut of it.
inline constexpr int ProbeBoxLength = 6;

inline constexpr char BlankValueText[] = "Value cannot be blank";
inline constexpr char NotNumericText[] = "Please enter a numberic value";

struct ProbeInput {
    enum class Kind { Accepted, Blank, NotNumeric, TooSmall };
    Kind kind = Kind::Accepted;
    QString trimmed;  // Accepted: the text to write
    qint16 value = 0; // Accepted: the number to store
    QString message;  // otherwise: what the operator is told

    bool accepted() const { return kind == Kind::Accepted; }
};

// Checks the text of a setting's box.
ProbeInput CheckProbeInput(ProbeSetting setting, const QString &boxText);

} // namespace qos
