#include "probe/addressoutcome.h"

#include "probe/prober.h"

namespace qos {

QString AddressOutcome::statusText() const
{
    return told() ? ProbeStatusText(status) : QLatin1String(NotProbedText);
}

void AddressOutcome::add(const EchoResult &echo)
{
    static_cast<EchoResult &>(*this) = echo;
    if (echo.status == StatusInvalidHost) {
        ++lookupsFailed;
        return;
    }
    ++echoes;
    if (echo.status != StatusReply && echo.status != StatusTimedOut)
        ++errors;
    answered = echo.status == StatusReply;
}

} // namespace qos
