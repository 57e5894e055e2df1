#include "tools/capture/RecordWriter.h"

#include "tools/common/OwnedDescriptor.h"

RecordWriter::RecordWriter(int fileDescriptor)
    : m_fileDescriptor(fileDescriptor)
{
}

void RecordWriter::add(const PacketSummary& summary)
{
    if (m_pendingBytes == m_buffer.size())
        flush();
    summary.encode(std::span(m_buffer).subspan(m_pendingBytes).first<PacketSummary::kWireSize>());
    m_pendingBytes += PacketSummary::kWireSize;
}

// writeAll completes partial writes, so the reader never sees a record cut in two by us.
bool RecordWriter::flush()
{
    const bool complete = writeAll(m_fileDescriptor, m_buffer.data(), m_pendingBytes);
    m_pendingBytes = 0;
    return complete;
}

std::size_t RecordWriter::pendingRecords() const
{
    return m_pendingBytes / PacketSummary::kWireSize;
}
