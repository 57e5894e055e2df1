// SPDX-License-Identifier: MIT
// Runs as root; never trust its input.
#include "tools/installer/InstallerFiles.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/random.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

constexpr mode_t kDirectoryMode = 0555;
// Owner-only while the content is written: nobody else runs or reads a half-written tool.
constexpr mode_t kWritingMode = 0700;
constexpr mode_t kInstalledMode = 04555;
// O_PATH: a folder is only looked at and named relative to, never read, so opening it has
// no side effects and needs no read permission.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int kTemporaryFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY;
constexpr int kTemporaryAttempts = 16;

std::string_view parentOf(std::string_view path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos || slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Keeps errno: the reason of a failure found before printing is the one reported after.
void reportCreating(std::string_view path)
{
    const int saved = errno;
    // With standard error gone there is nowhere left to complain; the exit status still
    // tells the caller how the installation ended.
    static_cast<void>(std::fprintf(stderr, "creating directory %.*s\n",
                                   static_cast<int>(path.size()), path.data()));
    errno = saved;
}

bool isSameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A bare name is in the working directory.
std::string folderOf(const std::string &path)
{
    return path.find('/') == std::string::npos ? "." : parentPath(path);
}

// The folder the running installer was started from, or false with errno set.
bool findInstallerFolder(std::string &path)
{
    std::array<char, PATH_MAX> image{};
    const ssize_t length = readlink("/proc/self/exe", image.data(), image.size());
    if (length < 0)
        return false;
    if (static_cast<std::size_t>(length) >= image.size()) {
        errno = ENAMETOOLONG;
        return false;
    }
    path = parentPath(std::string(image.data(), static_cast<std::size_t>(length)));
    return true;
}

// Only compared, never used: the tool itself is opened through the installer's own folder.
bool namesFolder(const std::string &path, int folder)
{
    struct stat named {};
    struct stat opened {};
    return stat(path.c_str(), &named) == 0 && fstat(folder, &opened) == 0
        && isSameFile(named, opened);
}

BundledTool refused(std::string reason)
{
    BundledTool tool;
    tool.refusal = std::move(reason);
    return tool;
}

// O_DIRECTORY reports a symbolic link as "not a directory"; name the link for what it is.
int openFolder(int parent, const char *name)
{
    const int descriptor = openat(parent, name, kFolderFlags);
    struct stat info {};
    if (descriptor < 0 && errno == ENOTDIR
        && fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode))
        errno = ELOOP;
    return descriptor;
}

struct Component
{
    std::string name;
    // Where the component ends in the whole path, so the path up to it can be printed.
    std::size_t end = 0;
};

std::vector<Component> componentsOf(std::string_view path)
{
    std::vector<Component> components;
    std::size_t start = 0;
    while (start < path.size()) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        if (slash > start)
            components.push_back({std::string(path.substr(start, slash - start)), slash});
        start = slash + 1;
    }
    return components;
}

// The path down to the folder `levels` below "/".
std::string_view pathUpTo(std::string_view path, const std::vector<Component> &components,
                          std::size_t levels)
{
    return levels == 0 ? "/" : path.substr(0, components[levels - 1].end);
}

// What nobody but root can change: owned by root and writable by neither group nor others.
bool isRootOnly(int descriptor)
{
    struct stat info {};
    return fstat(descriptor, &info) == 0 && info.st_uid == 0
        && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

struct Walk
{
    // The deepest level entered; invalid with errno set when "/" itself could not be opened.
    OwnedDescriptor folder;
    // How many levels below "/" were entered.
    std::size_t entered = 0;
    // False when the walk stopped at `folder` because others than root can change it.
    bool rootOnly = true;
};

// Descends from "/" into as many levels as exist; errno tells why the walk stopped short.
// With `requireRootOnly`, it also stops at the first level, "/" included, that others than
// root can change: below such a level anybody could have put anything.
Walk walkFromRoot(const std::vector<Component> &components, bool requireRootOnly)
{
    Walk walk;
    walk.folder.reset(open("/", kFolderFlags));
    while (walk.folder) {
        if (requireRootOnly && !isRootOnly(walk.folder.get())) {
            walk.rootOnly = false;
            break;
        }
        if (walk.entered == components.size())
            break;
        const int next = openFolder(walk.folder.get(), components[walk.entered].name.c_str());
        if (next < 0)
            break;
        walk.folder.reset(next);
        ++walk.entered;
    }
    return walk;
}

// The whole path, then the path up to each level above it, down to `existing` levels.
void reportLevels(std::string_view destdir, const std::vector<Component> &components,
                  std::size_t existing)
{
    reportCreating(destdir);
    for (std::size_t level = components.size(); level-- > existing;)
        reportCreating(pathUpTo(destdir, components, level));
}

bool createMissing(OwnedDescriptor &folder, const std::vector<Component> &components,
                   std::size_t from)
{
    for (std::size_t level = from; level < components.size(); ++level) {
        const char *name = components[level].name.c_str();
        // Made meanwhile by someone else is as good, provided it is a real folder.
        if (mkdirat(folder.get(), name, kDirectoryMode) != 0 && errno != EEXIST)
            return false;
        const int next = openFolder(folder.get(), name);
        if (next < 0)
            return false;
        folder.reset(next);
    }
    return true;
}

// Why what is at the tool's name may not be replaced, or 0 when it may. Renaming replaces
// only the name, so a second name of another file leaves that file untouched.
int refusalOfTarget(int folder, const struct stat &sourceInfo)
{
    struct stat target {};
    if (fstatat(folder, kToolName, &target, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? 0 : errno;
    if (S_ISLNK(target.st_mode))
        return ELOOP;
    // The source's own folder as the destination is a mistake, not an install.
    if (!S_ISREG(target.st_mode) || isSameFile(target, sourceInfo))
        return EINVAL;
    return 0;
}

// Why the tool may not be installed for another user, or empty when it may: its content must
// be root's alone, and under no second name that someone else may have made.
std::string refusalOfUntrustedTool(const struct stat &info)
{
    if (info.st_uid != 0 || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return "it is not a file only root can write";
    if (info.st_nlink != 1)
        return "it has more than one name";
    return {};
}

bool randomTemporaryName(std::string &name)
{
    std::uint64_t noise = 0;
    if (getrandom(&noise, sizeof noise, 0) != static_cast<ssize_t>(sizeof noise))
        return false;
    std::array<char, 16> digits{};
    const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), noise, 16);
    name = std::string(".") + kToolName + "-" + std::string(digits.data(), written.ptr);
    return true;
}

// A new file of this run's own: O_EXCL with O_NOFOLLOW, so nothing planted at the name is
// ever opened. An unguessable name, so nobody can occupy every name tried.
OwnedDescriptor createTemporary(int folder, std::string &name)
{
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        if (!randomTemporaryName(name))
            return {};
        const int descriptor = openat(folder, name.c_str(), kTemporaryFlags, kWritingMode);
        if (descriptor >= 0 || errno != EEXIST)
            return OwnedDescriptor(descriptor);
    }
    return {};
}

bool copyBytes(int from, int to)
{
    std::array<std::byte, 65536> buffer{};
    for (;;) {
        const ssize_t got = readExactly(from, buffer);
        if (got < 0 || !writeAll(to, std::span(buffer).first(static_cast<std::size_t>(got))))
            return false;
        if (static_cast<std::size_t>(got) < buffer.size())
            return true;
    }
}

// A default ACL of the folder is inherited by a new file and would grant rights its mode does
// not show; the installed tool is governed by its mode alone.
bool dropInheritedAcl(int file)
{
    return fremovexattr(file, "system.posix_acl_access") == 0 || errno == ENODATA
        || errno == ENOTSUP;
}

// Owner before mode: changing the owner clears a set-user-ID bit. On the descriptor, so they
// are set on the file that was written, whatever its name means by now.
bool completeCopy(int source, OwnedDescriptor &copy)
{
    return dropInheritedAcl(copy.get()) && copyBytes(source, copy.get()) && fsync(copy.get()) == 0
        && fchown(copy.get(), 0, static_cast<gid_t>(-1)) == 0
        && fchmod(copy.get(), kInstalledMode) == 0 && copy.close();
}

void removeKeepingErrno(int folder, const std::string &name)
{
    const int saved = errno;
    static_cast<void>(unlinkat(folder, name.c_str(), 0));
    errno = saved;
}

// The tool in the installer's folder, checked on the descriptor it will be copied from.
BundledTool openToolIn(int folder, bool forAnotherUser)
{
    BundledTool tool;
    // Non-blocking, so a FIFO at the name cannot stall the installer before fstat refuses it.
    tool.descriptor.reset(openat(folder, kToolName,
                                 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!tool.descriptor || fstat(tool.descriptor.get(), &tool.info) != 0)
        return refused(std::strerror(errno));
    if (!S_ISREG(tool.info.st_mode))
        return refused("not a regular file");
    if (forAnotherUser)
        if (std::string refusal = refusalOfUntrustedTool(tool.info); !refusal.empty())
            return refused(std::move(refusal));
    return tool;
}

} // namespace

std::string lastPathComponent(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joinPath(const std::string &dir, const std::string &name)
{
    return dir + "/" + name;
}

std::string parentPath(const std::string &path)
{
    return std::string(parentOf(path));
}

BundledTool openBundledTool(const std::string &requested, bool forAnotherUser)
{
    std::string folderPath;
    if (!findInstallerFolder(folderPath))
        return refused(std::strerror(errno));
    const std::vector<Component> components = componentsOf(folderPath);
    const Walk walk = walkFromRoot(components, forAnotherUser);
    if (!walk.rootOnly)
        return refused(std::string(pathUpTo(folderPath, components, walk.entered))
                       + " is not a folder only root can write");
    if (walk.entered != components.size())
        return refused(std::strerror(errno));
    if (lastPathComponent(requested) != kToolName
        || !namesFolder(folderOf(requested), walk.folder.get()))
        return refused("only " + joinPath(folderPath, kToolName) + " can be installed");
    return openToolIn(walk.folder.get(), forAnotherUser);
}

std::string firstLevelOthersCanChange(const std::string &folder)
{
    const std::vector<Component> components = componentsOf(folder);
    const Walk walk = walkFromRoot(components, true);
    return walk.rootOnly ? std::string() : std::string(pathUpTo(folder, components, walk.entered));
}

OwnedDescriptor openDestination(const std::string &destdir)
{
    // Nothing can be looked up or created at a path longer than the system allows.
    if (destdir.size() >= PATH_MAX) {
        reportCreating(destdir);
        errno = ENAMETOOLONG;
        return {};
    }
    const std::vector<Component> components = componentsOf(destdir);
    Walk walk = walkFromRoot(components, false);
    if (!walk.folder) {
        reportCreating(destdir);
        return {};
    }
    const bool complete = walk.entered == components.size();
    const bool missing = !complete && errno == ENOENT;
    // A level that is there but cannot be entered (a link, a file) exists all the same.
    reportLevels(destdir, components, complete || missing ? walk.entered : walk.entered + 1);
    if ((!complete && !missing) || !createMissing(walk.folder, components, walk.entered))
        return {};
    return std::move(walk.folder);
}

bool installTool(int folder, int source, const struct stat &sourceInfo)
{
    const int refusal = refusalOfTarget(folder, sourceInfo);
    if (refusal != 0) {
        errno = refusal;
        return false;
    }
    std::string temporaryName;
    OwnedDescriptor copy = createTemporary(folder, temporaryName);
    if (!copy)
        return false;
    if (completeCopy(source, copy)
        && renameat(folder, temporaryName.c_str(), folder, kToolName) == 0)
        return true;
    removeKeepingErrno(folder, temporaryName);
    return false;
}
