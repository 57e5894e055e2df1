// SPDX-License-Identifier: MIT
#include "platform/ProcessTable.h"

#include "tools/common/OwnedDescriptor.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <memory>
#include <string>
#include <string_view>

namespace {
struct CloseFolder
{
    void operator()(DIR *folder) const { closedir(folder); }
};
using Folder = std::unique_ptr<DIR, CloseFolder>;

// The folder takes the descriptor over once it is open; until then it is ours to close.
Folder openFolder(OwnedDescriptor descriptor)
{
    Folder folder(descriptor ? fdopendir(descriptor.get()) : nullptr);
    if (folder)
        descriptor.release();
    return folder;
}

std::optional<int> processId(const char *entryName)
{
    const std::string_view text(entryName);
    int pid = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), pid);
    if (error != std::errc() || end != text.data() + text.size() || pid <= 0)
        return std::nullopt;
    return pid;
}

std::optional<QString> commandName(const std::string &folder)
{
    const OwnedDescriptor file(open((folder + "/comm").c_str(), O_RDONLY | O_CLOEXEC));
    std::array<char, 64> text{};
    const ssize_t length = file ? ::read(file.get(), text.data(), text.size()) : -1;
    if (length < 0)
        return std::nullopt;
    std::string_view name(text.data(), static_cast<std::size_t>(length));
    if (name.ends_with('\n'))
        name.remove_suffix(1);
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

// A descriptor's link reads "socket:[12345]" for a socket.
std::optional<std::uint64_t> socketInode(int folder, const char *entryName)
{
    constexpr std::string_view prefix = "socket:[";
    std::array<char, 64> target{};
    const ssize_t length = readlinkat(folder, entryName, target.data(), target.size());
    if (length <= 0)
        return std::nullopt;
    const std::string_view link(target.data(), static_cast<std::size_t>(length));
    if (!link.starts_with(prefix) || !link.ends_with(']'))
        return std::nullopt;
    std::uint64_t inode = 0;
    const char *first = link.data() + prefix.size();
    const char *last = link.data() + link.size() - 1;
    const auto [end, error] = std::from_chars(first, last, inode);
    if (error != std::errc() || end != last)
        return std::nullopt;
    return inode;
}

std::vector<std::uint64_t> socketInodes(Folder descriptors)
{
    std::vector<std::uint64_t> inodes;
    const int folder = dirfd(descriptors.get());
    while (const dirent *entry = readdir(descriptors.get())) {
        if (entry->d_name[0] == '.')
            continue;
        if (const auto inode = socketInode(folder, entry->d_name))
            inodes.push_back(*inode);
    }
    return inodes;
}
} // namespace

std::vector<int> ProcessTable::processIds()
{
    std::vector<int> pids;
    const Folder processes(opendir("/proc"));
    if (!processes)
        return pids;
    while (const dirent *entry = readdir(processes.get())) {
        if (const auto pid = processId(entry->d_name))
            pids.push_back(*pid);
    }
    return pids;
}

std::optional<ProcessSockets> ProcessTable::read(int pid)
{
    const std::string folder = "/proc/" + std::to_string(pid);
    std::optional<QString> name = commandName(folder);
    if (!name)
        return std::nullopt;
    ProcessSockets process;
    process.name = std::move(*name);
    Folder descriptors
        = openFolder(OwnedDescriptor(open((folder + "/fd").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    if (!descriptors)
        return errno == ENOENT ? std::nullopt : std::optional(std::move(process));
    process.readable = true;
    process.socketInodes = socketInodes(std::move(descriptors));
    return process;
}

QString ProcessTable::userName(std::uint32_t uid)
{
    std::string buffer(16 * 1024, '\0');
    passwd entry{};
    passwd *found = nullptr;
    while (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == ERANGE && buffer.size() < (1U << 20))
        buffer.resize(buffer.size() * 2);
    return found == nullptr ? QString() : QString::fromUtf8(found->pw_name);
}
