#pragma once
// The in-memory configuration: main settings and the location table.
//
// Invariants:
//  - records[0] is a template slot and never a location; locations are 1..LocationCount() in file order.
//  - Text values hold the file's bytes one char per byte (Latin-1 decoding), so writing them back
//    with toLatin1() reproduces the file byte for byte.
//  - An AddressList is one text; entries are split at every "," without trimming, and an empty
//    text has no entries.
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace qos {

// Colour of a location's state indicator, in the legend's order. The widget layer maps these to RGB.
// The last three come only with their keys: unreachable (PARENT=), partly down (PARTIAL=), slow
// (SLOWMS=, SLOWLOSS=).
enum class Indicator { White, Black, Green, Cyan, Red, DarkRed, Unreachable, PartlyDown, Slow };

// Addresses probed at once when graph.txt has no PINGINFLIGHT line. A silent address holds its
// place for PINGPACKETS x PINGTIMEOUT while echoes leave at 32 a millisecond, so a cycle reaches its
// floor (that time plus the pacing) while the silent addresses sent within one such span fit:
// 16384 holds the 6400 of a fifth of 50,000 addresses silent at one packet of 1000 ms with room to
// spare, and the cycle's sweep and "Ping All"'s, each with as many cancelled echoes still waiting
// out their timeout, stay within the 65536 sequence numbers of the one socket.
inline constexpr qint16 kDefaultPingInFlight = 16384;

struct MainSettings {
    qint16 PINGTIMEOUT = 0;                     // ms per echo request
    qint16 PINGINTERVAL = 0;                    // minutes between monitor cycles
    qint16 PINGPACKETS = 0;                     // echo attempts per address per cycle
    qint16 PINGINFLIGHT = kDefaultPingInFlight; // addresses probed at once; 1 = one at a time
    QString ALERTWAV;                           // bare file name in the program folder; empty = default beeps
    QString ONLINEWAV;
    QString ICONTEXT = QStringLiteral("QOR Online Status");
    // Not in files written before these settings existed; absent means the values here.
    qint16 NOTIFICATIONS = 1;     // 0 = no desktop notifications, any other number = notifications
    qint16 OFFLINECYCLES = 1;     // cycles in a row that must find a location failing before it is offline
    QString METRICS;              // HOST:PORT the metrics endpoint listens on; empty = no endpoint
    qint16 ADDRESSHISTOGRAMS = 0; // 0 = round-trip histograms per location only, else per address too
    qint16 PARTIAL = 0;  // 1 = a location with some, not all, monitored addresses failing is partly down
    qint16 SLOWMS = 0;   // a median round trip above this many ms makes an answering location slow; 0 = off
    qint16 SLOWLOSS = 0; // a loss above this percentage makes an answering location slow; 0 = off
    qint16 SHAPES = 0;   // 1 = each state also has its own glyph, and texts use readable colour pairs
};

struct LocationRecord {
    QString site; // display name, the marker caption
    float left = 0;
    float top = 0;
    QString siteip;       // AddressList of monitored addresses
    QString ignore;       // AddressList of ignored addresses
    QString sitedisabled; // "1" = disabled, any other text = enabled
    QString parent;       // the name of the location it is reached through; empty = none
    // Run-time state, never written to the file.
    QStringList holdbad; // whole addresses that failed in the latest failing evaluation, in order
    QString flash = QStringLiteral("0"); // "1" while the location is offline
    Indicator center = Indicator::White;
    int failingCycles = 0; // monitor cycles in a row that found failing addresses here
};

struct LocationTable {
    QList<LocationRecord> records{LocationRecord{}}; // [0] = template slot

    int LocationCount() const { return int(records.size()) - 1; }
    LocationRecord &operator[](int k) { return records[k]; }
    const LocationRecord &operator[](int k) const { return records[k]; }
    void clear() { records.resize(1); }
};

// Everything loaded from graph.txt, shared by all windows.
struct Configuration {
    MainSettings settings;
    LocationTable table;
    // Bumped each time the table is loaded anew; work that holds location indexes across event-loop
    // turns compares it to know its indexes are stale.
    quint64 generation = 0;
};

// Highest number of locations: the sorted name table of the menu has 10000 slots, slot 0 unused.
inline constexpr int MaxLocations = 9999;

// Lowest index 1..LocationCount whose `site` equals name, both with spaces trimmed; 0 when none.
int FindLocationByName(const LocationTable &table, const QString &name);

QString AddressKey(const QString &entry);

// The locations of a table and the trimmed entries of their address lists (by AddressKey): what the services
// that keep something per location or address (history, metrics) keep when the table changes.
class TableAddresses {
public:
    explicit TableAddresses(const LocationTable &table);
    bool holds(const QString &site) const { return m_sites.contains(site); }
    bool holds(const QString &site, const QString &address) const
    {
        return m_addresses.contains({site, AddressKey(address)});
    }

private:
    QSet<QString> m_sites;
    QSet<std::pair<QString, QString>> m_addresses;
};

// The entries of every location's address list: how many addresses the services may come to keep
// something for (counted without splitting the lists).
qsizetype AddressCount(const LocationTable &table);

// AddressList helpers.
QStringList SplitAddressList(const QString &list);   // split at every ",", no trimming; "" -> {}
QString JoinAddressList(const QStringList &entries); // canonical join with ","

// An entry that looks like an IPv6 literal (it holds a ":") in one spelling: lower case, zeros
// compressed, its zone kept as written; any other entry as it is. Two spellings of one address
// have one key; the file keeps the text as written.
QString AddressKey(const QString &entry);
// Whether a and b name the same address (equal texts, or two spellings of one IPv6 address).
bool SameAddress(const QString &a, const QString &b);
// Whether list holds entry (by SameAddress); an empty entry is in no list.
bool ContainsAddress(const QStringList &list, const QString &entry);
// Entries written as IPv6 literals (two ":" or more, only letters, digits, ":" and ".") that are
// no IPv6 address, as written.
QStringList InvalidIpv6Literals(const QStringList &entries);

} // namespace qos
