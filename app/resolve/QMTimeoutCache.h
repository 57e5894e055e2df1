// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Clock.h"

#include <QHashFunctions> // std::hash for Qt's string types, the usual keys

#include <cstddef>
#include <functional>
#include <list>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

// A dictionary whose entries expire a fixed time after they were stored. Reading an entry
// does not extend its life; storing again under a key restarts it.
//
// A count limit may bound it too: the oldest entries make room for new ones.
//
// Entries sit in a list in order of storing (oldest at the front) with a hash map from key
// to list position, so lookups, stores and removals take constant time, and culling, which
// happens only on lookup, walks from the front and stops at the first live entry: it never
// scans live entries. An entry aged exactly the timeout is still live. If the clock is set
// back, an entry stored later may look older than one in front of it; culling still stops
// at the first live entry, so such an entry waits for the ones in front of it to expire.
//
// Not thread-safe: the owner serialises every call, lookups included, because a lookup
// culls. Lookups return copies, so a value stays valid after the owner's lock is released.
template <typename Key, typename Value, typename Hash = std::hash<Key>, typename KeyEqual = std::equal_to<Key>>
class QMTimeoutCache
{
public:
    static constexpr double kDefaultTimeout = 300.0;

    // countLimit 0: no limit but the timeout. With a limit, storing past it evicts the
    // oldest entries: a flood of new keys must not grow the cache without end.
    explicit QMTimeoutCache(double timeoutSeconds = kDefaultTimeout, std::size_t countLimit = 0)
        : m_timeout(timeoutSeconds)
        , m_countLimit(countLimit)
    {
    }

    double timeout() const { return m_timeout; }
    std::size_t countLimit() const { return m_countLimit; }

    // Includes entries that have expired but have not been culled by a lookup yet.
    std::size_t count() const { return m_map.size(); }

    // Every key, oldest stored first, expired ones included until a lookup culls them.
    std::vector<Key> keys() const
    {
        std::vector<Key> result;
        result.reserve(m_entries.size());
        for (const Entry &entry : m_entries)
            result.push_back(entry.key);
        return result;
    }

    // Culls expired entries, then gives a copy of the value under `key`, if any.
    std::optional<Value> objectForKey(const Key &key)
    {
        cullOldEntries();
        const auto found = m_map.find(key);
        if (found == m_map.end())
            return std::nullopt;
        return found->second->value;
    }

    // Stores `value` under `key` as the newest entry, replacing any earlier one. Does not
    // cull. If memory runs out the cache is left exactly as it was (the exception passes on).
    void setObject(Value value, const Key &key)
    {
        std::list<Entry> fresh;
        fresh.push_back(Entry{key, std::move(value), Clock::now()});
        const auto [slot, inserted] = m_map.try_emplace(key, fresh.begin());
        if (!inserted)
            m_entries.erase(slot->second);
        m_entries.splice(m_entries.end(), fresh);
        slot->second = std::prev(m_entries.end());
        while (m_countLimit > 0 && m_entries.size() > m_countLimit) {
            m_map.erase(m_entries.front().key);
            m_entries.pop_front();
        }
    }

    void removeObjectForKey(const Key &key)
    {
        const auto found = m_map.find(key);
        if (found == m_map.end())
            return;
        m_entries.erase(found->second);
        m_map.erase(found);
    }

    // Diagnostic for tests: true when list and map describe the same entries.
    bool checkInternalConsistency() const
    {
        if (m_entries.size() != m_map.size())
            return false;
        for (auto position = m_entries.begin(); position != m_entries.end(); ++position) {
            const auto found = m_map.find(position->key);
            if (found == m_map.end() || found->second != position)
                return false;
        }
        return true;
    }

private:
    struct Entry
    {
        Key key;
        Value value;
        double storedAt;
    };

    void cullOldEntries()
    {
        const double now = Clock::now();
        while (!m_entries.empty() && now - m_entries.front().storedAt > m_timeout) {
            m_map.erase(m_entries.front().key);
            m_entries.pop_front();
        }
    }

    double m_timeout;
    std::size_t m_countLimit;
    std::list<Entry> m_entries;
    std::unordered_map<Key, typename std::list<Entry>::iterator, Hash, KeyEqual> m_map;
};
