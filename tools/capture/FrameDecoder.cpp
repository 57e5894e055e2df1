// SPDX-License-Identifier: MIT
#include "tools/capture/FrameDecoder.h"

namespace {
constexpr std::size_t kMinimumIpv4Header = 20;
constexpr std::size_t kPortFieldsLength = 4;
constexpr std::size_t kEthernetHeaderLength = 14;
constexpr std::size_t kEtherTypeOffset = 12;
constexpr std::uint16_t kEtherTypeIpv4 = 0x0800;
constexpr std::size_t kFragmentFieldOffset = 6;
constexpr std::uint16_t kFragmentOffsetMask = 0x1FFF;
constexpr std::size_t kTcpHeaderLengthOffset = 12;
constexpr std::size_t kUdpHeaderLength = 8;
constexpr std::uint8_t kProtocolTcp = 6;
constexpr std::uint8_t kProtocolUdp = 17;

// Lengths wrap like the 16-bit fields they end up in.
std::uint16_t modulo65536(std::size_t value)
{
    return static_cast<std::uint16_t>(value & 0xFFFFu);
}

PacketSummary summaryWithoutIpv4(std::size_t frameLength, std::size_t linkHeaderLength)
{
    PacketSummary summary;
    summary.packetBytes = modulo65536(frameLength - linkHeaderLength);
    return summary;
}

// Needs at least linkHeaderLength + 1 bytes, which the minimum-length check guarantees.
bool carriesIpv4(std::span<const std::uint8_t> frame, std::size_t linkHeaderLength)
{
    if (linkHeaderLength == kEthernetHeaderLength) {
        const auto etherType = PacketSummary::bigEndian16(frame.subspan(kEtherTypeOffset).first<2>());
        if (etherType != kEtherTypeIpv4)
            return false;
    }
    return (frame[linkHeaderLength] >> 4) == 4;
}

void addPorts(PacketSummary &summary, std::span<const std::uint8_t> transport)
{
    summary.hasPorts = 1;
    summary.sourcePort = PacketSummary::bigEndian16(transport.first<2>());
    summary.destinationPort = PacketSummary::bigEndian16(transport.subspan(2).first<2>());
}

// A later fragment's payload continues the datagram: what sits where ports would be is data.
bool isLaterFragment(std::span<const std::uint8_t> ip)
{
    return (PacketSummary::bigEndian16(ip.subspan(kFragmentFieldOffset).first<2>()) & kFragmentOffsetMask) != 0;
}

// Fills ports and dataBytes from the bytes after the IP header, as far as they reach.
void addTransport(PacketSummary &summary, std::span<const std::uint8_t> transport, std::size_t ipHeaderLength)
{
    const std::size_t afterIpHeader = std::size_t{summary.packetBytes} - ipHeaderLength;
    if (summary.ipProtocol == kProtocolTcp && transport.size() > kTcpHeaderLengthOffset) {
        addPorts(summary, transport);
        const std::size_t tcpHeaderLength = std::size_t{transport[kTcpHeaderLengthOffset]} >> 4 << 2;
        summary.dataBytes = modulo65536(afterIpHeader - tcpHeaderLength);
    } else if (summary.ipProtocol == kProtocolUdp && transport.size() >= kPortFieldsLength) {
        addPorts(summary, transport);
        summary.dataBytes = modulo65536(afterIpHeader - kUdpHeaderLength);
    } else {
        summary.dataBytes = modulo65536(afterIpHeader);
    }
}
} // namespace

PacketSummary decodeFrame(std::span<const std::uint8_t> capturedFrame, std::size_t linkHeaderLength)
{
    const std::size_t length = capturedFrame.size();
    if (length < linkHeaderLength + kMinimumIpv4Header + kPortFieldsLength
        || !carriesIpv4(capturedFrame, linkHeaderLength))
        return summaryWithoutIpv4(length, linkHeaderLength);

    const auto ip = capturedFrame.subspan(linkHeaderLength);
    PacketSummary summary;
    summary.ipProtocol = ip[9];
    summary.sourceAddress = PacketSummary::bigEndian32(ip.subspan(12).first<4>());
    summary.destinationAddress = PacketSummary::bigEndian32(ip.subspan(16).first<4>());
    summary.packetBytes = modulo65536(length - linkHeaderLength);

    const std::size_t ipHeaderLength = std::size_t{ip[0] & 0x0Fu} << 2;
    const bool holdsTransportHeader = ipHeaderLength <= ip.size() && !isLaterFragment(ip);
    const auto transport = holdsTransportHeader ? ip.subspan(ipHeaderLength) : std::span<const std::uint8_t>{};
    addTransport(summary, transport, ipHeaderLength);
    return summary;
}
