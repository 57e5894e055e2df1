// SPDX-License-Identifier: MIT
#include "history/HistoryRetention.h"

#include "history/HistoryRollUp.h"
#include "history/HistoryTime.h"
#include "history/SqliteConnection.h"
#include "history/SqliteStatement.h"

#include <limits>
#include <string>

HistoryRetention::HistoryRetention(SqliteConnection &connection)
    : m_connection(connection)
    , m_removeRows(std::make_unique<SqliteStatement>(
          connection, "DELETE FROM streams WHERE id IN (SELECT id FROM streams WHERE id < ?1 ORDER BY id LIMIT ?2)"))
    , m_oldestRow(std::make_unique<SqliteStatement>(connection, "SELECT min(id) FROM streams"))
    // The oldest hour of one kind at a time: an hour holds at most one entry per host,
    // program or service of that hour.
    , m_removeHour(std::make_unique<SqliteStatement>(
          connection, "DELETE FROM hourly WHERE kind = ?1 AND hour ="
                      " (SELECT min(hour) FROM hourly WHERE kind = ?1) AND hour < ?2"))
{
}

HistoryRetention::~HistoryRetention() = default;

bool HistoryRetention::prune(const Limits &limits, double now)
{
    m_connection.execute("BEGIN IMMEDIATE");
    try {
        const qint64 ageLimit = HistoryTime::firstRowId(HistoryTime::milliseconds(now - limits.days * 86400.0));
        qint64 removed = removeRowsBefore(ageLimit);
        if (removed == 0 && usedBytes() > limits.bytes)
            removed = removeRowsBefore(std::numeric_limits<qint64>::max());
        const bool empty = !m_oldestRow->step() || m_oldestRow->isNull(0);
        const qint64 oldest = empty ? ageLimit : m_oldestRow->integer(0);
        m_oldestRow->reset();
        removed += removeHoursBefore(HistoryTime::millisecondsOfRow(oldest) / (HistoryTime::kSecondsPerHour * 1000));
        m_connection.execute("COMMIT");
        if (removed > 0)
            m_connection.execute(("PRAGMA incremental_vacuum(" + std::to_string(kPagesFreedPerStep) + ")").c_str());
        return removed > 0;
    } catch (...) {
        m_connection.rollBack();
        throw;
    }
}

qint64 HistoryRetention::usedBytes()
{
    const qint64 pages = m_connection.integer("PRAGMA page_count") - m_connection.integer("PRAGMA freelist_count");
    return pages * m_connection.integer("PRAGMA page_size");
}

qint64 HistoryRetention::removeRowsBefore(qint64 rowId)
{
    m_removeRows->bind(1, rowId).bind(2, kRowsPerStep).execute();
    return m_connection.changes();
}

qint64 HistoryRetention::removeHoursBefore(qint64 hour)
{
    qint64 removed = 0;
    for (const HistoryRollUp::Kind kind :
         {HistoryRollUp::Kind::RemoteHost, HistoryRollUp::Kind::Program, HistoryRollUp::Kind::Service}) {
        m_removeHour->bind(1, qint64(kind)).bind(2, hour).execute();
        removed += m_connection.changes();
    }
    return removed;
}
