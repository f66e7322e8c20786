#pragma once
// The small widgets the Map View is built from: labels that fit their text into a fixed box, the
// filled circles of the indicators and the legend, clickable markers, and the client area that
// draws the map picture.
#include "store/model.h"

#include <QColor>
#include <QLabel>
#include <QLineF>
#include <QList>
#include <vector>

class QPainter;
#include <QPixmap>
#include <QPointF>
#include <QWidget>

namespace qos {

// RGB of an indicator state.
QColor IndicatorColour(Indicator state);

// The thin lines from each child's marker to its parent's: parent[k] is location k's parent (0 for
// none), centres[k] the middle of its marker (null for none).
QList<QLineF> ParentLines(const std::vector<int> &parent, const QList<QPointF> &centres);

// A one-line label in a fixed box. When its text is wider than the box the text is drawn in a
// smaller font (down to minimumPointSize, then clipped), so nothing is cut at the window's DPI.
// Mouse presses stop here: they never reach the map under the label.
class FitLabel : public QLabel {
    Q_OBJECT
public:
    explicit FitLabel(const QString &text, QWidget *parent = nullptr);
    void setMinimumPointSize(qreal size) { m_minimumPointSize = size; }
    // A rounded backdrop drawn behind the text (transparent colour = none).
    void setBackdrop(const QColor &colour) { m_backdrop = colour; }
    // The font the text is drawn in when it has this much room (default: the contents' width).
    QFont fittedFont(qreal room = -1) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void drawFittedText(QPainter &p, const QRect &room) const;
    void mousePressEvent(QMouseEvent *event) override;

private:
    qreal m_minimumPointSize = 6.0;
    QColor m_backdrop = Qt::transparent;
};

// The marker site(k) of a location: clicking it reports clicked(k).
class MarkerLabel : public FitLabel {
    Q_OBJECT
public:
    MarkerLabel(int index, const QString &caption, QWidget *parent);
    int index() const { return m_index; }

Q_SIGNALS:
    void clicked(int index);

protected:
    void paintEvent(QPaintEvent *event) override; // a white tag with a thin black rim, a ring with focus
    void mouseReleaseEvent(QMouseEvent *event) override;
    // Enter or Space opens its location as a click does; the arrow keys move to the marker before or
    // after it in the window's reading order.
    void keyPressEvent(QKeyEvent *event) override;

private:
    int m_index;
};

// The mark drawn over a state's colour when glyphs are on, so that no state is told by colour alone.
enum class StateGlyph { Dot, Bar, Tick, TickOverBar, Cross, CrossOverBar, Ring, Exclamation, Hourglass };
StateGlyph GlyphOf(Indicator state);
// Draws the glyph in ink, scaled to the square box.
void DrawStateGlyph(QPainter &p, const QRectF &box, StateGlyph glyph, const QColor &ink);

// A state's circle in the colour of its state, as wide as the smaller side of its box and centred in
// it: a thin black rim, and with glyphs on a white halo outside the rim (one of the two stands out
// against any map) and the state's glyph inside. Transparent for the mouse: a press on it is a press
// on the map.
class CircleShape : public QWidget {
    Q_OBJECT
public:
    explicit CircleShape(Indicator state, QWidget *parent = nullptr);
    QColor fillColour() const { return IndicatorColour(m_state); }
    // Without asking for a repaint; true when the state changed (the caller repaints).
    bool setStateUnpainted(Indicator state);
    void setGlyphShown(bool on);
    bool glyphShown() const { return m_glyph; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Indicator m_state;
    bool m_glyph = false;
};

// The window's client area: the map picture scaled into the map rectangle (a plain background when
// there is no picture), a light panel behind the legend, and the control strip below the map.
// Presses on it (not on a label or button) are reported in pixels.
class MapCanvas : public QWidget {
    Q_OBJECT
public:
    explicit MapCanvas(QWidget *parent = nullptr);
    void setPicture(const QPixmap &picture); // null: plain background
    bool hasPicture() const { return !m_picture.isNull(); }
    void setMapRect(const QRect &rect) { m_mapRect = rect; }
    void setLegendRect(const QRect &rect) { m_legendRect = rect; }
    // Drawn over the map, under the markers.
    void setParentLines(const QList<QLineF> &lines);
    const QList<QLineF> &parentLines() const { return m_parentLines; }
    // A cross on the map that the keyboard moves and picks as a right press does: shown, it takes
    // the focus at the map's centre; the arrow keys move it (Shift: a pixel at a time), Enter, Space
    // or the menu key press there.
    void setPickPointShown(bool shown);
    bool pickPointShown() const { return m_pickShown; }
    QPoint pickPoint() const { return m_pick; }

Q_SIGNALS:
    void pressed(Qt::MouseButton button, QPoint position);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void paintPickPoint(QPainter &p) const;

    bool m_pickShown = false;
    QPoint m_pick;
    QPixmap m_picture;
    QPixmap m_scaled; // m_picture at the size of m_mapRect
    QRect m_mapRect;
    QRect m_legendRect;
    QList<QLineF> m_parentLines;
};

} // namespace qos
