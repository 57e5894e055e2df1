// SPDX-License-Identifier: MIT
#pragma once

// System folders of the test process's own: a private mount namespace in which /etc is an
// overlay on a private tmpfs, so a group the installer creates or a person it adds to one
// vanishes with the process (or the next call) and never reaches this machine, and in which
// any folder can be replaced by a fresh empty one (the support folder a run for another user
// must install into). Root only.

#include <string>

class PrivateSystemFolders
{
public:
    // Enters the namespace (the first call, which must come while the process still has one
    // thread) and gives it a fresh /etc with the machine's content. Empty when done,
    // otherwise why not.
    static std::string enter();

    // A fresh, empty folder owned by root with mode 0755 at the absolute `path`, made with its
    // missing parents where there is none: a tmpfs, or with `keepsNoAcl` a ramfs, whose files
    // take no ACL. Empty when done, otherwise why not. Needs enter() first.
    static std::string emptyFolderAt(const std::string &path, bool keepsNoAcl = false);
};
