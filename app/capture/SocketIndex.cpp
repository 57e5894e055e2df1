// SPDX-License-Identifier: MIT
#include "capture/SocketIndex.h"

#include <netinet/in.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <utility>

namespace {
using Address = SocketTableEntry::Address;
using KeyBytes = std::array<std::uint8_t, 38>;

enum Kind : std::uint8_t { kExact = 1, kBoundToAddress = 2, kBoundToAny = 3 };
// Sockets bound to any address, by the conversations they take.
enum AnyFamily : std::uint8_t { kAnyIpv4 = 1, kAnyIpv6Only = 2, kAnyDualStack = 3 };

bool isZero(std::uint8_t byte)
{
    return byte == 0;
}

bool isIpv4Mapped(const Address &address)
{
    return std::all_of(address.begin(), address.begin() + 10, isZero) && address[10] == 0xFF && address[11] == 0xFF;
}

bool isAnyAddress(const Address &address)
{
    return std::all_of(isIpv4Mapped(address) ? address.begin() + 12 : address.begin(), address.end(), isZero);
}

bool hasNoPeer(const SocketTableEntry &socket)
{
    return socket.remotePort == 0 && isAnyAddress(socket.remoteAddress);
}

AnyFamily anyFamily(const SocketTableEntry &socket)
{
    if (!socket.ipv6Socket || isIpv4Mapped(socket.localAddress))
        return kAnyIpv4;
    return socket.ipv6Only ? kAnyIpv6Only : kAnyDualStack;
}

KeyBytes key(Kind kind, std::uint8_t protocol, const Address &local, std::uint16_t localPort,
             const Address &remote = {}, std::uint16_t remotePort = 0)
{
    KeyBytes bytes{};
    bytes[0] = kind;
    bytes[1] = protocol;
    std::memcpy(bytes.data() + 2, local.data(), local.size());
    std::memcpy(bytes.data() + 18, &localPort, sizeof localPort);
    std::memcpy(bytes.data() + 20, remote.data(), remote.size());
    std::memcpy(bytes.data() + 36, &remotePort, sizeof remotePort);
    return bytes;
}

KeyBytes boundToAnyKey(std::uint8_t protocol, AnyFamily family, std::uint16_t port)
{
    Address familyOnly{};
    familyOnly[0] = family;
    return key(kBoundToAny, protocol, familyOnly, port);
}

std::optional<KeyBytes> socketKey(const SocketTableEntry &socket)
{
    if (socket.inode == 0)
        return std::nullopt;
    if (!hasNoPeer(socket))
        return key(kExact, socket.protocol, socket.localAddress, socket.localPort, socket.remoteAddress,
                   socket.remotePort);
    if (socket.protocol == IPPROTO_TCP && socket.state != SocketTable::kStateListen)
        return std::nullopt;
    if (isAnyAddress(socket.localAddress))
        return boundToAnyKey(socket.protocol, anyFamily(socket), socket.localPort);
    return key(kBoundToAddress, socket.protocol, socket.localAddress, socket.localPort);
}

bool preferred(const SocketTableEntry &candidate, const SocketTableEntry &current)
{
    const bool candidateEstablished = candidate.state == SocketTable::kStateEstablished;
    if (candidateEstablished != (current.state == SocketTable::kStateEstablished))
        return candidateEstablished;
    return candidate.inode < current.inode;
}
} // namespace

std::size_t SocketIndex::KeyHash::operator()(const Key &key) const
{
    return std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char *>(key.data()), key.size()));
}

void SocketIndex::rebuild(std::vector<SocketTableEntry> sockets)
{
    m_sockets = std::move(sockets);
    m_keys.clear();
    m_keys.reserve(m_sockets.size());
    for (std::uint32_t index = 0; index < m_sockets.size(); ++index)
        insert(index);
}

void SocketIndex::insert(std::uint32_t index)
{
    const std::optional<KeyBytes> socket = socketKey(m_sockets[index]);
    if (!socket)
        return;
    const auto [slot, inserted] = m_keys.try_emplace(*socket, index);
    if (!inserted && preferred(m_sockets[index], m_sockets[slot->second]))
        slot->second = index;
}

const SocketTableEntry *SocketIndex::lookup(const Key &key) const
{
    const auto found = m_keys.find(key);
    return found == m_keys.end() ? nullptr : &m_sockets[found->second];
}

const SocketTableEntry *SocketIndex::find(std::uint8_t protocol, const StreamEndpoint &first,
                                          const StreamEndpoint &second) const
{
    for (const auto &[local, remote] : {std::pair(&first, &second), std::pair(&second, &first)}) {
        const KeyBytes exact = key(kExact, protocol, local->address, local->port, remote->address, remote->port);
        if (const auto *socket = lookup(exact))
            return socket;
    }
    for (const StreamEndpoint *local : {&first, &second}) {
        if (const auto *socket = lookup(key(kBoundToAddress, protocol, local->address, local->port)))
            return socket;
    }
    for (const StreamEndpoint *local : {&first, &second}) {
        if (const auto *socket = findBoundToAny(protocol, *local))
            return socket;
    }
    return nullptr;
}

const SocketTableEntry *SocketIndex::findBoundToAny(std::uint8_t protocol, const StreamEndpoint &local) const
{
    const AnyFamily own = isIpv4Mapped(local.address) ? kAnyIpv4 : kAnyIpv6Only;
    if (const auto *socket = lookup(boundToAnyKey(protocol, own, local.port)))
        return socket;
    return lookup(boundToAnyKey(protocol, kAnyDualStack, local.port));
}
