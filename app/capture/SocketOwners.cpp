// SPDX-License-Identifier: MIT
#include "capture/SocketOwners.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <utility>

namespace {
// Whether `candidate` rather than `current` owns a socket both hold.
bool outranks(int candidate, int current)
{
    if ((candidate == 1) != (current == 1))
        return current == 1;
    return candidate < current;
}
} // namespace

SocketOwners::SocketOwners(ProcessIds processIds, ReadProcess readProcess)
    : m_processIds(std::move(processIds))
    , m_readProcess(std::move(readProcess))
{
}

std::optional<SocketOwners::Owner> SocketOwners::owner(std::uint64_t inode) const
{
    const auto found = m_owners.find(inode);
    if (found == m_owners.end())
        return std::nullopt;
    return Owner{found->second, m_processes.at(found->second).name};
}

std::vector<int> SocketOwners::addNewProcesses()
{
    std::vector<int> running = m_processIds();
    std::sort(running.begin(), running.end(), std::greater<>());
    forgetEnded(running);
    std::erase_if(running, [this](int pid) { return m_processes.contains(pid); });
    for (const int pid : running)
        read(pid);
    return running;
}

void SocketOwners::forgetEnded(const std::vector<int> &running)
{
    std::vector<int> ended;
    for (const auto &[pid, process] : m_processes) {
        if (!std::binary_search(running.begin(), running.end(), pid, std::greater<>()))
            ended.push_back(pid);
    }
    for (const int pid : ended)
        forget(pid);
}

std::vector<std::uint64_t> SocketOwners::search(const std::unordered_set<std::uint64_t> &inodes)
{
    const std::vector<int> added = addNewProcesses();
    std::vector<std::uint64_t> unsettled;
    std::copy_if(inodes.begin(), inodes.end(), std::back_inserter(unsettled),
                 [this](std::uint64_t inode) { return !isSettled(inode); });
    for (const int pid : rereadOrder(added)) {
        if (unsettled.empty())
            break;
        read(pid);
        std::erase_if(unsettled, [this](std::uint64_t inode) { return isSettled(inode); });
    }
    std::erase_if(unsettled, [this](std::uint64_t inode) { return m_owners.contains(inode); });
    return unsettled;
}

// Known, readable and not just read (`justRead` runs from the highest id down), in increasing
// process ids: those that held sockets at their last reading (programs that already talk),
// then the rest.
std::vector<int> SocketOwners::rereadOrder(const std::vector<int> &justRead) const
{
    std::vector<int> order;
    std::vector<int> quiet;
    for (const auto &[pid, process] : m_processes) {
        if (process.readable && !std::binary_search(justRead.begin(), justRead.end(), pid, std::greater<>()))
            (process.inodes.empty() ? quiet : order).push_back(pid);
    }
    order.insert(order.end(), quiet.begin(), quiet.end());
    return order;
}

// Owned by a process that no other one holding it would outrank.
bool SocketOwners::isSettled(std::uint64_t inode) const
{
    const auto found = m_owners.find(inode);
    return found != m_owners.end() && found->second != 1;
}

void SocketOwners::read(int pid)
{
    if (std::optional<ProcessSockets> process = m_readProcess(pid))
        store(pid, std::move(*process));
    else
        forget(pid);
}

void SocketOwners::store(int pid, ProcessSockets process)
{
    forget(pid);
    Process &stored = m_processes[pid];
    stored.name = std::move(process.name);
    stored.inodes = std::move(process.socketInodes);
    stored.readable = process.readable;
    for (const std::uint64_t inode : stored.inodes) {
        const auto [slot, inserted] = m_owners.try_emplace(inode, pid);
        if (!inserted && outranks(pid, slot->second))
            slot->second = pid;
    }
}

// Another process holding one of its sockets claims it again when it is next read.
void SocketOwners::forget(int pid)
{
    const auto found = m_processes.find(pid);
    if (found == m_processes.end())
        return;
    for (const std::uint64_t inode : found->second.inodes) {
        const auto owner = m_owners.find(inode);
        if (owner != m_owners.end() && owner->second == pid)
            m_owners.erase(owner);
    }
    m_processes.erase(found);
}
