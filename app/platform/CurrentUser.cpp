// SPDX-License-Identifier: MIT
#include "platform/CurrentUser.h"

#include <QFile>

#include <algorithm>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace {

bool processHasGroup(gid_t group)
{
    if (getegid() == group)
        return true;
    const int count = getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(count, 0)));
    const int got = getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, group) != groups.begin() + got;
}

bool databaseHasMember(const passwd &person, gid_t group)
{
    int count = 64;
    std::vector<gid_t> groups;
    for (int attempt = 0; attempt < 2; ++attempt) {
        groups.resize(static_cast<std::size_t>(count));
        if (getgrouplist(person.pw_name, person.pw_gid, groups.data(), &count) >= 0) {
            groups.resize(static_cast<std::size_t>(count));
            return std::find(groups.begin(), groups.end(), group) != groups.end();
        }
    }
    return false;
}

} // namespace

QString CurrentUser::name()
{
    const passwd *person = getpwuid(geteuid());
    return person != nullptr ? QString::fromLocal8Bit(person->pw_name) : QString::number(geteuid());
}

bool CurrentUser::mayExecute(const QString &path)
{
    return faccessat(AT_FDCWD, QFile::encodeName(path).constData(), X_OK, AT_EACCESS) == 0;
}

bool CurrentUser::joinsAtNextLogin(gid_t group)
{
    const passwd *person = getpwuid(geteuid());
    return person != nullptr && !processHasGroup(group) && databaseHasMember(*person, group);
}

QString CurrentUser::groupName(gid_t group)
{
    const struct group *entry = getgrgid(group);
    return entry != nullptr ? QString::fromLocal8Bit(entry->gr_name) : QString::number(group);
}
