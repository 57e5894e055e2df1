// SPDX-License-Identifier: MIT
#include "capture/StreamLookupCache.h"

#include <algorithm>
#include <bit>

StreamLookupCache::StreamLookupCache()
    : m_slots(kMinimumSlots)
    , m_mask(kMinimumSlots - 1)
{
}

StreamLookupCache::Slot &StreamLookupCache::place(std::size_t hash)
{
    Slot *pair = &m_slots[hash & m_mask & ~std::size_t{1}];
    if (pair[0].stream == nullptr)
        return pair[0];
    if (pair[1].stream == nullptr)
        return pair[1];
    pair[1] = pair[0];
    return pair[0];
}

void StreamLookupCache::forget(const StreamKey &key, std::size_t hash)
{
    Slot *pair = &m_slots[hash & m_mask & ~std::size_t{1}];
    for (Slot *held = pair; held != pair + 2; ++held) {
        if (held->stream != nullptr && held->key == key)
            *held = Slot{};
    }
}

void StreamLookupCache::fitTo(std::size_t streams)
{
    const std::size_t wanted = std::min(kMaximumSlots, std::bit_ceil(streams * kSlotsPerStream));
    if (wanted <= m_slots.size())
        return;
    m_slots.assign(wanted, Slot{});
    m_mask = wanted - 1;
}

void StreamLookupCache::clear()
{
    std::fill(m_slots.begin(), m_slots.end(), Slot{});
}
