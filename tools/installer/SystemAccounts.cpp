// SPDX-License-Identifier: MIT
// Runs as root; never trust its input.
#include "tools/installer/SystemAccounts.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <csignal>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char *kGroupadd = "/usr/sbin/groupadd";
constexpr const char *kUsermod = "/usr/sbin/usermod";

// What the account tools get instead of our environment.
char kPath[] = "PATH=/usr/sbin:/usr/bin:/sbin:/bin";
char kLocale[] = "LC_ALL=C";
char *const kEnvironment[] = {kPath, kLocale, nullptr};
constexpr short kSpawnFlags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID;

// Runs the tool with standard input from /dev/null and its standard output on our standard
// error: our standard output is the pipe the application waits on, and stays silent. What it
// did is read from the account database afterwards, not from its status. In a session of its
// own: the terminal is the requester's, and its keys must not stop or end a tool that holds
// the account database's lock.
void runTool(const char *path, std::vector<std::string> arguments)
{
    std::vector<char *> argv;
    for (std::string &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    // Every signal at its default and none blocked, whatever the caller handed down to us.
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    if (posix_spawnattr_init(&attributes) != 0)
        return;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        posix_spawnattr_destroy(&attributes);
        return;
    }
    pid_t child = -1;
    const bool spawned = posix_spawnattr_setflags(&attributes, kSpawnFlags) == 0
        && posix_spawnattr_setsigdefault(&attributes, &all) == 0 && posix_spawnattr_setsigmask(&attributes, &none) == 0
        && posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0
        && posix_spawn_file_actions_adddup2(&actions, 2, 1) == 0
        && posix_spawn(&child, path, &actions, &attributes, argv.data(), kEnvironment) == 0;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    int status = 0;
    while (spawned && waitpid(child, &status, 0) < 0 && errno == EINTR) { }
}

bool findGroup(const char *name, gid_t &group)
{
    const struct group *entry = getgrnam(name);
    if (entry != nullptr)
        group = entry->gr_gid;
    return entry != nullptr;
}

bool isMember(const std::string &user, const std::string &group)
{
    const struct group *entry = getgrnam(group.c_str());
    for (char *const *member = entry != nullptr ? entry->gr_mem : nullptr; member != nullptr && *member != nullptr;
         ++member)
        if (user == *member)
            return true;
    return false;
}

} // namespace

bool SystemAccounts::captureGroup(gid_t &group)
{
    if (findGroup(kCaptureGroup, group))
        return true;
    // Nobody else may make one; the install then fails as any change of owner would.
    if (geteuid() != 0) {
        errno = EPERM;
        return false;
    }
    // The group database, not groupadd's status, tells whether there is one now: another run
    // may have made it meanwhile.
    runTool(kGroupadd, {"groupadd", "--system", kCaptureGroup});
    if (findGroup(kCaptureGroup, group))
        return true;
    static_cast<void>(std::fprintf(stderr, "could not create the group %s with %s\n", kCaptureGroup, kGroupadd));
    errno = ENOENT;
    return false;
}

bool SystemAccounts::addToGroup(const std::string &user, const std::string &group)
{
    runTool(kUsermod, {"usermod", "--append", "--groups", group, "--", user});
    if (isMember(user, group))
        return true;
    static_cast<void>(
        std::fprintf(stderr, "could not add %s to the group %s with %s\n", user.c_str(), group.c_str(), kUsermod));
    return false;
}

std::string SystemAccounts::userName(uid_t user)
{
    const struct passwd *entry = getpwuid(user);
    return entry != nullptr && entry->pw_name != nullptr ? std::string(entry->pw_name) : std::string();
}

std::string SystemAccounts::groupName(gid_t group)
{
    const struct group *entry = getgrgid(group);
    return entry != nullptr && entry->gr_name != nullptr ? std::string(entry->gr_name) : std::string();
}
