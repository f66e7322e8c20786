#pragma once
// The Prometheus text format (version 0.0.4) of collected metric families.
//
// Invariants:
//  - The same text as prometheus-cpp's TextSerializer for the counters, gauges and histograms we
//    register (families and series in collection order, label values and help escaped the same way),
//    with numbers in their shortest exact form; it exists because that serializer takes about ten
//    times as long over a thousand histograms.
//  - Summaries and untyped metrics, which we do not register, are written as untyped values.
#include <prometheus/metric_family.h>

#include <string>
#include <vector>

namespace qos {

std::string ExpositionText(const std::vector<prometheus::MetricFamily> &families);

// The pieces of it, for series kept outside a registry: a sample value in its shortest exact form,
// and a text escaped as help (quote false) or as a label value (quote true).
void AppendNumber(std::string &out, double value);
void AppendEscaped(std::string &out, const std::string &text, bool quote);

} // namespace qos
