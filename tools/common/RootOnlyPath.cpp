// SPDX-License-Identifier: MIT
// Runs as root in the installer; never trust its input.
#include "tools/common/RootOnlyPath.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

// O_PATH: a folder is only looked at and named relative to, never read, so opening it has
// no side effects and needs no read permission.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

bool isRootOnly(const struct stat &info)
{
    return info.st_uid == 0 && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool isRootOnly(int descriptor)
{
    struct stat info = {};
    return fstat(descriptor, &info) == 0 && isRootOnly(info);
}

} // namespace

// O_DIRECTORY reports a symbolic link as "not a directory"; name the link for what it is.
int openFolderAt(int parent, const char *name)
{
    const int descriptor = openat(parent, name, kFolderFlags);
    struct stat info = {};
    if (descriptor < 0 && errno == ENOTDIR && fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) == 0
        && S_ISLNK(info.st_mode))
        errno = ELOOP;
    return descriptor;
}

std::vector<PathComponent> pathComponents(std::string_view path)
{
    std::vector<PathComponent> components;
    std::size_t start = 0;
    while (start < path.size()) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        if (slash > start)
            components.push_back({std::string(path.substr(start, slash - start)), slash});
        start = slash + 1;
    }
    return components;
}

std::string_view pathUpTo(std::string_view path, const std::vector<PathComponent> &components, std::size_t levels)
{
    return levels == 0 ? "/" : path.substr(0, components[levels - 1].end);
}

FolderWalk walkFromRoot(const std::vector<PathComponent> &components, bool requireRootOnly)
{
    FolderWalk walk;
    walk.folder.reset(open("/", kFolderFlags));
    while (walk.folder) {
        if (requireRootOnly && !isRootOnly(walk.folder.get())) {
            walk.rootOnly = false;
            break;
        }
        if (walk.entered == components.size())
            break;
        const int next = openFolderAt(walk.folder.get(), components[walk.entered].name.c_str());
        if (next < 0)
            break;
        walk.folder.reset(next);
        ++walk.entered;
    }
    return walk;
}

std::string firstLevelOthersCanChange(const std::string &folder)
{
    const std::vector<PathComponent> components = pathComponents(folder);
    const FolderWalk walk = walkFromRoot(components, true);
    return walk.rootOnly ? std::string() : std::string(pathUpTo(folder, components, walk.entered));
}

std::string refusalOfRootOnlyFile(const struct stat &info)
{
    if (!isRootOnly(info))
        return "it is not a file only root can write";
    if (info.st_nlink != 1)
        return "it has more than one name";
    return {};
}

std::string refusalOfRootProgram(const std::string &path)
{
    std::vector<PathComponent> folders = pathComponents(path);
    if (folders.empty())
        return path + " is not a program";
    const std::string name = folders.back().name;
    folders.pop_back();
    const FolderWalk walk = walkFromRoot(folders, true);
    if (!walk.rootOnly)
        return std::string(pathUpTo(path, folders, walk.entered)) + " is not a folder only root can write";
    if (walk.entered != folders.size())
        return std::string(pathUpTo(path, folders, walk.entered + 1)) + ": " + std::strerror(errno);
    struct stat info = {};
    if (fstatat(walk.folder.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return path + ": " + std::strerror(errno);
    if (!S_ISREG(info.st_mode))
        return path + " is not a regular file";
    const std::string refusal = refusalOfRootOnlyFile(info);
    return refusal.empty() ? refusal : path + ": " + refusal;
}
