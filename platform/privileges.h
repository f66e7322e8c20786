#pragma once
// Giving up the process's capabilities once it holds what it needed them for.
//
// Invariants:
//  - After a drop that reports no error, the calling thread's permitted, effective, inheritable and
//    ambient sets are empty, so nothing it runs later (plugins, libraries, programs it starts) can
//    use a capability; threads it starts afterwards inherit the empty sets.
//  - Capabilities belong to threads: the drop covers the whole process only while it has a single
//    thread, that is at the very start of main().
//  - The bounding set is emptied too where the process may do so (CAP_SETPCAP, as root); elsewhere
//    it stays as it was, which is harmless once the other sets are empty.
namespace qos {

struct CapabilityDrop {
    int error = 0;                // errno of the call that failed to empty the sets; 0 when they are
    bool boundingCleared = false; // the bounding set was emptied as well
};

CapabilityDrop DropAllCapabilities();

} // namespace qos
