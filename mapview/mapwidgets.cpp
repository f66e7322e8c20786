#include "mapview/mapwidgets.h"

#include "platform/contrast.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace qos {

QColor IndicatorColour(Indicator state)
{
    switch (state) {
    case Indicator::White:
        return {255, 255, 255};
    case Indicator::Black:
        return {0, 0, 0};
    case Indicator::Green:
        return {0, 255, 0};
    case Indicator::Cyan:
        return {0, 255, 255};
    case Indicator::Red:
        return {255, 0, 0};
    case Indicator::DarkRed:
        return {192, 0, 0};
    case Indicator::Unreachable:
        return {128, 128, 128};
    case Indicator::PartlyDown:
        return {255, 165, 0};
    case Indicator::Slow:
        return {255, 255, 0};
    }
    return {255, 255, 255};
}

QList<QLineF> ParentLines(const std::vector<int> &parent, const QList<QPointF> &centres)
{
    QList<QLineF> lines;
    for (size_t k = 1; k < parent.size() && qsizetype(k) < centres.size(); ++k) {
        const int p = parent[k];
        if (p > 0 && p < centres.size() && !centres[qsizetype(k)].isNull() && !centres[p].isNull())
            lines << QLineF(centres[qsizetype(k)], centres[p]);
    }
    return lines;
}

FitLabel::FitLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
}

QFont FitLabel::fittedFont(qreal room) const
{
    QFont f = font();
    if (room < 0)
        room = contentsRect().width() - 2 * margin();
    while (f.pointSizeF() > m_minimumPointSize && QFontMetricsF(f).horizontalAdvance(text()) > room)
        f.setPointSizeF(std::max(m_minimumPointSize, f.pointSizeF() - 0.25));
    return f;
}

void FitLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (m_backdrop.alpha() > 0) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(m_backdrop);
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    }
    drawFrame(&p);
    drawFittedText(p, contentsRect().adjusted(margin(), margin(), -margin(), -margin()));
}

void FitLabel::drawFittedText(QPainter &p, const QRect &room) const
{
    p.setFont(fittedFont(room.width()));
    p.setPen(palette().color(foregroundRole()));
    p.drawText(room, int(alignment()) | Qt::TextSingleLine, text());
}

void FitLabel::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

MarkerLabel::MarkerLabel(int index, const QString &caption, QWidget *parent)
    : FitLabel(caption, parent)
    , m_index(index)
{
    setFocusPolicy(Qt::StrongFocus);
}

void MarkerLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(255, 255, 250));
    p.setPen(Qt::black);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    drawFittedText(p, rect().adjusted(1, 0, -1, 0));
    if (hasFocus()) {
        p.setPen(QPen(QColor(0, 70, 180), 2));
        p.drawRect(rect().adjusted(1, 1, -1, -1));
    }
}

void MarkerLabel::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        Q_EMIT clicked(m_index);
        return;
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Up:
        focusNextPrevChild(event->key() == Qt::Key_Right || event->key() == Qt::Key_Down);
        return;
    default:
        FitLabel::keyPressEvent(event);
    }
}

void MarkerLabel::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked(m_index);
}

StateGlyph GlyphOf(Indicator state)
{
    switch (state) {
    case Indicator::White:
        return StateGlyph::Dot;
    case Indicator::Black:
        return StateGlyph::Bar;
    case Indicator::Green:
        return StateGlyph::Tick;
    case Indicator::Cyan:
        return StateGlyph::TickOverBar;
    case Indicator::Red:
        return StateGlyph::Cross;
    case Indicator::DarkRed:
        return StateGlyph::CrossOverBar;
    case Indicator::Unreachable:
        return StateGlyph::Ring;
    case Indicator::PartlyDown:
        return StateGlyph::Exclamation;
    case Indicator::Slow:
        return StateGlyph::Hourglass;
    }
    return StateGlyph::Dot;
}

void DrawStateGlyph(QPainter &p, const QRectF &box, StateGlyph glyph, const QColor &ink)
{
    // Points in a unit square; the "over bar" forms squeeze their mark into the upper part.
    const auto at = [&box](qreal x, qreal y) {
        return QPointF(box.left() + x * box.width(), box.top() + y * box.height());
    };
    const bool overBar = glyph == StateGlyph::TickOverBar || glyph == StateGlyph::CrossOverBar;
    const qreal squeeze = overBar ? 0.72 : 1.0;
    const auto mark = [&](qreal x, qreal y) {
        return at(x, 0.5 + (y - 0.5) * squeeze - (overBar ? 0.1 : 0));
    };
    const qreal stroke = std::max<qreal>(1.4, box.width() * 0.13);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ink, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const qreal r = box.width();
    switch (glyph) {
    case StateGlyph::Dot:
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawEllipse(at(0.5, 0.5), 0.13 * r, 0.13 * r);
        break;
    case StateGlyph::Bar:
        p.drawLine(at(0.27, 0.5), at(0.73, 0.5));
        break;
    case StateGlyph::Tick:
    case StateGlyph::TickOverBar:
        p.drawPolyline(QList<QPointF>{mark(0.27, 0.52), mark(0.44, 0.7), mark(0.74, 0.32)});
        break;
    case StateGlyph::Cross:
    case StateGlyph::CrossOverBar:
        p.drawLine(mark(0.27, 0.27), mark(0.73, 0.73));
        p.drawLine(mark(0.73, 0.27), mark(0.27, 0.73));
        break;
    case StateGlyph::Ring:
        p.drawEllipse(at(0.5, 0.5), 0.2 * r, 0.2 * r);
        break;
    case StateGlyph::Exclamation:
        p.drawLine(at(0.5, 0.24), at(0.5, 0.52));
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawEllipse(at(0.5, 0.72), stroke * 0.6, stroke * 0.6);
        break;
    case StateGlyph::Hourglass:
        p.setBrush(ink);
        p.setPen(QPen(ink, stroke / 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolygon(QPolygonF{at(0.3, 0.25), at(0.7, 0.25), at(0.3, 0.75), at(0.7, 0.75)});
        break;
    }
    if (overBar)
        p.drawLine(at(0.3, 0.78), at(0.7, 0.78));
    p.restore();
}

CircleShape::CircleShape(Indicator state, QWidget *parent)
    : QWidget(parent)
    , m_state(state)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

bool CircleShape::setStateUnpainted(Indicator state)
{
    if (state == m_state)
        return false;
    m_state = state;
    return true;
}

void CircleShape::setGlyphShown(bool on)
{
    if (on == m_glyph)
        return;
    m_glyph = on;
    update();
}

void CircleShape::paintEvent(QPaintEvent *)
{
    const qreal d = std::min(width(), height());
    QRectF circle((width() - d) / 2 + 0.5, (height() - d) / 2 + 0.5, d - 1, d - 1);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_glyph) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawEllipse(circle.adjusted(-0.5, -0.5, 0.5, 0.5));
        circle.adjust(1, 1, -1, -1);
    }
    const QColor fill = fillColour();
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(fill);
    p.drawEllipse(circle);
    if (m_glyph)
        DrawStateGlyph(p, circle, GlyphOf(m_state), InkFor(fill));
}

MapCanvas::MapCanvas(QWidget *parent)
    : QWidget(parent)
{}

void MapCanvas::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    m_scaled = QPixmap();
    update();
}

void MapCanvas::setParentLines(const QList<QLineF> &lines)
{
    if (lines == m_parentLines)
        return;
    m_parentLines = lines;
    update();
}

void MapCanvas::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    p.setClipRegion(event->region());
    p.fillRect(rect(), palette().window());
    if (m_picture.isNull()) {
        p.fillRect(m_mapRect, QColor(88, 118, 140));
    } else {
        if (m_scaled.size() != m_mapRect.size()) {
            m_scaled =
                m_picture.size() == m_mapRect.size()
                    ? m_picture
                    : m_picture.scaled(m_mapRect.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        p.drawPixmap(m_mapRect.topLeft(), m_scaled);
    }
    if (!m_parentLines.isEmpty()) {
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(40, 40, 40, 170), 1.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLines(m_parentLines);
        p.restore();
    }
    if (!m_legendRect.isEmpty()) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(60, 60, 60, 150), 1));
        p.setBrush(QColor(255, 255, 255, 215));
        p.drawRoundedRect(QRectF(m_legendRect).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    }
    if (m_pickShown)
        paintPickPoint(p);
}

void MapCanvas::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    Q_EMIT pressed(event->button(), event->position().toPoint());
}

void MapCanvas::setPickPointShown(bool shown)
{
    if (shown == m_pickShown)
        return;
    m_pickShown = shown;
    setFocusPolicy(shown ? Qt::StrongFocus : Qt::NoFocus);
    setAccessibleDescription(
        shown ? QStringLiteral("The arrow keys move the cross, Enter places a location there") : QString());
    if (shown) {
        m_pick = m_mapRect.center();
        setFocus(Qt::OtherFocusReason);
    } else if (hasFocus() || window()->focusWidget() == this) {
        focusNextChild(); // to the markers and buttons, as Tab would
    }
    update();
}

void MapCanvas::keyPressEvent(QKeyEvent *event)
{
    if (!m_pickShown) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int step = event->modifiers() & Qt::ShiftModifier ? 1 : 8;
    QPoint move;
    switch (event->key()) {
    case Qt::Key_Left:
        move = {-step, 0};
        break;
    case Qt::Key_Right:
        move = {step, 0};
        break;
    case Qt::Key_Up:
        move = {0, -step};
        break;
    case Qt::Key_Down:
        move = {0, step};
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_Menu:
        Q_EMIT pressed(Qt::RightButton, m_pick);
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    const QRect inside = m_mapRect.adjusted(0, 0, -1, -1);
    m_pick = QPoint(qBound(inside.left(), m_pick.x() + move.x(), inside.right()),
                    qBound(inside.top(), m_pick.y() + move.y(), inside.bottom()));
    update();
}

void MapCanvas::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
}

void MapCanvas::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
}

// Black over white, so that it shows on any map; a ring around it while it has the focus.
void MapCanvas::paintPickPoint(QPainter &p) const
{
    const int arm = 9;
    const QLineF lines[] = {{QPointF(m_pick.x() - arm, m_pick.y()), QPointF(m_pick.x() + arm, m_pick.y())},
                            {QPointF(m_pick.x(), m_pick.y() - arm), QPointF(m_pick.x(), m_pick.y() + arm)}};
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::SquareCap));
    p.drawLines(lines, 2);
    p.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::FlatCap));
    p.drawLines(lines, 2);
    if (hasFocus()) {
        p.setPen(QPen(QColor(0, 70, 180), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(m_pick), arm + 3, arm + 3);
    }
    p.restore();
}

} // namespace qos
