// SPDX-License-Identifier: MIT
#pragma once

#include "capture/StreamKey.h"

#include <cstddef>
#include <vector>

class Stream;

// A cache in front of the stream table's map, for the record path. A slot holds one
// conversation's key and its live stream, so a record of a known conversation touches one
// pair of slots and the stream's counters instead of the map's bucket and nodes, and a run
// of records can fetch both ahead before counting. Two slots side by side serve each hash,
// so two conversations whose hashes meet both stay (one slot each would have them evict each
// other at every record when their records alternate). The map stays the truth: a slot only
// ever copies one of its entries and is forgotten before that entry leaves the map; a
// conversation that loses its slot to another is found in the map again. Not locked: it is
// used with the table, under the capture's lock.
class StreamLookupCache
{
public:
    // One cache line each, so fetching a slot ahead is one fetch.
    struct alignas(64) Slot
    {
        StreamKey key;
        Stream *stream = nullptr;   // none: the slot is empty
        bool localIsLesser = false; // the stream's source is the key's lesser endpoint
    };

    // About four slots per live stream keep two conversations from sharing one, up to a
    // bound on the memory (64 bytes a slot).
    static constexpr std::size_t kMinimumSlots = 1024;
    static constexpr std::size_t kMaximumSlots = 64 * 1024;
    static constexpr std::size_t kSlotsPerStream = 4;

    StreamLookupCache();

    // The slot holding the key, or none.
    const Slot *find(const StreamKey &key, std::size_t hash) const
    {
        const Slot *pair = &m_slots[hash & m_mask & ~std::size_t{1}];
        if (pair[0].stream != nullptr && pair[0].key == key)
            return &pair[0];
        if (pair[1].stream != nullptr && pair[1].key == key)
            return &pair[1];
        return nullptr;
    }
    void prefetch(std::size_t hash) const
    {
        const Slot *pair = &m_slots[hash & m_mask & ~std::size_t{1}];
        __builtin_prefetch(&pair[0]);
        __builtin_prefetch(&pair[1]);
    }
    // The slot a key of this hash is to be written into: an empty one of its pair, otherwise
    // the first, whose conversation moves over to the second in place of the one there.
    Slot &place(std::size_t hash);
    // Empties the key's slot if one holds that key.
    void forget(const StreamKey &key, std::size_t hash);
    // Grows, emptying every slot, when the table has outgrown it.
    void fitTo(std::size_t streams);
    void clear();

private:
    std::vector<Slot> m_slots;
    std::size_t m_mask;
};
