// SPDX-License-Identifier: MIT
#pragma once

// The one reader of the capture tool's record stream, for the application and the tests
// alike: a pipe hands over bytes in pieces of any size, and only whole records are acted
// on. A record cut short between two reads waits for the rest in a buffer of its own size.

#include "tools/capture/PacketSummary.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// Record is PacketSummary or PacketSummaryV2 (anything with kWireSize and a decode of
// exactly that many bytes).
template <class Record> class RecordReader
{
public:
    static constexpr std::size_t kRecordBytes = Record::kWireSize;

    // The record at `index` of a run of whole records.
    static Record decodeAt(std::span<const std::byte> whole, std::size_t index)
    {
        const auto record = whole.subspan(index * kRecordBytes).template first<kRecordBytes>();
        return Record::decode(std::span<const std::uint8_t, kRecordBytes>(
            reinterpret_cast<const std::uint8_t *>(record.data()), kRecordBytes));
    }

    // Hands `take` the whole records this chunk completes, as runs of back-to-back records
    // (a record finished from the previous chunk first, then the chunk's own), in order.
    // False as soon as `take` returns false: the caller found the stream out of step, and
    // the rest of the chunk is dropped.
    template <class Take> bool feed(std::span<const std::byte> chunk, Take &&take)
    {
        if (m_partialSize > 0) {
            const std::size_t taken = std::min(kRecordBytes - m_partialSize, chunk.size());
            std::copy_n(chunk.begin(), taken, m_partial.begin() + static_cast<std::ptrdiff_t>(m_partialSize));
            m_partialSize += taken;
            chunk = chunk.subspan(taken);
            if (m_partialSize < kRecordBytes)
                return true;
            m_partialSize = 0;
            if (!take(std::span<const std::byte>(m_partial)))
                return false;
        }
        const std::size_t whole = chunk.size() - chunk.size() % kRecordBytes;
        if (whole > 0 && !take(chunk.first(whole)))
            return false;
        m_partialSize = chunk.size() - whole;
        std::copy(chunk.begin() + static_cast<std::ptrdiff_t>(whole), chunk.end(), m_partial.begin());
        return true;
    }

    // The same, one decoded record at a time.
    template <class TakeRecord> bool feedRecords(std::span<const std::byte> chunk, TakeRecord &&takeRecord)
    {
        return feed(chunk, [&takeRecord](std::span<const std::byte> whole) {
            for (std::size_t index = 0; index < whole.size() / kRecordBytes; ++index)
                if (!takeRecord(decodeAt(whole, index)))
                    return false;
            return true;
        });
    }

    // The bytes of a record cut short so far; a stream of whole records leaves none.
    std::span<const std::byte> partialRecord() const { return std::span(m_partial).first(m_partialSize); }

private:
    std::array<std::byte, kRecordBytes> m_partial{};
    std::size_t m_partialSize = 0;
};
