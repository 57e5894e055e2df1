// SPDX-License-Identifier: MIT
#include "FrameBuilder.h"
#include "RecordV2Helpers.h"

#include "tools/capture/FrameDecoderV2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {
using Address = PacketSummaryV2::Address;
constexpr Address kSource{0x20, 0x01, 0x0D, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}; // 2001:db8::1
constexpr Address kDestination{0x20, 0x01, 0x0D, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};
constexpr std::uint32_t kSource4 = 0x0A010203;      // 10.1.2.3
constexpr std::uint32_t kDestination4 = 0xC0A80109; // 192.168.1.9

constexpr std::uint8_t kHopByHop = 0;
constexpr std::uint8_t kTcp = 6;
constexpr std::uint8_t kUdp = 17;
constexpr std::uint8_t kRouting = 43;
constexpr std::uint8_t kFragment = 44;
constexpr std::uint8_t kEncapsulatedSecurity = 50;
constexpr std::uint8_t kAuthentication = 51;
constexpr std::uint8_t kDestinationOptions = 60;

// Decodes from an allocation of exactly the captured bytes, so the address sanitizer catches
// any read past them.
PacketSummaryV2 decode(const std::vector<std::uint8_t> &captured, std::size_t linkHeaderLength,
                       std::uint32_t wireLength)
{
    const auto exact = std::make_unique<std::uint8_t[]>(captured.size());
    std::ranges::copy(captured, exact.get());
    return decodeFrameV2(std::span<const std::uint8_t>(exact.get(), captured.size()), linkHeaderLength, wireLength);
}

PacketSummaryV2 ipRecord(std::uint8_t ipVersion, std::uint8_t protocol, std::uint32_t packetBytes,
                         std::uint32_t dataBytes)
{
    const bool six = ipVersion == 6;
    return {.ipVersion = ipVersion,
            .ipProtocol = protocol,
            .sourceAddress = six ? kSource : PacketSummaryV2::ipv4Mapped(kSource4),
            .destinationAddress = six ? kDestination : PacketSummaryV2::ipv4Mapped(kDestination4),
            .packetBytes = packetBytes,
            .dataBytes = dataBytes};
}

PacketSummaryV2 withoutIp(std::uint32_t packetBytes)
{
    return {.packetBytes = packetBytes};
}

FrameBuilder ethernetIpv6(std::uint8_t nextHeader, std::uint16_t payloadLength)
{
    FrameBuilder frame;
    frame.ethernet(0x86DD).ipv6(nextHeader, kSource, kDestination, payloadLength);
    return frame;
}

// count destination options headers, the last one followed by UDP.
std::vector<std::uint8_t> destinationOptionsChain(std::size_t count)
{
    FrameBuilder frame = ethernetIpv6(kDestinationOptions, 0);
    for (std::size_t header = 1; header < count; ++header)
        frame.extensionHeader(kDestinationOptions);
    return frame.extensionHeader(kUdp).udp(7, 9, 8).bytes();
}

std::vector<std::uint8_t> withByte(const std::vector<std::uint8_t> &frame, std::size_t index, std::uint8_t value)
{
    std::vector<std::uint8_t> changed = frame;
    changed.at(index) = value;
    return changed;
}

struct Case
{
    const char *name;
    std::vector<std::uint8_t> frame;
    PacketSummaryV2 expected;
    std::size_t linkHeaderLength = 14;
    // The frame's length on the wire when only part of it was captured.
    std::uint32_t wireLength = 0;
};

void expectDecodes(const std::vector<Case> &cases)
{
    for (const Case &each : cases) {
        SCOPED_TRACE(each.name);
        const auto wireLength = each.wireLength != 0 ? each.wireLength : static_cast<std::uint32_t>(each.frame.size());
        EXPECT_EQ(decode(each.frame, each.linkHeaderLength, wireLength), each.expected);
    }
}
} // namespace

TEST(FrameDecoderV2, Ipv6ExtensionHeaderChainsLeadToThePorts)
{
    expectDecodes({
        {"UDP", ethernetIpv6(kUdp, 18).udp(5353, 53, 18).zeros(10).bytes(),
         withPorts(ipRecord(6, kUdp, 58, 10), 5353, 53)},
        {"TCP behind hop-by-hop, routing and destination options",
         ethernetIpv6(kHopByHop, 73)
             .extensionHeader(kRouting)
             .extensionHeader(kDestinationOptions, 2)
             .extensionHeader(kTcp, 1)
             .tcp(443, 50000)
             .zeros(5)
             .bytes(),
         withPorts(ipRecord(6, kTcp, 113, 5), 443, 50000)},
        {"UDP behind a chain on a raw IP link",
         FrameBuilder()
             .ipv6(kHopByHop, kSource, kDestination, 24)
             .extensionHeader(kDestinationOptions)
             .extensionHeader(kUdp)
             .udp(1, 2, 8)
             .bytes(),
         withPorts(ipRecord(6, kUdp, 64, 0), 1, 2), 0},
        {"first fragment keeps its ports",
         ethernetIpv6(kFragment, 28).fragmentHeader(kUdp, 0, true).udp(4000, 4001, 1480).zeros(12).bytes(),
         asFragment(withPorts(ipRecord(6, kUdp, 68, 12), 4000, 4001))},
        {"later fragment: what looks like ports is data",
         ethernetIpv6(kFragment, 28).fragmentHeader(kUdp, 185, false).udp(4000, 4001, 8).zeros(12).bytes(),
         asFragment(ipRecord(6, kUdp, 68, 20))},
        {"UDP behind an Authentication Header",
         ethernetIpv6(kAuthentication, 36).authenticationHeader(kUdp).udp(500, 4500, 12).zeros(4).bytes(),
         withPorts(ipRecord(6, kUdp, 76, 4), 500, 4500)},
        {"an encrypted payload ends the walk",
         ethernetIpv6(kDestinationOptions, 32).extensionHeader(kEncapsulatedSecurity).udp(1, 2, 8).zeros(16).bytes(),
         ipRecord(6, kEncapsulatedSecurity, 72, 24)},
        {"eight extension headers are walked", destinationOptionsChain(8), withPorts(ipRecord(6, kUdp, 112, 0), 7, 9)},
        {"a ninth is not", destinationOptionsChain(9), ipRecord(6, kDestinationOptions, 120, 16)},
        {"jumbogram above 64 KiB captured in part: payload length 0, hop-by-hop jumbo option",
         ethernetIpv6(kHopByHop, 0).u16(kTcp << 8).u16(0xC204).u16(0x0001).u16(0x866A).tcp(8080, 9090).bytes(),
         withPorts(ipRecord(6, kTcp, 99986, 99918), 8080, 9090), 14, 100000},
    });
}

TEST(FrameDecoderV2, ChainCutAnywhereHasNoPortsAndIsReadOnlyAsFarAsCaptured)
{
    const std::vector<std::uint8_t> frame = ethernetIpv6(kHopByHop, 40)
                                                .extensionHeader(kRouting, 1)
                                                .extensionHeader(kDestinationOptions)
                                                .extensionHeader(kUdp)
                                                .udp(1000, 2000, 8)
                                                .bytes();
    const auto wireLength = static_cast<std::uint32_t>(frame.size());
    // The IPv6 header ends at 54, hop-by-hop at 70, routing at 78, destination options at 86
    // and UDP's ports at 90. A header's next-header and length bytes must be in to step over it.
    const auto protocolReached = [](std::size_t cut) {
        return cut < 56 ? kHopByHop : cut < 72 ? kRouting : cut < 80 ? kDestinationOptions : kUdp;
    };
    for (std::size_t cut = 0; cut < 90; ++cut) {
        SCOPED_TRACE(cut);
        const PacketSummaryV2 summary
            = decode({frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(cut)}, 14, wireLength);
        EXPECT_FALSE(summary.hasPorts);
        EXPECT_EQ(summary.packetBytes, wireLength - 14);
        EXPECT_EQ(summary.ipVersion, cut < 54 ? 0 : 6);
        if (cut >= 54) {
            EXPECT_EQ(summary.ipProtocol, protocolReached(cut));
        }
    }
    EXPECT_EQ(decode({frame.begin(), frame.begin() + 90}, 14, wireLength),
              withPorts(ipRecord(6, kUdp, 80, 0), 1000, 2000));
}

TEST(FrameDecoderV2, Ipv4IsMappedAndOnlyTheFirstFragmentHasPorts)
{
    expectDecodes({
        {"UDP", FrameBuilder().ethernet().ipv4(kUdp, kSource4, kDestination4, 38).udp(5353, 53, 18).zeros(10).bytes(),
         withPorts(ipRecord(4, kUdp, 38, 10), 5353, 53)},
        {"first fragment, captured in part",
         FrameBuilder()
             .ethernet()
             .ipv4Fragment(kUdp, kSource4, kDestination4, 1500, 0, true)
             .udp(4000, 4001, 3008)
             .bytes(),
         asFragment(withPorts(ipRecord(4, kUdp, 1500, 1472), 4000, 4001)), 14, 1514},
        {"middle fragment",
         FrameBuilder()
             .ethernet()
             .ipv4Fragment(kUdp, kSource4, kDestination4, 1500, 185, true)
             .udp(4000, 4001, 8)
             .bytes(),
         asFragment(ipRecord(4, kUdp, 1500, 1480)), 14, 1514},
        {"last fragment",
         FrameBuilder().ethernet().ipv4Fragment(kTcp, kSource4, kDestination4, 40, 370, false).tcp(1, 2).bytes(),
         asFragment(ipRecord(4, kTcp, 40, 20))},
        {"header lengths beyond the frame leave no data",
         FrameBuilder().ethernet().ipv4(kTcp, kSource4, kDestination4, 40).tcp(443, 50000, 15).bytes(),
         withPorts(ipRecord(4, kTcp, 40, 0), 443, 50000)},
        {"a TCP header length below the smallest header counts as the smallest",
         FrameBuilder().ethernet().ipv4(kTcp, kSource4, kDestination4, 50).tcp(443, 50000, 1).zeros(10).bytes(),
         withPorts(ipRecord(4, kTcp, 50, 10), 443, 50000)},
        {"TCP behind an Authentication Header",
         FrameBuilder()
             .ethernet()
             .ipv4(kAuthentication, kSource4, kDestination4, 69)
             .authenticationHeader(kTcp)
             .tcp(22, 40000)
             .zeros(5)
             .bytes(),
         withPorts(ipRecord(4, kTcp, 69, 5), 22, 40000)},
    });
}

// The flags byte is the 14th of the TCP header: at 47 in an Ethernet frame with IPv4.
TEST(FrameDecoderV2, TcpSegmentsCarryTheirSynFinAndResetFlags)
{
    const std::vector<std::uint8_t> segment
        = FrameBuilder().ethernet().ipv4(kTcp, kSource4, kDestination4, 40).tcp(50000, 443).bytes();
    const PacketSummaryV2 plain = withPorts(ipRecord(4, kTcp, 40, 0), 50000, 443);
    const auto flagged = [&](bool syn, bool fin, bool reset) {
        PacketSummaryV2 summary = plain;
        summary.syn = syn;
        summary.fin = fin;
        summary.reset = reset;
        return summary;
    };
    expectDecodes({
        {"ACK alone", segment, plain},
        {"SYN", withByte(segment, 47, 0x02), flagged(true, false, false)},
        {"FIN and ACK", withByte(segment, 47, 0x11), flagged(false, true, false)},
        {"RST", withByte(segment, 47, 0x04), flagged(false, false, true)},
        {"every flag", withByte(segment, 47, 0xFF), flagged(true, true, true)},
        {"cut before the flags byte", {segment.begin(), segment.begin() + 47}, plain, 14, 54},
    });
}

// A small frame on Ethernet is padded to 60 bytes: the padding was never sent.
TEST(FrameDecoderV2, LengthsComeFromTheIpHeaderAndNothingIsReadFromThePadding)
{
    expectDecodes({
        {"pure TCP acknowledgement in a 60-byte frame",
         FrameBuilder().ethernet().ipv4(kTcp, kSource4, kDestination4, 40).tcp(443, 50000).zeros(6).bytes(),
         withPorts(ipRecord(4, kTcp, 40, 0), 443, 50000)},
        {"first fragment with 8 bytes of TCP: its header length would lie in the padding",
         FrameBuilder()
             .ethernet()
             .ipv4Fragment(kTcp, kSource4, kDestination4, 28, 0, true)
             .u16(443)
             .u16(50000)
             .zeros(4)
             .zeros(18)
             .bytes(),
         asFragment(ipRecord(4, kTcp, 28, 8))},
        {"IPv6 UDP in a padded frame", ethernetIpv6(kUdp, 8).udp(1, 2, 8).zeros(10).bytes(),
         withPorts(ipRecord(6, kUdp, 48, 0), 1, 2)},
        {"an Authentication Header in the padding is not walked",
         FrameBuilder()
             .ethernet()
             .ipv4(kAuthentication, kSource4, kDestination4, 20)
             .authenticationHeader(kUdp)
             .udp(1, 2, 8)
             .bytes(),
         ipRecord(4, kAuthentication, 20, 0)},
        {"never more than the wire carried",
         FrameBuilder().ethernet().ipv4(kUdp, kSource4, kDestination4, 1500).udp(1, 2, 1480).bytes(),
         withPorts(ipRecord(4, kUdp, 28, 0), 1, 2)},
        {"IPv4 total length 0: a segment not yet cut, as long as the wire says",
         FrameBuilder().ethernet().ipv4(kTcp, kSource4, kDestination4, 0).tcp(1, 2).bytes(),
         withPorts(ipRecord(4, kTcp, 70000, 69960), 1, 2), 14, 70014},
        {"IPv6 payload length 0 without a jumbo option: as long as the wire says",
         ethernetIpv6(kUdp, 0).udp(1, 2, 8).zeros(4).bytes(), withPorts(ipRecord(6, kUdp, 52, 4), 1, 2)},
        {"a jumbo option with a length a payload length could give is no jumbogram",
         ethernetIpv6(kHopByHop, 0).u16(kTcp << 8).u16(0xC204).u16(0).u16(0x0030).tcp(1, 2).bytes(),
         withPorts(ipRecord(6, kTcp, 68, 0), 1, 2)},
    });
}

TEST(FrameDecoderV2, VlanTagsAreSteppedOverAndLengthsCountFromTheIpHeader)
{
    expectDecodes({
        {"802.1Q, IPv4",
         FrameBuilder()
             .ethernet(0x8100)
             .u16(5)
             .u16(0x0800)
             .ipv4(kUdp, kSource4, kDestination4, 28)
             .udp(1, 2, 8)
             .bytes(),
         withPorts(ipRecord(4, kUdp, 28, 0), 1, 2)},
        {"802.1ad over 802.1Q, IPv6",
         FrameBuilder()
             .ethernet(0x88A8)
             .u16(5)
             .u16(0x8100)
             .u16(6)
             .u16(0x86DD)
             .ipv6(kTcp, kSource, kDestination, 20)
             .tcp(443, 50000)
             .bytes(),
         withPorts(ipRecord(6, kTcp, 60, 0), 443, 50000)},
        {"0x9100 over 802.1Q, IPv4 captured in part",
         FrameBuilder()
             .ethernet(0x9100)
             .u16(1)
             .u16(0x8100)
             .u16(2)
             .u16(0x0800)
             .ipv4(kTcp, kSource4, kDestination4, 1500)
             .tcp(22, 60000)
             .bytes(),
         withPorts(ipRecord(4, kTcp, 1500, 1460), 22, 60000), 14, 1522},
        {"a third tag: no IP",
         FrameBuilder()
             .ethernet(0x8100)
             .u16(1)
             .u16(0x8100)
             .u16(2)
             .u16(0x8100)
             .u16(3)
             .u16(0x0800)
             .ipv4(kUdp, kSource4, kDestination4, 28)
             .udp(1, 2, 8)
             .bytes(),
         withoutIp(32)},
        {"tag cut off", FrameBuilder().ethernet(0x8100).u16(5).bytes(), withoutIp(46), 14, 64},
    });
}

TEST(FrameDecoderV2, FramesWithoutADecodableIpHeaderHaveOnlyTheirLength)
{
    const std::vector<std::uint8_t> ipv4Udp
        = FrameBuilder().ipv4(kUdp, kSource4, kDestination4, 28).udp(1, 2, 8).bytes();
    const std::vector<std::uint8_t> ipv6Header = ethernetIpv6(kUdp, 40).bytes();
    expectDecodes({
        {"ARP", FrameBuilder().ethernet(0x0806).zeros(28).bytes(), withoutIp(28)},
        {"EtherType IPv6, version nibble 4",
         FrameBuilder().ethernet(0x86DD).ipv4(kUdp, kSource4, kDestination4, 28).udp(1, 2, 8).bytes(), withoutIp(28)},
        {"version nibble 5 on a raw link", withByte(ipv4Udp, 0, 0x55), withoutIp(28), 0},
        {"IPv4 header length under 20 bytes", withByte(ipv4Udp, 0, 0x44), withoutIp(28), 0},
        {"IPv4 total length under 20 bytes", withByte(ipv4Udp, 3, 19), withoutIp(28), 0},
        {"IPv4 header cut before its end", {ipv4Udp.begin(), ipv4Udp.begin() + 19}, withoutIp(28), 0, 28},
        {"IPv6 header cut before its end", {ipv6Header.begin(), ipv6Header.end() - 1}, withoutIp(80), 14, 94},
        {"wire length shorter than the link header", {}, withoutIp(0), 14, 10},
    });
}
