// SPDX-License-Identifier: MIT
#pragma once

// The group of the people who may capture, and adding a person to it, through the system's
// own account tools. Runs as root; never trust its input: the tools are started by absolute
// path with an environment of our own and no shell, so nothing the caller handed down (PATH,
// locale, a loader variable) reaches them, in a session of their own, away from the caller's
// terminal, and the user name is passed after "--".

#include <string>

#include <sys/types.h>

inline constexpr const char *kCaptureGroup = "quillmere";

class SystemAccounts
{
public:
    // The id of kCaptureGroup, made a system group with groupadd when it is missing. False
    // with errno set (and, when groupadd failed, a line on standard error) when it neither
    // exists nor could be made.
    static bool captureGroup(gid_t &group);

    // Adds `user` to `group` with usermod, and checks in the group database that it is a
    // member now. False (with a line on standard error) otherwise.
    static bool addToGroup(const std::string &user, const std::string &group);

    // The name of a user or group of this system, or empty when there is none with that id.
    static std::string userName(uid_t user);
    static std::string groupName(gid_t group);
};
