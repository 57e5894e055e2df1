// SPDX-License-Identifier: MIT
#pragma once

// Path and file steps of the installer. Runs as root; never trust its input: every path
// here comes from the command line.

#include "tools/common/OwnedDescriptor.h"
#include "tools/installer/ToolAccess.h"

#include <string>

#include <sys/stat.h>

// Paths are plain strings with "/" as the only separator.

// The text after the last "/", or the whole path when it has none.
std::string lastPathComponent(const std::string &path);
// dir, "/", name; the slash is inserted even when dir already ends with one.
std::string joinPath(const std::string &dir, const std::string &name);
// The text before the last "/"; "/" when the path has no "/" or only a leading one.
std::string parentPath(const std::string &path);

// The one file this installer installs, under this name: the capture tool shipped beside it.
inline constexpr const char *kToolName = "Netsiphon";

struct BundledTool
{
    // Open for reading; invalid when the request was refused.
    OwnedDescriptor descriptor;
    struct stat info = {};
    // Why the request was refused, for the administrator; empty when the tool is open.
    std::string refusal;
};

// Opens kToolName in the folder of the running installer (/proc/self/exe) when `requested`
// names that file. Anything else is refused, as is a symbolic link at that name or anything
// but a regular file: one approved run must not make an arbitrary file set-user-ID root.
// For another user, the tool must moreover be root's alone: every folder from "/" down to the
// installer's owned by root and writable by neither group nor others, and the tool likewise,
// with no second name. Otherwise a user's own build, or a link to the system's installer made
// in a user's folder, would have root install whatever the user put there.
BundledTool openBundledTool(const std::string &requested, bool forAnotherUser);

// Opens the absolute folder destdir from "/" down, one level at a time and never through a
// symbolic link, creating missing levels with mode 0555. First prints "creating directory
// <path>" on standard error for destdir and then for each missing level above it, deepest
// first, down to the first one that exists; when the walk fails for another reason than a
// missing level (too many open files), for destdir alone. Returns the folder, or nothing with
// errno set.
OwnedDescriptor openDestination(const std::string &destdir);

struct InstalledTool
{
    // Whether anything is at the tool's name: where nothing is, an install is a first install.
    bool present = false;
    // Open for reading; invalid when there is no installed tool whose access to keep.
    OwnedDescriptor descriptor;
    struct stat info = {};
    // Why what is present is no such tool, for an administrator; empty when it is one.
    std::string refusal;
};

// The tool installed in `folder` when it is a regular file owned by root with the set-user-ID
// bit and one name: an install whose group, mode and ACL someone chose. Anything else there
// (a link, a copy that is not set-user-ID root, a second name of another program, a file that
// cannot be looked at) is no such choice, and says why.
InstalledTool openInstalledTool(int folder);

// Why what is at kToolName in `folder` may not be replaced by `source`, in words for an
// administrator ("it is a directory"), or empty when it may: anything but a regular file, or
// the source itself. Renaming replaces only the name, so a second name of another file leaves
// that file alone.
std::string refusalOfTarget(int folder, const struct stat &sourceInfo);

// Removes the temporary files that runs which ended before renaming theirs left in `folder`
// (a crash, a kill). A run still copying holds a lock on its file, which keeps it.
void removeAbandonedTemporaries(int folder);

// The step at which an install failed, so that each failure is told in its own words.
enum class InstallFailure { None, Temporary, Copy, Access, Rename };

// Installs the regular file `source` as kToolName in `folder` with `access` (owner root, its
// group, mode and ACL). The copy is completed in a new temporary file, given its access on the
// descriptor, synced, and then renamed over the previous install, so nothing ever writes into
// an existing file, the name never points at a copy that is incomplete or not yet on the
// disk, and a failed copy leaves the previous install working and no temporary file behind.
// The caller refuses first what refusalOfTarget names; whatever takes the name meanwhile is
// never written or followed: the rename replaces only a name, and fails over a directory.
// `aclRefused` tells that the file system keeps no ACL, so the access is the mode alone. The
// step that failed, with errno set, or InstallFailure::None when the tool is installed.
InstallFailure installTool(int folder, int source, const ToolAccess &access, bool &aclRefused);
