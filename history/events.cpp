#include "history/events.h"

#include "store/model.h"

#include <QDate>
#include <QDateTime>
#include <algorithm>
#include <array>
#include <climits>
#include <utility>

namespace qos {
namespace {

constexpr qint64 MsPerDay = 86400000;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
qint64 DaysFromCivil(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

// Digits at text[at, at + n) as a number; -1 when one is not a digit.
int Digits(QByteArrayView text, qsizetype at, int n)
{
    int value = 0;
    for (int i = 0; i < n; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// "YYYY-MM-DDTHH:MM:SS.mmmZ" or "YYYY-MM-DDTHH:MM:SSZ", the forms this program writes.
std::optional<qint64> ParseOwnTime(QByteArrayView t)
{
    const bool withMs = t.size() == 24;
    if (!withMs && t.size() != 20)
        return std::nullopt;
    if (t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' || t[16] != ':' || t.back() != 'Z' ||
        (withMs && t[19] != '.'))
        return std::nullopt;
    const int y = Digits(t, 0, 4), mo = Digits(t, 5, 2), d = Digits(t, 8, 2);
    const int h = Digits(t, 11, 2), mi = Digits(t, 14, 2), s = Digits(t, 17, 2);
    const int ms = withMs ? Digits(t, 20, 3) : 0;
    if (y < 0 || !QDate::isValid(y, mo, d) || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59 ||
        ms < 0)
        return std::nullopt;
    return DaysFromCivil(y, unsigned(mo), unsigned(d)) * MsPerDay + ((h * 60 + mi) * 60 + s) * 1000LL + ms;
}

bool NeedsQuotes(const QString &text)
{
    if (text.isEmpty())
        return false;
    if (text.front() == u' ' || text.back() == u' ')
        return true;
    for (QChar c : text)
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n')
            return true;
    return false;
}

// Milliseconds with three decimals, from microseconds.
QByteArray FormatMs(qint64 us)
{
    QByteArray frac = QByteArray::number(us % 1000);
    return QByteArray::number(us / 1000) + '.' + QByteArray(3 - frac.size(), '0') + frac;
}

std::optional<qint64> ParseRoundTrip(QByteArrayView text)
{
    if (text.isEmpty())
        return qint64(-1);
    bool ok = false;
    const double ms = text.toDouble(&ok);
    if (!ok || !(ms >= 0) || ms > 2.0e6) // NaN fails the comparison
        return std::nullopt;
    return qint64(ms * 1000.0 + 0.5);
}

} // namespace

// ---- Lines ----

QByteArray HistoryHeader()
{
    return QByteArrayLiteral("time,location,address,old state,new state,status,round-trip ms\r\n");
}

QByteArray CsvField(const QString &text)
{
    const QByteArray bytes = text.toLatin1();
    if (!NeedsQuotes(text))
        return bytes;
    QByteArray quoted = bytes;
    quoted.replace('"', QByteArrayLiteral("\"\""));
    return '"' + quoted + '"';
}

QByteArray FormatChange(const ChangeRecord &c)
{
    QByteArray line = FormatUtcTime(c.timeMs);
    for (const QString &field : {c.location, c.address, StateName(c.from), StateName(c.to), c.status})
        line += ',' + CsvField(field);
    line += ',';
    if (c.roundTripUs >= 0)
        line += FormatMs(c.roundTripUs);
    return line + "\r\n";
}

namespace {

// Calls field(view) for each field of record in order; a field with doubled quotes is unescaped into
// scratch first. False when the quoting is broken or field says stop.
template <class Field> bool ForEachCsvField(QByteArrayView record, QByteArray &scratch, Field &&field)
{
    qsizetype i = 0;
    const qsizetype n = record.size();
    for (;;) {
        QByteArrayView value;
        if (i < n && record[i] == '"') {
            const qsizetype begin = ++i;
            bool doubled = false;
            for (;; ++i) {
                if (i >= n)
                    return false; // the quote never closes
                if (record[i] != '"')
                    continue;
                if (i + 1 < n && record[i + 1] == '"') {
                    doubled = true;
                    ++i;
                    continue;
                }
                break;
            }
            value = record.sliced(begin, i - begin);
            ++i; // the closing quote
            if (i < n && record[i] != ',')
                return false; // text after the closing quote
            if (doubled) {
                scratch = value.toByteArray().replace(QByteArrayLiteral("\"\""), QByteArrayLiteral("\""));
                value = scratch;
            }
        } else {
            qsizetype end = record.indexOf(',', i);
            if (end < 0)
                end = n;
            value = record.sliced(i, end - i);
            if (value.contains('"'))
                return false;
            i = end;
        }
        if (!field(value))
            return false;
        if (i >= n)
            return true;
        ++i; // the comma
    }
}

} // namespace

std::optional<QList<QByteArray>> SplitCsvRecord(QByteArrayView record)
{
    QList<QByteArray> fields;
    QByteArray scratch;
    if (!ForEachCsvField(record, scratch, [&fields](QByteArrayView f) {
            fields << f.toByteArray();
            return true;
        }))
        return std::nullopt;
    return fields;
}

bool ParseChangeFields(QByteArrayView record, ChangeFields &out)
{
    std::array<QByteArrayView, 7> f;
    int count = 0;
    QByteArray scratch;
    const bool split = ForEachCsvField(record, scratch, [&](QByteArrayView v) {
        if (count == 7)
            return false;
        if (v.data() == scratch.constData()) { // keep it apart from the next field's unescaping
            out.scratch[size_t(count)] = std::exchange(scratch, {});
            v = out.scratch[size_t(count)];
        }
        f[size_t(count++)] = v;
        return true;
    });
    if (!split || count != 7)
        return false;
    const auto time = ParseUtcTime(f[0]);
    const auto from = StateFromName(f[3]);
    const auto to = StateFromName(f[4]);
    const auto roundTrip = ParseRoundTrip(f[6]);
    if (!time || !from || !to || !roundTrip || *to == State::Unknown)
        return false;
    const bool addressLine = !f[2].isEmpty();
    if (IsAddressState(*to) != addressLine ||
        (*from != State::Unknown && IsAddressState(*from) != addressLine))
        return false;
    out.timeMs = *time;
    out.location = f[1];
    out.address = f[2];
    out.status = f[5];
    out.from = *from;
    out.to = *to;
    out.roundTripUs = *roundTrip;
    return true;
}

std::optional<ChangeRecord> ParseChange(QByteArrayView record)
{
    ChangeFields f;
    if (!ParseChangeFields(record, f))
        return std::nullopt;
    return ChangeRecord{f.timeMs,
                        QString::fromLatin1(f.location),
                        QString::fromLatin1(f.address),
                        f.from,
                        f.to,
                        QString::fromLatin1(f.status),
                        f.roundTripUs};
}

QByteArray FormatUtcTime(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs).toLatin1();
}

std::optional<qint64> ParseUtcTime(QByteArrayView text)
{
    if (const auto own = ParseOwnTime(text))
        return own;
    const QDateTime t = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs);
    if (!t.isValid())
        return std::nullopt;
    return t.toMSecsSinceEpoch();
}

// ---- The log ----

EventLog::EventLog(qsizetype capacity)
    : m_capacity(qMax<qsizetype>(1, capacity))
{}

quint32 EventLog::intern(const QString &text)
{
    const QString key = AddressKey(text);
    const auto it = m_ids.constFind(key);
    if (it != m_ids.constEnd())
        return *it;
    const quint32 id = quint32(m_names.size());
    m_names << text;
    m_ids.insert(key, id);
    return id;
}

std::optional<quint32> EventLog::idOf(const QString &text) const
{
    const auto it = m_ids.constFind(AddressKey(text));
    if (it == m_ids.constEnd())
        return std::nullopt;
    return *it;
}

void EventLog::add(const ChangeRecord &c)
{
    HistoryEvent e;
    e.timeMs = c.timeMs;
    e.location = intern(c.location);
    e.address = intern(c.address);
    e.status = intern(c.status);
    e.roundTripUs = qint32(qBound(qint64(-1), c.roundTripUs, qint64(INT_MAX)));
    e.from = c.from;
    e.to = c.to;
    add(e);
}

void EventLog::add(const HistoryEvent &e)
{
    m_events << e;
    // The front goes in batches, so adding stays cheap at the capacity.
    if (m_events.size() > m_capacity + m_capacity / 8)
        trim();
}

ChangeRecord EventLog::record(const HistoryEvent &e) const
{
    return {e.timeMs, text(e.location), text(e.address), e.from, e.to, text(e.status), e.roundTripUs};
}

void EventLog::append(const EventLog &later)
{
    m_events.reserve(size() + later.size());
    for (HistoryEvent e : later.m_events) {
        e.location = intern(later.text(e.location));
        e.address = intern(later.text(e.address));
        e.status = intern(later.text(e.status));
        m_events << e;
    }
    settle();
}

void EventLog::settle()
{
    const auto earlier = [](const HistoryEvent &a, const HistoryEvent &b) { return a.timeMs < b.timeMs; };
    if (!std::is_sorted(m_events.cbegin(), m_events.cend(), earlier))
        std::stable_sort(m_events.begin(), m_events.end(), earlier);
    trim();
}

void EventLog::trim()
{
    if (m_events.size() > m_capacity)
        m_events.remove(0, m_events.size() - m_capacity);
    // Texts only dropped events used go once they could be half of all: rarely, as names repeat.
    if (m_names.size() > 2 * m_liveNames + 1024)
        rebuildNames();
}

// Texts only the dropped events used go too, so the names stay bounded with the events.
void EventLog::rebuildNames()
{
    QStringList names{QString()};
    QHash<QString, quint32> ids{{QString(), 0}};
    auto reintern = [&](quint32 &id) {
        const QString &t = m_names.at(id);
        const QString key = AddressKey(t);
        auto it = ids.constFind(key);
        if (it == ids.constEnd()) {
            it = ids.insert(key, quint32(names.size()));
            names << t;
        }
        id = *it;
    };
    for (HistoryEvent &e : m_events) {
        reintern(e.location);
        reintern(e.address);
        reintern(e.status);
    }
    m_names = std::move(names);
    m_ids = std::move(ids);
    m_liveNames = m_names.size();
    ++m_namesGeneration;
}

} // namespace qos
