// SPDX-License-Identifier: MIT
#include "history/HistoryStore.h"

#include "history/HistoryFile.h"
#include "history/HistoryWriter.h"
#include "history/SqliteConnection.h"
#include "history/SqliteError.h"
#include "platform/Clock.h"
#include "platform/SystemLog.h"

#include <QCoreApplication>

#include <pthread.h>

#include <algorithm>
#include <iterator>

using SteadyClock = std::chrono::steady_clock;

// The open file and what writes to it, made and ended together on the writer thread.
struct HistoryStore::Open
{
    std::unique_ptr<SqliteConnection> connection;
    HistoryWriter writer;
    HistoryRetention retention;

    explicit Open(std::unique_ptr<SqliteConnection> opened)
        : connection(std::move(opened))
        , writer(*connection)
        , retention(*connection)
    {
    }
};

HistoryStore::HistoryStore(Options options)
    : m_options(std::move(options))
    , m_path(m_options.path.isEmpty() ? HistoryFile::defaultPath() : m_options.path)
    , m_retention(m_options.retention)
    , m_writer([this] { run(); })
{
}

HistoryStore::~HistoryStore()
{
    {
        const std::lock_guard lock(m_lock);
        m_stopping = true;
    }
    m_queueChanged.notify_all();
    m_writer.join();
}

std::size_t HistoryStore::record(std::vector<HistoryRecord> records)
{
    std::size_t taken = 0;
    {
        const std::lock_guard lock(m_lock);
        taken = std::min(records.size(), m_options.queueLimit - std::min(m_options.queueLimit, m_queue.size()));
        std::move(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(taken), std::back_inserter(m_queue));
        m_accepted += taken;
        m_status.dropped += records.size() - taken;
    }
    if (taken > 0)
        m_queueChanged.notify_one();
    return taken;
}

bool HistoryStore::record(HistoryRecord record)
{
    std::vector<HistoryRecord> one;
    one.push_back(std::move(record));
    return this->record(std::move(one)) == 1;
}

bool HistoryStore::flush(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_lock);
    const quint64 target = m_accepted;
    m_flushWanted = std::max(m_flushWanted, target);
    m_queueChanged.notify_one();
    return m_settledChanged.wait_for(lock, timeout, [&] { return m_settled >= target; });
}

void HistoryStore::setRetention(const HistoryRetention::Limits &limits)
{
    const std::lock_guard lock(m_lock);
    m_retention = limits;
}

HistoryStore::Status HistoryStore::status() const
{
    const std::lock_guard lock(m_lock);
    Status status = m_status;
    status.path = m_path;
    status.queued = m_queue.size();
    return status;
}

void HistoryStore::run()
{
    pthread_setname_np(pthread_self(), "History");
    while (std::optional<std::vector<HistoryRecord>> batch = nextBatch()) {
        if (!ensureOpen()) {
            requeue(std::move(*batch));
            continue;
        }
        if (!batch->empty())
            writeBatch(std::move(*batch));
        if (m_open)
            pruneIfDue();
    }
    giveUpQueued();
    m_open.reset();
}

// What to write next, once there is something to do: records (after gathering more for up
// to commitInterval, unless a batch is full or someone waits), or an empty batch when it is
// time to open the file again or to prune. None when the writer is to end: stopping with
// nothing left that can be written.
std::optional<std::vector<HistoryRecord>> HistoryStore::nextBatch()
{
    std::unique_lock lock(m_lock);
    const auto hasWork = [this] { return m_stopping || (!m_queue.empty() && mayWrite(SteadyClock::now())); };
    m_queueChanged.wait_until(lock, wakeTime(), hasWork);
    const auto batchReady
        = [this] { return m_stopping || m_queue.size() >= m_options.batchLimit || m_flushWanted > m_settled; };
    if (!m_queue.empty() && mayWrite(SteadyClock::now()))
        m_queueChanged.wait_for(lock, m_options.commitInterval, batchReady);
    if (m_stopping && (m_queue.empty() || m_status.state == State::Paused))
        return std::nullopt;
    std::vector<HistoryRecord> batch;
    if (!mayWrite(SteadyClock::now()))
        return batch;
    const std::size_t size = std::min(m_queue.size(), m_options.batchLimit);
    batch.reserve(size);
    std::move(m_queue.begin(), m_queue.begin() + static_cast<std::ptrdiff_t>(size), std::back_inserter(batch));
    m_queue.erase(m_queue.begin(), m_queue.begin() + static_cast<std::ptrdiff_t>(size));
    return batch;
}

// Paused, the writer waits for its next try.
bool HistoryStore::mayWrite(SteadyClock::time_point now) const
{
    return m_status.state != State::Paused || now >= m_retryAt;
}

// Paused with nothing to retry, the writer waits for records or for pruning.
SteadyClock::time_point HistoryStore::wakeTime() const
{
    const SteadyClock::time_point now = SteadyClock::now();
    if (m_status.state == State::Paused && m_retryAt > now)
        return m_retryAt;
    return m_open ? m_pruneAt : now;
}

bool HistoryStore::ensureOpen()
{
    if (m_open)
        return true;
    try {
        m_open = std::make_unique<Open>(HistoryFile::openForWriting(m_path));
        m_pruneAt = SteadyClock::now();
        // A damaged file's fate stays told while its successor is written.
        setStatus(State::Writing, m_status.state == State::Opening ? m_status.message : QString());
    } catch (const SqliteError &error) {
        failed(error);
    }
    return m_open != nullptr;
}

void HistoryStore::writeBatch(std::vector<HistoryRecord> batch)
{
    try {
        m_open->writer.write(batch);
        // Told before the records count as settled: whoever flushed then sees history writing.
        if (m_status.state == State::Paused)
            setStatus(State::Writing, QString());
        settle(batch.size(), 0);
    } catch (const SqliteError &error) {
        requeue(std::move(batch));
        failed(error);
    }
}

void HistoryStore::pruneIfDue()
{
    const SteadyClock::time_point now = SteadyClock::now();
    if (now < m_pruneAt)
        return;
    HistoryRetention::Limits limits;
    {
        const std::lock_guard lock(m_lock);
        limits = m_retention;
    }
    try {
        const bool more = m_open->retention.prune(limits, Clock::now());
        m_pruneAt = more ? now : now + m_options.pruneInterval;
    } catch (const SqliteError &error) {
        failed(error);
    }
}

void HistoryStore::failed(const SqliteError &error)
{
    if (error.damaged()) {
        startAfresh(error);
        return;
    }
    pause(QCoreApplication::translate("HistoryStore", "History is paused: %1 cannot be written (%2).")
              .arg(m_path, error.message()));
}

// The connection stays open through a pause (a full disk) so that the open streams it
// remembers still find their rows when writing works again.
void HistoryStore::pause(const QString &message)
{
    m_retryAt = SteadyClock::now() + m_options.retryInterval;
    if (m_status.state != State::Paused || m_status.message != message)
        systemLog(message);
    setStatus(State::Paused, message);
}

void HistoryStore::startAfresh(const SqliteError &error)
{
    m_open.reset();
    const QString aside = HistoryFile::moveAside(m_path);
    if (aside.isEmpty()) {
        pause(QCoreApplication::translate("HistoryStore",
                                          "History is paused: %1 is damaged (%2) and cannot be moved aside.")
                  .arg(m_path, error.message()));
        return;
    }
    const QString message
        = QCoreApplication::translate("HistoryStore",
                                      "The history file %1 was damaged (%2). It was moved to %3, and a new history "
                                      "was started.")
              .arg(m_path, error.message(), aside);
    systemLog(message);
    setStatus(State::Opening, message, aside);
}

void HistoryStore::setStatus(State state, const QString &message, const QString &movedAside)
{
    if (m_status.state == State::Paused && state == State::Writing)
        systemLog(QCoreApplication::translate("HistoryStore", "History resumed: %1").arg(m_path));
    const std::lock_guard lock(m_lock);
    m_status.state = state;
    m_status.message = message;
    if (!movedAside.isEmpty())
        m_status.movedAside = movedAside;
}

void HistoryStore::requeue(std::vector<HistoryRecord> batch)
{
    const std::lock_guard lock(m_lock);
    m_queue.insert(m_queue.begin(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
}

void HistoryStore::settle(std::size_t written, std::size_t dropped)
{
    {
        const std::lock_guard lock(m_lock);
        m_settled += written + dropped;
        m_status.written += written;
        m_status.dropped += dropped;
    }
    m_settledChanged.notify_all();
}

// Stopping while paused: what is still queued cannot be written, and is said so.
void HistoryStore::giveUpQueued()
{
    std::size_t left = 0;
    {
        const std::lock_guard lock(m_lock);
        left = m_queue.size();
        m_queue.clear();
    }
    if (left == 0)
        return;
    settle(0, left);
    systemLog(QCoreApplication::translate("HistoryStore", "History: %1 records could not be written to %2.")
                  .arg(left)
                  .arg(m_path));
}
