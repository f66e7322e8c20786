#pragma once
#include "store/model.h"

namespace qos {

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
    // The monitor cycle's location rec has just turned offline, or come back online from offline:
    // what the desktop notification of the run tells. Nothing by default.
    virtual void LocationTurned(const LocationRecord &rec, bool offline)
    {
        Q_UNUSED(rec);
        Q_UNUSED(offline);
    }
};

} // namespace qos
