#include "store/numbers.h"
#include "store/graphfile.h"

#include <charconv>
#include <cmath>

namespace qos {

namespace {

template <typename T> std::optional<T> ParseFinite(QByteArrayView text)
{
    const char *first = text.data();
    const char *last = first + text.size();
    if (first != last && *first == '+' && last - first > 1 && first[1] != '-' && first[1] != '+')
        ++first;
    T value{};
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec != std::errc() || ptr != last || first == last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<double> ToNumber(QByteArrayView text)
{
    return ParseFinite<double>(text);
}

std::optional<qint16> ToInt16(QByteArrayView text)
{
    const auto value = ToNumber(text);
    if (!value)
        return std::nullopt;
    const double whole = std::nearbyint(*value); // the default rounding mode rounds halves to even
    if (whole < -32768.0 || whole > 32767.0)
        return std::nullopt;
    return qint16(whole);
}

std::optional<float> ToPosition(QByteArrayView text)
{
    return ParseFinite<float>(text);
}

QByteArray PositionText(float value)
{
    if (!std::isfinite(value) || value == 0.0f)
        return QByteArrayLiteral("0");
    // Fixed notation keeps whole values plain ("100000", not "1e+05"); without a precision, to_chars
    // writes the fewest digits that read back as the same float.
    char buffer[64];
    const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (ec != std::errc())
        return QByteArrayLiteral("0");
    return QByteArray(buffer, ptr - buffer);
}

} // namespace qos
