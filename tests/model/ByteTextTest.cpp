// SPDX-License-Identifier: MIT
#include "model/ByteSize.h"
#include "model/ByteSpeedFormatter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

TEST(ByteSize, UnitChangesOnlyAboveTenTwentyFour)
{
    EXPECT_EQ(stringWithByteSize(0), "0.0B");
    EXPECT_EQ(stringWithByteSize(1000), "1000.0B");
    EXPECT_EQ(stringWithByteSize(1024), "1024.0B");
    EXPECT_EQ(stringWithByteSize(1025), "1.0kB");
    EXPECT_EQ(stringWithByteSize(1536), "1.5kB");
    EXPECT_EQ(stringWithByteSize(1048576), "1024.0kB");
    EXPECT_EQ(stringWithByteSize(1048577), "1.0MB");
    EXPECT_EQ(stringWithByteSize(1610612736), "1.5GB");
    EXPECT_EQ(stringWithByteSize(std::uint64_t{1} << 40), "1024.0GB");
    EXPECT_EQ(stringWithByteSize(std::uint64_t{1} << 60), "1024.0PB");
    EXPECT_EQ(stringWithByteSize((std::uint64_t{1} << 60) + (std::uint64_t{1} << 50)), "1.0EB");
    EXPECT_EQ(stringWithByteSize(std::numeric_limits<std::uint64_t>::max()), "16.0EB");
}

TEST(ByteSize, RoundsLikePrintfWithAPointInEveryLocale)
{
    // 1280 bytes are exactly 1.25kB: the tie goes to the even digit, as "%.1f" does.
    EXPECT_EQ(stringWithByteSize(1280), "1.2kB");
    EXPECT_EQ(stringWithByteSize(1331), "1.3kB");
    EXPECT_EQ(stringWithByteSize(1075), "1.0kB");
    EXPECT_EQ(stringWithByteSize(2047), "2.0kB");
}

TEST(ByteSpeedFormatter, TruncatesToWholeBytesPerSecond)
{
    const ByteSpeedFormatter formatter;
    EXPECT_EQ(formatter.stringForObjectValue(1536.9), "1.5kB/sec");
    EXPECT_EQ(formatter.stringForObjectValue(512), "512.0B/sec");
    EXPECT_EQ(formatter.stringForObjectValue(0.7), "0.0B/sec");
    EXPECT_EQ(formatter.stringForObjectValue(1025.99), "1.0kB/sec");
    EXPECT_EQ(formatter.stringForObjectValue(1024.99), "1024.0B/sec");
    EXPECT_EQ(formatter.stringForObjectValue(QVariant::fromValue(qint64{1610612736})), "1.5GB/sec");
    EXPECT_EQ(formatter.stringForObjectValue(QStringLiteral("2048")), "2.0kB/sec");
}

TEST(ByteSpeedFormatter, ImpossibleSpeedsShowNothing)
{
    const ByteSpeedFormatter formatter;
    constexpr double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(formatter.stringForObjectValue(std::numeric_limits<double>::quiet_NaN()), "");
    EXPECT_EQ(formatter.stringForObjectValue(inf), "");
    EXPECT_EQ(formatter.stringForObjectValue(-inf), "");
    EXPECT_EQ(formatter.stringForObjectValue(-1.0), "");
    EXPECT_EQ(formatter.stringForObjectValue(-5000.0), "");
    EXPECT_EQ(formatter.stringForObjectValue(QVariant()), "");
    EXPECT_EQ(formatter.stringForObjectValue(QStringLiteral("fast")), "");
    // Truncation toward zero makes a tiny negative rounding error a plain zero.
    EXPECT_EQ(formatter.stringForObjectValue(-0.5), "0.0B/sec");
    // Beyond the 64-bit range the largest count is shown rather than an overflowed one.
    EXPECT_EQ(formatter.stringForObjectValue(1.0e30), "16.0EB/sec");
    EXPECT_EQ(formatter.stringForObjectValue(18446744073709551616.0), "16.0EB/sec");
}
