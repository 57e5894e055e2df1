// SPDX-License-Identifier: MIT
#include "history/SqliteConnection.h"

#include "history/SqliteError.h"
#include "history/SqliteStatement.h"

#include <sqlite3.h>

bool SqliteError::damaged() const
{
    const int primary = m_code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

SqliteConnection::SqliteConnection(const QString &path, Access access, int busyTimeoutMs)
    : m_path(path)
{
    const int flags = access == Access::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    // NOMUTEX: each connection stays on one thread, so SQLite's own locking per call is waste.
    const int opened = sqlite3_open_v2(path.toUtf8().constData(), &m_handle,
                                       flags | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE, nullptr);
    if (opened != SQLITE_OK) {
        const SqliteError error(opened, QString::fromUtf8(sqlite3_errmsg(m_handle)));
        sqlite3_close_v2(m_handle);
        throw error;
    }
    sqlite3_extended_result_codes(m_handle, 1);
    sqlite3_busy_timeout(m_handle, busyTimeoutMs);
}

SqliteConnection::~SqliteConnection()
{
    sqlite3_close_v2(m_handle);
}

void SqliteConnection::execute(const char *sql)
{
    const int result = sqlite3_exec(m_handle, sql, nullptr, nullptr, nullptr);
    if (result != SQLITE_OK)
        fail(result);
}

qint64 SqliteConnection::integer(const char *sql)
{
    SqliteStatement query(*this, sql);
    return query.step() ? query.integer(0) : 0;
}

void SqliteConnection::rollBack() noexcept
{
    if (sqlite3_get_autocommit(m_handle) == 0)
        sqlite3_exec(m_handle, "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteConnection::interrupt() const noexcept
{
    sqlite3_interrupt(m_handle);
}

qint64 SqliteConnection::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(m_handle);
}

int SqliteConnection::changes() const
{
    return sqlite3_changes(m_handle);
}

void SqliteConnection::fail(int code) const
{
    throw SqliteError(code, QString::fromUtf8(sqlite3_errmsg(m_handle)));
}
