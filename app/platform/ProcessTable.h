// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// What one process holds, as far as naming the program behind a socket goes.
struct ProcessSockets
{
    QString name;                            // its command name, as the system shows it
    std::vector<std::uint64_t> socketInodes; // the sockets its descriptors refer to
    bool readable = false;                   // false: its descriptors are closed to this user
};

// The processes of this machine as /proc shows them to this user.
class ProcessTable
{
public:
    // Every process, in no particular order.
    static std::vector<int> processIds();
    // One process's name and sockets; nullopt when it has gone.
    static std::optional<ProcessSockets> read(int pid);
    // The account name of a user id, or empty when it has none.
    static QString userName(std::uint32_t uid);
};
