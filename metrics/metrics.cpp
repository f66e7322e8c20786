#include "metrics/metrics.h"

#include "metrics/exposition.h"
#include "monitor/locationrules.h"

#include "store/model.h"
#include "store/text.h"

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>

#include <mutex>
#include <string_view>
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

// One address's series as a scrape writes them; a row with no labels has no series (yet).
struct Row {
    // host="...",ip="...",location="..." escaped, in Rows::labels; and the ip's value within them.
    quint32 labelsAt = 0;
    quint32 labelsSize = 0;
    quint32 ipAt = 0;
    quint32 ipSize = 0;
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
    std::string labels;     // every row's label text, one after another
    std::size_t unused = 0; // bytes of labels no row points to any more

    std::string_view labelsOf(const Row &row) const { return {labels.data() + row.labelsAt, row.labelsSize}; }
    // Gives row its label text (the lock held); labels are packed again once half of them are unused.
    void setLabels(Row &row, const std::string &text, quint32 ipAt, quint32 ipSize);
    void clear(int r);
    // The address families in the text format; the lock is taken here.
    void write(std::string &out) const;
};

void Metrics::Rows::setLabels(Row &row, const std::string &text, quint32 ipAt, quint32 ipSize)
{
    unused += row.labelsSize;
    row.labelsAt = quint32(labels.size());
    row.labelsSize = quint32(text.size());
    row.ipAt = ipAt;
    row.ipSize = ipSize;
    labels += text;
    if (unused < labels.size() / 2)
        return;
    std::string packed;
    packed.reserve(labels.size() - unused);
    for (Row &r : rows) {
        const std::string_view kept = labelsOf(r);
        r.labelsAt = quint32(packed.size());
        packed += kept;
    }
    labels = std::move(packed);
    unused = 0;
}

void Metrics::Rows::clear(int r)
{
    unused += rows[size_t(r)].labelsSize;
    rows[size_t(r)] = Row{};
    free.push_back(r);
}

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
            if (row.labelsSize == 0)
                continue;
            out += name;
            out += '{';
            out += labelsOf(row);
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

int Metrics::row(const QString &site, const QString &host)
{
    if (std::exchange(m_sizedFor, m_cfg.generation) != m_cfg.generation) { // as the history's tracks
        const qsizetype count = qMax(m_addresses.size(), AddressCount(m_cfg.table));
        m_addresses.reserve(count);
        const std::lock_guard<std::mutex> hold(m_rows->lock);
        m_rows->rows.reserve(size_t(count));
    }
    int &r = m_addresses[Key(site, AddressKey(host))];
    if (r > 0)
        return r - 1;
    const std::lock_guard<std::mutex> hold(m_rows->lock);
    std::vector<Row> &rows = m_rows->rows;
    if (m_rows->free.empty()) {
        rows.emplace_back();
        r = int(rows.size());
    } else {
        r = m_rows->free.back() + 1;
        m_rows->free.pop_back();
    }
    return r - 1;
}

namespace {

// Whether text, escaped as a label value, is the escaped value.
bool SameLabelValue(std::string_view escaped, const QString &text)
{
    if (qsizetype(escaped.size()) == text.size()) {
        bool plain = true;
        for (qsizetype i = 0; plain && i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            plain = c < 0x80 && c != u'"' && c != u'\\' && c != u'\n';
            if (plain && escaped[size_t(i)] != char(c))
                return false;
        }
        if (plain)
            return true;
    }
    std::string value;
    AppendEscaped(value, Utf8(text), true);
    return value == escaped;
}

} // namespace

void Metrics::label(int r, const QString &site, const QString &host, const QString &ip)
{
    Row &row = m_rows->rows[size_t(r)];
    if (row.labelsSize > 0 && SameLabelValue(m_rows->labelsOf(row).substr(row.ipAt, row.ipSize), ip))
        return;
    std::string labels = "host=\"";
    AppendEscaped(labels, Utf8(host), true);
    labels += "\",ip=\"";
    const auto ipAt = quint32(labels.size());
    AppendEscaped(labels, Utf8(ip), true);
    const auto ipSize = quint32(labels.size()) - ipAt;
    labels += "\",location=\"";
    AppendEscaped(labels, Utf8(site), true);
    labels += '"';
    {
        const std::lock_guard<std::mutex> hold(m_rows->lock);
        m_rows->setLabels(row, labels, ipAt, ipSize);
        row.requests = row.replies = row.lastRtt = row.sendErrors = row.up = 0;
    }
    if (Histogram *old = m_addressRtt.take(r))
        m_rtt.Remove(old);
    if (m_cfg.settings.ADDRESSHISTOGRAMS != 0)
        m_addressRtt.insert(r, &m_rtt.Add({{"location", Utf8(site)}, {"host", Utf8(host)}, {"ip", Utf8(ip)}},
                                          RoundTripBuckets()));
}

void Metrics::drop(int r)
{
    if (Histogram *old = m_addressRtt.take(r))
        m_rtt.Remove(old);
    const std::lock_guard<std::mutex> hold(m_rows->lock);
    m_rows->clear(r);
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
    const int r = row(site, host);
    label(r, site, host, outcome.resolved);
    Row &row = m_rows->rows[size_t(r)];
    const double seconds = double(qMax<qint64>(outcome.roundTripUs, 0)) / 1e6;
    {
        const std::lock_guard<std::mutex> hold(m_rows->lock);
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
        if (Histogram *rtt = m_addressRtt.value(r))
            rtt->Observe(seconds);
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
    if (!m_addresses.contains(Key(change.location, AddressKey(change.address))) &&
        FindLocationByName(m_cfg.table, change.location) == 0)
        return;
    const int r = row(change.location, change.address);
    const std::lock_guard<std::mutex> hold(m_rows->lock);
    Row &row = m_rows->rows[size_t(r)];
    row.changes += 1;
    row.lastChange = double(change.timeMs) / 1000.0;
}

void Metrics::recordLoad(bool succeeded)
{
    m_loadSuccess.Set(succeeded ? 1 : 0);
    retain();
}

void Metrics::retain()
{
    const TableAddresses wanted(m_cfg.table);
    m_addresses.removeIf([this, &wanted](QHash<Key, int>::iterator a) {
        if (wanted.holds(a.key().first, a.key().second))
            return false;
        drop(*a - 1);
        return true;
    });
    for (auto l = m_locations.begin(); l != m_locations.end();) {
        if (wanted.holds(l.key())) {
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
