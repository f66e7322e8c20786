#include "history/historywindow.h"

#include "store/text.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <algorithm>

namespace qos {
namespace {

constexpr int BandHeight = 8;
constexpr qint32 MinScaleUs = 100; // the plot's top is at least 0.1 ms
constexpr int ClockRefreshMs = 30000;
const QColor UpColour(0, 170, 0);
const QColor DownColour(220, 0, 0);
const QColor IdleColour(200, 200, 200);
const QColor RoundTripColour(0, 70, 170);

QColor BandColour(State state)
{
    switch (state) {
    case State::Unreachable:
        return {128, 128, 128};
    case State::PartlyDown:
        return {240, 140, 0};
    case State::Slow:
        return {220, 200, 0};
    default:
        return IsUp(state) ? UpColour : IsDown(state) ? DownColour : IdleColour;
    }
}

} // namespace

// ---- Time line ----

TimelineWidget::TimelineWidget(bool roundTrips, QWidget *parent)
    : QWidget(parent)
    , m_roundTrips(roundTrips)
{
    setFixedHeight(sizeHint().height());
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TimelineWidget::setData(const QList<Period> &periods, const QList<Sample> &samples, qint64 fromMs,
                             qint64 toMs)
{
    m_periods = periods;
    m_samples = samples;
    m_from = fromMs;
    m_to = qMax(fromMs + 1, toMs);
    update();
}

void TimelineWidget::setEnds(const QString &from, const QString &to)
{
    m_fromText = from;
    m_toText = to;
    update();
}

double TimelineWidget::xOf(qint64 ms) const
{
    return double(ms - m_from) / double(m_to - m_from) * (width() - 1);
}

void TimelineWidget::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const int bandTop = m_roundTrips ? height() - BandHeight : 0;
    if (m_roundTrips) {
        p.fillRect(rect(), Qt::white);
        p.setPen(QColor(230, 230, 230));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    p.fillRect(QRectF(0, bandTop, width(), BandHeight), QColor(240, 240, 240));
    for (const Period &period : m_periods) {
        const double x0 = qMax(0.0, xOf(period.fromMs));
        const double x1 = qMin(double(width()), xOf(period.toMs));
        if (x1 > x0)
            p.fillRect(QRectF(x0, bandTop, qMax(1.0, x1 - x0), BandHeight), BandColour(period.state));
    }
    if (m_roundTrips) {
        paintRoundTrips(p, bandTop);
        return;
    }
    p.setPen(Qt::darkGray);
    const QRect below(0, BandHeight + 2, width(), height() - BandHeight - 2);
    p.drawText(below, Qt::AlignLeft | Qt::AlignTop, m_fromText);
    p.drawText(below, Qt::AlignRight | Qt::AlignTop, m_toText);
}

// Round-trip times above the band, scaled to the largest in view; lost echoes as red marks (a full
// one for a probe without a reply, a short one for a reply after lost echoes).
void TimelineWidget::paintRoundTrips(QPainter &p, int bandTop)
{
    qint32 maxUs = MinScaleUs;
    bool any = false;
    for (const Sample &s : m_samples)
        if (s.answered && s.timeMs >= m_from) {
            maxUs = qMax(maxUs, s.roundTripUs);
            any = true;
        }
    const double plotTop = 14, plotBottom = bandTop - 3;
    auto yOf = [&](qint32 us) { return plotBottom - (plotBottom - plotTop) * double(us) / double(maxUs); };
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath line;
    bool drawing = false;
    for (const Sample &s : m_samples) {
        if (s.timeMs < m_from || s.timeMs > m_to)
            continue;
        const double x = xOf(s.timeMs);
        if (s.answered ? s.echoes > 1 : s.echoes > 0) {
            p.setPen(QPen(DownColour, s.answered ? 1 : 2));
            p.drawLine(QPointF(x, plotTop - 10), QPointF(x, s.answered ? plotTop - 4 : plotBottom));
        }
        if (!s.answered || s.roundTripUs < 0) {
            drawing = false;
            continue;
        }
        const QPointF point(x, yOf(s.roundTripUs));
        drawing ? line.lineTo(point) : line.moveTo(point);
        drawing = true;
        p.setPen(Qt::NoPen);
        p.setBrush(RoundTripColour);
        p.drawEllipse(point, 2, 2);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(RoundTripColour, 1));
    p.drawPath(line);
    if (any) {
        p.setPen(Qt::darkGray);
        p.drawText(rect().adjusted(4, 1, -4, 0), Qt::AlignRight | Qt::AlignTop,
                   QStringLiteral("max ") + RoundTripText(maxUs));
    }
}

// ---- Window ----

HistoryWindow::HistoryWindow(const History &history, const Configuration &cfg, QString site, QWidget *parent)
    : QWidget(parent)
    , m_history(history)
    , m_cfg(cfg)
    , m_site(std::move(site))
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("QOR Online Status - History - ") + m_site);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    auto *top = new QVBoxLayout(this);
    auto *head = new QHBoxLayout;
    auto *name = new QLabel(QStringLiteral("location: ") + m_site, this);
    name->setObjectName(QStringLiteral("site"));
    m_span = new QComboBox(this);
    m_span->setObjectName(QStringLiteral("span"));
    m_span->addItems({QStringLiteral("Last hour"), QStringLiteral("Last 24 hours"),
                      QStringLiteral("Last 7 days"), QStringLiteral("Everything kept")});
    m_span->setCurrentIndex(LastDay);
    m_span->setAccessibleName(QStringLiteral("Span shown"));
    head->addWidget(name, 1);
    head->addWidget(m_span);
    top->addLayout(head);
    m_share = new QLabel(this);
    m_share->setObjectName(QStringLiteral("share"));
    top->addWidget(m_share);
    m_locationLine = new TimelineWidget(false, this);
    top->addWidget(m_locationLine);
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    auto *rows = new QWidget(scroll);
    m_rowsLayout = new QVBoxLayout(rows);
    m_rowsLayout->addStretch(1);
    scroll->setWidget(rows);
    top->addWidget(scroll, 3);
    m_changes = new QListWidget(this);
    m_changes->setObjectName(QStringLiteral("changes"));
    top->addWidget(m_changes, 2);
    resize(640, 560);

    m_refresh.setSingleShot(true);
    m_refresh.setInterval(RefreshDelayMs);
    m_clock.setInterval(ClockRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &HistoryWindow::refresh);
    connect(&m_clock, &QTimer::timeout, this, &HistoryWindow::refresh);
    connect(m_span, &QComboBox::currentIndexChanged, this, &HistoryWindow::refresh);
    connect(&history, &History::eventAdded, this, &HistoryWindow::scheduleRefresh);
    connect(&history, &History::sampleAdded, this, &HistoryWindow::scheduleRefresh);
    connect(&history, &History::logLoaded, this, &HistoryWindow::refresh);
    m_clock.start();
    refresh();
}

void HistoryWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Cancel))
        close();
    else
        QWidget::keyPressEvent(event);
}

void HistoryWindow::setSpan(Span span)
{
    m_span->setCurrentIndex(span); // refreshes
}

void HistoryWindow::setTimeZone(const QTimeZone &zone)
{
    m_zone = zone;
    refresh();
}

void HistoryWindow::scheduleRefresh(const QString &site)
{
    if (site == m_site && !m_refresh.isActive())
        m_refresh.start();
}

qint64 HistoryWindow::spanStart(qint64 now) const
{
    switch (Span(m_span->currentIndex())) {
    case LastHour:
        return now - 3600000LL;
    case LastDay:
        return now - 24 * 3600000LL;
    case LastWeek:
        return now - 7 * 24 * 3600000LL;
    case Everything:
        break;
    }
    const QList<HistoryEvent> &events = m_history.log().events();
    return events.isEmpty() ? now - 3600000LL : qMin(now - 60000, events.front().timeMs);
}

QStringList HistoryWindow::addresses() const
{
    QStringList list;
    if (const int k = FindLocationByName(m_cfg.table, m_site); k > 0)
        for (const QString &entry : SplitAddressList(m_cfg.table[k].siteip))
            if (const QString a = TrimSpaces(entry); !a.isEmpty() && !list.contains(a))
                list << a;
    for (const QString &a : EventAddresses(m_history.log(), m_site))
        if (!list.contains(a))
            list << a;
    return list;
}

void HistoryWindow::rebuildRows(const QStringList &addresses)
{
    for (const Row &row : std::as_const(m_rows)) {
        delete row.caption;
        delete row.timeline;
    }
    m_rows.clear();
    for (const QString &address : addresses) {
        Row row{address, new QLabel, new TimelineWidget(true)};
        m_rowsLayout->insertWidget(m_rowsLayout->count() - 1, row.caption);
        m_rowsLayout->insertWidget(m_rowsLayout->count() - 1, row.timeline);
        m_rows << row;
    }
}

void HistoryWindow::refresh()
{
    m_refresh.stop();
    const qint64 now = m_history.now();
    const qint64 from = spanStart(now);
    const EventLog &log = m_history.log();
    const QList<Period> location = SubjectPeriods(log, m_site, {}, from, now);
    m_share->setText(QStringLiteral("Location: ") + ShareText(ShareUp(location, from, now), false));
    m_locationLine->setData(location, {}, from, now);
    m_locationLine->setEnds(ClockText(from, now, m_zone), ClockText(now, now, m_zone));

    const QStringList list = addresses();
    QStringList shown;
    for (const Row &row : std::as_const(m_rows))
        shown << row.address;
    if (shown != list)
        rebuildRows(list);
    QStringList ignored;
    if (const int k = FindLocationByName(m_cfg.table, m_site); k > 0)
        ignored = SplitAddressList(m_cfg.table[k].ignore);
    QList<std::pair<Period, QString>> changes;
    for (const Period &p : location)
        changes.append({p, QStringLiteral("location")});
    for (const Row &row : std::as_const(m_rows)) {
        const QList<Period> periods = SubjectPeriods(log, m_site, row.address, from, now);
        QList<Sample> samples;
        if (const std::optional<SampleRing> ring = m_history.ring(m_site, row.address))
            samples = ring->samples();
        row.timeline->setData(periods, samples, from, now);
        const LinkSummary s = m_history.summary(m_site, row.address);
        const QString name =
            ContainsAddress(ignored, row.address) ? row.address + QStringLiteral(" (ignored)") : row.address;
        row.caption->setText(QStringLiteral("%1: %2; %3")
                                 .arg(name, ShareText(ShareUp(periods, from, now), true), LatencyLine(s)));
        for (const Period &p : periods)
            changes.append({p, row.address});
    }
    std::stable_sort(changes.begin(), changes.end(),
                     [](const auto &a, const auto &b) { return a.first.fromMs > b.first.fromMs; });
    m_changes->clear();
    for (const auto &[period, who] : changes) {
        auto *item =
            new QListWidgetItem(who + QStringLiteral(": ") + PeriodText(period, now, m_zone), m_changes);
        if (IsDown(period.state))
            item->setForeground(DownColour);
    }
}

QString HistoryWindow::shareText() const
{
    return m_share->text();
}

QStringList HistoryWindow::changeTexts() const
{
    QStringList texts;
    for (int i = 0; i < m_changes->count(); ++i)
        texts << m_changes->item(i)->text();
    return texts;
}

QStringList HistoryWindow::addressTexts() const
{
    QStringList texts;
    for (const Row &row : m_rows)
        texts << row.caption->text();
    return texts;
}

} // namespace qos
