#pragma once
#include "store/model.h"

#include <QString>

namespace qos {

// How a location's indicator changed, for what alerts and notifications tell: between an offline
// colour and one that is not (offline and partly down are the offline colours), or into and out of
// slow. None otherwise.
enum class Turn { None, Offline, Back, Slow, NotSlow };

// The alert operations the monitor cycle and the List View's pings call.
class AlertSink {
public:
    virtual ~AlertSink() = default;
    virtual void ShowAttention() = 0;  // acts only when the attention picture is not up
    virtual void ClearAttention() = 0; // acts only when it is up
    virtual void PlayAlertSound() = 0;
    virtual void PlayOnlineSound() = 0;
    // "Acknowledge": a sound still playing ends. Nothing by default.
    virtual void Silence() {}
    // The monitor cycle's location rec has just turned (never Turn::None): what the desktop
    // notification of the run tells. figures: for Turn::Slow, what made it slow. Nothing by default.
    virtual void LocationTurned(const LocationRecord &rec, Turn turn, const QString &figures)
    {
        Q_UNUSED(rec);
        Q_UNUSED(turn);
        Q_UNUSED(figures);
    }
    // In the same cycle, one more location behind cause (the location it is reached through, or
    // further up) turned unreachable. Nothing by default.
    virtual void LocationBehindUnreachable(const LocationRecord &cause) { Q_UNUSED(cause); }
};

} // namespace qos
