#pragma once
// The probe of one location at once after a change (added on the map, its addresses edited, enabled)
// while monitoring waits for its next cycle: one address probe per monitored address, all in flight
// together, as the cycle's sweep sends them.
//
// Invariants:
//  - done() is told once, from the event loop, with the outcomes in the order of the location's
//    entries (ignored entries left out), unless the check is cancelled first.
//  - The check carries its own cancel token, which lapses when the table is loaded anew.
#include "monitor/addressprobe.h"
#include "monitor/canceltoken.h"
#include "store/model.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace qos {

class SpotCheck : public QObject {
    Q_OBJECT
public:
    struct Entry {
        QString address;
        AddressOutcome outcome;
    };
    using Done = std::function<void(int k, const QList<Entry> &entries, bool partialIgnore)>;

    // Starts probing location k of cfg's table with the settings as they are now.
    SpotCheck(Prober &prober, StartupNotice &notice, const Configuration &cfg, int k, Done done,
              QObject *parent = nullptr);
    void cancel() { m_token.cancel(); }
    int location() const { return m_k; }

private:
    void finished(int index, const AddressOutcome &outcome);

    int m_k;
    Done m_done;
    CancelToken m_token;
    QList<Entry> m_entries;
    bool m_partialIgnore = false;
    int m_waiting = 0;
};

} // namespace qos
