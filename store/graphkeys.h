#pragma once
// The keys of graph.txt and how one line of the file is read.
//
// Invariants:
//  - Keys are tested in the order of Key: the first one found anywhere in a line decides what the line
//    is, and its value is the text after the line's first n characters, n being that key's length.
//  - Only the space character is trimmed; a line holding "---------" anywhere is a separator.
#include <QByteArrayView>

#include <optional>

namespace qos {

enum class Key {
    SiteId,
    SiteIp,
    SiteLeft,
    Disabled,
    Ignore,
    PingTimeout,
    PingInterval,
    PingPackets,
    AlertWav,
    OnlineWav,
    IconText,
    SiteTop,
    // Later additions, last: a line that also holds an older key stays what older programs read it as.
    PingInFlight,
    Notifications,
    OfflineCycles,
    Metrics,
    AddressHistograms,
    Parent,
    Partial,
    SlowMs,
    SlowLoss,
    Shapes,
};

// How many keys there are: Key(0) .. Key(KeyCount() - 1).
int KeyCount();
// The key's text including its "=", e.g. "SITEID=".
QByteArrayView KeyText(Key key);

struct KeyedLine {
    Key key;
    QByteArrayView value; // points into the line passed in
};

// What the loader makes of one line (without its line end): nothing for separator lines and lines
// without a key.
std::optional<KeyedLine> ReadKeyedLine(QByteArrayView line);

} // namespace qos
