// SPDX-License-Identifier: MIT
#include "tools/capture/RecordWriter.h"

#include "tools/common/OwnedDescriptor.h"

#include <cerrno>

RecordWriter::RecordWriter(int fileDescriptor)
    : m_fileDescriptor(fileDescriptor)
{
}

void RecordWriter::add(const PacketSummary &summary)
{
    append(summary);
}

void RecordWriter::add(const PacketSummaryV2 &summary)
{
    append(summary);
}

template <typename Summary> void RecordWriter::append(const Summary &summary)
{
    if (m_pendingRecords == kCapacityRecords)
        flush();
    summary.encode(std::span(m_buffer).subspan(m_pendingBytes).template first<Summary::kWireSize>());
    m_pendingBytes += Summary::kWireSize;
    ++m_pendingRecords;
}

// writeAll completes partial writes, so the reader never sees a record cut in two by us.
bool RecordWriter::flush()
{
    if (m_writeError == 0 && !writeAll(m_fileDescriptor, m_buffer.data(), m_pendingBytes))
        m_writeError = errno;
    m_pendingBytes = 0;
    m_pendingRecords = 0;
    return m_writeError == 0;
}

std::size_t RecordWriter::pendingRecords() const
{
    return m_pendingRecords;
}
