#pragma once
// What the history suites share: a fixed start time, probe outcomes and text lists.
#include "monitor/addressprobe.h"

#include <QStringList>
#include <initializer_list>

namespace qos::test {

inline constexpr qint64 T0 = 1714572000000; // 2024-05-01T14:00:00Z
inline constexpr qint64 Min = 60000;

// One echo answered in 0.5 ms, or four echoes that timed out.
inline AddressOutcome Outcome(bool answered)
{
    AddressOutcome o;
    o.attempts = o.echoes = answered ? 1 : 4;
    o.answered = answered;
    o.status = answered ? StatusReply : StatusTimedOut;
    o.roundTripUs = answered ? 500 : -1;
    return o;
}

inline QStringList Texts(std::initializer_list<const char *> texts)
{
    QStringList list;
    for (const char *t : texts)
        list << QString::fromLatin1(t);
    return list;
}

} // namespace qos::test
