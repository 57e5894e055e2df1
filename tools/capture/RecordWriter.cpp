#include "tools/capture/RecordWriter.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {
// Waits until a non-blocking descriptor accepts more bytes.
bool waitUntilWritable(int fileDescriptor)
{
    pollfd writable{fileDescriptor, POLLOUT, 0};
    int ready = 0;
    do
        ready = poll(&writable, 1, -1);
    while (ready < 0 && errno == EINTR);
    return ready > 0 && (writable.revents & POLLOUT) != 0;
}

// Completes partial writes, so the reader never sees a record cut in two by us.
bool writeAll(int fileDescriptor, const std::uint8_t* bytes, std::size_t length)
{
    while (length > 0) {
        const ssize_t written = write(fileDescriptor, bytes, length);
        if (written > 0) {
            bytes += written;
            length -= static_cast<std::size_t>(written);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitUntilWritable(fileDescriptor))
                return false;
        } else {
            return false;
        }
    }
    return true;
}
} // namespace

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
