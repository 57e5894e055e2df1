// Runs as root; never trust its input.
#include "tools/installer/InstallerFiles.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kDirectoryMode = 0555;
// Owner-only while the content is written: nobody else runs or reads a half-written tool.
constexpr mode_t kWritingMode = 0700;
constexpr mode_t kInstalledMode = 04555;

std::string_view parentOf(std::string_view path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos || slash == 0)
        return "/";
    return path.substr(0, slash);
}

void reportCreating(std::string_view path)
{
    // With standard error gone there is nowhere left to complain; the exit status still
    // tells the caller how the installation ended.
    static_cast<void>(std::fprintf(stderr, "creating directory %.*s\n",
                                   static_cast<int>(path.size()), path.data()));
}

// Closes fd without letting close() overwrite the errno of the failure being reported.
void closeKeepingErrno(int fd)
{
    const int saved = errno;
    static_cast<void>(close(fd));
    errno = saved;
}

bool isSameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Gives up on an opened file for a reason of our own, reported through errno.
int refuse(int fd, int error)
{
    static_cast<void>(close(fd));
    errno = error;
    return -1;
}

// Non-blocking, so a FIFO or device named as the source cannot stall the installer
// before fstat has refused it; only a regular file's bytes are worth installing.
int openSource(const std::string &source, struct stat &info)
{
    const int fd = open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    if (fstat(fd, &info) != 0) {
        closeKeepingErrno(fd);
        return -1;
    }
    return S_ISREG(info.st_mode) ? fd : refuse(fd, EINVAL);
}

// Why an existing target may not be replaced, or 0 when it may.
int refusalOf(const struct stat &target, const struct stat &sourceInfo)
{
    if (S_ISLNK(target.st_mode))
        return ELOOP;
    // Installing a file over itself would lose the very bytes being copied.
    if (!S_ISREG(target.st_mode) || isSameFile(target, sourceInfo))
        return EINVAL;
    return target.st_nlink > 1 ? EMLINK : 0;
}

// Looks at what is at target without opening it for reading or writing (O_PATH) and
// removes it when it is a plain file that may be replaced. Nothing there is fine too. A
// symbolic link is never followed and, like a FIFO, the source itself or a second name of
// another file, refused and left in place.
bool removeReplaceableTarget(const std::string &target, const struct stat &sourceInfo)
{
    const int fd = open(target.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        closeKeepingErrno(fd);
        return false;
    }
    const int reason = refusalOf(info, sourceInfo);
    if (reason != 0) {
        static_cast<void>(refuse(fd, reason));
        return false;
    }
    static_cast<void>(close(fd));
    return unlink(target.c_str()) == 0;
}

// The copy always goes into a file this run creates, never into an existing one: others may
// hold that open or mapped for writing (a former owner could then change the set-user-ID
// copy after the install), and a running tool refuses to be written at all. O_EXCL with
// O_NOFOLLOW: whatever was planted at the name since it was cleared makes the open fail.
int openTarget(const std::string &target, const struct stat &sourceInfo)
{
    if (!removeReplaceableTarget(target, sourceInfo))
        return -1;
    return open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                kWritingMode);
}

bool writeAll(int fd, const char *bytes, std::size_t count)
{
    while (count > 0) {
        const ssize_t written = write(fd, bytes, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

bool copyBytes(int from, int to)
{
    std::array<char, 8192> buffer{};
    for (;;) {
        const ssize_t got = read(from, buffer.data(), buffer.size());
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (!writeAll(to, buffer.data(), static_cast<std::size_t>(got)))
            return false;
    }
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

void makeDirectories(const std::string &path)
{
    // Walks up instead of recursing, so a hostile path cannot exhaust the stack.
    std::vector<std::string> missing;
    std::string_view level = path;
    for (;;) {
        reportCreating(level);
        // Nothing can be looked up or created at a path longer than the system allows.
        if (level.empty() || level.size() >= PATH_MAX)
            break;
        std::string current(level);
        struct stat info {};
        if (stat(current.c_str(), &info) == 0)
            break;
        missing.push_back(std::move(current));
        const std::string_view parent = parentOf(level);
        if (parent == level)
            break;
        level = parent;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        static_cast<void>(mkdir(it->c_str(), kDirectoryMode));
}

int copyFile(const std::string &source, const std::string &target)
{
    struct stat sourceInfo {};
    const int from = openSource(source, sourceInfo);
    if (from < 0)
        return -1;
    const int to = openTarget(target, sourceInfo);
    if (to < 0) {
        closeKeepingErrno(from);
        return -1;
    }
    const bool copied = copyBytes(from, to);
    closeKeepingErrno(from);
    if (!copied) {
        closeKeepingErrno(to);
        return -1;
    }
    return to;
}

bool makeSetuidRoot(int fd)
{
    // Owner first: changing the owner clears a set-user-ID bit, so the mode comes last.
    if (fchown(fd, 0, static_cast<gid_t>(-1)) != 0 || fchmod(fd, kInstalledMode) != 0) {
        closeKeepingErrno(fd);
        return false;
    }
    return close(fd) == 0;
}
