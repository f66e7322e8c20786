#pragma once
// What the monitor measures, as Prometheus metrics: per address (labels location, host, ip) the echo
// requests sent, the round-trip times of the replies, the echoes that ended in an error, its up
// state and its state changes; per location its state and up state; the build and the last load of
// graph.txt.
//
// Invariants:
//  - Fed from the points the history is fed from: the outcome of each address's attempts, each
//    written indicator, and the history's own state changes (their logic lives there, not here).
//  - Series exist only for locations and addresses of the table: retain() removes the others, and
//    an address whose ip changes moves to a series with the new ip label (the old one goes).
//  - Counters only grow while their series exists. Changed on the window's thread; the registry
//    is read from the endpoint's threads (prometheus-cpp's metrics and families lock themselves).
#include "monitor/addressprobe.h"
#include "monitor/states.h"
#include "store/model.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <memory>
#include <string>

namespace prometheus {
class Counter;
class Gauge;
class Histogram;
template <typename T> class Family;
class Registry;
} // namespace prometheus

namespace qos {

// Each location's state gauge: the indicator's legend in order, waiting 0 .. offline(partial ignore) 5.
int LocationStateNumber(Indicator indicator);

class Metrics : public QObject {
    Q_OBJECT
public:
    static constexpr char kPrefix[] = "qos_";

    Metrics(const Configuration &cfg, const QString &version, QObject *parent = nullptr);
    ~Metrics() override;

    std::shared_ptr<prometheus::Registry> registry() const { return m_registry; }
    // The exposition text of everything registered, as a scrape gets it.
    std::string text() const;

    // The attempts for entry of location k have ended.
    void recordProbe(int k, const QString &entry, const AddressOutcome &outcome);
    // table[k].center has been written.
    void recordIndicator(int k);
    // A state change as the history recorded it.
    void recordChange(const ChangeRecord &change);
    // After graph.txt was read: whether it was (absent counts as read), then retain().
    void recordLoad(bool succeeded);
    // Removes the series of locations and addresses the table no longer holds; takes the table's
    // indicators as they are.
    void retain();

private:
    struct Address;
    struct Location;

    Address &address(const QString &site, const QString &host);
    void label(Address &a, const QString &site, const QString &host, const QString &ip);
    void drop(Address &a);
    void drop(Location &l);

    const Configuration &m_cfg;
    std::shared_ptr<prometheus::Registry> m_registry;
    prometheus::Family<prometheus::Counter> &m_requests;
    prometheus::Family<prometheus::Histogram> &m_rtt;
    prometheus::Family<prometheus::Counter> &m_sendErrors;
    prometheus::Family<prometheus::Gauge> &m_addressUp;
    prometheus::Family<prometheus::Counter> &m_changes;
    prometheus::Family<prometheus::Gauge> &m_lastChange;
    prometheus::Family<prometheus::Gauge> &m_locationState;
    prometheus::Family<prometheus::Gauge> &m_locationUp;
    prometheus::Gauge &m_loadSuccess;
    QHash<QString, QHash<QString, std::shared_ptr<Address>>> m_addresses; // site -> host -> series
    QHash<QString, std::shared_ptr<Location>> m_locations;                // site -> series
};

} // namespace qos
