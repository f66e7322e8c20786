#pragma once
// The attempt loop for one address, as the monitor cycle, "Ping IP" and "Ping All" run it: up to
// `attempts` times sockets start-up, name resolution, one echo request; the first reply ends the
// loop.
//
// Invariants:
//  - Nothing blocks. After each attempt's start-up the probe returns to the event loop once, and
//    resolution and echo answer through the prober's callbacks; after any such return it first
//    checks its run's cancel token and ends silently once the token is cancelled.
//  - The start-up only makes sure the prober's echo facility is open (it stays open for the
//    prober's life); the probe never closes it, so nothing is left to undo when the probe is
//    cancelled, restarted or destroyed mid-attempt.
//  - A failing start-up is told to the operator through the shared start-up notice at most once per
//    probed address; that attempt counts as unanswered and the loop goes on with the next one.
//  - A name that gives no address sends nothing: the attempt counts as unanswered, with status
//    StatusInvalidHost, and not as an echo (AddressOutcome::lookupsFailed).
//  - finished() is emitted once per start() that is neither cancelled nor abandoned, always from the
//    event loop, never from inside start().
#include "monitor/canceltoken.h"
#include "probe/addressoutcome.h"
#include "probe/prober.h"
#include "probe/startupnotice.h"

#include <QObject>
#include <QString>

namespace qos {

class AddressProbe : public QObject {
    Q_OBJECT
public:
    AddressProbe(Prober &prober, StartupNotice &notice, QObject *parent = nullptr);
    ~AddressProbe() override;

    // The token of the run the next start() belongs to; a default one is never cancelled.
    void setToken(CancelToken token) { m_token = std::move(token); }

    // Probes address (an empty text is sent as not-an-address, without resolving it). A probe still
    // running is cancelled first.
    void start(const QString &address, int attempts, int timeoutMs);
    // Ends a running probe without finished().
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

    Prober &m_prober;
    StartupNotice &m_notice;
    CancelToken m_token;
    QString m_address;
    int m_attempts = 0;
    int m_timeoutMs = 0;
    bool m_running = false;
    bool m_told = false; // the start-up notice was raised for this address
    quint64 m_epoch = 0;
    AddressOutcome m_outcome;
};

} // namespace qos
