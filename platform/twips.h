#pragma once
// Twips (1/1440 inch) are the unit of every stored position and every layout size. This is the one
// conversion between twips and the pixels of the screen a widget is on; every window uses it.
// Twips per pixel = 1440 / logical DPI of that screen, 15 at 96 DPI, taken per axis.
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>

class QWidget;

namespace qos {

inline constexpr double TwipsPerInch = 1440.0;

// Nearest integer, halves to even (the rounding of every twips and pixel conversion). Values beyond
// int's range give its nearest end, NaN gives 0.
int RoundHalfEven(double value);

// The largest pixel coordinate or size a conversion gives (Qt's largest widget size): any geometry
// built from converted values, such as left + width, stays far inside int.
inline constexpr int MaxPixels = 16777215;

class TwipsScale {
public:
    TwipsScale() = default; // 15 twips per pixel on both axes (96 DPI)
    TwipsScale(double perPixelX, double perPixelY);

    static TwipsScale fromDpi(double dpiX, double dpiY);
    // The scale of the screen the widget is on (the primary screen when it has none yet).
    static TwipsScale forWidget(const QWidget *widget);

    double perPixelX() const { return m_x; }
    double perPixelY() const { return m_y; }

    // Whole pixels, at most MaxPixels from 0 either way (NaN gives 0).
    int toPixelsX(double twips) const;
    int toPixelsY(double twips) const;
    QPoint toPixels(const QPointF &twips) const { return {toPixelsX(twips.x()), toPixelsY(twips.y())}; }
    // Left, top, width and height are converted one by one, as a layout table gives them.
    QRect toPixels(const QRectF &twips) const;

    double toTwipsX(double pixels) const { return pixels * m_x; }
    double toTwipsY(double pixels) const { return pixels * m_y; }
    QPointF toTwips(const QPointF &pixels) const { return {toTwipsX(pixels.x()), toTwipsY(pixels.y())}; }

private:
    double m_x = 15.0;
    double m_y = 15.0;
};

} // namespace qos
