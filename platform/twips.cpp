#include "platform/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <limits>

namespace qos {

namespace {

int ToPixels(double twips, double perPixel)
{
    return std::clamp(RoundHalfEven(twips / perPixel), -MaxPixels, MaxPixels);
}

} // namespace

int RoundHalfEven(double value)
{
    if (std::isnan(value))
        return 0;
    // The default floating-point rounding mode rounds to nearest with ties to even.
    const double rounded = std::nearbyint(value);
    if (rounded <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    if (rounded >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return int(rounded);
}

TwipsScale::TwipsScale(double perPixelX, double perPixelY)
    : m_x(perPixelX > 0 ? perPixelX : 15.0)
    , m_y(perPixelY > 0 ? perPixelY : 15.0)
{}

TwipsScale TwipsScale::fromDpi(double dpiX, double dpiY)
{
    return {dpiX > 0 ? TwipsPerInch / dpiX : 15.0, dpiY > 0 ? TwipsPerInch / dpiY : 15.0};
}

TwipsScale TwipsScale::forWidget(const QWidget *widget)
{
    const QScreen *screen = widget ? widget->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    return fromDpi(screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY());
}

int TwipsScale::toPixelsX(double twips) const
{
    return ToPixels(twips, m_x);
}

int TwipsScale::toPixelsY(double twips) const
{
    return ToPixels(twips, m_y);
}

QRect TwipsScale::toPixels(const QRectF &twips) const
{
    return {toPixelsX(twips.left()), toPixelsY(twips.top()), toPixelsX(twips.width()),
            toPixelsY(twips.height())};
}

} // namespace qos
