// SPDX-License-Identifier: MIT
#include "tools/common/OwnedDescriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {
bool waitUntilWritable(int descriptor) noexcept
{
    pollfd writable{descriptor, POLLOUT, 0};
    int ready = 0;
    do
        ready = poll(&writable, 1, -1);
    while (ready < 0 && errno == EINTR);
    if (ready > 0 && (writable.revents & POLLOUT) == 0)
        errno = EPIPE;
    return ready > 0 && (writable.revents & POLLOUT) != 0;
}
} // namespace

void OwnedDescriptor::reset(int descriptor) noexcept
{
    if (m_descriptor >= 0) {
        const int saved = errno;
        ::close(m_descriptor);
        errno = saved;
    }
    m_descriptor = descriptor;
}

bool OwnedDescriptor::close() noexcept
{
    if (m_descriptor < 0)
        return true;
    // Linux frees the descriptor even when close reports an error, so it is never retried.
    return ::close(release()) == 0;
}

bool OwnedPipe::open(int extraFlags) noexcept
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | extraFlags) != 0)
        return false;
    readEnd.reset(ends[0]);
    writeEnd.reset(ends[1]);
    return true;
}

bool writeAll(int descriptor, std::span<const std::byte> bytes) noexcept
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(written));
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitUntilWritable(descriptor))
                return false;
        } else {
            if (written == 0)
                errno = EIO;
            return false;
        }
    }
    return true;
}

bool writeAll(int descriptor, const void *bytes, std::size_t length) noexcept
{
    return writeAll(descriptor, std::span(static_cast<const std::byte *>(bytes), length));
}

ssize_t readExactly(int descriptor, std::span<std::byte> buffer) noexcept
{
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        const ssize_t got = ::read(descriptor, buffer.data() + filled, buffer.size() - filled);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        filled += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(filled);
}
