#pragma once
// The rules that decide a location's indicator from one evaluation of its addresses and from what
// surrounds it (the location it is reached through, PARTIAL=, the slow thresholds), the kinds of
// indicator colours, and the figures that make an answering location slow.
//
// Invariants:
//  - Without PARENT=, PARTIAL=, SLOWMS= and SLOWLOSS= the indicator is what it always was: online or
//    offline, each with its partial-ignore form.
//  - A location with failing addresses is partly down when PARTIAL is on and some of its monitored
//    addresses answer (its route works, whatever its parent shows); else unreachable while its parent
//    is down; else offline.
//  - An answering location is slow when its median round trip over its last kSlowProbes probes
//    exceeds SLOWMS, or their loss (lost echoes of all echoes sent) exceeds SLOWLOSS; a threshold of 0
//    is off.
#include "monitor/alertsink.h"
#include "probe/addressoutcome.h"
#include "store/model.h"

#include <QString>
#include <array>

namespace qos {

inline constexpr int kSlowProbes = 10;

// What one evaluation of a location found.
struct Evaluation {
    int failing = 0;            // monitored addresses that did not answer
    int monitored = 0;          // addresses probed (not ignored)
    bool partialIgnore = false; // some of its addresses are ignored
};

// What the decision takes from beyond the evaluation.
struct Surroundings {
    bool parentDown = false; // the location it is reached through is offline or unreachable
    bool partial = false;    // PARTIAL= is on
    bool slow = false;       // its figures cross a slow threshold
};

Indicator DecideIndicator(const Evaluation &e, const Surroundings &s);
// Indicator of an evaluation without the later keys. partialIgnore: some of its addresses are ignored.
Indicator OutcomeIndicator(bool offline, bool partialIgnore);

// The colours that alarm (sound, attention picture, notification): offline and partly down.
bool OfflineColour(Indicator colour);
// The colours that make the locations reached through this one unreachable: offline and unreachable.
bool DownColour(Indicator colour);
// The colours of a location that answers: online, online(partial ignore), slow.
bool UpColour(Indicator colour);
Turn TurnOf(Indicator from, Indicator to);
// Whether the cycle plays the back-online sound for this change: into online from anything but slow
// and unreachable (which raised no alarm), or into slow from an offline colour.
bool BackOnlineSound(Indicator from, Indicator to);

// The round trips and losses of a location's latest probes.
struct SlowFigures {
    int probes = 0;
    qint64 medianUs = -1; // of the replies; -1 without one
    double lossPercent = 0;
};
bool CrossesSlow(const SlowFigures &f, const MainSettings &settings);
// "median 312 ms, loss 20% over the last 10 probes".
QString SlowFiguresText(const SlowFigures &f);

// The last kSlowProbes probe outcomes of one location, whichever address they were of.
class ProbeWindow {
public:
    void add(const AddressOutcome &outcome);
    SlowFigures figures() const;
    void clear() { m_size = 0; }

private:
    struct Probe {
        qint64 roundTripUs = -1; // -1 without a reply
        int echoes = 0;
        int lost = 0;
    };
    std::array<Probe, kSlowProbes> m_probes{};
    int m_next = 0;
    int m_size = 0;
};

} // namespace qos
