#pragma once
// Numbers as the data files write them: plain decimal text with "." as the decimal point, whatever
// the desktop's number format (so a file reads the same on every machine).
//
// Invariants:
//  - Conversions from text accept an optional sign, digits, an optional fraction and exponent, and
//    nothing else (no spaces, no grouping); a value that does not fit gives nothing, never a clamp.
//  - PositionText(x) read back with ToPosition gives x again.
#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

namespace qos {

std::optional<double> ToNumber(QByteArrayView text);
// 16-bit signed integer; a fraction is rounded to the nearest whole number, halves to even.
std::optional<qint16> ToInt16(QByteArrayView text);
// Marker position, a 32-bit float.
std::optional<float> ToPosition(QByteArrayView text);

} // namespace qos
