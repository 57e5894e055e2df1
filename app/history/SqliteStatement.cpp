// SPDX-License-Identifier: MIT
#include "history/SqliteStatement.h"

#include "history/SqliteConnection.h"

#include <sqlite3.h>

#include <cstdint>

namespace {
// SQLITE_TRANSIENT without the C cast of its macro: SQLite copies the bytes before returning.
const sqlite3_destructor_type kCopyBytes = reinterpret_cast<sqlite3_destructor_type>(static_cast<std::intptr_t>(-1));
} // namespace

SqliteStatement::SqliteStatement(SqliteConnection &connection, const char *sql)
    : m_connection(connection)
{
    const int prepared
        = sqlite3_prepare_v3(connection.handle(), sql, -1, SQLITE_PREPARE_PERSISTENT, &m_statement, nullptr);
    if (prepared != SQLITE_OK)
        connection.fail(prepared);
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

SqliteStatement &SqliteStatement::bind(int parameter, qint64 value)
{
    if (const int bound = sqlite3_bind_int64(m_statement, parameter, value); bound != SQLITE_OK)
        m_connection.fail(bound);
    return *this;
}

SqliteStatement &SqliteStatement::bind(int parameter, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    if (const int bound = sqlite3_bind_text64(m_statement, parameter, utf8.constData(),
                                              static_cast<sqlite3_uint64>(utf8.size()), kCopyBytes, SQLITE_UTF8);
        bound != SQLITE_OK)
        m_connection.fail(bound);
    return *this;
}

SqliteStatement &SqliteStatement::bindBlob(int parameter, std::span<const std::uint8_t> bytes)
{
    if (const int bound = sqlite3_bind_blob64(m_statement, parameter, bytes.data(), bytes.size(), kCopyBytes);
        bound != SQLITE_OK)
        m_connection.fail(bound);
    return *this;
}

SqliteStatement &SqliteStatement::bindNull(int parameter)
{
    if (const int bound = sqlite3_bind_null(m_statement, parameter); bound != SQLITE_OK)
        m_connection.fail(bound);
    return *this;
}

SqliteStatement &SqliteStatement::bindOptional(int parameter, qint64 id)
{
    return id == 0 ? bindNull(parameter) : bind(parameter, id);
}

bool SqliteStatement::step()
{
    const int stepped = sqlite3_step(m_statement);
    if (stepped == SQLITE_ROW)
        return true;
    sqlite3_reset(m_statement);
    if (stepped != SQLITE_DONE)
        m_connection.fail(stepped);
    return false;
}

bool SqliteStatement::tryExecute()
{
    const int stepped = sqlite3_step(m_statement);
    sqlite3_reset(m_statement);
    if (stepped == SQLITE_CONSTRAINT_PRIMARYKEY)
        return false;
    if (stepped != SQLITE_DONE)
        m_connection.fail(stepped);
    return true;
}

void SqliteStatement::execute()
{
    while (step()) { }
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_statement);
}

qint64 SqliteStatement::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

// The length comes from SQLite, not from a terminating zero, so a text with a NUL inside
// comes back whole.
QString SqliteStatement::text(int column) const
{
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    return QString::fromUtf8(bytes, sqlite3_column_bytes(m_statement, column));
}

QByteArray SqliteStatement::blob(int column) const
{
    const auto *bytes = static_cast<const char *>(sqlite3_column_blob(m_statement, column));
    return QByteArray(bytes, sqlite3_column_bytes(m_statement, column));
}
