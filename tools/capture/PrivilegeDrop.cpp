#include "tools/capture/PrivilegeDrop.h"

#include <cerrno>
#include <grp.h>
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

bool readIdentity(Identity& identity)
{
    return getresuid(&identity.realUser, &identity.effectiveUser, &identity.savedUser) == 0
        && getresgid(&identity.realGroup, &identity.effectiveGroup, &identity.savedGroup) == 0;
}

bool holdsOnly(const Identity& identity, uid_t user, gid_t group)
{
    return identity.realUser == user && identity.effectiveUser == user && identity.savedUser == user
        && identity.realGroup == group && identity.effectiveGroup == group
        && identity.savedGroup == group;
}
} // namespace

PrivilegeDrop PrivilegeDrop::failure(const char* step, int systemError)
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

    Identity now;
    if (!readIdentity(now))
        return failure("reading user and group ids", errno);
    if (!holdsOnly(now, user, group))
        return failure("ids did not change", 0);
    if (setuid(0) == 0 || (group != 0 && setgid(0) == 0))
        return failure("root could be regained", 0);
    return {};
}
