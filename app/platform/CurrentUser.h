// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <sys/types.h>

// The person this process runs for, as the system sees them when it decides who may run a
// program: the effective user and group ids and the supplementary groups of this process.
class CurrentUser
{
public:
    // The login name, or the user id as a number when the system has no name for it.
    static QString name();
    // Whether this process may execute the file (its effective ids, ACLs included).
    static bool mayExecute(const QString &path);
    // Whether the group database lists this person in `group` while this process, started
    // before that, is not in it: the group's rights come with the next login.
    static bool joinsAtNextLogin(gid_t group);
    // The group's name, or its id as a number.
    static QString groupName(gid_t group);
};
