#pragma once

namespace qos {

// The alert operations the monitor cycle and the List View's pings call.
class AlertSink {
public:
    virtual ~AlertSink() = default;
    virtual void ShowAttention() = 0;  // acts only when the attention picture is not up
    virtual void ClearAttention() = 0; // acts only when it is up
    virtual void PlayAlertSound() = 0;
    virtual void PlayOnlineSound() = 0;
};

} // namespace qos
