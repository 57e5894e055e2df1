// SPDX-License-Identifier: MIT
#include "FrameBuilder.h"

#include "tools/capture/FrameDecoder.h"
#include "tools/capture/LinkTypes.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace {
constexpr std::uint32_t kSource = 0x0A010203;      // 10.1.2.3
constexpr std::uint32_t kDestination = 0xC0A80109; // 192.168.1.9

// Decodes from an allocation of exactly the frame's size, so the address sanitizer catches
// any read past the captured bytes.
PacketSummary decode(const std::vector<std::uint8_t> &frame, std::size_t linkHeaderLength)
{
    const auto exact = std::make_unique<std::uint8_t[]>(frame.size());
    std::copy(frame.begin(), frame.end(), exact.get());
    return decodeFrame(std::span<const std::uint8_t>(exact.get(), frame.size()), linkHeaderLength);
}

PacketSummary decode(const FrameBuilder &frame, std::size_t linkHeaderLength)
{
    return decode(frame.bytes(), linkHeaderLength);
}

PacketSummary withoutIpv4(std::uint16_t packetBytes)
{
    return PacketSummary{0, 0, 0, 0, 0, 0, packetBytes, 0};
}
} // namespace

TEST(FrameDecoder, PaddingOfMinimumEthernetFrameCountsAsData)
{
    FrameBuilder frame;
    frame.ethernet().ipv4(6, kSource, kDestination, 40).tcp(1234, 80).zeros(6);
    ASSERT_EQ(frame.size(), 60u);
    EXPECT_EQ(decode(frame, 14), (PacketSummary{1, 6, kSource, kDestination, 1234, 80, 46, 6}));
}

TEST(FrameDecoder, DecodesFromLinkHeaderPlusTwentyFourBytes)
{
    for (const std::size_t linkHeaderLength : {0u, 4u, 14u}) {
        SCOPED_TRACE(linkHeaderLength);
        FrameBuilder frame;
        if (linkHeaderLength == 14)
            frame.ethernet();
        else
            frame.zeros(linkHeaderLength);
        frame.ipv4(17, kSource, kDestination, 24).u16(5353).u16(53);
        ASSERT_EQ(frame.size(), linkHeaderLength + 24);
        // The UDP header is counted as 8 bytes though only its ports were captured.
        EXPECT_EQ(decode(frame, linkHeaderLength), (PacketSummary{1, 17, kSource, kDestination, 5353, 53, 24, 65532}));

        std::vector<std::uint8_t> oneShort = frame.bytes();
        oneShort.pop_back();
        EXPECT_EQ(decode(oneShort, linkHeaderLength), withoutIpv4(23));
    }
}

TEST(FrameDecoder, FrameShorterThanLinkHeaderWrapsPacketBytes)
{
    EXPECT_EQ(decode(std::vector<std::uint8_t>{0x45, 0}, 4), withoutIpv4(65534));
    EXPECT_EQ(decode(std::vector<std::uint8_t>{}, 14), withoutIpv4(65522));
    EXPECT_EQ(decode(std::vector<std::uint8_t>{}, 0), withoutIpv4(0));
}

TEST(FrameDecoder, HeaderLengthsBeyondTheFrameWrapDataBytes)
{
    FrameBuilder tcp;
    tcp.ethernet().ipv4(6, kSource, kDestination, 40).tcp(443, 50000, 15);
    // 40 bytes after the link header, minus 20 for IP and a claimed 60 for TCP.
    EXPECT_EQ(decode(tcp, 14), (PacketSummary{1, 6, kSource, kDestination, 443, 50000, 40, 65496}));
}

TEST(FrameDecoder, IcmpAndOtherProtocolsHaveNoPorts)
{
    FrameBuilder icmp;
    icmp.ethernet().ipv4(1, kSource, kDestination, 44).u16(0x0800).zeros(22);
    EXPECT_EQ(decode(icmp, 14), (PacketSummary{0, 1, kSource, kDestination, 0, 0, 44, 24}));

    FrameBuilder gre;
    gre.ipv4(47, kSource, kDestination, 32, 6).zeros(8);
    EXPECT_EQ(decode(gre, 0), (PacketSummary{0, 47, kSource, kDestination, 0, 0, 32, 8}));
}

TEST(FrameDecoder, ReadsEveryFieldBigEndian)
{
    FrameBuilder frame;
    frame.loopbackFamily(2).ipv4(17, 0x01020304, 0xF1F2F3F4, 0).udp(0x1234, 0xABCD, 0).zeros(0x0102 - 28);
    const PacketSummary summary = decode(frame, 4);
    EXPECT_EQ(summary.sourceAddress, 0x01020304u);
    EXPECT_EQ(summary.destinationAddress, 0xF1F2F3F4u);
    EXPECT_EQ(summary.sourcePort, 0x1234);
    EXPECT_EQ(summary.destinationPort, 0xABCD);
    EXPECT_EQ(summary.packetBytes, 0x0102);
    EXPECT_EQ(summary.dataBytes, 0x0102 - 28);
}

TEST(FrameDecoder, FramesNotCarryingIpv4GoToTheCatchAll)
{
    FrameBuilder arp;
    arp.ethernet(0x0806).zeros(28);
    EXPECT_EQ(decode(arp, 14), withoutIpv4(28));

    FrameBuilder ipv6;
    ipv6.ethernet(0x86DD).u16(0x6000).zeros(38).zeros(8);
    EXPECT_EQ(decode(ipv6, 14), withoutIpv4(48));

    FrameBuilder vlan;
    vlan.ethernet(0x8100).u16(0x0005).u16(0x0800).ipv4(17, kSource, kDestination, 28).udp(1, 2, 8);
    EXPECT_EQ(decode(vlan, 14), withoutIpv4(32));

    FrameBuilder qinq;
    qinq.ethernet(0x88A8).u16(1).u16(0x8100).u16(2).u16(0x0800).ipv4(17, kSource, kDestination, 28).udp(1, 2, 8);
    EXPECT_EQ(decode(qinq, 14), withoutIpv4(36));

    for (const std::uint8_t version : std::initializer_list<std::uint8_t>{0, 6, 15}) {
        SCOPED_TRACE(int{version});
        FrameBuilder ethernet;
        ethernet.ethernet().ipv4(17, kSource, kDestination, 28, 5, version).udp(1, 2, 8);
        EXPECT_EQ(decode(ethernet, 14), withoutIpv4(28));
        FrameBuilder raw;
        raw.ipv4(6, kSource, kDestination, 40, 5, version).tcp(1, 2);
        EXPECT_EQ(decode(raw, 0), withoutIpv4(40));
    }
}

TEST(FrameDecoder, OnlyTheFirstFragmentOfADatagramHasPorts)
{
    struct Case
    {
        const char *name;
        std::uint16_t offsetUnits;
        bool moreFragments;
        PacketSummary expected;
    };
    for (const Case &each : {Case{"first", 0, true, {1, 17, kSource, kDestination, 4000, 53, 36, 8}},
                             Case{"middle", 185, true, {0, 17, kSource, kDestination, 0, 0, 36, 16}},
                             Case{"last", 370, false, {0, 17, kSource, kDestination, 0, 0, 36, 16}}}) {
        SCOPED_TRACE(each.name);
        FrameBuilder frame;
        frame.ethernet()
            .ipv4Fragment(17, kSource, kDestination, 36, each.offsetUnits, each.moreFragments)
            .udp(4000, 53, 16)
            .zeros(8);
        EXPECT_EQ(decode(frame, 14), each.expected);
    }
}

TEST(FrameDecoder, PortsBeyondTheCapturedBytesAreNotRead)
{
    // A 60-byte IP header in a frame that ends 24 bytes after the link header.
    FrameBuilder longHeader;
    longHeader.ipv4(6, kSource, kDestination, 24, 15);
    const std::vector<std::uint8_t> cut(longHeader.bytes().begin(), longHeader.bytes().begin() + 24);
    EXPECT_EQ(decode(cut, 0), (PacketSummary{0, 6, kSource, kDestination, 0, 0, 24, 65500}));

    // UDP behind a 24-byte IP header: ports need 28 bytes.
    FrameBuilder udp;
    udp.ethernet().ipv4(17, kSource, kDestination, 28, 6).u16(7).u16(9);
    std::vector<std::uint8_t> udpCut = udp.bytes();
    EXPECT_EQ(decode(udpCut, 14), (PacketSummary{1, 17, kSource, kDestination, 7, 9, 28, 65532}));
    udpCut.pop_back();
    EXPECT_EQ(decode(udpCut, 14), (PacketSummary{0, 17, kSource, kDestination, 0, 0, 27, 3}));

    // TCP needs its header-length byte, 12 bytes into the TCP header.
    FrameBuilder tcp;
    tcp.ethernet().ipv4(6, kSource, kDestination, 33).tcp(8080, 1025);
    std::vector<std::uint8_t> tcpCut(tcp.bytes().begin(), tcp.bytes().begin() + 14 + 33);
    EXPECT_EQ(decode(tcpCut, 14), (PacketSummary{1, 6, kSource, kDestination, 8080, 1025, 33, 65529}));
    tcpCut.pop_back();
    EXPECT_EQ(decode(tcpCut, 14), (PacketSummary{0, 6, kSource, kDestination, 0, 0, 32, 12}));
}

TEST(FrameDecoder, RandomFramesStayInsideTheirBytes)
{
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<std::size_t> length(0, 120);
    const std::size_t linkLengths[] = {0, 4, 14};
    for (int round = 0; round < 20000; ++round) {
        const std::size_t linkHeaderLength = linkLengths[round % 3];
        std::vector<std::uint8_t> frame(length(random));
        for (auto &value : frame)
            value = static_cast<std::uint8_t>(byte(random));
        // Steer most frames past the IPv4 checks so the transport paths are exercised.
        if (linkHeaderLength == 14 && frame.size() > 14 && round % 4 != 0) {
            frame[12] = 0x08;
            frame[13] = 0x00;
        }
        if (frame.size() > linkHeaderLength && round % 4 != 0)
            frame[linkHeaderLength] = static_cast<std::uint8_t>(0x40 | (frame[linkHeaderLength] & 0x0F));
        const PacketSummary summary = decode(frame, linkHeaderLength);
        ASSERT_EQ(summary.packetBytes, static_cast<std::uint16_t>(frame.size() - linkHeaderLength));
        ASSERT_TRUE(summary.hasPorts == 0 || summary.ipProtocol == 6 || summary.ipProtocol == 17);
    }
}

TEST(LinkTypes, OnlyTheDecodableLinkTypesHaveAHeaderLength)
{
    EXPECT_EQ(linkHeaderLength(0), 4u);
    EXPECT_EQ(linkHeaderLength(1), 14u);
    EXPECT_EQ(linkHeaderLength(12), 0u);
    EXPECT_EQ(linkHeaderLength(105), 14u);
    EXPECT_EQ(linkHeaderLength(108), 4u);
    for (const int other : {-1, 9, 14, 113, 127, 276})
        EXPECT_FALSE(linkHeaderLength(other).has_value()) << other;
}
