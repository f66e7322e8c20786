#pragma once
// The one owner of every location's run-time state: its indicator (`center`), its offline flag
// (`flash`), its failing addresses (`holdbad`), its count of failing cycles, the latest outcome of
// each of its addresses, and the run's offline/attention flags. The monitor cycle and the List
// View's commands report what they found; the decisions are taken here, once, and every change is
// told through changed(), which the markers, the List View, history and metrics follow.
//
// Invariants:
//  - No other code writes `center`, `flash`, `holdbad`, `failingCycles`, AnyOfflineThisCycle or
//    LastCycleHadOffline (the loader gives a location its first colour).
//  - `flash` is "1" exactly while the location's latest evaluation found it offline; disabling a
//    location, or a failed probe of an ignored address or of a disabled location, leaves it as it is.
//  - A sound plays only on a change of the indicator, and only for the monitor cycle: the alert
//    sound when a location becomes offline (or changes between its two offline colours), the
//    back-online sound when it becomes online, never for the first outcome after monitoring started.
//  - The alert sink hears LocationTurned only for the cycle, exactly when the indicator changes from
//    a colour that is not offline to an offline one or from an offline colour to an online one.
//  - With OFFLINECYCLES above 1 a location not flagged offline becomes offline only on the
//    OFFLINECYCLES-th cycle in a row that found it failing; online applies at once, without the
//    back-online sound when the location was never shown offline in between.
//  - m_flagged counts the locations flagged offline once anyFlagged() has counted them, for the
//    table of m_flaggedGeneration with m_flaggedRows locations: setFlash() keeps it, and a table
//    loaded anew or grown is counted again on the next question.
//  - A location's parent is the one its PARENT= names (store/parents.h): within a cycle the parent
//    is decided before its children, whatever their order in the table. A child evaluated first is
//    held until its parent has been decided in the cycle (shown, or found disabled), or until the
//    cycle ends; a held child is dropped by Stop and by a ping of its own.
//  - Unreachable (failing while the parent is down) flags nothing: no sound, no attention picture,
//    no turn of its own; the alert sink hears which location it is unreachable behind. Partly down
//    alarms as offline does. Slow and its end are turns for the notifications, with no sound.
//  - Without PARENT=, PARTIAL=, SLOWMS= and SLOWLOSS= every outcome is as it was before they existed.
//  - "Acknowledge" silences the alert sound and lowers the attention picture until some location
//    turns (offline, or back online) or monitoring stops; meanwhile nothing raises the picture or
//    plays the alert sound. It is not stored.
//  - An address's latest outcome is whatever probed it last (the cycle, Ping IP, Ping All); it is
//    forgotten when the table is loaded anew or the address is removed. Without one, an address
//    counts as failing exactly when `holdbad` holds it.
#include "monitor/addressprobe.h"
#include "monitor/alertsink.h"
#include "monitor/locationrules.h"
#include "monitor/runstate.h"
#include "store/model.h"
#include "store/parents.h"

#include <QHash>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

namespace qos {

struct StateChange {
    int location = 0;
    Indicator indicator = Indicator::White;
    Turn turned = Turn::None;
};

// What is known of one address of a location.
enum class AddressHealth { NotProbed, Answering, Failing };

// True when the location's `flash` reads as the number 1.
bool LocationFlagged(const LocationRecord &rec);
// `holdbad` after address answered / did not answer: whole addresses, never a substring search.
void ForgetOffline(QStringList &holdbad, const QString &address);
void RememberOffline(QStringList &holdbad, const QString &address);

class LocationStates : public QObject {
    Q_OBJECT
public:
    LocationStates(Configuration &cfg, RunState &run, AlertSink &alerts, QObject *parent = nullptr);
    // How an evaluation's outcome applies: the cycle's rule, or Ping All's.
    struct Rule;

    // True when some location 1..LocationCount is flagged offline.
    bool anyFlagged() const;
    // True when some location's indicator shows an offline colour.
    bool anyShownOffline() const;
    // The names of those locations, in table order.
    QStringList shownOffline() const;

    // "Acknowledge" (see the invariants).
    void acknowledge();
    bool acknowledged() const { return m_acknowledged; }
    AddressHealth health(int k, const QString &address) const;
    // The status word of the address's latest probe; empty when none is known.
    QString latestStatus(int k, const QString &address) const;
    // The location location k is reached through; 0 for none.
    int parentOf(int k) const;
    // A PARENT= changed: the links are read anew.
    void parentsChanged() { m_linksStale = true; }
    // The round trips and losses of location k's latest probes, as the slow thresholds see them.
    SlowFigures slowFigures(int k) const;

    // ---- Any probe ----
    // The attempts for address (an element of location k's list) have ended.
    void probed(int k, const QString &address, const AddressOutcome &outcome);

    // ---- The monitor cycle ----
    // A cycle begins its walk; resumed: it continues one that paused, keeping what it found.
    void cycleStarted(bool resumed);
    // The cycle's evaluation of location k found address failing; first: its first failure there.
    void cycleAddressFailed(int k, const QString &address, bool first);
    // The evaluation of location k is complete (see the invariants for OFFLINECYCLES).
    void cycleEvaluated(int k, bool anyBad, bool partialIgnore);
    // The cycle went past its last location.
    void cycleFinished();
    void showDisabled(int k);
    // Stop: every location waiting. Monitoring off (Stop, a table read anew): attention down, and
    // the next failing cycle is the first of a row again.
    void showAllWaiting();
    void monitoringStopped();

    // ---- The List View ----
    // Ping All over location k ended with failing addresses (in probe order); partialIgnore: some
    // row of the location is ignored. The failing list replaces `holdbad`.
    void pingAllFinished(int k, const QStringList &failing, bool enabled, bool partialIgnore);
    // Ping IP of address ended. ignored: it is on the ignore list; movedIgnored: an ignored address
    // that was listed among the answering ones; monitoring: monitoring has been started.
    struct PingIp {
        QString address;
        bool answered = false;
        bool ignored = false;
        bool movedIgnored = false;
        bool enabled = true;
        bool monitoring = false;
    };
    void pingIpFinished(int k, const PingIp &ping);
    void setEnabled(int k, bool enabled);
    // The ignore list changed; partialIgnore: some row is still ignored.
    void ignoresChanged(int k, bool partialIgnore);
    void addressRemoved(int k, const QString &address);

Q_SIGNALS:
    void changed(const qos::StateChange &change);
    void acknowledgedChanged(bool acknowledged);
    // Location k was switched on (it is waiting now).
    void locationEnabled(int k);
    // Every probe outcome, whoever probed (the cycle, Ping IP, Ping All).
    void addressProbed(int k, const QString &address, const qos::AddressOutcome &outcome);

private:
    void applyOutcome(int k, const Evaluation &e, const Rule &rule, bool onlineSound = true);
    Evaluation evaluation(int k, int failing, bool partialIgnore) const;
    Surroundings surroundings(int k, const Evaluation &e) const;
    void announce(int k, Indicator before, Turn turn);
    // The cycle's decision for location k, and then for the children held until it.
    void decide(int k, const Evaluation &e);
    void decided(int k);
    void releaseHeld();
    void hold(int k, const Evaluation &e);
    std::optional<Evaluation> unhold(int k);
    void clearHeld();
    const ParentLinks &links() const;
    void setIndicator(int k, Indicator colour, Turn turned = Turn::None);
    void attentionFromFlags();
    void setFlash(int k, bool flagged);
    bool flaggedCountValid() const;
    void showAttention();
    void noteTurn(Turn turn); // a location turned: an acknowledgement ends
    LocationRecord &rec(int k) { return m_cfg.table[k]; }
    // What the latest outcome of an address tells: its status word is ProbeStatusText(status) when
    // told, else NotProbedText.
    struct Known {
        ProbeStatus status = StatusReply;
        bool answered = false;
        bool told = false;
    };
    using Key = std::pair<int, QString>; // location index, AddressKey of the trimmed address
    // The latest outcomes, and each location's latest probes, forgotten when the table was loaded anew.
    QHash<Key, Known> &known();
    ProbeWindow &window(int k);
    const Known *knownOf(int k, const QString &address) const;

    Configuration &m_cfg;
    RunState &m_run;
    AlertSink &m_alerts;
    QHash<Key, Known> m_known;
    std::vector<ProbeWindow> m_windows; // per location index
    quint64 m_generation = ~quint64(0); // the table generation m_known holds outcomes of
    mutable ParentLinks m_links;
    mutable quint64 m_linksGeneration = 0;
    mutable bool m_linksStale = true;
    // The cycle's walk: children held for their parents, and the cycle each location was decided in.
    bool m_walking = false;
    quint64 m_cycle = 0;
    std::vector<quint64> m_decidedIn; // per location index
    struct HeldChild {
        int parent; // the parent it waits for
        Evaluation evaluation;
    };
    QMap<int, HeldChild> m_held;
    QMultiHash<int, int> m_heldByParent; // the held children by the parent they wait for
    mutable int m_flagged = -1; // -1: not counted
    mutable quint64 m_flaggedGeneration = 0;
    mutable int m_flaggedRows = 0;
    bool m_acknowledged = false;
};

} // namespace qos
