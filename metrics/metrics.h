#pragma once
// What the monitor measures, as Prometheus metrics: per address (labels location, host, ip) the echo
// requests sent, the replies and the last one's round trip, the echoes that ended in an error, its
// up state and its state changes; per location its state, up state and a histogram of its replies'
// round trips; the build and the last load of graph.txt. With ADDRESSHISTOGRAMS set, each address
// has its own round-trip histogram too.
//
// Invariants:
//  - Fed from the points the history is fed from: the outcome of each address's attempts, each
//    written indicator, and the history's own state changes (their logic lives there, not here).
//  - Series exist only for locations and addresses of the table: retain() removes the others, and
//    an address whose ip changes moves to a series with the new ip label (the old one goes).
//  - An address's seven series are one row of plain numbers beside its label text, written out at
//    each scrape (about 0.7 KB of text an address; in memory some 130 bytes with its place in
//    the one table of (location, host) rows, and its label text, packed with the others); the histograms
//    (21 buckets each) are per location in the registry, and per address there too only while
//    ADDRESSHISTOGRAMS is set when the address's series are made.
//  - Counters only grow while their series exists. Changed on the window's thread; text() runs on
//    the endpoint's thread too: the rows are read under their lock, the registry locks itself.
#include "monitor/addressprobe.h"
#include "monitor/states.h"
#include "store/model.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <utility>

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

    // The per-location, per-program and (with ADDRESSHISTOGRAMS) per-address histogram families.
    std::shared_ptr<prometheus::Registry> registry() const { return m_registry; }
    // The exposition text of everything, as a scrape gets it.
    std::string text() const;
    // text() for the endpoint's thread; it may outlive this object.
    std::function<std::string()> textSource() const;

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
    struct Rows; // what a scrape reads of the addresses
    struct Location;
    using Key = std::pair<QString, QString>; // location, AddressKey of the host

    // The row of an address, made (without labels) when absent.
    int row(const QString &site, const QString &host);
    void label(int row, const QString &site, const QString &host, const QString &ip);
    void drop(int row);
    Location &location(const QString &site);
    void drop(Location &l);

    const Configuration &m_cfg;
    std::shared_ptr<prometheus::Registry> m_registry;
    std::shared_ptr<Rows> m_rows;
    prometheus::Family<prometheus::Histogram> &m_rtt;
    prometheus::Family<prometheus::Histogram> &m_locationRtt;
    prometheus::Family<prometheus::Gauge> &m_locationState;
    prometheus::Family<prometheus::Gauge> &m_locationUp;
    prometheus::Gauge &m_loadSuccess;
    QHash<Key, int> m_addresses;                      // -> its row in m_rows, plus 1
    QHash<int, prometheus::Histogram *> m_addressRtt; // row -> its histogram (ADDRESSHISTOGRAMS)
    quint64 m_sizedFor = ~quint64(0);                 // the table generation m_addresses was reserved for
    QHash<QString, std::shared_ptr<Location>> m_locations; // site -> series
};

} // namespace qos
