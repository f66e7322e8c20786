#include "platform/contrast.h"

#include <algorithm>
#include <cmath>

namespace qos {
namespace {

double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double relativeLuminance(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

QColor withLightness(const QColor &colour, double lightness)
{
    const QColor hsl = colour.toHsl();
    return QColor::fromHslF(std::max(0.0f, hsl.hslHueF()), hsl.hslSaturationF(), float(lightness));
}

// The lightness nearest to the colour's own, on the way to `end` (0 or 1), that reaches the ratio.
QColor approach(const QColor &text, const QColor &background, double ratio, double end)
{
    double near = text.toHsl().lightnessF();
    double far = end;
    for (int step = 0; step < 24; ++step) {
        const double mid = (near + far) / 2;
        if (ContrastRatio(withLightness(text, mid), background) >= ratio)
            far = mid;
        else
            near = mid;
    }
    return withLightness(text, far);
}

} // namespace

double ContrastRatio(const QColor &a, const QColor &b)
{
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableColour(const QColor &text, const QColor &background, double ratio)
{
    if (ContrastRatio(text, background) >= ratio)
        return text;
    return approach(text, background, ratio, InkFor(background) == Qt::black ? 0.0 : 1.0);
}

QColor InkFor(const QColor &background)
{
    return ContrastRatio(Qt::black, background) >= ContrastRatio(Qt::white, background) ? QColor(Qt::black)
                                                                                        : QColor(Qt::white);
}

} // namespace qos
