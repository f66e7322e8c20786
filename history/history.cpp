#include "history/history.h"

#include "store/model.h"
#include "store/text.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QSet>
#include <climits>
#include <utility>

namespace qos {
namespace {

// How long the end of the program waits for the last lines to reach the file.
constexpr int ShutdownWaitMs = 5000;

QString LocationStatus(const LocationRecord &rec, State state)
{
    return IsDown(state) ? rec.holdbad.join(QLatin1Char(',')) : QString();
}

} // namespace

History::History(QString folder, const Configuration &cfg, Options options, QObject *parent)
    : QObject(parent)
    , m_folder(std::move(folder))
    , m_cfg(cfg)
    , m_options(std::move(options))
    , m_log(m_options.capacity)
    , m_anchor(new QObject)
    , m_writer(std::make_unique<HistoryWriter>(m_folder, m_options.rotateBytes))
{
    m_thread.setObjectName(QStringLiteral("history"));
    m_anchor->moveToThread(&m_thread);
}

History::History(QString folder, const Configuration &cfg, QObject *parent)
    : History(std::move(folder), cfg, Options{}, parent)
{}

History::~History()
{
    shutdown();
}

qint64 History::now() const
{
    return m_options.clock ? m_options.clock() : QDateTime::currentMSecsSinceEpoch();
}

void History::start()
{
    if (m_started || m_shutDown)
        return;
    m_started = true;
    m_thread.start(QThread::LowPriority);
    HistoryWriter *writer = m_writer.get();
    QMetaObject::invokeMethod(
        m_anchor,
        [this, writer, folder = m_folder, capacity = m_options.capacity] {
            auto loaded = std::make_shared<LoadedHistory>(LoadHistory(folder, capacity));
            writer->setFound(loaded->current, loaded->previous);
            // We outlive the worker: the destructor waits for it.
            QMetaObject::invokeMethod(
                this, [this, loaded] { onLoaded(loaded); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void History::shutdown()
{
    if (m_shutDown)
        return;
    const qint64 t = now();
    for (const auto &[site, state] : m_locations)
        change(site, {}, state, State::Waiting, QStringLiteral("program ended"), -1, t);
    m_locations.clear();
    m_shutDown = true;
    stopWorker();
}

void History::stopWorker()
{
    if (m_thread.isRunning()) {
        // Queued behind every line still waiting, so they are all written first.
        QMetaObject::invokeMethod(
            m_anchor, [thread = &m_thread] { thread->quit(); }, Qt::QueuedConnection);
        if (!m_thread.wait(QDeadlineTimer(ShutdownWaitMs))) {
            // A disk that hangs must not keep the program from ending; what waits is lost.
            m_thread.terminate();
            m_thread.wait();
        }
    }
    delete m_anchor;
    m_anchor = nullptr;
}

std::optional<SampleRing> History::ring(const QString &site, const QString &address) const
{
    const auto t = m_tracks.constFind(Key(site, AddressKey(address)));
    if (t == m_tracks.constEnd())
        return std::nullopt;
    return m_rings.ring(t->ring);
}

LinkSummary History::summary(const QString &site, const QString &address) const
{
    const std::optional<SampleRing> r = ring(site, address);
    return r ? Summarise(*r) : LinkSummary{};
}

// ---- Recording ----

void History::recordProbe(int k, const QString &entry, const AddressOutcome &outcome)
{
    if (k < 1 || k > m_cfg.table.LocationCount() || outcome.attempts == 0)
        return; // no attempt: nothing was learnt
    const QString address = TrimSpaces(entry);
    if (address.isEmpty())
        return;
    const QString &site = m_cfg.table[k].site;
    // Sized once for the table: a table grown one address at a time would leave the memory of
    // every smaller size behind.
    if (std::exchange(m_sizedFor, m_cfg.generation) != m_cfg.generation)
        m_tracks.reserve(qMax(m_tracks.size(), AddressCount(m_cfg.table)));
    Track &track = m_tracks[Key(site, AddressKey(address))];
    if (track.ring < 0)
        track.ring = m_rings.add();
    if (const quint32 watch = m_watches.value(site); track.watch != watch) {
        track.watch = watch;
        track.state = State::Unknown;
    }
    Sample s;
    s.timeMs = now();
    s.answered = outcome.answered;
    s.roundTripUs = outcome.answered ? qint32(qBound(qint64(-1), outcome.roundTripUs, qint64(INT_MAX))) : -1;
    s.status = outcome.status;
    s.echoes = quint16(qBound(0, outcome.echoes, 0xFFFF));
    m_rings.push(track.ring, s);
    const State to = outcome.answered ? State::Answering : State::NotAnswering;
    if (to != track.state) {
        const State from = std::exchange(track.state, to);
        change(site, address, from, to, outcome.statusText(), s.roundTripUs, s.timeMs);
    }
    Q_EMIT sampleAdded(site, address);
}

void History::recordIndicator(int k)
{
    if (k < 1 || k > m_cfg.table.LocationCount() || m_shutDown)
        return;
    const LocationRecord &rec = m_cfg.table[k];
    const State to = StateOf(rec.center);
    const auto known = m_locations.find(rec.site);
    const State from = known == m_locations.end() ? State::Waiting : known->second;
    if (to == from)
        return;
    if (to == State::Waiting)
        m_locations.erase(rec.site);
    else
        m_locations.insert_or_assign(rec.site, to);
    if (to == State::Waiting || to == State::Disabled) {
        // Not watched any more: what its addresses do next is news again.
        ++m_watches[rec.site];
    }
    change(rec.site, {}, from, to, LocationStatus(rec, to), -1, now());
}

void History::retain()
{
    const TableAddresses wanted(m_cfg.table);
    m_tracks.removeIf([this, &wanted](QHash<Key, Track>::iterator track) {
        if (wanted.holds(track.key().first, track.key().second))
            return false;
        m_rings.remove(track->ring);
        return true;
    });
    m_watches.removeIf(
        [&wanted](QHash<QString, quint32>::iterator watch) { return !wanted.holds(watch.key()); });
    const qint64 t = now();
    for (auto it = m_locations.begin(); it != m_locations.end();) {
        if (wanted.holds(it->first)) {
            ++it;
            continue;
        }
        change(it->first, {}, it->second, State::Waiting, QStringLiteral("location removed"), -1, t);
        it = m_locations.erase(it);
    }
    for (int k = 1; k <= m_cfg.table.LocationCount(); ++k)
        recordIndicator(k);
}

void History::change(const QString &site, const QString &address, State from, State to, const QString &status,
                     qint64 roundTripUs, qint64 timeMs)
{
    const ChangeRecord c{timeMs, site, address, from, to, status, roundTripUs};
    m_log.add(c);
    post(FormatChange(c));
    Q_EMIT eventAdded(site);
    Q_EMIT changed(c);
}

// ---- The worker ----

void History::post(const QByteArray &line)
{
    if (!m_anchor)
        return;
    if (m_pending->load() >= MaxPendingLines) {
        if (!std::exchange(m_toldDropped, true))
            Q_EMIT problem(QStringLiteral("The history file %1 is not keeping up; changes are kept in memory "
                                          "only until it does. Monitoring goes on.")
                               .arg(QLatin1String(HistoryFileName)));
        return;
    }
    ++*m_pending;
    HistoryWriter *writer = m_writer.get();
    QMetaObject::invokeMethod(
        m_anchor,
        [this, writer, line, pending = m_pending] {
            const qos::Status status = writer->append(line);
            --*pending;
            if (!status.ok())
                QMetaObject::invokeMethod(
                    this, [this, status] { onWritten(status); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void History::onWritten(const qos::Status &status)
{
    // A file that is not ours was told about when it was read.
    if (status.ok() || status.kind == qos::Status::Kind::Refused || std::exchange(m_toldWrite, true))
        return;
    Q_EMIT problem(QStringLiteral("The history file %1 cannot be written: %2\nMonitoring goes on; changes "
                                  "that cannot be written are kept in memory only.")
                       .arg(QLatin1String(HistoryFileName), status.error));
}

void History::onLoaded(const std::shared_ptr<LoadedHistory> &loaded)
{
    EventLog &earlier = *loaded->log;
    closeLoadedLocations(*loaded);
    if (earlier.size() > 0) {
        earlier.append(m_log); // this run's few events behind the file's many
        m_log = std::move(earlier);
    } else {
        m_log.settle(); // this run's events are all there are: they stay where they are, ids and all
    }
    m_loaded = true;
    if (!loaded->warning.isEmpty())
        Q_EMIT problem(loaded->warning);
    Q_EMIT logLoaded();
}

// A location the earlier run left in some other state than waiting (it did not end properly) gets
// its line to waiting at the last time that run is known to have been alive.
void History::closeLoadedLocations(LoadedHistory &loaded)
{
    EventLog &earlier = *loaded.log;
    if (earlier.size() == 0)
        return;
    const qint64 end = earlier.events().back().timeMs;
    for (const auto &[site, state] : loaded.lastLocationStates) {
        if (state == State::Waiting || m_log.idOf(site))
            continue; // ended properly, or this run has told its state already
        const ChangeRecord c{end, site, {}, state, State::Waiting, QStringLiteral("program ended"), -1};
        earlier.add(c);
        post(FormatChange(c));
    }
}

} // namespace qos
