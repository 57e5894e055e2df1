// SPDX-License-Identifier: MIT
#pragma once

#include "model/StreamEndpoint.h"
#include "platform/SocketTable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

// One reading of the socket tables, arranged to find the socket that carries a conversation.
//
// Sockets no file holds (inode 0: TIME_WAIT, a connection not yet accepted) are left out, so
// a closed socket's leftovers never stand in for a live one; nor are TCP sockets that neither
// listen nor have a peer. Of two sockets under the same key the established one wins (TCP),
// then the older one (the lower inode).
class SocketIndex
{
public:
    void rebuild(std::vector<SocketTableEntry> sockets);

    // The socket carrying a TCP or UDP conversation, or null. Either endpoint may be the local
    // one, `first` being tried first at each step: a socket with exactly these endpoints, then
    // one bound to the local address and port with no peer (listening TCP, unconnected UDP),
    // then one bound to any address on the local port; an IPv6 socket bound to any address
    // carries IPv4 conversations too unless it is IPv6-only.
    const SocketTableEntry *find(std::uint8_t protocol, const StreamEndpoint &first,
                                 const StreamEndpoint &second) const;

    const std::vector<SocketTableEntry> &sockets() const { return m_sockets; }

private:
    // Kind, protocol, local address and port, remote address and port.
    using Key = std::array<std::uint8_t, 38>;
    struct KeyHash
    {
        std::size_t operator()(const Key &key) const;
    };

    void insert(std::uint32_t index);
    const SocketTableEntry *lookup(const Key &key) const;
    const SocketTableEntry *findBoundToAny(std::uint8_t protocol, const StreamEndpoint &local) const;

    std::vector<SocketTableEntry> m_sockets;
    std::unordered_map<Key, std::uint32_t, KeyHash> m_keys; // key -> index in m_sockets
};
