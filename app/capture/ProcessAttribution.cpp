// SPDX-License-Identifier: MIT
#include "capture/ProcessAttribution.h"

#include "platform/ProcessTable.h"

#include <QCoreApplication>

#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>

namespace {
bool hasSockets(std::uint8_t protocol)
{
    return protocol == IPPROTO_TCP || protocol == IPPROTO_UDP;
}

double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
} // namespace

ProcessAttribution::Sources ProcessAttribution::systemSources()
{
    auto table = std::make_shared<SocketTable>();
    Sources sources;
    sources.sockets = [table] { return table->read(); };
    sources.processIds = &ProcessTable::processIds;
    sources.readProcess = &ProcessTable::read;
    sources.userName = &ProcessTable::userName;
    sources.viewerUid = geteuid();
    sources.inspectsEveryProcess = sources.viewerUid == 0;
    return sources;
}

ProcessAttribution::ProcessAttribution(Sources sources, std::chrono::milliseconds refreshInterval,
                                       std::function<double()> now)
    : m_sources(std::move(sources))
    , m_refreshInterval(refreshInterval)
    , m_now(now ? std::move(now) : std::function<double()>(&steadySeconds))
    , m_ownerFormat(QCoreApplication::translate("ProcessAttribution", "%1 (%2)", "program name (process id)"))
    , m_otherUserFormat(QCoreApplication::translate("ProcessAttribution", "other user (%1)",
                                                    "a socket of another user account, by its name"))
    , m_owners(m_sources.processIds, m_sources.readProcess)
    , m_lastRefresh(-std::numeric_limits<double>::infinity())
{
}

void ProcessAttribution::readProcesses()
{
    m_owners.addNewProcesses();
}

QString ProcessAttribution::attribute(const Conversation &conversation)
{
    return attribute(std::span(&conversation, 1)).front();
}

std::vector<QString> ProcessAttribution::attribute(std::span<const Conversation> conversations)
{
    const bool anySockets = std::any_of(conversations.begin(), conversations.end(),
                                        [](const Conversation &asked) { return hasSockets(asked.protocol); });
    if (anySockets && timeUntilRefresh().count() == 0)
        refresh(conversations);
    std::vector<QString> texts;
    texts.reserve(conversations.size());
    for (const Conversation &conversation : conversations)
        texts.push_back(text(conversation));
    return texts;
}

// A clock that went back allows a reading at once rather than holding them off.
std::chrono::milliseconds ProcessAttribution::timeUntilRefresh() const
{
    const double elapsed = m_now() - m_lastRefresh;
    if (elapsed < 0.0 || elapsed >= m_refreshInterval.count())
        return std::chrono::milliseconds(0);
    const double remaining = std::ceil((m_refreshInterval.count() - elapsed) * 1000.0);
    return std::chrono::milliseconds(static_cast<std::chrono::milliseconds::rep>(remaining));
}

void ProcessAttribution::refresh(std::span<const Conversation> conversations)
{
    m_lastRefresh = m_now();
    m_index.rebuild(m_sources.sockets());
    keepOnlyLiveUnheld();
    std::unordered_set<std::uint64_t> wanted;
    for (const Conversation &conversation : conversations) {
        const SocketTableEntry *socket = m_index.find(conversation.protocol, conversation.first, conversation.second);
        if (socket != nullptr && worthSearching(*socket))
            wanted.insert(socket->inode);
    }
    if (wanted.empty())
        return;
    for (const std::uint64_t inode : m_owners.search(wanted))
        m_unheld.insert(inode);
}

// Inode numbers are not reused while a socket lives, so a socket once searched for in vain
// stays unheld; only closed ones are let go.
void ProcessAttribution::keepOnlyLiveUnheld()
{
    if (m_unheld.empty())
        return;
    std::unordered_set<std::uint64_t> live;
    for (const SocketTableEntry &socket : m_index.sockets()) {
        if (m_unheld.contains(socket.inode))
            live.insert(socket.inode);
    }
    m_unheld.swap(live);
}

// Another user's process is closed to this one: its sockets are named by their user without
// reading any process.
bool ProcessAttribution::isOtherUsers(const SocketTableEntry &socket) const
{
    return !m_sources.inspectsEveryProcess && socket.uid != m_sources.viewerUid;
}

bool ProcessAttribution::worthSearching(const SocketTableEntry &socket) const
{
    return !isOtherUsers(socket) && !m_unheld.contains(socket.inode) && !m_owners.owner(socket.inode);
}

QString ProcessAttribution::text(const Conversation &conversation)
{
    if (!hasSockets(conversation.protocol))
        return {};
    const SocketTableEntry *socket = m_index.find(conversation.protocol, conversation.first, conversation.second);
    if (socket == nullptr)
        return {};
    if (const std::optional<SocketOwners::Owner> owner = m_owners.owner(socket->inode))
        return m_ownerFormat.arg(owner->name, QString::number(owner->pid));
    if (isOtherUsers(*socket))
        return m_otherUserFormat.arg(userName(socket->uid));
    return {};
}

// Asked once per user: the name service behind it may be slow.
const QString &ProcessAttribution::userName(std::uint32_t uid)
{
    const auto [slot, inserted] = m_userNames.try_emplace(uid);
    if (inserted) {
        slot->second = m_sources.userName ? m_sources.userName(uid) : QString();
        if (slot->second.isEmpty())
            slot->second = QString::number(uid);
    }
    return slot->second;
}
