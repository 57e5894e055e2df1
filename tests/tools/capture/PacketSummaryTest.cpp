// SPDX-License-Identifier: MIT
#include "tools/capture/PacketSummary.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace {
const PacketSummary kKnown{1, 6, 0x0A000001, 0xC0A8FE02, 80, 0xC350, 0x05DC, 0x0102};
constexpr std::array<std::uint8_t, 20> kKnownImage{0x01, 0x06, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x01, 0xC0, 0xA8,
                                                   0xFE, 0x02, 0x00, 0x50, 0xC3, 0x50, 0x05, 0xDC, 0x01, 0x02};

constexpr PacketSummaryV2 kKnownV2{.ipVersion = 6,
                                   .hasPorts = true,
                                   .fragment = true,
                                   .syn = true,
                                   .reset = true,
                                   .ipProtocol = 17,
                                   .sourceAddress = {0x20, 0x01, 0x0D, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01},
                                   .destinationAddress = PacketSummaryV2::ipv4Mapped(0xC0A8FE02),
                                   .sourcePort = 80,
                                   .destinationPort = 0xC350,
                                   .packetBytes = 0x00012345,
                                   .dataBytes = 0x89ABCDEF};
constexpr std::array<std::uint8_t, 48> kKnownImageV2{
    0x02, 0x17, 0x11, 0x06, 0x20, 0x01, 0x0D, 0xB8, 0,    0,    0,    0,    0,    0,    0,    0,
    0,    0,    0,    0x01, 0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0xFF, 0xFF,
    0xC0, 0xA8, 0xFE, 0x02, 0x00, 0x50, 0xC3, 0x50, 0x00, 0x01, 0x23, 0x45, 0x89, 0xAB, 0xCD, 0xEF};
} // namespace

TEST(PacketSummary, EncodesEveryFieldBigEndianWithZeroReservedBytes)
{
    std::array<std::uint8_t, 20> image;
    image.fill(0xEE);
    kKnown.encode(image);
    EXPECT_EQ(image, kKnownImage);
}

TEST(PacketSummary, DecodesKnownBytesAndIgnoresTheReservedOnes)
{
    // Exactly 20 bytes on the heap: a read past them would trip the address sanitizer.
    auto exact = std::make_unique<std::uint8_t[]>(20);
    std::copy(kKnownImage.begin(), kKnownImage.end(), exact.get());
    exact[2] = 0x7F;
    exact[3] = 0xFF;
    EXPECT_EQ(PacketSummary::decode(std::span<const std::uint8_t, 20>(exact.get(), 20)), kKnown);

    std::array<char, 20> asChars;
    std::copy(kKnownImage.begin(), kKnownImage.end(), asChars.begin());
    EXPECT_EQ(PacketSummary::decode(std::span<const char, 20>(asChars)), kKnown);
}

TEST(PacketSummaryV2, EncodesVersionFlagsAndEveryFieldBigEndian)
{
    std::array<std::uint8_t, 48> image;
    image.fill(0xEE);
    kKnownV2.encode(image);
    EXPECT_EQ(image, kKnownImageV2);
}

TEST(PacketSummaryV2, DecodesKnownBytesAndIgnoresUnknownFlags)
{
    auto exact = std::make_unique<std::uint8_t[]>(48);
    std::copy(kKnownImageV2.begin(), kKnownImageV2.end(), exact.get());
    exact[1] = 0xF7; // FIN off, the three unknown bits on
    EXPECT_EQ(PacketSummaryV2::decode(std::span<const std::uint8_t, 48>(exact.get(), 48)), kKnownV2);

    std::array<char, 48> asChars;
    std::copy(kKnownImageV2.begin(), kKnownImageV2.end(), asChars.begin());
    asChars[1] = 0x00;
    PacketSummaryV2 withoutFlags = kKnownV2;
    withoutFlags.hasPorts = false;
    withoutFlags.fragment = false;
    withoutFlags.syn = false;
    withoutFlags.reset = false;
    EXPECT_EQ(PacketSummaryV2::decode(std::span<const char, 48>(asChars)), withoutFlags);
}

TEST(PacketSummary, RoundTripsExtremeValues)
{
    for (const PacketSummary &summary :
         {PacketSummary{}, PacketSummary{0xFF, 0xFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},
          PacketSummary{0, 1, 0x80000000, 1, 1, 0x8000, 0, 0xFFFF}}) {
        std::array<std::uint8_t, 20> image{};
        summary.encode(image);
        EXPECT_EQ(PacketSummary::decode(image), summary);
    }
}
