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
        : timeout_(timeoutSeconds), countLimit_(countLimit)
    {
    }

    double timeout() const { return timeout_; }
    std::size_t countLimit() const { return countLimit_; }

    // Includes entries that have expired but have not been culled by a lookup yet.
    std::size_t count() const { return map_.size(); }

    // Every key, oldest stored first, expired ones included until a lookup culls them.
    std::vector<Key> keys() const
    {
        std::vector<Key> result;
        result.reserve(entries_.size());
        for (const Entry &entry : entries_)
            result.push_back(entry.key);
        return result;
    }

    // Culls expired entries, then gives a copy of the value under `key`, if any.
    std::optional<Value> objectForKey(const Key &key)
    {
        cullOldEntries();
        const auto found = map_.find(key);
        if (found == map_.end())
            return std::nullopt;
        return found->second->value;
    }

    // Stores `value` under `key` as the newest entry, replacing any earlier one. Does not
    // cull. If memory runs out the cache is left exactly as it was (the exception passes on).
    void setObject(Value value, const Key &key)
    {
        std::list<Entry> fresh;
        fresh.push_back(Entry{key, std::move(value), Clock::now()});
        const auto [slot, inserted] = map_.try_emplace(key, fresh.begin());
        if (!inserted)
            entries_.erase(slot->second);
        entries_.splice(entries_.end(), fresh);
        slot->second = std::prev(entries_.end());
        while (countLimit_ > 0 && entries_.size() > countLimit_) {
            map_.erase(entries_.front().key);
            entries_.pop_front();
        }
    }

    void removeObjectForKey(const Key &key)
    {
        const auto found = map_.find(key);
        if (found == map_.end())
            return;
        entries_.erase(found->second);
        map_.erase(found);
    }

    // Diagnostic for tests: true when list and map describe the same entries.
    bool checkInternalConsistency() const
    {
        if (entries_.size() != map_.size())
            return false;
        for (auto position = entries_.begin(); position != entries_.end(); ++position) {
            const auto found = map_.find(position->key);
            if (found == map_.end() || found->second != position)
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
        while (!entries_.empty() && now - entries_.front().storedAt > timeout_) {
            map_.erase(entries_.front().key);
            entries_.pop_front();
        }
    }

    double timeout_;
    std::size_t countLimit_;
    std::list<Entry> entries_;
    std::unordered_map<Key, typename std::list<Entry>::iterator, Hash, KeyEqual> map_;
};
