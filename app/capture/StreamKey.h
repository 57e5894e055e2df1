// SPDX-License-Identifier: MIT
#pragma once

#include "model/StreamEndpoint.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

// What makes two records one stream: the two endpoints whichever way the packet went, and
// the protocol number, or the one catch-all "other" stream for every record without ports.
// Binary and fixed-size, so building it and finding it costs no text.
class StreamKey
{
public:
    static StreamKey conversation(const StreamEndpoint &a, const StreamEndpoint &b, std::uint8_t protocol)
    {
        StreamKey key;
        const auto [lesser, greater] = std::minmax(a, b);
        std::memcpy(key.m_bytes.data(), lesser.address.data(), 16);
        std::memcpy(key.m_bytes.data() + 16, &lesser.port, 2);
        std::memcpy(key.m_bytes.data() + 18, greater.address.data(), 16);
        std::memcpy(key.m_bytes.data() + 34, &greater.port, 2);
        key.m_bytes[36] = protocol;
        key.m_bytes[37] = kConversation;
        return key;
    }

    static StreamKey other()
    {
        StreamKey key;
        key.m_bytes[37] = kOther;
        return key;
    }

    // Word by word without a branch: the record path compares a key with every slot it tries,
    // and a call out to memcmp for 40 bytes costs more than the comparison.
    friend bool operator==(const StreamKey &a, const StreamKey &b)
    {
        std::uint64_t differing = 0;
        for (std::size_t offset = 0; offset < a.m_bytes.size(); offset += 8) {
            std::uint64_t left = 0;
            std::uint64_t right = 0;
            std::memcpy(&left, a.m_bytes.data() + offset, 8);
            std::memcpy(&right, b.m_bytes.data() + offset, 8);
            differing |= left ^ right;
        }
        return differing == 0;
    }

    std::size_t hash() const
    {
        std::uint64_t mixed = 0x9E3779B97F4A7C15ull;
        for (std::size_t offset = 0; offset < m_bytes.size(); offset += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, m_bytes.data() + offset, 8);
            mixed = (mixed ^ word) * 0xBF58476D1CE4E5B9ull;
            mixed ^= mixed >> 31;
        }
        return static_cast<std::size_t>(mixed);
    }

private:
    static constexpr std::uint8_t kConversation = 1;
    static constexpr std::uint8_t kOther = 2;

    std::array<std::uint8_t, 40> m_bytes{};
};

struct StreamKeyHash
{
    std::size_t operator()(const StreamKey &key) const { return key.hash(); }
};
