#pragma once
// The attempt loop for one address, as the monitor cycle, "Ping IP" and "Ping All" run it: up to
// `attempts` times sockets start-up, name resolution, one echo request, sockets clean-up; the first
// reply ends the loop.
//
// Invariants:
//  - Nothing blocks. After each attempt's start-up the probe returns to the event loop once, and
//    resolution and echo answer through the prober's callbacks; before going on after any such
//    return it asks its caller's continueIf (when set) and ends silently when told no.
//  - Every SocketsStartup that succeeds is followed by exactly one SocketsCleanup, also when the
//    probe is cancelled, restarted or destroyed mid-attempt.
//  - A failing start-up is told to the operator through the shared start-up notice at most once per
//    probed address; the loop goes on with the next attempt.
//  - finished() is emitted once per start() that is neither cancelled nor abandoned, always from the
//    event loop, never from inside start().
#include "probe/prober.h"
#include "probe/startupnotice.h"

#include <QObject>
#include <QString>
#include <functional>

namespace qos {

struct AddressOutcome {
    bool answered = false;
    int attempts = 0;                 // attempts begun, start-up failures included
    int echoes = 0;                   // echo requests sent
    int errors = 0;                   // echoes that ended in an error, neither a reply nor a timeout
    ProbeStatus status = StatusReply; // the last echo's status; meaningless while echoes is 0
    qint64 roundTripUs = -1;          // of the reply, -1 without one
    QString resolved;                 // the address text the last echo went to

    bool probed() const { return echoes > 0; }
    // The text the List View shows for this outcome.
    QString statusText() const;
};

// Shown for an address that no echo request went to (no attempts, or start-up failed on each).
inline constexpr char NotProbedText[] = "NOT PROBED";

class AddressProbe : public QObject {
    Q_OBJECT
public:
    AddressProbe(Prober &prober, StartupNotice &notice, QObject *parent = nullptr);
    ~AddressProbe() override;

    // Asked after every return to the event loop; false ends the probe at once without finished().
    void setContinueIf(std::function<bool()> continueIf) { m_continueIf = std::move(continueIf); }

    // Probes address (an empty text is sent as not-an-address, without resolving it). A probe still
    // running is cancelled first.
    void start(const QString &address, int attempts, int timeoutMs);
    // Ends a running probe without finished(); the sockets are cleaned up.
    void cancel();
    bool running() const { return m_running; }
    const QString &address() const { return m_address; }

Q_SIGNALS:
    // The sockets started for attempt n (1-based); the probe returns to the event loop next.
    void attemptStarted(int n);
    // The name was resolved to dotted (empty when it could not be) and the echo goes out next.
    void resolved(const QString &dotted);
    void finished(const qos::AddressOutcome &outcome);

private:
    void nextAttempt();
    void afterYield(quint64 epoch);
    void sendEcho(const QString &target);
    void echoAnswered(const EchoResult &result);
    void finish();
    bool mayGoOn(quint64 epoch);
    void closeSockets();

    Prober &m_prober;
    StartupNotice &m_notice;
    std::function<bool()> m_continueIf;
    QString m_address;
    int m_attempts = 0;
    int m_timeoutMs = 0;
    bool m_running = false;
    bool m_socketsOpen = false;
    bool m_told = false; // the start-up notice was raised for this address
    quint64 m_epoch = 0;
    AddressOutcome m_outcome;
};

} // namespace qos
