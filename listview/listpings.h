#pragma once
// "Ping IP", "Ping All" and "Stop Ping" of the List View, on the address probe the monitor cycle uses.
// "Ping All" probes the location's addresses through a sweep, up to PINGINFLIGHT at once, and fills
// the rows in list order as the outcomes come in.
//
// Invariants:
//  - At most one command runs; the window stays responsive throughout (every wait is a return to the
//    event loop).
//  - Outcomes are written into the location they were started for, and only while the window still
//    shows it: reset() (a reload, a close) drops a run and every answer still on its way.
//  - What a ping found goes to LocationStates, which decides the location's state; the rows show
//    it. Ping All hands over its failing addresses only when it ends, so a run that is dropped
//    leaves what was known before it. The role column only ever reads "MONITORED" or "IGNORED".
//  - The caption of a Ping IP's result is shown only while its address is still the one selected.
#include "listview/listview.h"
#include "monitor/addressprobe.h"
#include "monitor/sweep.h"

#include <QObject>
#include <QStringList>

namespace qos {

class ListPings : public QObject {
    Q_OBJECT
public:
    ListPings(ListView &view, const ListView::Services &services);

    // SelectedAddressList: the location's address list split at ",", as stored.
    const QStringList &addresses() const { return m_addresses; }
    void setAddresses(const QStringList &addresses) { m_addresses = addresses; }

    void PingSelected();
    void PingAll();
    void StopPing();
    // Ends any run without writing anything more; the buttons return to rest.
    void reset();

    bool pingAllRunning() const { return PingAllRunning == 1; }
    bool pingSelectedRunning() const { return m_mode == Mode::Selected; }
    // "Ping IP" may be enabled: no probe of its own and no Ping All in progress.
    bool pingSelectedAllowed() const { return m_mode == Mode::Idle; }

    qint16 PingAllRunning = 0;

Q_SIGNALS:
    // A Ping All run has ended and written its outcome.
    void pingAllFinished();

private:
    enum class Mode { Idle, All, Selected };

    void startProbe(const QString &address);
    void probed(const AddressOutcome &outcome);
    QList<SweepJob> planFrom(int element) const;
    void awaitElement();
    void nextAddress();
    void PingOneAddress(const QString &entry);
    void onePinged(const AddressOutcome &outcome);
    void finishPingAll();
    void selectedPinged(const AddressOutcome &outcome);
    void setBusy(bool busy);
    void yieldThen(void (ListPings::*step)());
    bool locationEnabled() const;

    ListView &m_view;
    Configuration &m_cfg;
    RunState &m_run;
    MessageBoxes &m_messages;
    LocationStates &m_states;
    const MonitorCycle &m_monitor;
    AddressProbe m_probe; // "Ping IP"
    Sweep m_sweep;        // "Ping All"
    QStringList m_addresses;
    Mode m_mode = Mode::Idle;
    int m_next = 0;       // Ping All: the next element of m_addresses
    QString m_pending;    // the address the probe is about to run for
    SweepJob m_job;       // Ping All: the element whose row comes next
    QStringList m_failing; // Ping All: the addresses that did not answer, in probe order
    quint64 m_serial = 0; // bumped by reset(): yields of an older run do nothing
};

} // namespace qos
