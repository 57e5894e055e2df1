// SPDX-License-Identifier: MIT
// Runs as root; never trust its input.
#include "tools/installer/InstallerFiles.h"

#include "tools/common/RootOnlyPath.h"

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

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

constexpr mode_t kDirectoryMode = 0555;
// Owner-only while the content is written: nobody else runs or reads a half-written tool.
constexpr mode_t kWritingMode = 0700;
constexpr std::size_t kCopyBufferBytes = 64 * 1024;
// Non-blocking, so a FIFO at a name cannot stall the installer before fstat refuses it.
constexpr int kReadFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
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
    static_cast<void>(std::fprintf(stderr, "creating directory %.*s\n", static_cast<int>(path.size()), path.data()));
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
    struct stat named = {};
    struct stat opened = {};
    return stat(path.c_str(), &named) == 0 && fstat(folder, &opened) == 0 && isSameFile(named, opened);
}

BundledTool refused(std::string reason)
{
    BundledTool tool;
    tool.refusal = std::move(reason);
    return tool;
}

// The whole path, then the path up to each level above it, down to `existing` levels.
void reportLevels(std::string_view destdir, const std::vector<PathComponent> &components, std::size_t existing)
{
    reportCreating(destdir);
    for (std::size_t level = components.size(); level-- > existing;)
        reportCreating(pathUpTo(destdir, components, level));
}

bool createMissing(OwnedDescriptor &folder, const std::vector<PathComponent> &components, std::size_t from)
{
    for (std::size_t level = from; level < components.size(); ++level) {
        const char *name = components[level].name.c_str();
        // Made meanwhile by someone else is as good, provided it is a real folder.
        if (mkdirat(folder.get(), name, kDirectoryMode) != 0 && errno != EEXIST)
            return false;
        const int next = openFolderAt(folder.get(), name);
        if (next < 0)
            return false;
        folder.reset(next);
    }
    return true;
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

void removeKeepingErrno(int folder, const std::string &name)
{
    const int saved = errno;
    static_cast<void>(unlinkat(folder, name.c_str(), 0));
    errno = saved;
}

bool isStillNamed(int folder, const std::string &name, int file)
{
    struct stat named = {};
    struct stat opened = {};
    return fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && fstat(file, &opened) == 0
        && isSameFile(named, opened);
}

// A new file of this run's own: O_EXCL with O_NOFOLLOW, so nothing planted at the name is
// ever opened. An unguessable name, so nobody can occupy every name tried.
OwnedDescriptor createTemporary(int folder, std::string &name)
{
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        if (!randomTemporaryName(name))
            return {};
        OwnedDescriptor file(openat(folder, name.c_str(), kTemporaryFlags, kWritingMode));
        if (!file && errno == EEXIST)
            continue;
        if (!file)
            return {};
        // Held until the file has its final name: another run takes only abandoned files.
        if (flock(file.get(), LOCK_EX) != 0) {
            removeKeepingErrno(folder, name);
            return {};
        }
        // Another run's cleanup may have taken the file between its creation and the lock; once
        // the lock is held and the name still leads to it, nobody else removes it.
        if (isStillNamed(folder, name, file.get()))
            return file;
    }
    errno = EEXIST;
    return {};
}

// On the heap: the caller's stack limit is handed down by pkexec, and a small one must not
// end the installer half-way through a copy.
bool copyBytes(int from, int to)
{
    std::vector<std::byte> buffer(kCopyBufferBytes);
    for (;;) {
        const ssize_t got = readExactly(from, buffer);
        if (got < 0 || !writeAll(to, std::span(buffer).first(static_cast<std::size_t>(got))))
            return false;
        if (static_cast<std::size_t>(got) < buffer.size())
            return true;
    }
}

// A default ACL of the folder is inherited by a new file and would grant rights nobody
// chose; the installed tool gets the access decided for it and nothing else.
bool dropInheritedAcl(int file)
{
    return fremovexattr(file, "system.posix_acl_access") == 0 || errno == ENODATA || errno == ENOTSUP;
}

// On the descriptor, so everything is set on the file that was written, whatever its name
// means by now; synced last, so the name never points at a tool whose bytes or rights are
// not yet on the disk.
InstallFailure completeCopy(int source, int copy, const ToolAccess &access, bool &aclRefused)
{
    if (!dropInheritedAcl(copy))
        return InstallFailure::Access;
    if (!copyBytes(source, copy))
        return InstallFailure::Copy;
    if (!access.applyTo(copy, aclRefused))
        return InstallFailure::Access;
    return fsync(copy) == 0 ? InstallFailure::None : InstallFailure::Copy;
}

std::string kindOf(mode_t mode)
{
    if (S_ISLNK(mode))
        return "a symbolic link";
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return S_ISSOCK(mode) ? "a socket" : "not a regular file";
}

// Why the tool `named` in `folder` is no install whose access someone chose; empty, with the
// tool open in `installed`, when it is one.
std::string openChosenInstall(int folder, const struct stat &named, InstalledTool &installed)
{
    if (!S_ISREG(named.st_mode))
        return "it is " + kindOf(named.st_mode);
    OwnedDescriptor file(openat(folder, kToolName, kReadFlags));
    if (!file || fstat(file.get(), &installed.info) != 0)
        return std::strerror(errno);
    if (!isSameFile(named, installed.info))
        return "it was replaced while it was looked at";
    if (installed.info.st_uid != 0 || (installed.info.st_mode & S_ISUID) == 0)
        return "it is not set-user-ID root";
    // Under a second name it may be another set-user-ID program linked there, whose access is
    // no choice for the capture tool.
    if (installed.info.st_nlink != 1)
        return "it has more than one name";
    installed.descriptor = std::move(file);
    return {};
}

// The tool just replaced, when it also has another name (a hard link made elsewhere), would
// stay there set-user-ID root: an old copy nobody upgrades. It keeps its other names, not its
// privileges.
void disarmOtherNames(int replaced)
{
    struct stat info = {};
    if (replaced < 0 || fstat(replaced, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != 0 || info.st_nlink == 0
        || (info.st_mode & (S_ISUID | S_ISGID)) == 0)
        return;
    static_cast<void>(fchmod(replaced, info.st_mode & static_cast<mode_t>(00777 | S_ISVTX)));
}

bool isTemporaryName(std::string_view name)
{
    const std::string prefix = std::string(".") + kToolName + "-";
    if (!name.starts_with(prefix) || name.size() == prefix.size() || name.size() > prefix.size() + 16)
        return false;
    return name.substr(prefix.size()).find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// A temporary file of a run that ended before renaming it; a run still copying holds a lock on
// its file, so only abandoned ones are taken.
void removeIfAbandoned(int folder, const char *name)
{
    struct stat named = {};
    struct stat opened = {};
    const OwnedDescriptor file(openat(folder, name, kReadFlags));
    if (file && fstat(file.get(), &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == 0
        && flock(file.get(), LOCK_EX | LOCK_NB) == 0 && fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0
        && isSameFile(named, opened))
        static_cast<void>(unlinkat(folder, name, 0));
}

// The tool in the installer's folder, checked on the descriptor it will be copied from.
BundledTool openToolIn(int folder, bool forAnotherUser)
{
    BundledTool tool;
    tool.descriptor.reset(openat(folder, kToolName, kReadFlags));
    if (!tool.descriptor || fstat(tool.descriptor.get(), &tool.info) != 0)
        return refused(std::strerror(errno));
    if (!S_ISREG(tool.info.st_mode))
        return refused("not a regular file");
    if (forAnotherUser)
        if (std::string refusal = refusalOfRootOnlyFile(tool.info); !refusal.empty())
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
    const std::vector<PathComponent> components = pathComponents(folderPath);
    const FolderWalk walk = walkFromRoot(components, forAnotherUser);
    if (!walk.rootOnly)
        return refused(std::string(pathUpTo(folderPath, components, walk.entered))
                       + " is not a folder only root can write");
    if (walk.entered != components.size())
        return refused(std::strerror(errno));
    if (lastPathComponent(requested) != kToolName || !namesFolder(folderOf(requested), walk.folder.get()))
        return refused("only " + joinPath(folderPath, kToolName) + " can be installed");
    return openToolIn(walk.folder.get(), forAnotherUser);
}

OwnedDescriptor openDestination(const std::string &destdir)
{
    // Nothing can be looked up or created at a path longer than the system allows.
    if (destdir.size() >= PATH_MAX) {
        reportCreating(destdir);
        errno = ENAMETOOLONG;
        return {};
    }
    const std::vector<PathComponent> components = pathComponents(destdir);
    FolderWalk walk = walkFromRoot(components, false);
    if (!walk.folder) {
        reportCreating(destdir);
        return {};
    }
    const bool complete = walk.entered == components.size();
    const bool missing = !complete && errno == ENOENT;
    // A level that is there but cannot be entered (a link, a file) exists all the same. After
    // any other failure (too many open files) nothing below is known to be missing.
    const bool blocked = !complete && (errno == ELOOP || errno == ENOTDIR);
    const std::size_t existing = complete || missing ? walk.entered : blocked ? walk.entered + 1 : components.size();
    reportLevels(destdir, components, existing);
    if ((!complete && !missing) || !createMissing(walk.folder, components, walk.entered))
        return {};
    return std::move(walk.folder);
}

InstalledTool openInstalledTool(int folder)
{
    InstalledTool installed;
    struct stat named = {};
    if (fstatat(folder, kToolName, &named, AT_SYMLINK_NOFOLLOW) != 0) {
        // What cannot be looked at may be there all the same.
        installed.present = errno != ENOENT;
        installed.refusal = installed.present ? std::strerror(errno) : "";
        return installed;
    }
    installed.present = true;
    installed.refusal = openChosenInstall(folder, named, installed);
    return installed;
}

void removeAbandonedTemporaries(int folder)
{
    const int listing = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *entries = listing >= 0 ? fdopendir(listing) : nullptr;
    if (entries == nullptr) {
        if (listing >= 0)
            close(listing);
        return;
    }
    std::vector<std::string> candidates;
    while (const dirent *entry = readdir(entries))
        if (isTemporaryName(entry->d_name))
            candidates.emplace_back(entry->d_name);
    closedir(entries);
    for (const std::string &name : candidates)
        removeIfAbandoned(folder, name.c_str());
}

std::string refusalOfTarget(int folder, const struct stat &sourceInfo)
{
    struct stat target = {};
    if (fstatat(folder, kToolName, &target, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? std::string() : std::strerror(errno);
    // The source's own folder as the destination is a mistake, not an install.
    if (isSameFile(target, sourceInfo))
        return "it is the file to install";
    return S_ISREG(target.st_mode) ? std::string() : "it is " + kindOf(target.st_mode);
}

InstallFailure installTool(int folder, int source, const ToolAccess &access, bool &aclRefused)
{
    std::string temporaryName;
    OwnedDescriptor copy = createTemporary(folder, temporaryName);
    if (!copy)
        return InstallFailure::Temporary;
    InstallFailure failure = completeCopy(source, copy.get(), access, aclRefused);
    const OwnedDescriptor replaced(openat(folder, kToolName, kReadFlags));
    if (failure == InstallFailure::None && renameat(folder, temporaryName.c_str(), folder, kToolName) == 0) {
        disarmOtherNames(replaced.get());
        return failure;
    }
    if (failure == InstallFailure::None)
        failure = InstallFailure::Rename;
    removeKeepingErrno(folder, temporaryName);
    return failure;
}
