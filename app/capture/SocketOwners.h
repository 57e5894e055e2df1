// SPDX-License-Identifier: MIT
#pragma once

#include "platform/ProcessTable.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// Which process holds each socket, learned from the processes' descriptor lists and kept up
// to date a little at a time: a search reads the processes not read yet (the newest first: a
// new socket most likely belongs to a program that has just started, and may close soon),
// then reads known ones again only until the sockets it looks for are accounted for.
//
// Of several processes holding one socket (a fork), the lowest process id read is the owner,
// but process 1 only when no other process holds it: the service manager keeps the sockets
// it hands to the services it starts. Not thread-safe.
class SocketOwners
{
public:
    using ProcessIds = std::function<std::vector<int>()>;
    using ReadProcess = std::function<std::optional<ProcessSockets>(int pid)>;

    struct Owner
    {
        int pid = 0;
        QString name;
    };

    SocketOwners(ProcessIds processIds, ReadProcess readProcess);

    // The process holding the socket with this inode when its process was last read.
    std::optional<Owner> owner(std::uint64_t inode) const;

    // Reads every process not read yet (the first call reads them all), and forgets those
    // that have ended. Returns the processes read.
    std::vector<int> addNewProcesses();

    // Finds the holders of `inodes`: adds new processes, then reads known ones again, those
    // that held sockets at their last reading first, until every socket is accounted for.
    // Returns those no readable process holds.
    std::vector<std::uint64_t> search(const std::unordered_set<std::uint64_t> &inodes);

private:
    struct Process
    {
        QString name;
        std::vector<std::uint64_t> inodes;
        bool readable = false;
    };

    void forgetEnded(const std::vector<int> &running); // from the highest id down
    std::vector<int> rereadOrder(const std::vector<int> &justRead) const;
    bool isSettled(std::uint64_t inode) const;
    void read(int pid);
    void store(int pid, ProcessSockets process);
    void forget(int pid);

    ProcessIds m_processIds;
    ReadProcess m_readProcess;
    std::map<int, Process> m_processes;
    std::unordered_map<std::uint64_t, int> m_owners; // inode -> pid
};
