// SPDX-License-Identifier: MIT
#include "platform/SocketTable.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <string_view>

namespace {
constexpr std::uint8_t kStateSynReceived = 3;
constexpr std::uint8_t kStateNewSynReceived = 12;
constexpr std::uint32_t kStatesWithoutFile
    = (1U << SocketTable::kStateTimeWait) | (1U << kStateSynReceived) | (1U << kStateNewSynReceived);
// Larger than any single reply of a dump, so no message arrives cut short.
constexpr std::size_t kReceiveBufferBytes = 64 * 1024;

struct TableKind
{
    std::uint8_t family;
    std::uint8_t protocol;
    const char *textFile;
};
constexpr std::array<TableKind, 4> kTables{{
    {AF_INET, IPPROTO_TCP, "/proc/thread-self/net/tcp"},
    {AF_INET6, IPPROTO_TCP, "/proc/thread-self/net/tcp6"},
    {AF_INET, IPPROTO_UDP, "/proc/thread-self/net/udp"},
    {AF_INET6, IPPROTO_UDP, "/proc/thread-self/net/udp6"},
}};

constexpr std::size_t align4(std::size_t length)
{
    return (length + 3) & ~std::size_t{3};
}

template <typename Struct> bool copyOut(const char *bytes, std::size_t length, std::size_t offset, Struct &out)
{
    if (offset > length || length - offset < sizeof(Struct))
        return false;
    std::memcpy(&out, bytes + offset, sizeof(Struct));
    return true;
}

SocketTableEntry::Address ipv4Mapped(const void *fourBytes)
{
    SocketTableEntry::Address address{};
    address[10] = 0xFF;
    address[11] = 0xFF;
    std::memcpy(address.data() + 12, fourBytes, 4);
    return address;
}

SocketTableEntry::Address diagnosticAddress(std::uint8_t family, const std::uint32_t (&words)[4])
{
    if (family == AF_INET)
        return ipv4Mapped(&words[0]);
    SocketTableEntry::Address address{};
    std::memcpy(address.data(), &words[0], address.size());
    return address;
}

// The one attribute kept: whether an IPv6 socket refuses IPv4 (sent for listening and
// unconnected sockets).
bool ipv6OnlyAttribute(const char *bytes, std::size_t length, std::size_t offset)
{
    rtattr attribute{};
    while (copyOut(bytes, length, offset, attribute) && attribute.rta_len >= sizeof attribute) {
        const std::size_t valueOffset = offset + align4(sizeof attribute);
        if (attribute.rta_type == INET_DIAG_SKV6ONLY && valueOffset < length)
            return bytes[valueOffset] != 0;
        offset += align4(attribute.rta_len);
    }
    return false;
}

bool appendDiagnosticEntry(const char *bytes, std::size_t length, std::uint8_t protocol,
                           std::vector<SocketTableEntry> &into)
{
    inet_diag_msg message{};
    if (!copyOut(bytes, length, 0, message))
        return false;
    SocketTableEntry entry;
    entry.protocol = protocol;
    entry.state = message.idiag_state;
    entry.uid = message.idiag_uid;
    entry.inode = message.idiag_inode;
    entry.localPort = ntohs(message.id.idiag_sport);
    entry.remotePort = ntohs(message.id.idiag_dport);
    entry.localAddress = diagnosticAddress(message.idiag_family, message.id.idiag_src);
    entry.remoteAddress = diagnosticAddress(message.idiag_family, message.id.idiag_dst);
    entry.ipv6Socket = message.idiag_family == AF_INET6;
    entry.ipv6Only = entry.ipv6Socket && ipv6OnlyAttribute(bytes, length, align4(sizeof message));
    into.push_back(entry);
    return true;
}

template <typename Number> bool parseNumber(std::string_view text, Number &number, int base)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, base);
    return error == std::errc() && end == text.data() + text.size();
}

// "0100007F:0050": the kernel prints each 32-bit word of the address as the number it reads
// from memory, so storing the parsed number back into memory restores the bytes.
bool parseTextEndpoint(std::string_view text, SocketTableEntry::Address &address, std::uint16_t &port)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || !parseNumber(text.substr(colon + 1), port, 16))
        return false;
    const std::string_view hex = text.substr(0, colon);
    if (hex.size() != 8 && hex.size() != 32)
        return false;
    std::array<std::uint32_t, 4> words{};
    for (std::size_t word = 0; word < hex.size() / 8; ++word) {
        if (!parseNumber(hex.substr(word * 8, 8), words[word], 16))
            return false;
    }
    if (hex.size() == 8) {
        address = ipv4Mapped(&words[0]);
        return true;
    }
    std::memcpy(address.data(), words.data(), address.size());
    return true;
}

std::vector<std::string_view> fields(std::string_view line, std::size_t wanted)
{
    std::vector<std::string_view> found;
    std::size_t position = line.find_first_not_of(' ');
    while (position != std::string_view::npos && found.size() < wanted) {
        const std::size_t end = line.find(' ', position);
        found.push_back(line.substr(position, end - position));
        position = line.find_first_not_of(' ', end);
    }
    return found;
}

// "sl local remote st tx:rx tr:when retrnsmt uid timeout inode ...".
bool parseTextLine(std::string_view line, std::uint8_t protocol, SocketTableEntry &entry)
{
    const std::vector<std::string_view> field = fields(line, 10);
    entry.protocol = protocol;
    return field.size() == 10 && parseTextEndpoint(field[1], entry.localAddress, entry.localPort)
        && parseTextEndpoint(field[2], entry.remoteAddress, entry.remotePort) && parseNumber(field[3], entry.state, 16)
        && parseNumber(field[7], entry.uid, 10) && parseNumber(field[9], entry.inode, 10);
}
} // namespace

SocketTable::SocketTable()
    : m_diagnostics(socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG))
    , m_buffer(kReceiveBufferBytes)
{
    if (m_diagnostics) {
        // A reply never takes long; the limit only keeps a broken kernel from stalling us.
        const timeval limit{1, 0};
        setsockopt(m_diagnostics.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    for (std::size_t table = 0; table < kTables.size(); ++table)
        m_textTables[table] = OwnedDescriptor(open(kTables[table].textFile, O_RDONLY | O_CLOEXEC));
}

std::vector<SocketTableEntry> SocketTable::read()
{
    std::vector<SocketTableEntry> entries;
    for (std::size_t table = 0; table < kTables.size(); ++table) {
        const std::size_t before = entries.size();
        if (dump(table, entries))
            continue;
        entries.resize(before);
        readTextTable(table, entries);
    }
    return entries;
}

bool SocketTable::dump(std::size_t table, std::vector<SocketTableEntry> &into)
{
    if (!m_diagnostics)
        return false;
    struct
    {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message.header.nlmsg_seq = ++m_sequence;
    message.request.sdiag_family = kTables[table].family;
    message.request.sdiag_protocol = kTables[table].protocol;
    message.request.idiag_states = ~kStatesWithoutFile;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(m_diagnostics.get(), &message, sizeof message, 0, reinterpret_cast<const sockaddr *>(&kernel),
               sizeof kernel)
        != static_cast<ssize_t>(sizeof message))
        return false;
    return receiveDump(table, into);
}

bool SocketTable::receiveDump(std::size_t table, std::vector<SocketTableEntry> &into)
{
    for (;;) {
        const ssize_t received = recv(m_diagnostics.get(), m_buffer.data(), m_buffer.size(), 0);
        if (received < 0 && errno == EINTR)
            continue;
        if (received <= 0)
            return false;
        switch (takeMessages(static_cast<std::size_t>(received), table, into)) {
        case DumpState::Done:
            return true;
        case DumpState::Failed:
            return false;
        case DumpState::More:
            break;
        }
    }
}

// Replies left over from an earlier, abandoned dump carry another sequence number and are
// passed over.
SocketTable::DumpState SocketTable::takeMessages(std::size_t length, std::size_t table,
                                                 std::vector<SocketTableEntry> &into) const
{
    const char *bytes = m_buffer.data();
    std::size_t offset = 0;
    nlmsghdr header{};
    while (copyOut(bytes, length, offset, header)) {
        if (header.nlmsg_len < sizeof header || header.nlmsg_len > length - offset)
            return DumpState::Failed;
        const char *payload = bytes + offset + align4(sizeof header);
        const std::size_t payloadLength = header.nlmsg_len - align4(sizeof header);
        offset += align4(header.nlmsg_len);
        if (header.nlmsg_seq != m_sequence)
            continue;
        if (header.nlmsg_type == NLMSG_ERROR)
            return DumpState::Failed;
        if (header.nlmsg_type == NLMSG_DONE) {
            int status = 0;
            copyOut(payload, payloadLength, 0, status);
            return status < 0 ? DumpState::Failed : DumpState::Done;
        }
        if (header.nlmsg_type == SOCK_DIAG_BY_FAMILY
            && !appendDiagnosticEntry(payload, payloadLength, kTables[table].protocol, into))
            return DumpState::Failed;
    }
    return DumpState::More;
}

bool SocketTable::readTextTable(std::size_t table, std::vector<SocketTableEntry> &into)
{
    const int file = m_textTables[table].get();
    if (file < 0 || lseek(file, 0, SEEK_SET) != 0)
        return false;
    m_text.clear();
    for (;;) {
        const ssize_t received = ::read(file, m_buffer.data(), m_buffer.size());
        if (received < 0 && errno == EINTR)
            continue;
        if (received < 0)
            return false;
        if (received == 0)
            break;
        m_text.append(m_buffer.data(), static_cast<std::size_t>(received));
    }
    std::string_view text = m_text;
    text.remove_prefix(std::min(text.size(), text.find('\n') + 1)); // the column titles
    while (!text.empty()) {
        const std::size_t end = std::min(text.size(), text.find('\n'));
        SocketTableEntry entry;
        entry.ipv6Socket = kTables[table].family == AF_INET6;
        if (parseTextLine(text.substr(0, end), kTables[table].protocol, entry)
            && (entry.state >= 32 || (kStatesWithoutFile & (1U << entry.state)) == 0))
            into.push_back(entry);
        text.remove_prefix(std::min(text.size(), end + 1));
    }
    return true;
}
