// SPDX-License-Identifier: MIT
#pragma once

#include "capture/SocketIndex.h"
#include "capture/SocketOwners.h"
#include "model/StreamEndpoint.h"
#include "platform/SocketTable.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// Which program owns a conversation of this machine, as text for its stream:
// - "firefox (4242)": the command name and process id of the process holding its socket;
// - "other user (postgres)": a socket another user made, whose process this user may not
//   inspect (the user id's number when it has no name);
// - empty: no local socket carries it (forwarded, closed already), or no visible process
//   holds the socket any more.
//
// Answers come from the kernel's socket tables, read again for a question when the last
// reading is at least refreshInterval old: a flood of new conversations costs at most a few
// readings a second. Processes' descriptor lists are read as SocketOwners describes, only
// for sockets of this user's own (or, for root, of anyone). Not thread-safe:
// AsyncProcessAttribution serves questions from a worker thread.
class ProcessAttribution
{
public:
    static constexpr std::chrono::milliseconds kRefreshInterval{200};

    struct Conversation
    {
        std::uint8_t protocol = 0; // IPPROTO_TCP or IPPROTO_UDP; other protocols have no socket
        StreamEndpoint first;      // the side that looked local: tried first as the local one
        StreamEndpoint second;
    };

    // Where the tables come from; tests give fake ones.
    struct Sources
    {
        std::function<std::vector<SocketTableEntry>()> sockets;
        SocketOwners::ProcessIds processIds;
        SocketOwners::ReadProcess readProcess;
        std::function<QString(std::uint32_t uid)> userName; // empty when the id has no name
        std::uint32_t viewerUid = 0;                        // whose sockets are the user's own
        bool inspectsEveryProcess = false;                  // root: a socket no process holds is nobody's
    };

    // The real tables: the sockets of the calling thread's network namespace, and the
    // processes as this process may see them.
    static Sources systemSources();

    // `now` gives seconds and only spaces out the readings: a steady clock when empty, not
    // Clock::now, which tests freeze to age streams.
    explicit ProcessAttribution(Sources sources, std::chrono::milliseconds refreshInterval = kRefreshInterval,
                                std::function<double()> now = {});

    // Reads the processes ahead of the first question, so that it is answered quickly.
    void readProcesses();

    // Reads the tables first when allowed, else answers from the last reading.
    QString attribute(const Conversation &conversation);
    // The same for several at once, with at most one reading for them all.
    std::vector<QString> attribute(std::span<const Conversation> conversations);

    // How long until the tables may be read again; zero when they may be now.
    std::chrono::milliseconds timeUntilRefresh() const;

private:
    void refresh(std::span<const Conversation> conversations);
    void keepOnlyLiveUnheld();
    bool isOtherUsers(const SocketTableEntry &socket) const;
    bool worthSearching(const SocketTableEntry &socket) const;
    QString text(const Conversation &conversation);
    const QString &userName(std::uint32_t uid);

    Sources m_sources;
    const std::chrono::duration<double> m_refreshInterval;
    const std::function<double()> m_now;
    const QString m_ownerFormat;
    const QString m_otherUserFormat;
    SocketIndex m_index;
    SocketOwners m_owners;
    std::unordered_set<std::uint64_t> m_unheld; // no readable process held these when searched
    std::unordered_map<std::uint32_t, QString> m_userNames;
    double m_lastRefresh;
};
