// SPDX-License-Identifier: MIT
#include "tools/capture/PrivilegeDrop.h"

#include <array>
#include <cerrno>
#include <grp.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
struct Identity
{
    uid_t realUser = 0;
    uid_t effectiveUser = 0;
    uid_t savedUser = 0;
    gid_t realGroup = 0;
    gid_t effectiveGroup = 0;
    gid_t savedGroup = 0;
};

bool readIdentity(Identity &identity)
{
    return getresuid(&identity.realUser, &identity.effectiveUser, &identity.savedUser) == 0
        && getresgid(&identity.realGroup, &identity.effectiveGroup, &identity.savedGroup) == 0;
}

bool holdsOnly(const Identity &identity, uid_t user, gid_t group)
{
    return identity.realUser == user && identity.effectiveUser == user && identity.savedUser == user
        && identity.realGroup == group && identity.effectiveGroup == group && identity.savedGroup == group;
}

using CapabilitySets = std::array<__user_cap_data_struct, _LINUX_CAPABILITY_U32S_3>;

bool readCapabilities(CapabilitySets &sets)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capget, &header, sets.data()) == 0;
}

// A file-capabilities install (or ambient capabilities handed down by the starter) gives
// capture rights without root; changing ids keeps them, so they are emptied explicitly.
bool clearCapabilities()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    CapabilitySets none{};
    return prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) == 0
        && syscall(SYS_capset, &header, none.data()) == 0;
}

bool holdsNoCapabilities()
{
    CapabilitySets sets{};
    if (!readCapabilities(sets))
        return false;
    for (const auto &set : sets) {
        if (set.effective != 0 || set.permitted != 0 || set.inheritable != 0)
            return false;
    }
    return true;
}
} // namespace

PrivilegeDrop PrivilegeDrop::failure(const char *step, int systemError)
{
    PrivilegeDrop result;
    result.m_failedStep = step;
    result.m_systemError = systemError;
    return result;
}

PrivilegeDrop PrivilegeDrop::toRealIds()
{
    Identity started;
    if (!readIdentity(started))
        return failure("reading user and group ids", errno);
    if (started.realUser == 0)
        return {};

    const uid_t user = started.realUser;
    const gid_t group = started.realGroup;
    // Only root may change supplementary groups; without root they are the user's own.
    if (started.effectiveUser == 0 && setgroups(0, nullptr) != 0)
        return failure("setgroups", errno);
    if (setresgid(group, group, group) != 0)
        return failure("setresgid", errno);
    if (setresuid(user, user, user) != 0)
        return failure("setresuid", errno);
    if (!clearCapabilities())
        return failure("clearing capabilities", errno);

    Identity now;
    if (!readIdentity(now))
        return failure("reading user and group ids", errno);
    if (!holdsOnly(now, user, group))
        return failure("ids did not change", 0);
    if (!holdsNoCapabilities())
        return failure("capabilities remain", 0);
    if (setuid(0) == 0 || (group != 0 && setgid(0) == 0))
        return failure("root could be regained", 0);
    return {};
}
