#include "metrics/exposition.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <utility>

namespace qos {
namespace {

using prometheus::ClientMetric;
using prometheus::MetricType;

void Number(std::string &out, double value)
{
    if (std::isnan(value)) {
        out += "NaN";
    } else if (std::isinf(value)) {
        out += value > 0 ? "+Inf" : "-Inf";
    } else {
        // The shortest digits that read back as the value, laid out as printf's %g lays them out
        // (scientific below 1e-4 and from 1e16 on), as the library's serializer and Go's clients do.
        char buffer[64];
        const char *end =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific).ptr;
        const std::string_view scientific(buffer, size_t(end - buffer));
        int exponent = 0;
        const size_t e = scientific.find('e');
        std::from_chars(scientific.data() + e + (scientific[e + 1] == '+' ? 2 : 1), end, exponent);
        if (exponent < -4 || exponent >= 16) {
            out += scientific;
            return;
        }
        end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed).ptr;
        out.append(buffer, size_t(end - buffer));
    }
}

void Number(std::string &out, std::uint64_t value)
{
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out.append(buffer, end);
}

// Backslash and line feed always; the quote too inside a label value.
void Escaped(std::string &out, const std::string &text, bool quote)
{
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (quote && c == '"')
            out += "\\\"";
        else
            out += c;
    }
}

// name{labels[,le="bound"]} value
template <class Value>
void Sample(std::string &out, const std::string &name, const char *suffix, const ClientMetric &m, Value value,
            const double *le = nullptr)
{
    out += name;
    out += suffix;
    if (!m.label.empty() || le) {
        out += '{';
        bool first = true;
        for (const ClientMetric::Label &l : m.label) {
            if (!std::exchange(first, false))
                out += ',';
            out += l.name;
            out += "=\"";
            Escaped(out, l.value, true);
            out += '"';
        }
        if (le) {
            out += first ? "le=\"" : ",le=\"";
            Number(out, *le);
            out += '"';
        }
        out += '}';
    }
    out += ' ';
    Number(out, value);
    out += '\n';
}

const char *TypeName(MetricType type)
{
    switch (type) {
    case MetricType::Counter:
        return "counter";
    case MetricType::Gauge:
        return "gauge";
    case MetricType::Histogram:
        return "histogram";
    case MetricType::Summary:
    case MetricType::Untyped:
        break;
    }
    return "untyped";
}

} // namespace

void AppendNumber(std::string &out, double value)
{
    Number(out, value);
}

void AppendEscaped(std::string &out, const std::string &text, bool quote)
{
    Escaped(out, text, quote);
}

std::string ExpositionText(const std::vector<prometheus::MetricFamily> &families)
{
    std::string out;
    size_t series = 0;
    for (const auto &f : families)
        for (const ClientMetric &m : f.metric)
            series += f.type == MetricType::Histogram ? 2 + m.histogram.bucket.size() : 1;
    out.reserve(series * 128);
    for (const prometheus::MetricFamily &f : families) {
        if (f.metric.empty())
            continue;
        out += "# HELP " + f.name + ' ';
        Escaped(out, f.help, false);
        out += "\n# TYPE " + f.name + ' ' + TypeName(f.type) + '\n';
        for (const ClientMetric &m : f.metric) {
            switch (f.type) {
            case MetricType::Counter:
                Sample(out, f.name, "", m, m.counter.value);
                break;
            case MetricType::Gauge:
                Sample(out, f.name, "", m, m.gauge.value);
                break;
            case MetricType::Histogram:
                Sample(out, f.name, "_count", m, m.histogram.sample_count);
                Sample(out, f.name, "_sum", m, m.histogram.sample_sum);
                for (const ClientMetric::Bucket &b : m.histogram.bucket)
                    Sample(out, f.name, "_bucket", m, b.cumulative_count, &b.upper_bound);
                break;
            case MetricType::Summary:
            case MetricType::Untyped:
                Sample(out, f.name, "", m, m.untyped.value);
                break;
            }
        }
    }
    return out;
}

} // namespace qos
