// SPDX-License-Identifier: MIT
#pragma once

// Descriptors for the privileged tools, the application's capture and the tests alike:
// plain POSIX, no Qt, no exceptions, so the setuid tool can use it too.

#include <cstddef>
#include <span>
#include <sys/types.h>
#include <utility>

// Owns one descriptor and closes it when it goes; -1 means none.
class OwnedDescriptor
{
public:
    OwnedDescriptor() = default;
    explicit OwnedDescriptor(int descriptor) noexcept
        : m_descriptor(descriptor)
    {
    }
    ~OwnedDescriptor() { reset(); }
    OwnedDescriptor(OwnedDescriptor &&other) noexcept
        : m_descriptor(other.release())
    {
    }
    OwnedDescriptor &operator=(OwnedDescriptor &&other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    OwnedDescriptor(const OwnedDescriptor &) = delete;
    OwnedDescriptor &operator=(const OwnedDescriptor &) = delete;

    int get() const noexcept { return m_descriptor; }
    bool valid() const noexcept { return m_descriptor >= 0; }
    explicit operator bool() const noexcept { return valid(); }

    // Gives the descriptor up without closing it.
    int release() noexcept { return std::exchange(m_descriptor, -1); }
    // Closes the current descriptor, keeping errno as it was, and owns `descriptor` instead.
    void reset(int descriptor = -1) noexcept;
    // Closes now and reports the result (a delayed write error of a file shows up here).
    bool close() noexcept;

private:
    int m_descriptor = -1;
};

// Both ends of a new pipe, close-on-exec: a child gets only what it is handed explicitly.
struct OwnedPipe
{
    OwnedDescriptor readEnd;
    OwnedDescriptor writeEnd;

    // False with errno set when the system has no pipe to give.
    bool open(int extraFlags = 0) noexcept;
};

// Writes every byte: completes partial writes, retries after EINTR and, on a non-blocking
// descriptor, waits until it takes more. False with errno set on any other failure; what
// was written before it stays written.
bool writeAll(int descriptor, std::span<const std::byte> bytes) noexcept;
bool writeAll(int descriptor, const void *bytes, std::size_t length) noexcept;

// Reads until `buffer` is full or the end of file, retrying after EINTR. The number of
// bytes read (short only at end of file), or -1 with errno set on an error.
ssize_t readExactly(int descriptor, std::span<std::byte> buffer) noexcept;
