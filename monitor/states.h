#pragma once
// The words the monitor's observers share: the state of a location or an address, and one change of
// it. The history records changes, the metrics count them; neither needs the other for these.
//
// Invariants:
//  - A location's state is its indicator's legend word; an address's state is "answering" or
//    "not answering". Unknown (an empty word) is only ever an old state: an address's first outcome
//    since its location was started.
//  - StateName and StateFromName are inverse for every State.
#include "store/model.h"

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace qos {

enum class State : quint8 {
    Unknown,
    Waiting,
    Disabled,
    Online,
    OnlinePartial,
    Offline,
    OfflinePartial,
    Answering,
    NotAnswering,
    // Only with their keys in graph.txt; history files of older programs never hold them.
    Unreachable,
    PartlyDown,
    Slow,
};

// "waiting", "online(partial ignore)", "not answering", ...; "" for Unknown.
QString StateName(State state);
// The state a word names; nothing for a word that names none ("" gives Unknown).
std::optional<State> StateFromName(QByteArrayView word);
State StateOf(Indicator indicator);
bool IsAddressState(State state);
// Evaluated and found reachable: online (with or without ignored addresses), slow, or answering.
bool IsUp(State state);
// Evaluated and found failing: offline (with or without ignored addresses), unreachable, partly down,
// or not answering.
bool IsDown(State state);

// One change of a location or an address, with its texts.
struct ChangeRecord {
    qint64 timeMs = 0; // since the epoch, UTC
    QString location;
    QString address; // empty for the location itself
    State from = State::Unknown;
    State to = State::Unknown;
    QString status;
    qint64 roundTripUs = -1; // -1 without a reply
    bool operator==(const ChangeRecord &) const = default;
};

} // namespace qos
