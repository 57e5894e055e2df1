// SPDX-License-Identifier: MIT
#pragma once

#include "tools/common/OwnedDescriptor.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One TCP or UDP socket as the kernel lists it.
struct SocketTableEntry
{
    using Address = std::array<std::uint8_t, 16>;

    // Network order, an IPv4 address in its IPv4-mapped form (::ffff:a.b.c.d) as streams keep
    // it. A socket bound to any address has all zeros (IPv6) or ::ffff:0.0.0.0 (IPv4); one
    // with no peer has a remote address of the same kind and port 0.
    Address localAddress{};
    Address remoteAddress{};
    std::uint64_t inode = 0; // 0: no file holds it (TIME_WAIT, a connection not yet accepted)
    std::uint32_t uid = 0;   // who made it
    std::uint16_t localPort = 0;
    std::uint16_t remotePort = 0;
    std::uint8_t protocol = 0; // IPPROTO_TCP or IPPROTO_UDP
    std::uint8_t state = 0;    // the kernel's TCP state numbers; UDP is 1 connected, 7 not
    bool ipv6Socket = false;   // an AF_INET6 socket, which carries IPv4 too unless ipv6Only
    bool ipv6Only = false;     // IPV6_V6ONLY, known only from the socket-diagnostics interface
};

// Reads the TCP and UDP tables of the network namespace of the thread that made it: through
// the kernel's socket-diagnostics interface, or, for a table that interface refuses, from the
// /proc/net text files. Not thread-safe: one reading at a time.
class SocketTable
{
public:
    static constexpr std::uint8_t kStateEstablished = 1;
    static constexpr std::uint8_t kStateTimeWait = 6;
    static constexpr std::uint8_t kStateClose = 7;
    static constexpr std::uint8_t kStateListen = 10;

    SocketTable();
    SocketTable(const SocketTable &) = delete;
    SocketTable &operator=(const SocketTable &) = delete;

    // Every socket of both protocols over IPv4 and IPv6, except those in states that never
    // have a file (TIME_WAIT, half-open connections).
    std::vector<SocketTableEntry> read();

private:
    enum class DumpState { More, Done, Failed };

    // `table` numbers the four tables: TCP, TCP over IPv6, UDP, UDP over IPv6.
    bool dump(std::size_t table, std::vector<SocketTableEntry> &into);
    bool receiveDump(std::size_t table, std::vector<SocketTableEntry> &into);
    DumpState takeMessages(std::size_t length, std::size_t table, std::vector<SocketTableEntry> &into) const;
    bool readTextTable(std::size_t table, std::vector<SocketTableEntry> &into);

    // Both opened at construction, which fixes the namespace they read.
    OwnedDescriptor m_diagnostics;
    std::array<OwnedDescriptor, 4> m_textTables;
    std::uint32_t m_sequence = 0;
    std::vector<char> m_buffer;
    std::string m_text;
};
