#pragma once
// Paces the status line through a cycle: the window shows "Pinging " and the address for every
// address, which with thousands of addresses a second would spend the window's thread on painting
// one label. The pacer passes texts on as they come while they are few, and otherwise the latest
// one on each tick.
//
// Invariants:
//  - A text that is not "Pinging ..." (IDLE, Monitoring...) is shown at once, drops any text still
//    waiting, and starts a fresh allowance.
//  - At most kAtOnce "Pinging" texts are shown between two ticks (kTickMs apart); a later one waits
//    for the tick, which shows the latest waiting text, so the line never stays behind by more
//    than one tick.
#include <QObject>
#include <QString>
#include <QTimer>

namespace qos {

class StatusPacer : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickMs = 250;
    static constexpr int kAtOnce = 2;

    explicit StatusPacer(QObject *parent = nullptr);

public Q_SLOTS:
    void offer(const QString &text);
    // The tick; the pacer's timer calls it, tests may call it directly.
    void tick();

Q_SIGNALS:
    void show(const QString &text);

private:
    QTimer m_clock;
    int m_shown = 0; // "Pinging" texts shown since the last tick or other text
    QString m_waiting;
    QString m_lastShown;
    bool m_hasWaiting = false;
};

} // namespace qos
