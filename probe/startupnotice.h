#pragma once
// Tells the operator that this machine lets the program send no echo requests, and why.
//
// Invariants:
//  - At most one such box is open at a time: while one waits for OK, further notices are dropped.
//  - One instance is shared by every caller that probes (it is passed in, not global), so the
//    monitor cycle and the List View never stack their boxes either.
#include "platform/messagebox.h"
#include "probe/prober.h"

#include <memory>

namespace qos {

class StartupNotice {
public:
    explicit StartupNotice(MessageBoxes &boxes);

    // Shows text in a plain OK box unless such a box is still open; true when it was shown.
    bool show(const QString &text);
    bool isOpen() const { return *m_open; }

    // SocketsStartup as the callers use it: on failure shows the prober's start-up failure text
    // (unless a notice is open already) and returns false.
    bool startup(Prober &prober);

private:
    MessageBoxes &m_boxes;
    std::shared_ptr<bool> m_open = std::make_shared<bool>(false); // outlives us in the box's callback
};

} // namespace qos
