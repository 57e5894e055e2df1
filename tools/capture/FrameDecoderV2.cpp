// SPDX-License-Identifier: MIT
#include "tools/capture/FrameDecoderV2.h"

#include <algorithm>
#include <array>
#include <optional>

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
constexpr std::size_t kIpv4TotalLengthOffset = 2;
constexpr std::size_t kIpv4FragmentFieldOffset = 6;
constexpr std::uint16_t kIpv4MoreFragments = 0x2000;
constexpr std::uint16_t kIpv4FragmentOffsetMask = 0x1FFF;

constexpr std::size_t kIpv6HeaderLength = 40;
constexpr std::size_t kIpv6PayloadLengthOffset = 4;
constexpr std::size_t kIpv6NextHeaderOffset = 6;
constexpr std::uint8_t kHopByHopOptions = 0;
constexpr std::uint8_t kRoutingHeader = 43;
constexpr std::uint8_t kFragmentHeader = 44;
constexpr std::uint8_t kAuthenticationHeader = 51;
constexpr std::uint8_t kDestinationOptions = 60;
constexpr std::size_t kExtensionLengthUnit = 8;
constexpr std::size_t kAuthenticationLengthUnit = 4;
constexpr std::uint8_t kPad1Option = 0;
constexpr std::uint8_t kJumboPayloadOption = 0xC2;
constexpr std::size_t kJumboPayloadOptionLength = 4;
constexpr std::uint32_t kLongestPlainPayload = 0xFFFF;
constexpr std::size_t kFragmentHeaderLength = 8;
constexpr std::uint16_t kIpv6MoreFragments = 0x0001;
constexpr std::uint16_t kIpv6FragmentOffsetMask = 0xFFF8;

constexpr std::uint8_t kProtocolTcp = 6;
constexpr std::uint8_t kProtocolUdp = 17;
constexpr std::size_t kPortFieldsLength = 4;
constexpr std::size_t kTcpHeaderLengthOffset = 12;
constexpr std::size_t kMinimumTcpHeaderLength = 20;
constexpr std::size_t kTcpFlagsOffset = 13;
constexpr std::uint8_t kTcpFin = 0x01;
constexpr std::uint8_t kTcpSyn = 0x02;
constexpr std::uint8_t kTcpReset = 0x04;
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

// A segment cut right after the header-length byte has ports but no flags.
void addTcpFlags(PacketSummaryV2 &summary, Bytes transport)
{
    if (transport.size() <= kTcpFlagsOffset)
        return;
    const std::uint8_t flags = transport[kTcpFlagsOffset];
    summary.syn = (flags & kTcpSyn) != 0;
    summary.fin = (flags & kTcpFin) != 0;
    summary.reset = (flags & kTcpReset) != 0;
}

// The transport header's length when its ports could be read, else 0.
std::size_t addPorts(PacketSummaryV2 &summary, Bytes transport)
{
    std::size_t headerLength = 0;
    if (summary.ipProtocol == kProtocolTcp && transport.size() > kTcpHeaderLengthOffset) {
        // A data offset below five words is no header at all; its first 20 bytes still are.
        headerLength = std::max(kMinimumTcpHeaderLength, std::size_t{transport[kTcpHeaderLengthOffset]} >> 4 << 2);
        addTcpFlags(summary, transport);
    } else if (summary.ipProtocol == kProtocolUdp && transport.size() >= kPortFieldsLength)
        headerLength = kUdpHeaderLength;
    else
        return 0;
    summary.hasPorts = true;
    summary.sourcePort = bigEndian16At(transport, 0);
    summary.destinationPort = bigEndian16At(transport, 2);
    return headerLength;
}

// The transport header starts ipHeadersLength bytes into ip; a later fragment has none.
void addTransport(PacketSummaryV2 &summary, Bytes ip, std::size_t ipHeadersLength, bool laterFragment)
{
    const bool holdsTransport = !laterFragment && holds(ip, ipHeadersLength, 0);
    const std::size_t transportHeaderLength = holdsTransport ? addPorts(summary, ip.subspan(ipHeadersLength)) : 0;
    summary.dataBytes = remainingAfter(summary.packetBytes, ipHeadersLength + transportHeaderLength);
}

// The IP header and the headers walked after it.
struct HeaderChain
{
    std::uint8_t protocol = 0;
    std::size_t length = 0;
    bool fragment = false;
    bool laterFragment = false;
};

// IPv6's extension headers, and for both versions the Authentication Header, which sits
// between IP and the transport header as an extension header does.
bool isWalkedHeader(std::uint8_t ipVersion, std::uint8_t nextHeader)
{
    if (nextHeader == kAuthenticationHeader)
        return true;
    return ipVersion == 6
        && (nextHeader == kHopByHopOptions || nextHeader == kRoutingHeader || nextHeader == kFragmentHeader
            || nextHeader == kDestinationOptions);
}

// What follows a later fragment's header is payload, so the walk ends there.
bool stepOverFragmentHeader(HeaderChain &chain, Bytes datagram)
{
    if (!holds(datagram, chain.length, 4))
        return false;
    const std::uint16_t offsetAndFlags = bigEndian16At(datagram, chain.length + 2);
    chain.protocol = datagram[chain.length];
    chain.length += kFragmentHeaderLength;
    chain.fragment = chain.fragment || (offsetAndFlags & (kIpv6FragmentOffsetMask | kIpv6MoreFragments)) != 0;
    chain.laterFragment = (offsetAndFlags & kIpv6FragmentOffsetMask) != 0;
    return !chain.laterFragment;
}

// False when the walk ends at this header: it is cut off, or a later fragment's. The
// Authentication Header counts its length in 4-byte units less 2, the others in 8-byte
// units less 1.
bool stepOver(HeaderChain &chain, Bytes datagram)
{
    if (chain.protocol == kFragmentHeader)
        return stepOverFragmentHeader(chain, datagram);
    if (!holds(datagram, chain.length, 2))
        return false;
    const std::size_t units = datagram[chain.length + 1];
    const std::size_t headerLength = chain.protocol == kAuthenticationHeader ? (units + 2) * kAuthenticationLengthUnit
                                                                             : (units + 1) * kExtensionLengthUnit;
    chain.protocol = datagram[chain.length];
    chain.length += headerLength;
    return true;
}

void walkHeaders(HeaderChain &chain, Bytes datagram, std::uint8_t ipVersion)
{
    for (std::size_t walked = 0; walked < kMostExtensionHeaders && isWalkedHeader(ipVersion, chain.protocol);
         ++walked) {
        if (!stepOver(chain, datagram))
            break;
    }
}

// The part of the captured bytes that belongs to the datagram: never the padding after it.
Bytes datagramIn(Bytes ip, std::uint32_t ipLength)
{
    return ip.first(std::min<std::size_t>(ip.size(), ipLength));
}

void finish(PacketSummaryV2 &summary, Bytes datagram, HeaderChain chain, std::uint8_t ipVersion)
{
    if (!chain.laterFragment)
        walkHeaders(chain, datagram, ipVersion);
    summary.ipProtocol = chain.protocol;
    summary.fragment = chain.fragment;
    addTransport(summary, datagram, chain.length, chain.laterFragment);
}

// Leaves the summary as it is when the header is too short or claims a datagram shorter
// than itself. A total length of 0 is a segment the kernel has yet to cut (only the wire
// knows its length).
void decodeIpv4(PacketSummaryV2 &summary, Bytes ip, std::uint32_t carried)
{
    if (!holds(ip, 0, kMinimumIpv4Header))
        return;
    const std::size_t headerLength = std::size_t{ip[0] & 0x0Fu} << 2;
    const std::uint16_t totalLength = bigEndian16At(ip, kIpv4TotalLengthOffset);
    if (headerLength < kMinimumIpv4Header || (totalLength != 0 && totalLength < kMinimumIpv4Header))
        return;
    summary.ipVersion = 4;
    summary.packetBytes = totalLength == 0 ? carried : std::min<std::uint32_t>(totalLength, carried);
    summary.sourceAddress = PacketSummaryV2::ipv4Mapped(PacketSummary::bigEndian32(ip.subspan(12).first<4>()));
    summary.destinationAddress = PacketSummaryV2::ipv4Mapped(PacketSummary::bigEndian32(ip.subspan(16).first<4>()));
    const std::uint16_t fragmentField = bigEndian16At(ip, kIpv4FragmentFieldOffset);
    const HeaderChain chain{.protocol = ip[9],
                            .length = headerLength,
                            .fragment = (fragmentField & (kIpv4MoreFragments | kIpv4FragmentOffsetMask)) != 0,
                            .laterFragment = (fragmentField & kIpv4FragmentOffsetMask) != 0};
    finish(summary, datagramIn(ip, summary.packetBytes), chain, 4);
}

// A jumbogram's payload length, from the option in the hop-by-hop header that must follow
// the IPv6 header; only a length a plain payload length could not give counts.
std::optional<std::uint32_t> jumboPayloadLength(Bytes ip)
{
    if (ip[kIpv6NextHeaderOffset] != kHopByHopOptions || !holds(ip, kIpv6HeaderLength, 2))
        return std::nullopt;
    const std::size_t end = kIpv6HeaderLength + (std::size_t{ip[kIpv6HeaderLength + 1]} + 1) * kExtensionLengthUnit;
    std::size_t option = kIpv6HeaderLength + 2;
    while (option < end && holds(ip, option, 1)) {
        if (ip[option] == kPad1Option) {
            ++option;
            continue;
        }
        if (!holds(ip, option, 2))
            return std::nullopt;
        const std::size_t dataLength = ip[option + 1];
        if (ip[option] == kJumboPayloadOption && dataLength == kJumboPayloadOptionLength
            && holds(ip, option + 2, kJumboPayloadOptionLength)) {
            const std::uint32_t length = PacketSummary::bigEndian32(ip.subspan(option + 2).first<4>());
            return length > kLongestPlainPayload ? std::optional(length) : std::nullopt;
        }
        option += 2 + dataLength;
    }
    return std::nullopt;
}

// The payload length, or for a payload length of 0 the jumbo option's, counts the datagram;
// without either only the wire knows it.
std::uint32_t ipv6Length(Bytes ip, std::uint32_t carried)
{
    const std::uint16_t payloadLength = bigEndian16At(ip, kIpv6PayloadLengthOffset);
    const std::optional<std::uint32_t> payload
        = payloadLength != 0 ? std::optional<std::uint32_t>(payloadLength) : jumboPayloadLength(ip);
    if (!payload)
        return carried;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{kIpv6HeaderLength} + *payload, carried));
}

// Leaves the summary as it is when the header is too short.
void decodeIpv6(PacketSummaryV2 &summary, Bytes ip, std::uint32_t carried)
{
    if (!holds(ip, 0, kIpv6HeaderLength))
        return;
    summary.ipVersion = 6;
    summary.packetBytes = ipv6Length(ip, carried);
    std::copy_n(ip.subspan(8, 16).data(), 16, summary.sourceAddress.data());
    std::copy_n(ip.subspan(24, 16).data(), 16, summary.destinationAddress.data());
    finish(summary, datagramIn(ip, summary.packetBytes),
           HeaderChain{.protocol = ip[kIpv6NextHeaderOffset], .length = kIpv6HeaderLength}, 6);
}
} // namespace

PacketSummaryV2 decodeFrameV2(std::span<const std::uint8_t> capturedFrame, std::size_t linkHeaderLength,
                              std::uint32_t wireLength)
{
    const NetworkLayer layer = findNetworkLayer(capturedFrame, linkHeaderLength);
    PacketSummaryV2 summary;
    const std::uint32_t carried = remainingAfter(wireLength, layer.offset);
    summary.packetBytes = carried;
    const Bytes ip = holds(capturedFrame, layer.offset, 0) ? capturedFrame.subspan(layer.offset) : Bytes{};
    if (layer.ipVersion == 4)
        decodeIpv4(summary, ip, carried);
    else if (layer.ipVersion == 6)
        decodeIpv6(summary, ip, carried);
    return summary;
}
