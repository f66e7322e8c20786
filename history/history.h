#pragma once
// The history service: the kept echo outcomes of every address, the state changes of every location
// and address, and the history file they are appended to.
//
// Invariants:
//  - Every change of a location's indicator state, and every change of an address between answering
//    and not answering, gives exactly one event and one line; reporting an unchanged state gives
//    none. An address's state is forgotten (no line) when its location turns waiting or disabled,
//    so its first outcome after a start is a change from unknown.
//  - The window's thread never touches the disk: lines go to a worker thread in order, at most
//    MaxPendingLines waiting; beyond that they are dropped (and told once). A failing write is told
//    once per run; memory and monitoring go on either way.
//  - The file is read once, on the worker thread, before its first line is written; until then the
//    log holds only this run's events, then the earlier ones go in front of them.
//  - Rings exist only for addresses of the table's locations (retain() drops the others), so memory
//    is bounded by the table: one ring per address in one store, found through one flat table by
//    (location, address), the log by its capacity.
//  - An address's state counts only while its location's watch (m_watches) is the one it was set
//    in: a location that turns waiting or disabled starts a new watch, which forgets every state
//    of its addresses at once.
#include "history/events.h"
#include "history/historyfile.h"
#include "history/samples.h"
#include "monitor/addressprobe.h"
#include "store/model.h"

#include <QHash>
#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>

namespace qos {

class History : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxPendingLines = 10000;

    struct Options {
        qint64 rotateBytes = DefaultRotateBytes;
        qsizetype capacity = EventLog::DefaultCapacity;
        std::function<qint64()> clock; // ms since the epoch; the system clock when empty
    };

    History(QString folder, const Configuration &cfg, Options options, QObject *parent = nullptr);
    History(QString folder, const Configuration &cfg, QObject *parent = nullptr);
    ~History() override;

    // Starts the worker: the file is read, then lines are written.
    void start();
    // The program ends: every location that is not waiting gets its line to waiting, and every line
    // waiting is written before the worker stops. Also done by the destructor.
    void shutdown();

    // The outcome of the attempts for an entry of location k (the cycle's and the List View's).
    void recordProbe(int k, const QString &entry, const AddressOutcome &outcome);
    // table[k].center has been written.
    void recordIndicator(int k);
    // Drops what belongs to no location or address of the table any more, and takes the indicators
    // of the table as they are (after the table was loaded anew).
    void retain();

    // The kept probes of an address; none when it has none.
    std::optional<SampleRing> ring(const QString &site, const QString &address) const;
    LinkSummary summary(const QString &site, const QString &address) const;
    const EventLog &log() const { return m_log; }
    bool loaded() const { return m_loaded; }
    // Lines handed to the worker and not yet written or failed.
    int pendingLines() const { return m_pending->load(); }
    qint64 now() const;
    const QString &folder() const { return m_folder; }

Q_SIGNALS:
    void sampleAdded(const QString &site, const QString &address);
    void eventAdded(const QString &site);
    // The same change, whole: for those that follow the changes as they happen (metrics, a log).
    void changed(const qos::ChangeRecord &change);
    // The earlier history has been read into the log.
    void logLoaded();
    // Text for the operator: the file could not be read in full, or written.
    void problem(const QString &text);

private:
    using Key = std::pair<QString, QString>; // location, AddressKey of the address
    struct Track {
        int ring = -1; // in m_rings
        quint32 watch = 0;
        State state = State::Unknown; // as of that watch of its location
    };

    void change(const QString &site, const QString &address, State from, State to, const QString &status,
                qint64 roundTripUs, qint64 timeMs);
    void post(const QByteArray &line);
    void onLoaded(const std::shared_ptr<LoadedHistory> &loaded);
    void onWritten(const Status &status);
    void closeLoadedLocations(LoadedHistory &loaded);
    void stopWorker();

    QString m_folder;
    const Configuration &m_cfg;
    Options m_options;
    SampleRings m_rings;
    QHash<Key, Track> m_tracks;                     // its probes and state
    QHash<QString, quint32> m_watches;              // site -> its watch; absent: 0
    quint64 m_sizedFor = ~quint64(0);               // the table generation m_tracks was reserved for
    std::map<QString, State> m_locations;           // site -> indicator state; absent: waiting
    EventLog m_log;
    bool m_loaded = false;
    bool m_started = false;
    bool m_shutDown = false;
    bool m_toldWrite = false;
    bool m_toldDropped = false;
    QThread m_thread;
    QObject *m_anchor = nullptr; // lives in m_thread: the context lines are written in
    std::unique_ptr<HistoryWriter> m_writer;
    std::shared_ptr<std::atomic<int>> m_pending = std::make_shared<std::atomic<int>>(0);
};

} // namespace qos
