// SPDX-License-Identifier: MIT
#include "history/HistorySections.h"

#include "history/SqliteStatement.h"

#include <algorithm>

HistorySections::HistorySections(SqliteConnection &connection)
    : m_next(std::make_unique<SqliteStatement>(connection, "SELECT coalesce(max(number), 0) + 1 FROM sections"))
    , m_store(std::make_unique<SqliteStatement>(
          connection,
          "INSERT INTO sections(number, first_id, last_id) VALUES(?1, ?2, ?3) ON CONFLICT(number)"
          " DO UPDATE SET first_id = min(first_id, excluded.first_id),"
          " last_id = max(last_id, excluded.last_id)"))
{
}

HistorySections::~HistorySections() = default;

// A row far earlier than the section (a stream idle for long) stays in it: the section's
// range of ids widens, and a question about its time only seeks in one more section.
qint64 HistorySections::sectionFor(qint64 lastSeenMs)
{
    if (m_current.number != 0 && m_current.rows < kRows && lastSeenMs < m_current.startMs + kSpanMs)
        return m_current.number;
    write();
    m_next->step();
    const qint64 number = m_next->integer(0);
    m_next->reset();
    m_current = Section{number, lastSeenMs, 0, 0, 0, false};
    return number;
}

void HistorySections::add(qint64 rowId)
{
    m_current.firstId = m_current.unwritten ? std::min(m_current.firstId, rowId) : rowId;
    m_current.lastId = m_current.unwritten ? std::max(m_current.lastId, rowId) : rowId;
    m_current.unwritten = true;
    ++m_current.rows;
}

// The section row exists from its first batch on, so the next number taken is past it.
void HistorySections::write()
{
    if (!m_current.unwritten)
        return;
    m_store->bind(1, m_current.number).bind(2, m_current.firstId).bind(3, m_current.lastId).execute();
    m_current.unwritten = false;
}
