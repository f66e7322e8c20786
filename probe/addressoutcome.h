#pragma once
// What the attempts for one address came to: the monitor cycle, "Ping IP", "Ping All", the history
// and the metrics all read this one record.
//
// Invariants:
//  - status and roundTripUs are the last attempt's echo result (EchoResult); a start-up failure
//    leaves them as they were, so they mean nothing while neither an echo nor a look-up was tried.
//  - echoes counts only echo requests that were sent: an attempt whose name gave no address sent
//    nothing and counts in lookupsFailed instead, with status StatusInvalidHost.
//  - attempts = echoes + lookupsFailed + the attempts whose start-up failed.
#include "platform/echoresult.h"

#include <QString>

namespace qos {

// Shown for an address that no echo request went to (no attempts, or start-up failed on each).
inline constexpr char NotProbedText[] = "NOT PROBED";

struct AddressOutcome : EchoResult {
    bool answered = false;
    int attempts = 0;      // attempts begun, start-up failures included
    int echoes = 0;        // echo requests sent
    int errors = 0;        // echoes that ended in an error, neither a reply nor a timeout
    int lookupsFailed = 0; // attempts on which the name gave no address, so nothing was sent
    QString resolved;      // the address text the last attempt's look-up gave ("" for none)

    bool probed() const { return echoes > 0; }
    // The name never gave an address: nothing was sent, and the address counts as failing.
    bool unresolved() const { return echoes == 0 && lookupsFailed > 0; }
    // Some echo or look-up was tried, so the outcome has a status word of its own.
    bool told() const { return probed() || lookupsFailed > 0; }
    // The text the List View shows for this outcome.
    QString statusText() const;

    // Takes in the result of one attempt's echo: an answer, or StatusInvalidHost when the text to
    // probe named no address and nothing went out.
    void add(const EchoResult &echo);
};

} // namespace qos
