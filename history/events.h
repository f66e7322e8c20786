#pragma once
// State changes of locations and addresses, kept in memory and written as lines of the history file.
//
// Invariants:
//  - A state is written as its word (StateName in monitor/states.h, shared with the metrics, with
//    the change record); Unknown, only ever an old state (an address's first outcome since its
//    location was started), as an empty field.
//  - A line is one CSV record: time (UTC, ISO-8601 with milliseconds), location, address (empty for
//    the location itself), old state, new state, status text, round-trip ms (empty without a reply),
//    ending in CR LF. Fields are quoted exactly when they hold a comma, a quote, a line break or a
//    leading or trailing space; text is the file's single-byte text (Latin-1), as in graph.txt.
//  - EventLog keeps the newest of the events added, in the order they were added: its capacity, and up
//    to an eighth more until the next batch of the oldest goes. Names are interned
//    (one copy of each location, address and status text), id 0 is the empty text, and texts no kept
//    event uses are at most about as many as those in use.
#include "monitor/states.h"
#include "store/model.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace qos {

// The first line of every history file, with its CR LF.
QByteArray HistoryHeader();
// One quoted-as-needed CSV field.
QByteArray CsvField(const QString &text);
// The file line of a change, with its CR LF.
QByteArray FormatChange(const ChangeRecord &change);
// Splits one CSV record (without its line end) into fields; nothing when its quoting is broken.
std::optional<QList<QByteArray>> SplitCsvRecord(QByteArrayView record);

// A change record's fields as read, its texts still bytes of the record (or of its own scratch, for
// fields with doubled quotes): valid while the record and this object are.
struct ChangeFields {
    qint64 timeMs = 0;
    QByteArrayView location, address, status;
    State from = State::Unknown;
    State to = State::Unknown;
    qint64 roundTripUs = -1;
    std::array<QByteArray, 7> scratch;
};
// The change a record holds; false when a field is missing, extra or unreadable, or when its states
// do not fit its kind (location or address).
bool ParseChangeFields(QByteArrayView record, ChangeFields &out);
std::optional<ChangeRecord> ParseChange(QByteArrayView record);

// "2024-05-01T14:02:03.456Z".
QByteArray FormatUtcTime(qint64 ms);
// The ISO-8601 forms FormatUtcTime writes (fast) and others Qt reads; nothing when unreadable.
std::optional<qint64> ParseUtcTime(QByteArrayView text);

// A change as the log keeps it: texts by id.
struct HistoryEvent {
    qint64 timeMs = 0;
    quint32 location = 0;
    quint32 address = 0; // 0: the location itself
    quint32 status = 0;
    qint32 roundTripUs = -1;
    State from = State::Unknown;
    State to = State::Unknown;
};

class EventLog {
public:
    static constexpr qsizetype DefaultCapacity = 200000;
    explicit EventLog(qsizetype capacity = DefaultCapacity);

    // Appends a change; beyond the capacity the oldest events go.
    void add(const ChangeRecord &change);
    // The same with its texts interned already (ids are valid until namesGeneration() changes).
    void add(const HistoryEvent &event);
    quint32 intern(const QString &text);
    quint64 namesGeneration() const { return m_namesGeneration; }
    // Adds later events (this run's, after the file's) behind these, in time order, within capacity.
    void append(const EventLog &later);
    // In time order (stable; hand edits and clock changes may have mixed a file) and within capacity.
    void settle();

    qsizetype size() const { return m_events.size(); }
    const QList<HistoryEvent> &events() const { return m_events; }
    const QString &text(quint32 id) const { return m_names.at(id); }
    // The id of a text, if any event has used it.
    std::optional<quint32> idOf(const QString &text) const;
    ChangeRecord record(const HistoryEvent &event) const;
    qsizetype capacity() const { return m_capacity; }
    qsizetype nameCount() const { return m_names.size(); }

private:
    void trim();
    void rebuildNames();

    qsizetype m_capacity;
    QList<HistoryEvent> m_events;
    QStringList m_names{QString()};
    QHash<QString, quint32> m_ids{
        {QString(), 0}};       // by AddressKey: an IPv6 address has one id in all spellings
    qsizetype m_liveNames = 1; // texts in use at the last rebuild
    quint64 m_namesGeneration = 0;
};

} // namespace qos
