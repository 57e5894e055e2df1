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

// The folder the running installer was started from, open, or nothing with errno set.
OwnedDescriptor openInstallerFolder(std::string &path)
{
    std::array<char, PATH_MAX> image{};
    const ssize_t length = readlink("/proc/self/exe", image.data(), image.size());
    if (length < 0)
        return {};
    if (static_cast<std::size_t>(length) >= image.size()) {
        errno = ENAMETOOLONG;
        return {};
    }
    path = parentPath(std::string(image.data(), static_cast<std::size_t>(length)));
    return OwnedDescriptor(open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
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

// Descends into as many levels as exist and returns how many that was; errno tells why the
// walk stopped short.
std::size_t enterExisting(OwnedDescriptor &folder, const std::vector<Component> &components)
{
    std::size_t entered = 0;
    for (; entered < components.size(); ++entered) {
        const int next = openFolder(folder.get(), components[entered].name.c_str());
        if (next < 0)
            break;
        folder.reset(next);
    }
    return entered;
}

// The whole path, then the path up to each level above it, down to `existing` levels.
void reportLevels(std::string_view destdir, const std::vector<Component> &components,
                  std::size_t existing)
{
    reportCreating(destdir);
    for (std::size_t level = components.size(); level-- > existing;)
        reportCreating(level == 0 ? "/" : destdir.substr(0, components[level - 1].end));
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

// Owner before mode: changing the owner clears a set-user-ID bit. On the descriptor, so they
// are set on the file that was written, whatever its name means by now.
bool completeCopy(int source, OwnedDescriptor &copy)
{
    return copyBytes(source, copy.get()) && fsync(copy.get()) == 0
        && fchown(copy.get(), 0, static_cast<gid_t>(-1)) == 0
        && fchmod(copy.get(), kInstalledMode) == 0 && copy.close();
}

void removeKeepingErrno(int folder, const std::string &name)
{
    const int saved = errno;
    static_cast<void>(unlinkat(folder, name.c_str(), 0));
    errno = saved;
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

BundledTool openBundledTool(const std::string &requested)
{
    BundledTool tool;
    std::string folderPath;
    const OwnedDescriptor folder = openInstallerFolder(folderPath);
    if (!folder)
        return refused(std::strerror(errno));
    if (lastPathComponent(requested) != kToolName
        || !namesFolder(folderOf(requested), folder.get()))
        return refused("only " + joinPath(folderPath, kToolName) + " can be installed");
    // Non-blocking, so a FIFO at the name cannot stall the installer before fstat refuses it.
    tool.descriptor.reset(openat(folder.get(), kToolName,
                                 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!tool.descriptor || fstat(tool.descriptor.get(), &tool.info) != 0)
        return refused(std::strerror(errno));
    if (!S_ISREG(tool.info.st_mode))
        return refused("not a regular file");
    return tool;
}

OwnedDescriptor openDestination(const std::string &destdir)
{
    // Nothing can be looked up or created at a path longer than the system allows.
    if (destdir.size() >= PATH_MAX) {
        reportCreating(destdir);
        errno = ENAMETOOLONG;
        return {};
    }
    OwnedDescriptor folder(open("/", kFolderFlags));
    if (!folder) {
        reportCreating(destdir);
        return {};
    }
    const std::vector<Component> components = componentsOf(destdir);
    const std::size_t entered = enterExisting(folder, components);
    const bool complete = entered == components.size();
    const bool missing = !complete && errno == ENOENT;
    // A level that is there but cannot be entered (a link, a file) exists all the same.
    reportLevels(destdir, components, complete || missing ? entered : entered + 1);
    if ((!complete && !missing) || !createMissing(folder, components, entered))
        return {};
    return folder;
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
