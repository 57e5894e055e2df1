// SPDX-License-Identifier: MIT
#pragma once

// Collects the records of one capture pass and writes them with as few write calls as
// possible. Records stay whole and in the order they were added; the buffer is bounded and
// written out early when it fills. A reader that closed the pipe ends the process through
// SIGPIPE inside flush(). Any other write failure is kept: from then on nothing more is
// written (a record cut short would put every later one out of step) and flush() reports it.
// A writer is given records of one version only: the reader tells them apart by size alone.

#include "tools/capture/PacketSummary.h"

#include <array>
#include <cstddef>
#include <cstdint>

class RecordWriter
{
public:
    static constexpr std::size_t kCapacityRecords = 4096;

    explicit RecordWriter(int fileDescriptor);

    void add(const PacketSummary &summary);
    void add(const PacketSummaryV2 &summary);
    // Writes every pending record; true when all of them, and every record before, reached
    // the descriptor.
    bool flush();
    // The error number of the first write that failed, or 0.
    int writeError() const { return m_writeError; }
    std::size_t pendingRecords() const;
    int fileDescriptor() const { return m_fileDescriptor; }

private:
    template <typename Summary> void append(const Summary &summary);

    int m_fileDescriptor;
    int m_writeError = 0;
    std::size_t m_pendingRecords = 0;
    std::size_t m_pendingBytes = 0;
    // Room for kCapacityRecords of the larger record.
    std::array<std::uint8_t, kCapacityRecords * PacketSummaryV2::kWireSize> m_buffer{};
};
