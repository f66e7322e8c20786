#pragma once
// Contrast between colours, as the web's accessibility guidelines measure it, and the readable
// variant of a colour.
//
// Invariants:
//  - ContrastRatio is symmetric and runs from 1 (the same luminance) to 21 (black on white).
//  - ReadableColour keeps a colour that already reaches the ratio; otherwise it moves the colour's
//    lightness (hue and saturation kept) towards black or white, whichever can reach the ratio, by the
//    least amount that does. Against any opaque background one of the two reaches 4.5:1.
#include <QColor>

namespace qos {

inline constexpr double kTextContrast = 4.5;    // body text
inline constexpr double kGraphicContrast = 3.0; // shapes and glyphs

double ContrastRatio(const QColor &a, const QColor &b);
QColor ReadableColour(const QColor &text, const QColor &background, double ratio = kTextContrast);
// Black or white, whichever stands out more against the background.
QColor InkFor(const QColor &background);

} // namespace qos
