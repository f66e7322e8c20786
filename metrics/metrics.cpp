#include "metrics/metrics.h"

#include "metrics/exposition.h"

#include "store/text.h"

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>

#include <QSet>

namespace qos {
namespace {

using prometheus::Counter;
using prometheus::Family;
using prometheus::Gauge;
using prometheus::Histogram;
using prometheus::Labels;
using prometheus::Registry;

std::string Name(const char *stem)
{
    return std::string(Metrics::kPrefix) + stem;
}

template <class Builder>
auto &Register(Builder builder, const char *stem, const char *help, Registry &registry)
{
    return builder.Name(Name(stem)).Help(help).Register(registry);
}

std::string Utf8(const QString &text)
{
    return text.toStdString();
}

// The ping exporters' buckets: 50 us doubling up to 26 s, beyond the longest PINGTIMEOUT. Each
// bound is the double nearest its decimal value, so it is written as that decimal.
Histogram::BucketBoundaries RoundTripBuckets()
{
    Histogram::BucketBoundaries b;
    for (int k = 0; k < 20; ++k)
        b.push_back(double(5LL << k) / 100000.0);
    return b;
}

bool IndicatorUp(Indicator indicator)
{
    return indicator == Indicator::Green || indicator == Indicator::Cyan;
}

} // namespace

int LocationStateNumber(Indicator indicator)
{
    return int(indicator); // the enum lists the legend in its order
}

struct Metrics::Address {
    bool labelled = false;
    QString ip;
    double changes = 0; // kept here too: a change may come before the first outcome names the ip
    double lastChange = 0;
    Counter *requests = nullptr;
    Histogram *rtt = nullptr;
    Counter *sendErrors = nullptr;
    Gauge *up = nullptr;
    Counter *changeCount = nullptr;
    Gauge *lastChangeTime = nullptr;
};

struct Metrics::Location {
    Gauge *state = nullptr;
    Gauge *up = nullptr;
};

Metrics::Metrics(const Configuration &cfg, const QString &version, QObject *parent)
    : QObject(parent)
    , m_cfg(cfg)
    , m_registry(std::make_shared<Registry>())
    , m_requests(Register(prometheus::BuildCounter(), "requests_total", "Echo requests sent to the address.",
                          *m_registry))
    , m_rtt(Register(prometheus::BuildHistogram(), "response_duration_seconds",
                     "Round-trip time of the echo replies; the count of observations is the replies.",
                     *m_registry))
    , m_sendErrors(
          Register(prometheus::BuildCounter(), "send_errors_total",
                   "Echo attempts that ended in an error instead of a reply or a timeout: no socket, "
                   "refused by the local stack, not an address, or an ICMP error.",
                   *m_registry))
    , m_addressUp(Register(prometheus::BuildGauge(), "address_up",
                           "1 when the address answered its latest attempts, 0 when it did not.",
                           *m_registry))
    , m_changes(Register(prometheus::BuildCounter(), "address_state_changes_total",
                         "Changes of the address between answering and not answering, as the history file "
                         "records them (its first outcome after a start is one).",
                         *m_registry))
    , m_lastChange(Register(prometheus::BuildGauge(), "address_last_change_timestamp_seconds",
                            "Time of the address's latest state change, in seconds since the epoch.",
                            *m_registry))
    , m_locationState(Register(prometheus::BuildGauge(), "location_state",
                               "The location's indicator: 0 waiting, 1 disabled, 2 online, "
                               "3 online(partial ignore), 4 offline, 5 offline(partial ignore).",
                               *m_registry))
    , m_locationUp(Register(prometheus::BuildGauge(), "location_up",
                            "1 while the location is online (2 or 3), else 0.", *m_registry))
    , m_loadSuccess(Register(prometheus::BuildGauge(), "graph_last_load_success",
                             "1 when the last load of graph.txt succeeded, 0 when it failed.", *m_registry)
                        .Add({}))
{
    Register(prometheus::BuildGauge(), "build_info", "The monitor's version; always 1.", *m_registry)
        .Add({{"version", Utf8(version)}})
        .Set(1);
}

Metrics::~Metrics() = default;

std::string Metrics::text() const
{
    return ExpositionText(m_registry->Collect());
}

Metrics::Address &Metrics::address(const QString &site, const QString &host)
{
    std::shared_ptr<Address> &a = m_addresses[site][host];
    if (!a)
        a = std::make_shared<Address>();
    return *a;
}

void Metrics::label(Address &a, const QString &site, const QString &host, const QString &ip)
{
    if (a.labelled && a.ip == ip)
        return;
    drop(a);
    const Labels labels{{"location", Utf8(site)}, {"host", Utf8(host)}, {"ip", Utf8(ip)}};
    a.labelled = true;
    a.ip = ip;
    a.requests = &m_requests.Add(labels);
    a.rtt = &m_rtt.Add(labels, RoundTripBuckets());
    a.sendErrors = &m_sendErrors.Add(labels);
    a.up = &m_addressUp.Add(labels);
    a.changeCount = &m_changes.Add(labels);
    a.changeCount->Increment(a.changes);
    a.lastChangeTime = &m_lastChange.Add(labels);
    a.lastChangeTime->Set(a.lastChange);
}

void Metrics::drop(Address &a)
{
    if (!a.labelled)
        return;
    m_requests.Remove(a.requests);
    m_rtt.Remove(a.rtt);
    m_sendErrors.Remove(a.sendErrors);
    m_addressUp.Remove(a.up);
    m_changes.Remove(a.changeCount);
    m_lastChange.Remove(a.lastChangeTime);
    a.labelled = false;
}

void Metrics::drop(Location &l)
{
    m_locationState.Remove(l.state);
    m_locationUp.Remove(l.up);
}

void Metrics::recordProbe(int k, const QString &entry, const AddressOutcome &outcome)
{
    if (k < 1 || k > m_cfg.table.LocationCount() || outcome.attempts == 0)
        return;
    const QString host = TrimSpaces(entry);
    if (host.isEmpty())
        return;
    const QString &site = m_cfg.table[k].site;
    Address &a = address(site, host);
    label(a, site, host, outcome.resolved);
    a.requests->Increment(outcome.echoes);
    // An attempt whose sockets did not start sent nothing: an error too. One whose name gave no
    // address sent nothing either, and is no send error: the address is down all the same.
    a.sendErrors->Increment(outcome.errors + (outcome.attempts - outcome.echoes - outcome.lookupsFailed));
    if (outcome.answered)
        a.rtt->Observe(double(qMax<qint64>(outcome.roundTripUs, 0)) / 1e6);
    a.up->Set(outcome.answered ? 1 : 0);
}

void Metrics::recordIndicator(int k)
{
    if (k < 1 || k > m_cfg.table.LocationCount())
        return;
    const LocationRecord &rec = m_cfg.table[k];
    std::shared_ptr<Location> &l = m_locations[rec.site];
    if (!l) {
        const Labels labels{{"location", Utf8(rec.site)}};
        l = std::make_shared<Location>(Location{&m_locationState.Add(labels), &m_locationUp.Add(labels)});
    }
    l->state->Set(LocationStateNumber(rec.center));
    l->up->Set(IndicatorUp(rec.center) ? 1 : 0);
}

void Metrics::recordChange(const ChangeRecord &change)
{
    if (change.address.isEmpty() || !IsAddressState(change.to))
        return;
    // Only addresses of the table get series; a change told while the table is being replaced has none.
    const auto site = m_addresses.constFind(change.location);
    const bool known = site != m_addresses.constEnd() && site->contains(change.address);
    if (!known && FindLocationByName(m_cfg.table, change.location) == 0)
        return;
    Address &a = address(change.location, change.address);
    a.changes += 1;
    a.lastChange = double(change.timeMs) / 1000.0;
    if (a.labelled) {
        a.changeCount->Increment();
        a.lastChangeTime->Set(a.lastChange);
    }
}

void Metrics::recordLoad(bool succeeded)
{
    m_loadSuccess.Set(succeeded ? 1 : 0);
    retain();
}

void Metrics::retain()
{
    QHash<QString, QSet<QString>> wanted;
    for (int k = 1; k <= m_cfg.table.LocationCount(); ++k) {
        QSet<QString> &hosts = wanted[m_cfg.table[k].site];
        for (const QString &entry : SplitAddressList(m_cfg.table[k].siteip))
            hosts.insert(TrimSpaces(entry));
    }
    for (auto site = m_addresses.begin(); site != m_addresses.end();) {
        const auto w = wanted.constFind(site.key());
        for (auto a = site->begin(); a != site->end();) {
            if (w != wanted.constEnd() && w->contains(a.key())) {
                ++a;
                continue;
            }
            drop(**a);
            a = site->erase(a);
        }
        site = site->isEmpty() ? m_addresses.erase(site) : std::next(site);
    }
    for (auto l = m_locations.begin(); l != m_locations.end();) {
        if (wanted.contains(l.key())) {
            ++l;
            continue;
        }
        drop(**l);
        l = m_locations.erase(l);
    }
    for (int k = 1; k <= m_cfg.table.LocationCount(); ++k)
        recordIndicator(k);
}

} // namespace qos
