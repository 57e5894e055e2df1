// SPDX-License-Identifier: MIT
#pragma once

// Who may run the installed capture tool besides root: its group, its mode and the entries of
// its POSIX ACL. Runs as root; never trust its input: a kept access comes from a file that
// may have been changed by hand, so it is made safe before it is copied.

#include <memory>
#include <optional>
#include <type_traits>

#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/types.h>

class ToolAccess
{
public:
    // Set-user-ID and runnable by every user, group root, no ACL: 04555.
    static ToolAccess everyone();
    // Set-user-ID and runnable by the members of `group` only: 04750.
    static ToolAccess onlyGroup(gid_t group);
    // What the installed tool `descriptor` has (an administrator's choice), made safe: still
    // set-user-ID, owner read and execute, writable by nobody but its owner, no set-group-ID
    // or sticky bit, and read wherever execute is allowed (so whoever may run it can check it
    // against the application's copy). Nothing, with errno set, when its ACL cannot be read.
    static std::optional<ToolAccess> keptFrom(int descriptor, const struct stat &info);

    // Adds read and execute for `user` (an ACL entry), without widening any other entry:
    // the mask grows only by what the entry needs, and every other entry it limited keeps
    // exactly the rights it had. False with errno set on failure.
    bool allowUser(uid_t user);

    gid_t group() const { return m_group; }
    mode_t mode() const { return m_mode; }

    // Owner root, this group, this mode and ACL, on the descriptor, the set-user-ID bit last.
    // `aclRefused` tells that the file system keeps no ACLs, so the mode stands alone and no
    // user entry was given.
    // False with errno set on any other failure, and when the result is not set-user-ID root.
    bool applyTo(int descriptor, bool &aclRefused) const;

private:
    struct AclFree
    {
        void operator()(acl_t acl) const { acl_free(acl); }
    };
    using Acl = std::unique_ptr<std::remove_pointer_t<acl_t>, AclFree>;

    ToolAccess(gid_t group, mode_t mode)
        : m_group(group)
        , m_mode(mode)
    {
    }

    gid_t m_group;
    mode_t m_mode;
    // None when the mode says everything.
    Acl m_acl;
};
