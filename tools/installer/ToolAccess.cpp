// SPDX-License-Identifier: MIT
// Runs as root; never trust its input.
#include "tools/installer/ToolAccess.h"

#include <cerrno>

#include <acl/libacl.h>
#include <unistd.h>

namespace {

constexpr unsigned kRead = 4;
constexpr unsigned kWrite = 2;
constexpr unsigned kExecute = 1;
constexpr mode_t kEveryoneMode = 04555;
constexpr mode_t kGroupMode = 04750;
constexpr mode_t kSetUserId = S_ISUID;

// Nobody but the owner writes; whoever may execute may read; the owner (root) may always run
// it. The same rule for a class of the mode and for an entry of the ACL, so the two agree.
unsigned safeRights(unsigned rights, bool owner)
{
    if (!owner)
        rights &= ~kWrite;
    if ((rights & kExecute) != 0)
        rights |= kRead;
    return owner ? rights | kRead | kExecute : rights;
}

mode_t safeMode(mode_t mode)
{
    const auto classBits = [mode](int shift, bool owner) {
        return static_cast<mode_t>(safeRights((mode >> shift) & 7u, owner) << shift);
    };
    return S_ISUID | classBits(6, true) | classBits(3, false) | classBits(0, false);
}

unsigned rightsOf(acl_entry_t entry)
{
    acl_permset_t permissions = nullptr;
    if (acl_get_permset(entry, &permissions) != 0)
        return 0;
    return (acl_get_perm(permissions, ACL_READ) == 1 ? kRead : 0u)
        | (acl_get_perm(permissions, ACL_WRITE) == 1 ? kWrite : 0u)
        | (acl_get_perm(permissions, ACL_EXECUTE) == 1 ? kExecute : 0u);
}

bool setRights(acl_entry_t entry, unsigned rights)
{
    acl_permset_t permissions = nullptr;
    return acl_get_permset(entry, &permissions) == 0 && acl_clear_perms(permissions) == 0
        && ((rights & kRead) == 0 || acl_add_perm(permissions, ACL_READ) == 0)
        && ((rights & kWrite) == 0 || acl_add_perm(permissions, ACL_WRITE) == 0)
        && ((rights & kExecute) == 0 || acl_add_perm(permissions, ACL_EXECUTE) == 0)
        && acl_set_permset(entry, permissions) == 0;
}

acl_tag_t tagOf(acl_entry_t entry)
{
    acl_tag_t tag = ACL_UNDEFINED_TAG;
    return acl_get_tag_type(entry, &tag) == 0 ? tag : ACL_UNDEFINED_TAG;
}

// The entries the mask limits: named users, the owning group, named groups.
bool isGroupClass(acl_tag_t tag)
{
    return tag == ACL_USER || tag == ACL_GROUP_OBJ || tag == ACL_GROUP;
}

bool namesUser(acl_entry_t entry, uid_t user)
{
    void *qualifier = acl_get_qualifier(entry);
    const bool same = qualifier != nullptr && *static_cast<uid_t *>(qualifier) == user;
    acl_free(qualifier);
    return same;
}

bool makeSafe(acl_t acl)
{
    acl_entry_t entry = nullptr;
    for (int which = ACL_FIRST_ENTRY; acl_get_entry(acl, which, &entry) == 1; which = ACL_NEXT_ENTRY)
        if (!setRights(entry, safeRights(rightsOf(entry), tagOf(entry) == ACL_USER_OBJ)))
            return false;
    return true;
}

bool addEntry(acl_t &acl, acl_tag_t tag, const uid_t *user, unsigned rights)
{
    acl_entry_t entry = nullptr;
    return acl_create_entry(&acl, &entry) == 0 && acl_set_tag_type(entry, tag) == 0
        && (user == nullptr || acl_set_qualifier(entry, user) == 0) && setRights(entry, rights);
}

bool isAclRefusal(int error)
{
    return error == ENOTSUP || error == EOPNOTSUPP;
}

} // namespace

ToolAccess ToolAccess::everyone()
{
    return ToolAccess(0, kEveryoneMode);
}

ToolAccess ToolAccess::onlyGroup(gid_t group)
{
    return ToolAccess(group, kGroupMode);
}

std::optional<ToolAccess> ToolAccess::keptFrom(int descriptor, const struct stat &info)
{
    ToolAccess access(info.st_gid, safeMode(info.st_mode));
    const int extended = acl_extended_fd(descriptor);
    if (extended < 0 && !isAclRefusal(errno))
        return std::nullopt;
    if (extended == 1) {
        access.m_acl.reset(acl_get_fd(descriptor));
        if (!access.m_acl || !makeSafe(access.m_acl.get()))
            return std::nullopt;
    }
    return access;
}

bool ToolAccess::allowUser(uid_t user)
{
    if (!m_acl)
        m_acl.reset(acl_from_mode(m_mode & 0777));
    if (!m_acl)
        return false;
    acl_t acl = m_acl.release();
    acl_entry_t entry = nullptr;
    acl_entry_t mask = nullptr;
    acl_entry_t existing = nullptr;
    unsigned groupObject = 0;
    for (int which = ACL_FIRST_ENTRY; acl_get_entry(acl, which, &entry) == 1; which = ACL_NEXT_ENTRY) {
        if (tagOf(entry) == ACL_MASK)
            mask = entry;
        else if (tagOf(entry) == ACL_GROUP_OBJ)
            groupObject = rightsOf(entry);
        else if (tagOf(entry) == ACL_USER && namesUser(entry, user))
            existing = entry;
    }
    bool done = true;
    if (mask != nullptr) {
        // What the mask allowed stays all that each entry it limits may do once it grows.
        const unsigned allowed = rightsOf(mask);
        for (int which = ACL_FIRST_ENTRY; acl_get_entry(acl, which, &entry) == 1; which = ACL_NEXT_ENTRY)
            if (isGroupClass(tagOf(entry)))
                done = done && setRights(entry, rightsOf(entry) & allowed);
        done = done && setRights(mask, allowed | kRead | kExecute);
    }
    done = done
        && (existing != nullptr ? setRights(existing, kRead | kExecute)
                                : addEntry(acl, ACL_USER, &user, kRead | kExecute))
        && (mask != nullptr || addEntry(acl, ACL_MASK, nullptr, groupObject | kRead | kExecute));
    m_acl.reset(acl);
    return done;
}

bool ToolAccess::applyTo(int descriptor, bool &aclRefused) const
{
    aclRefused = false;
    // Owner before mode: changing the owner clears a set-user-ID bit. The bit comes last, once
    // the ACL stands: a set-user-ID copy must never be open to rights the ACL takes away.
    if (fchown(descriptor, 0, m_group) != 0 || fchmod(descriptor, m_mode & ~kSetUserId) != 0)
        return false;
    if (m_acl && acl_set_fd(descriptor, m_acl.get()) != 0) {
        if (!isAclRefusal(errno))
            return false;
        aclRefused = true;
    }
    // The mode as the ACL left it: its group bits are the ACL's mask, which a mode of its own
    // would overwrite.
    struct stat info = {};
    if (fstat(descriptor, &info) != 0 || fchmod(descriptor, (info.st_mode & 0777) | kSetUserId) != 0
        || fstat(descriptor, &info) != 0)
        return false;
    if (info.st_uid != 0 || info.st_gid != m_group || (info.st_mode & S_ISUID) == 0) {
        errno = EPERM;
        return false;
    }
    return true;
}
