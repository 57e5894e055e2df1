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
    , m_removeSections(std::make_unique<SqliteStatement>(
          connection,
          "DELETE FROM sections WHERE number IN (SELECT number FROM sections WHERE last_id < ?1 LIMIT ?2)"))
    // The oldest hour or day of one kind at a time: it holds at most one entry per host,
    // program or service.
    , m_removeHour(std::make_unique<SqliteStatement>(
          connection, "DELETE FROM rollup WHERE kind = ?1 AND hours = ?3 AND hour ="
                      " (SELECT min(hour) FROM rollup WHERE kind = ?1 AND hours = ?3) AND hour + ?3 <= ?2"))
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
        m_removeSections->bind(1, oldest).bind(2, kRowsPerStep).execute();
        removed += m_connection.changes();
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
    for (const HistoryRollUp::Kind kind : {HistoryRollUp::Kind::RemoteHost, HistoryRollUp::Kind::Program,
                                           HistoryRollUp::Kind::Service, HistoryRollUp::Kind::Everything}) {
        for (const qint64 hours : {HistoryRollUp::kHour, HistoryRollUp::kDay}) {
            m_removeHour->bind(1, qint64(kind)).bind(2, hour).bind(3, hours).execute();
            removed += m_connection.changes();
        }
    }
    return removed;
}
