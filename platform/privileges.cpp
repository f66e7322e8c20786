#include "platform/privileges.h"

#include <cerrno>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qos {
namespace {

// Removes every capability from the bounding set; false when the process may not (no CAP_SETPCAP).
bool clearBoundingSet()
{
    // PR_CAPBSET_READ fails with EINVAL past the last capability this kernel knows.
    for (unsigned long cap = 0; ::prctl(PR_CAPBSET_READ, cap, 0, 0, 0) >= 0; ++cap) {
        if (::prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0)
            return false;
    }
    return true;
}

} // namespace

CapabilityDrop DropAllCapabilities()
{
    CapabilityDrop result;
    // Ambient first: it needs no privilege, and kernels before 4.3 have no ambient set (EINVAL).
    if (::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0 && errno != EINVAL) {
        result.error = errno;
        return result;
    }
    // The bounding set before the others: dropping from it needs CAP_SETPCAP in the effective set.
    result.boundingCleared = clearBoundingSet();
    __user_cap_header_struct header{};
    header.version = _LINUX_CAPABILITY_VERSION_3;
    header.pid = 0; // this thread
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capset, &header, data) != 0)
        result.error = errno;
    return result;
}

} // namespace qos
