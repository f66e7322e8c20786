#pragma once
// SIGTERM, SIGINT and SIGHUP as Qt signals on the window's thread, for the headless monitor.
//
// Invariants:
//  - BlockStopSignals() runs in main() before any thread exists, so every later thread inherits the
//    mask and the three signals are never delivered to a handler: they queue on the signalfd this
//    object reads from the event loop (no handler, no global).
//  - Each signal received gives exactly one Qt signal, in the order they arrived.
#include <QObject>

class QSocketNotifier;

namespace qos {

// Blocks SIGTERM, SIGINT and SIGHUP for this thread and the threads it starts later; false on failure.
bool BlockStopSignals();

class SignalWatch : public QObject {
    Q_OBJECT
public:
    explicit SignalWatch(QObject *parent = nullptr);
    ~SignalWatch() override;
    // False when the signalfd could not be made (then the signals keep their blocked state).
    bool watching() const { return m_fd >= 0; }

Q_SIGNALS:
    void stopRequested(int signal); // SIGTERM or SIGINT
    void reloadRequested();         // SIGHUP

private:
    void readSignals();

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace qos
