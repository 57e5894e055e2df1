// SPDX-License-Identifier: MIT
#pragma once

#include "capture/StreamTable.h"
#include "history/HistoryStore.h"

#include <QString>

#include <memory>
#include <vector>

class Stream;

// What one capture keeps in history: every stream that expires, with the reason "idle";
// every live stream once a minute, as "open", so that a long conversation or a capture that
// is killed still leaves a record; and, when the capture ends, every stream still live as it
// was then, with no reason (the capture stopped watching, the conversation may go on).
//
// Main thread: the update cycle hands over its streams, which are turned into records there
// (the cycle's copies are the main thread's); the store only queues them, so neither the
// cycle nor the reader thread ever waits for the disk.
class CaptureHistory
{
public:
    static constexpr double kOpenRecordInterval = 60.0;

    // The store every capture of this process shares, as the preferences have it: none while
    // HistoryEnabled is off; the file HistoryPath, else the data folder's; the retention
    // limits followed as they change. Made by the first capture that asks, it goes with the
    // last one. Main thread.
    static std::shared_ptr<HistoryStore> sharedStore();

    // The first open records come one interval after `startTime`.
    CaptureHistory(std::shared_ptr<HistoryStore> store, QString interfaceName, double startTime);

    // The streams of a cycle run at `now`, and of the last one, run as the capture ends.
    void recordCycle(const StreamTable::Cycle &cycle, double now);
    void recordLastCycle(const StreamTable::Cycle &cycle, double now);

    HistoryStore::Status status() const { return m_store->status(); }

private:
    void recordExpired(const std::vector<std::shared_ptr<const Stream>> &expired);
    void recordLive(const std::vector<std::shared_ptr<Stream>> &live, double now, const QString &reason);

    std::shared_ptr<HistoryStore> m_store;
    QString m_interfaceName;
    double m_nextOpenRecords;
};
