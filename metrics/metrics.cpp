#include "metrics/metrics.h"

#include "metrics/exposition.h"
#include "monitor/locationrules.h"

#include "store/text.h"

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>

#include <QSet>

#include <mutex>
#include <vector>

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

} // namespace

int LocationStateNumber(Indicator indicator)
{
    return int(indicator); // the enum lists the legend in its order
}

// One address's series as a scrape writes them; a row with no labels is free.
struct Row {
    std::string labels; // host="...",ip="...",location="..." escaped
    double requests = 0;
    double replies = 0;
    double lastRtt = 0;
    double sendErrors = 0;
    double up = 0;
    double changes = 0;
    double lastChange = 0;
};

struct Metrics::Rows {
    mutable std::mutex lock;
    std::vector<Row> rows;
    std::vector<int> free;

    // The address families in the text format; the lock is taken here.
    void write(std::string &out) const;
};

namespace {

struct AddressFamily {
    const char *stem;
    const char *type;
    const char *help;
    double Row::*value;
};

constexpr AddressFamily kAddressFamilies[] = {
    {"requests_total", "counter", "Echo requests sent to the address.", &Row::requests},
    {"replies_total", "counter", "Echo replies from the address.", &Row::replies},
    {"address_last_response_duration_seconds", "gauge", "Round-trip time of the address's latest reply.",
     &Row::lastRtt},
    {"send_errors_total", "counter",
     "Echo attempts that ended in an error instead of a reply or a timeout: no socket, refused by the "
     "local stack, not an address, or an ICMP error.",
     &Row::sendErrors},
    {"address_up", "gauge", "1 when the address answered its latest attempts, 0 when it did not.", &Row::up},
    {"address_state_changes_total", "counter",
     "Changes of the address between answering and not answering, as the history file records them "
     "(its first outcome after a start is one).",
     &Row::changes},
    {"address_last_change_timestamp_seconds", "gauge",
     "Time of the address's latest state change, in seconds since the epoch.", &Row::lastChange},
};

} // namespace

void Metrics::Rows::write(std::string &out) const
{
    const std::lock_guard<std::mutex> hold(lock);
    if (rows.size() == free.size())
        return; // no address has series
    out.reserve(out.size() + (rows.size() - free.size()) * (std::size(kAddressFamilies) * 40 + 7 * 56));
    for (const AddressFamily &f : kAddressFamilies) {
        const std::string name = Name(f.stem);
        out += "# HELP " + name + ' ';
        AppendEscaped(out, f.help, false);
        out += "\n# TYPE " + name + ' ' + f.type + '\n';
        for (const Row &row : rows) {
            if (row.labels.empty())
                continue;
            out += name;
            out += '{';
            out += row.labels;
            out += "} ";
            AppendNumber(out, row.*(f.value));
            out += '\n';
        }
    }
}

struct Metrics::Location {
    Gauge *state = nullptr;
    Gauge *up = nullptr;
    Histogram *rtt = nullptr;
};

Metrics::Metrics(const Configuration &cfg, const QString &version, QObject *parent)
    : QObject(parent)
    , m_cfg(cfg)
    , m_registry(std::make_shared<Registry>())
    , m_rows(std::make_shared<Rows>())
    , m_rtt(Register(prometheus::BuildHistogram(), "response_duration_seconds",
                     "Round-trip time of the address's echo replies (with ADDRESSHISTOGRAMS set).",
                     *m_registry))
    , m_locationRtt(Register(prometheus::BuildHistogram(), "location_response_duration_seconds",
                             "Round-trip time of the echo replies from the location's addresses.",
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
    return textSource()();
}

std::function<std::string()> Metrics::textSource() const
{
    return [rows = m_rows, registry = m_registry] {
        std::string out;
        rows->write(out);
        return out + ExpositionText(registry->Collect());
    };
}

Metrics::Address &Metrics::address(const QString &site, const QString &host)
{
    return m_addresses[site][host];
}

void Metrics::label(Address &a, const QString &site, const QString &host, const QString &ip)
{
    if (a.labelled && a.ip == ip)
        return;
    drop(a);
    Row row;
    for (const auto &[name, value] :
         {std::pair{"host=\"", &host}, {"\",ip=\"", &ip}, {"\",location=\"", &site}}) {
        row.labels += name;
        AppendEscaped(row.labels, Utf8(*value), true);
    }
    row.labels += '"';
    row.changes = a.changes;
    row.lastChange = a.lastChange;
    {
        const std::lock_guard<std::mutex> hold(m_rows->lock);
        std::vector<Row> &rows = m_rows->rows;
        if (m_rows->free.empty()) {
            a.row = int(rows.size());
            rows.push_back(std::move(row));
        } else {
            a.row = m_rows->free.back();
            m_rows->free.pop_back();
            rows[size_t(a.row)] = std::move(row);
        }
    }
    a.labelled = true;
    a.ip = ip;
    if (m_cfg.settings.ADDRESSHISTOGRAMS != 0)
        a.rtt = &m_rtt.Add({{"location", Utf8(site)}, {"host", Utf8(host)}, {"ip", Utf8(ip)}},
                           RoundTripBuckets());
}

void Metrics::drop(Address &a)
{
    if (!a.labelled)
        return;
    {
        const std::lock_guard<std::mutex> hold(m_rows->lock);
        m_rows->rows[size_t(a.row)] = Row{};
        m_rows->free.push_back(a.row);
    }
    if (a.rtt)
        m_rtt.Remove(std::exchange(a.rtt, nullptr));
    a.row = -1;
    a.labelled = false;
}

void Metrics::drop(Location &l)
{
    m_locationState.Remove(l.state);
    m_locationUp.Remove(l.up);
    m_locationRtt.Remove(l.rtt);
}

Metrics::Location &Metrics::location(const QString &site)
{
    std::shared_ptr<Location> &l = m_locations[site];
    if (!l) {
        const Labels labels{{"location", Utf8(site)}};
        l = std::make_shared<Location>(Location{&m_locationState.Add(labels), &m_locationUp.Add(labels),
                                                &m_locationRtt.Add(labels, RoundTripBuckets())});
    }
    return *l;
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
    const double seconds = double(qMax<qint64>(outcome.roundTripUs, 0)) / 1e6;
    {
        const std::lock_guard<std::mutex> hold(m_rows->lock);
        Row &row = m_rows->rows[size_t(a.row)];
        row.requests += outcome.echoes;
        // An attempt whose sockets did not start sent nothing: an error too. One whose name gave no
        // address sent nothing either, and is no send error: the address is down all the same.
        row.sendErrors += outcome.errors + (outcome.attempts - outcome.echoes - outcome.lookupsFailed);
        row.up = outcome.answered ? 1 : 0;
        if (outcome.answered) {
            row.replies += 1;
            row.lastRtt = seconds;
        }
    }
    if (outcome.answered) {
        location(site).rtt->Observe(seconds);
        if (a.rtt)
            a.rtt->Observe(seconds);
    }
}

void Metrics::recordIndicator(int k)
{
    if (k < 1 || k > m_cfg.table.LocationCount())
        return;
    const LocationRecord &rec = m_cfg.table[k];
    Location &l = location(rec.site);
    l.state->Set(LocationStateNumber(rec.center));
    l.up->Set(UpColour(rec.center) ? 1 : 0);
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
        const std::lock_guard<std::mutex> hold(m_rows->lock);
        Row &row = m_rows->rows[size_t(a.row)];
        row.changes = a.changes;
        row.lastChange = a.lastChange;
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
            drop(*a);
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
