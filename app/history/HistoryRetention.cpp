// SPDX-License-Identifier: MIT
#include "history/HistoryRetention.h"

#include "history/HistoryRollUp.h"
#include "history/HistoryTime.h"
#include "history/SqliteConnection.h"
#include "history/SqliteStatement.h"

#include <algorithm>
#include <limits>
#include <string>

HistoryRetention::HistoryRetention(SqliteConnection &connection)
    : m_connection(connection)
    , m_removeRows(std::make_unique<SqliteStatement>(
          connection, "DELETE FROM streams WHERE id IN (SELECT id FROM streams WHERE id < ?1 ORDER BY id LIMIT ?2)"))
    , m_oldestRow(std::make_unique<SqliteStatement>(connection, "SELECT min(id) FROM streams"))
    , m_removeSections(std::make_unique<SqliteStatement>(
          connection, "DELETE FROM sections WHERE number IN (SELECT number FROM sections WHERE last_id < ?1 LIMIT ?2)"))
    , m_removeEntries(std::make_unique<SqliteStatement>(
          connection, "DELETE FROM rollup WHERE id IN (SELECT id FROM rollup WHERE id >= ?1 AND id < ?2 LIMIT ?3)"))
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

// A day's entry goes once all its hours are before `hour`.
qint64 HistoryRetention::removeHoursBefore(qint64 hour)
{
    using RollUp = HistoryRollUp;
    qint64 removed = 0;
    for (const RollUp::Kind kind :
         {RollUp::Kind::RemoteHost, RollUp::Kind::Program, RollUp::Kind::Service, RollUp::Kind::Everything}) {
        const qint64 lastDay = std::max<qint64>(0, hour - RollUp::kHoursPerDay + 1);
        for (const auto &[span, before] :
             {std::pair(RollUp::Span::Hour, hour), std::pair(RollUp::Span::Day, lastDay)}) {
            m_removeEntries->bind(1, RollUp::entryId(kind, span, 0, 0));
            m_removeEntries->bind(2, RollUp::entryId(kind, span, before, 0)).bind(3, kRowsPerStep).execute();
            removed += m_connection.changes();
        }
    }
    return removed;
}
