// SPDX-License-Identifier: MIT
#pragma once

// Whether only root can change what lies at a path: every folder from "/" down, and the file
// itself, owned by root and writable by neither group nor others (an ACL's mask shows in the
// group bits, so a folder an ACL lets someone write into is caught too). The installer holds
// its own image and the capture tool to this before it runs for another user, and the
// application holds the installer to it before it asks an administrator to run it as root.
// Plain POSIX, so the privileged tools share it with the application.

#include "tools/common/OwnedDescriptor.h"

#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>

struct PathComponent
{
    std::string name;
    // Where the component ends in the whole path, so the path up to it can be printed.
    std::size_t end = 0;
};

// The non-empty components of a path between its slashes.
std::vector<PathComponent> pathComponents(std::string_view path);
// The path down to the folder `levels` below "/".
std::string_view pathUpTo(std::string_view path, const std::vector<PathComponent> &components, std::size_t levels);

// Opens the folder `name` in `parent` only to be looked at and named relative to (O_PATH, no
// read permission needed), never through a symbolic link (reported as ELOOP); -1 with errno.
int openFolderAt(int parent, const char *name);

struct FolderWalk
{
    // The deepest level entered; invalid with errno set when "/" itself could not be opened.
    OwnedDescriptor folder;
    // How many levels below "/" were entered.
    std::size_t entered = 0;
    // False when the walk stopped at `folder` because others than root can change it.
    bool rootOnly = true;
};

// Descends from "/" into as many levels as exist, never through a symbolic link (a link is
// reported as ELOOP); errno tells why the walk stopped short. With `requireRootOnly`, it also
// stops at the first level, "/" included, that others than root can change: below such a
// level anybody could have put anything.
FolderWalk walkFromRoot(const std::vector<PathComponent> &components, bool requireRootOnly);

// The first folder from "/" down to the absolute `folder`, that one included, that others
// than root can change; empty when there is none. The check ends at the first level that
// cannot be entered: a missing one only root could create.
std::string firstLevelOthersCanChange(const std::string &folder);

// Why others than root could change this file, or empty when they cannot: it must be root's
// alone, and under no second name that someone else may have made.
std::string refusalOfRootOnlyFile(const struct stat &info);

// Why the program at the absolute `path` is not root's alone (its folders, or the file
// itself, as above), in words for an administrator; empty when it is.
std::string refusalOfRootProgram(const std::string &path);
