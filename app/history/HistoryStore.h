// SPDX-License-Identifier: MIT
#pragma once

#include "history/HistoryRecord.h"
#include "history/HistoryRetention.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class SqliteError;

// The history of streams, kept in an SQLite file (HistoryFile) by a writer thread of its
// own. record() only queues: whoever records (the capture's threads) never waits for the
// disk. The writer takes what is queued in batches, one short transaction each (so another
// process writing the same file waits at most one batch, and readers never wait), commits
// at least every commitInterval while records come, and prunes what the retention limits
// let go of between batches.
//
// When things go wrong history pauses and nothing else fails:
// - the file or its folder cannot be written (a full disk, a read-only folder, a lock held
//   too long, a file of a newer version): the status says why, records queue up to
//   queueLimit, the writer tries again every retryInterval and resumes where it stopped;
// - the file is damaged (not a database, cut short, overwritten): it is moved aside, the
//   system log and the status say where to, and a new file starts in its place.
// Records that do not fit in the queue are counted as dropped, never lost unseen.
//
// Threads: record(), flush(), setRetention() and status() from any thread; a window or the
// window-less mode polls status() with its update cycle. The destructor writes what is
// queued (while writing works) and joins the writer.
class HistoryStore
{
public:
    enum class State {
        Opening, // the writer has not opened the file yet (or its damaged predecessor went)
        Writing,
        Paused, // see message
    };
    struct Status
    {
        State state = State::Opening;
        QString path;
        QString message;     // why history is paused, or what became of a damaged file
        QString movedAside;  // where the last damaged file went; empty when none was
        quint64 written = 0; // records committed
        quint64 dropped = 0; // records that found the queue full, or were left when a paused store stopped
        std::size_t queued = 0;
    };
    struct Options
    {
        QString path; // empty: HistoryFile::defaultPath()
        HistoryRetention::Limits retention;
        std::size_t queueLimit = 200'000;
        // Under a flood, large batches add up many records of each host in one roll-up entry.
        std::size_t batchLimit = 50'000;
        std::chrono::milliseconds commitInterval{200};
        std::chrono::milliseconds retryInterval{5000};
        std::chrono::milliseconds pruneInterval{10'000};
    };

    explicit HistoryStore(Options options);
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    // Queues records for the writer; those past the queue's limit are dropped and counted.
    // The number taken.
    std::size_t record(std::vector<HistoryRecord> records);
    bool record(HistoryRecord record);

    // Waits until everything recorded before the call is committed; false when that has not
    // happened within `timeout` (history is paused, or the disk is slow).
    bool flush(std::chrono::milliseconds timeout);

    // From the next pruning step on.
    void setRetention(const HistoryRetention::Limits &limits);

    Status status() const;

private:
    struct Open;

    void run();
    std::optional<std::vector<HistoryRecord>> nextBatch();
    bool mayWrite(std::chrono::steady_clock::time_point now) const;
    std::chrono::steady_clock::time_point wakeTime() const;
    bool ensureOpen();
    void writeBatch(std::vector<HistoryRecord> batch);
    void pruneIfDue();
    void failed(const SqliteError &error);
    void pause(const QString &message);
    void startAfresh(const SqliteError &error);
    void setStatus(State state, const QString &message, const QString &movedAside = {});
    void requeue(std::vector<HistoryRecord> batch);
    void settle(std::size_t written, std::size_t dropped);
    void giveUpQueued();

    const Options m_options;
    const QString m_path;
    // The writer thread's alone:
    std::unique_ptr<Open> m_open;
    std::chrono::steady_clock::time_point m_retryAt;
    std::chrono::steady_clock::time_point m_pruneAt;

    mutable std::mutex m_lock; // guards everything below
    std::condition_variable m_queueChanged;
    std::condition_variable m_settledChanged;
    std::deque<HistoryRecord> m_queue;
    Status m_status;
    HistoryRetention::Limits m_retention;
    quint64 m_accepted = 0; // records queued so far
    quint64 m_settled = 0;  // of those, written or given up at the end
    quint64 m_flushWanted = 0;
    bool m_stopping = false;

    std::thread m_writer; // last: starts once everything it uses exists
};
