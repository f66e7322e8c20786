#include "mapview/mapwidgets.h"

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

CircleShape::CircleShape(const QColor &fill, QWidget *parent)
    : QWidget(parent)
    , m_fill(fill)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CircleShape::setFillColour(const QColor &colour)
{
    if (setFillColourUnpainted(colour))
        update();
}

bool CircleShape::setFillColourUnpainted(const QColor &colour)
{
    if (colour == m_fill)
        return false;
    m_fill = colour;
    return true;
}

void CircleShape::paintEvent(QPaintEvent *)
{
    const qreal d = std::min(width(), height());
    const QRectF circle((width() - d) / 2 + 0.5, (height() - d) / 2 + 0.5, d - 1, d - 1);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(m_fill);
    p.drawEllipse(circle);
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
}

void MapCanvas::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    Q_EMIT pressed(event->button(), event->position().toPoint());
}

} // namespace qos
