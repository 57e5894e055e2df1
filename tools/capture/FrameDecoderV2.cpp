// SPDX-License-Identifier: MIT
#include "tools/capture/FrameDecoderV2.h"

#include <algorithm>
#include <array>

namespace {
using Bytes = std::span<const std::uint8_t>;

constexpr std::size_t kEthernetHeaderLength = 14;
constexpr std::size_t kEtherTypeOffset = 12;
constexpr std::size_t kEtherTypeLength = 2;
constexpr std::size_t kVlanTagLength = 4;
constexpr std::size_t kMostVlanTags = 2;
constexpr std::array<std::uint16_t, 3> kVlanEtherTypes{0x8100, 0x88A8, 0x9100};
constexpr std::uint16_t kEtherTypeIpv4 = 0x0800;
constexpr std::uint16_t kEtherTypeIpv6 = 0x86DD;

constexpr std::size_t kMinimumIpv4Header = 20;
constexpr std::size_t kIpv4FragmentFieldOffset = 6;
constexpr std::uint16_t kIpv4MoreFragments = 0x2000;
constexpr std::uint16_t kIpv4FragmentOffsetMask = 0x1FFF;

constexpr std::size_t kIpv6HeaderLength = 40;
constexpr std::size_t kIpv6NextHeaderOffset = 6;
constexpr std::uint8_t kHopByHopOptions = 0;
constexpr std::uint8_t kRoutingHeader = 43;
constexpr std::uint8_t kFragmentHeader = 44;
constexpr std::uint8_t kDestinationOptions = 60;
constexpr std::size_t kExtensionLengthUnit = 8;
constexpr std::size_t kFragmentHeaderLength = 8;
constexpr std::uint16_t kIpv6MoreFragments = 0x0001;
constexpr std::uint16_t kIpv6FragmentOffsetMask = 0xFFF8;

constexpr std::uint8_t kProtocolTcp = 6;
constexpr std::uint8_t kProtocolUdp = 17;
constexpr std::size_t kPortFieldsLength = 4;
constexpr std::size_t kTcpHeaderLengthOffset = 12;
constexpr std::size_t kUdpHeaderLength = 8;

// Whether count bytes from offset lie inside bytes; never overflows.
bool holds(Bytes bytes, std::size_t offset, std::size_t count)
{
    return offset <= bytes.size() && count <= bytes.size() - offset;
}

std::uint16_t bigEndian16At(Bytes bytes, std::size_t offset)
{
    return PacketSummary::bigEndian16(bytes.subspan(offset).first<2>());
}

std::uint32_t remainingAfter(std::uint32_t length, std::size_t headers)
{
    return headers < length ? static_cast<std::uint32_t>(length - headers) : 0;
}

// Where the network layer starts and the IP version found there (0: none).
struct NetworkLayer
{
    std::size_t offset = 0;
    std::uint8_t ipVersion = 0;
};

std::uint8_t ipVersionOfEtherType(std::uint16_t etherType)
{
    if (etherType == kEtherTypeIpv4)
        return 4;
    return etherType == kEtherTypeIpv6 ? 6 : 0;
}

bool isVlanTag(std::uint16_t etherType)
{
    return std::ranges::find(kVlanEtherTypes, etherType) != kVlanEtherTypes.end();
}

// A tag announced but cut off still counts as link layer, as does a header shorter than 14.
NetworkLayer afterEthernetHeader(Bytes frame)
{
    std::size_t etherTypeOffset = kEtherTypeOffset;
    for (std::size_t tags = 0;; ++tags) {
        const std::size_t networkOffset = etherTypeOffset + kEtherTypeLength;
        if (!holds(frame, etherTypeOffset, kEtherTypeLength))
            return {networkOffset, 0};
        const std::uint16_t etherType = bigEndian16At(frame, etherTypeOffset);
        if (tags == kMostVlanTags || !isVlanTag(etherType))
            return {networkOffset, ipVersionOfEtherType(etherType)};
        etherTypeOffset += kVlanTagLength;
    }
}

std::uint8_t versionNibble(Bytes frame, std::size_t offset)
{
    return holds(frame, offset, 1) ? static_cast<std::uint8_t>(frame[offset] >> 4) : 0;
}

NetworkLayer findNetworkLayer(Bytes frame, std::size_t linkHeaderLength)
{
    if (linkHeaderLength != kEthernetHeaderLength)
        return {linkHeaderLength, versionNibble(frame, linkHeaderLength)};
    NetworkLayer layer = afterEthernetHeader(frame);
    if (versionNibble(frame, layer.offset) != layer.ipVersion)
        layer.ipVersion = 0;
    return layer;
}

// The transport header's length when its ports could be read, else 0.
std::size_t addPorts(PacketSummaryV2& summary, Bytes transport)
{
    std::size_t headerLength = 0;
    if (summary.ipProtocol == kProtocolTcp && transport.size() > kTcpHeaderLengthOffset)
        headerLength = std::size_t{transport[kTcpHeaderLengthOffset]} >> 4 << 2;
    else if (summary.ipProtocol == kProtocolUdp && transport.size() >= kPortFieldsLength)
        headerLength = kUdpHeaderLength;
    else
        return 0;
    summary.hasPorts = true;
    summary.sourcePort = bigEndian16At(transport, 0);
    summary.destinationPort = bigEndian16At(transport, 2);
    return headerLength;
}

// The transport header starts ipHeadersLength bytes into ip; a later fragment has none.
void addTransport(PacketSummaryV2& summary, Bytes ip, std::size_t ipHeadersLength, bool laterFragment)
{
    const bool holdsTransport = !laterFragment && holds(ip, ipHeadersLength, 0);
    const std::size_t transportHeaderLength = holdsTransport ? addPorts(summary, ip.subspan(ipHeadersLength)) : 0;
    summary.dataBytes = remainingAfter(summary.packetBytes, ipHeadersLength + transportHeaderLength);
}

// Leaves the summary as it is when the header is too short.
void decodeIpv4(PacketSummaryV2& summary, Bytes ip)
{
    if (!holds(ip, 0, kMinimumIpv4Header))
        return;
    const std::size_t headerLength = std::size_t{ip[0] & 0x0Fu} << 2;
    if (headerLength < kMinimumIpv4Header)
        return;
    summary.ipVersion = 4;
    summary.ipProtocol = ip[9];
    summary.sourceAddress = PacketSummaryV2::ipv4Mapped(PacketSummary::bigEndian32(ip.subspan(12).first<4>()));
    summary.destinationAddress = PacketSummaryV2::ipv4Mapped(PacketSummary::bigEndian32(ip.subspan(16).first<4>()));
    const std::uint16_t fragmentField = bigEndian16At(ip, kIpv4FragmentFieldOffset);
    summary.fragment = (fragmentField & (kIpv4MoreFragments | kIpv4FragmentOffsetMask)) != 0;
    addTransport(summary, ip, headerLength, (fragmentField & kIpv4FragmentOffsetMask) != 0);
}

// The IPv6 header and the extension headers walked after it.
struct HeaderChain
{
    std::uint8_t protocol = 0;
    std::size_t length = kIpv6HeaderLength;
    bool fragment = false;
    bool laterFragment = false;
};

bool isWalkedExtensionHeader(std::uint8_t nextHeader)
{
    return nextHeader == kHopByHopOptions || nextHeader == kRoutingHeader || nextHeader == kFragmentHeader
        || nextHeader == kDestinationOptions;
}

// What follows a later fragment's header is payload, so the walk ends there.
bool stepOverFragmentHeader(HeaderChain& chain, Bytes ip)
{
    if (!holds(ip, chain.length, 4))
        return false;
    const std::uint16_t offsetAndFlags = bigEndian16At(ip, chain.length + 2);
    chain.protocol = ip[chain.length];
    chain.length += kFragmentHeaderLength;
    chain.fragment = chain.fragment || (offsetAndFlags & (kIpv6FragmentOffsetMask | kIpv6MoreFragments)) != 0;
    chain.laterFragment = (offsetAndFlags & kIpv6FragmentOffsetMask) != 0;
    return !chain.laterFragment;
}

// False when the walk ends at this header: it is cut off, or a later fragment's.
bool stepOver(HeaderChain& chain, Bytes ip)
{
    if (chain.protocol == kFragmentHeader)
        return stepOverFragmentHeader(chain, ip);
    if (!holds(ip, chain.length, 2))
        return false;
    const std::size_t headerLength = (std::size_t{ip[chain.length + 1]} + 1) * kExtensionLengthUnit;
    chain.protocol = ip[chain.length];
    chain.length += headerLength;
    return true;
}

HeaderChain walkExtensionHeaders(Bytes ip)
{
    HeaderChain chain{.protocol = ip[kIpv6NextHeaderOffset]};
    for (std::size_t walked = 0; walked < kMostExtensionHeaders && isWalkedExtensionHeader(chain.protocol); ++walked) {
        if (!stepOver(chain, ip))
            break;
    }
    return chain;
}

// Leaves the summary as it is when the header is too short.
void decodeIpv6(PacketSummaryV2& summary, Bytes ip)
{
    if (!holds(ip, 0, kIpv6HeaderLength))
        return;
    summary.ipVersion = 6;
    std::copy_n(ip.subspan(8, 16).data(), 16, summary.sourceAddress.data());
    std::copy_n(ip.subspan(24, 16).data(), 16, summary.destinationAddress.data());
    const HeaderChain chain = walkExtensionHeaders(ip);
    summary.ipProtocol = chain.protocol;
    summary.fragment = chain.fragment;
    addTransport(summary, ip, chain.length, chain.laterFragment);
}
} // namespace

PacketSummaryV2 decodeFrameV2(std::span<const std::uint8_t> capturedFrame, std::size_t linkHeaderLength,
                              std::uint32_t wireLength)
{
    const NetworkLayer layer = findNetworkLayer(capturedFrame, linkHeaderLength);
    PacketSummaryV2 summary;
    summary.packetBytes = remainingAfter(wireLength, layer.offset);
    const Bytes ip = holds(capturedFrame, layer.offset, 0) ? capturedFrame.subspan(layer.offset) : Bytes{};
    if (layer.ipVersion == 4)
        decodeIpv4(summary, ip);
    else if (layer.ipVersion == 6)
        decodeIpv6(summary, ip);
    return summary;
}
