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
//  - "Acknowledge" silences the alert sound and lowers the attention picture until some location
//    turns (offline, or back online) or monitoring stops; meanwhile nothing raises the picture or
//    plays the alert sound. It is not stored.
//  - An address's latest outcome is whatever probed it last (the cycle, Ping IP, Ping All); it is
//    forgotten when the table is loaded anew or the address is removed. Without one, an address
//    counts as failing exactly when `holdbad` holds it.
#include "monitor/addressprobe.h"
#include "monitor/alertsink.h"
#include "monitor/runstate.h"
#include "store/model.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

namespace qos {

// A location's indicator changed between an offline colour and one that is not (None otherwise).
enum class Turn { None, Offline, Back };

struct StateChange {
    int location = 0;
    Indicator indicator = Indicator::White;
    Turn turned = Turn::None;
};

// What is known of one address of a location.
enum class AddressHealth { NotProbed, Answering, Failing };

// Indicator of an evaluated location. partialIgnore: some of its addresses are ignored.
Indicator OutcomeIndicator(bool offline, bool partialIgnore);
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
    void applyOutcome(int k, bool offline, bool partialIgnore, const Rule &rule, bool onlineSound = true);
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
    // The latest outcomes, forgotten when the table was loaded anew.
    QHash<Key, Known> &known();
    const Known *knownOf(int k, const QString &address) const;

    Configuration &m_cfg;
    RunState &m_run;
    AlertSink &m_alerts;
    QHash<Key, Known> m_known;
    quint64 m_generation = ~quint64(0); // the table generation m_known holds outcomes of
    mutable int m_flagged = -1; // -1: not counted
    mutable quint64 m_flaggedGeneration = 0;
    mutable int m_flaggedRows = 0;
    bool m_acknowledged = false;
};

// True for the indicator colours of an offline location.
bool OfflineColour(Indicator colour);

} // namespace qos
