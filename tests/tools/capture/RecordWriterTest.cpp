// SPDX-License-Identifier: MIT
#include "tools/capture/RecordWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {
PacketSummary numbered(std::uint32_t number)
{
    return PacketSummary{
        1, 17, number, ~number, static_cast<std::uint16_t>(number), static_cast<std::uint16_t>(number >> 16), 28, 0};
}

PacketSummaryV2 numberedV2(std::uint32_t number)
{
    return {.ipVersion = 4, .sourceAddress = PacketSummaryV2::ipv4Mapped(number), .packetBytes = 70000 + number};
}
} // namespace

// A small non-blocking pipe drained slowly in odd-sized pieces forces partial writes and
// EAGAIN; more records than the buffer holds force flushes while adding.
TEST(RecordWriter, RecordsArriveWholeAndInOrderThroughASlowNonBlockingPipe)
{
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    ASSERT_GT(fcntl(ends[1], F_SETPIPE_SZ, 4096), 0);
    ASSERT_EQ(fcntl(ends[1], F_SETFL, O_NONBLOCK), 0);
    constexpr std::uint32_t kRecords = 3 * RecordWriter::kCapacityRecords + 17;

    std::vector<std::uint8_t> received;
    std::thread reader([&] {
        std::uint8_t piece[997];
        ssize_t got = 0;
        while ((got = read(ends[0], piece, sizeof piece)) > 0)
            received.insert(received.end(), piece, piece + got);
    });
    {
        RecordWriter writer(ends[1]);
        for (std::uint32_t number = 0; number < kRecords; ++number)
            writer.add(numbered(number));
        EXPECT_EQ(writer.pendingRecords(), 17u);
        EXPECT_TRUE(writer.flush());
        EXPECT_EQ(writer.pendingRecords(), 0u);
    }
    close(ends[1]);
    reader.join();
    close(ends[0]);

    ASSERT_EQ(received.size(), kRecords * PacketSummary::kWireSize);
    for (std::uint32_t number = 0; number < kRecords; ++number) {
        const auto image = std::span(received).subspan(number * PacketSummary::kWireSize).first<20>();
        ASSERT_EQ(PacketSummary::decode(image), numbered(number)) << number;
    }
}

// The buffer holds as many version-2 records as version-1 ones; they come out whole too.
TEST(RecordWriter, VersionTwoRecordsAreWrittenWholeAndFlushedAtTheSameRecordCount)
{
    std::FILE *file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    constexpr std::uint32_t kRecords = RecordWriter::kCapacityRecords + 1;
    RecordWriter writer(fileno(file));
    for (std::uint32_t number = 0; number < kRecords; ++number)
        writer.add(numberedV2(number));
    EXPECT_EQ(writer.pendingRecords(), 1u);
    EXPECT_TRUE(writer.flush());

    std::vector<std::uint8_t> written(kRecords * PacketSummaryV2::kWireSize + 1);
    std::rewind(file);
    ASSERT_EQ(std::fread(written.data(), 1, written.size(), file), written.size() - 1);
    std::fclose(file);
    for (std::uint32_t number = 0; number < kRecords; ++number) {
        const auto image = std::span(written).subspan(number * PacketSummaryV2::kWireSize).first<48>();
        ASSERT_EQ(PacketSummaryV2::decode(image), numberedV2(number)) << number;
    }
}

// Once a write has failed the stream may be cut mid-record, so the failure is remembered and
// nothing more is written; the capture loop ends the tool with it.
TEST(RecordWriter, AFailedWriteDropsThePendingRecordsAndIsRemembered)
{
    // Writing to a descriptor opened read-only fails with EBADF.
    const int readOnly = open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(readOnly, 0);
    RecordWriter writer(readOnly);
    writer.add(numbered(1));
    EXPECT_FALSE(writer.flush());
    EXPECT_EQ(writer.pendingRecords(), 0u);
    EXPECT_FALSE(writer.flush());
    EXPECT_EQ(writer.writeError(), EBADF);

    // An early flush of a full buffer that fails is not hidden by a small last one.
    RecordWriter early(readOnly);
    for (std::size_t record = 0; record <= RecordWriter::kCapacityRecords; ++record)
        early.add(PacketSummary{});
    EXPECT_EQ(early.pendingRecords(), 1u);
    EXPECT_EQ(early.writeError(), EBADF);
    EXPECT_FALSE(early.flush());
    close(readOnly);
}
