#pragma once
// The history window of one location: over a chosen span, its share of watched time online, for
// each address a time line of round-trip times with lost echoes marked and its up/down band, and the
// list of state periods with their durations.
//
// Invariants:
//  - It only reads: the history service and the configuration are never changed from here, and
//    monitoring never waits for it.
//  - It follows the service live: a change or a probe of its location redraws it within
//    RefreshDelayMs; the span's end moves with the clock.
#include "history/figures.h"
#include "history/history.h"
#include "store/model.h"

#include <QList>
#include <QTimeZone>
#include <QTimer>
#include <QWidget>

class QComboBox;
class QLabel;
class QListWidget;
class QVBoxLayout;

namespace qos {

// One subject's band of periods, with the round-trip times of its kept probes above it.
class TimelineWidget : public QWidget {
    Q_OBJECT
public:
    // With round trips: a plot above the band; without: the band with the span's two ends below it.
    explicit TimelineWidget(bool roundTrips, QWidget *parent = nullptr);
    void setData(const QList<Period> &periods, const QList<Sample> &samples, qint64 fromMs, qint64 toMs);
    void setEnds(const QString &from, const QString &to);
    QSize sizeHint() const override { return {480, m_roundTrips ? 56 : 28}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double xOf(qint64 ms) const;
    void paintRoundTrips(QPainter &p, int bandTop);

    bool m_roundTrips;
    QString m_fromText, m_toText;
    QList<Period> m_periods;
    QList<Sample> m_samples;
    qint64 m_from = 0;
    qint64 m_to = 1;
};

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int RefreshDelayMs = 200;
    enum Span { LastHour, LastDay, LastWeek, Everything };

    HistoryWindow(const History &history, const Configuration &cfg, QString site, QWidget *parent = nullptr);

    const QString &site() const { return m_site; }
    void setSpan(Span span);
    // Times are shown in this zone (the system's unless a test says otherwise).
    void setTimeZone(const QTimeZone &zone);
    // Reads the service again at once.
    void refresh();

    // What it shows.
    QString shareText() const;
    QStringList changeTexts() const;
    QStringList addressTexts() const;

protected:
    void keyPressEvent(QKeyEvent *event) override; // Escape closes it, as the close box does

private:
    void scheduleRefresh(const QString &site);
    qint64 spanStart(qint64 now) const;
    QStringList addresses() const;
    void rebuildRows(const QStringList &addresses);

    struct Row {
        QString address;
        QLabel *caption;
        TimelineWidget *timeline;
    };

    const History &m_history;
    const Configuration &m_cfg;
    QString m_site;
    QTimeZone m_zone = QTimeZone::systemTimeZone();
    QComboBox *m_span;
    QLabel *m_share;
    TimelineWidget *m_locationLine;
    QVBoxLayout *m_rowsLayout;
    QList<Row> m_rows;
    QListWidget *m_changes;
    QTimer m_refresh; // coalesces a burst of changes into one redraw
    QTimer m_clock;   // moves the span's end along
};

} // namespace qos
