// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <memory>

class SqliteConnection;
class SqliteStatement;

// How long history is kept: rows last seen longer ago than the age limit go, and the oldest
// rows go while the file holds more than the size limit, whichever comes first; roll-up
// hours and sections go with the rows of their time. A little at a time, each step a short transaction
// of its own between the writer's batches, so neither writers nor readers wait long, and
// the space freed goes back to the file system (the file keeps incremental auto-vacuum).
//
// On the writer thread.
class HistoryRetention
{
public:
    struct Limits
    {
        double days = 30.0;
        qint64 bytes = qint64(1) << 30;
    };
    static constexpr qint64 kRowsPerStep = 2000;
    static constexpr qint64 kPagesFreedPerStep = 512;

    explicit HistoryRetention(SqliteConnection &connection);
    ~HistoryRetention();
    HistoryRetention(const HistoryRetention &) = delete;
    HistoryRetention &operator=(const HistoryRetention &) = delete;

    // One step at reference time `now`: true when it removed anything, so another may be due.
    // Throws SqliteError, nothing removed.
    bool prune(const Limits &limits, double now);

    // The bytes the file's pages hold, free pages left out.
    qint64 usedBytes();

private:
    qint64 removeRowsBefore(qint64 rowId);
    qint64 removeHoursBefore(qint64 hour);

    SqliteConnection &m_connection;
    std::unique_ptr<SqliteStatement> m_removeRows;
    std::unique_ptr<SqliteStatement> m_oldestRow;
    std::unique_ptr<SqliteStatement> m_removeSections;
    std::unique_ptr<SqliteStatement> m_removeEntries;
};
