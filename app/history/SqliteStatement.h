// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <span>

class SqliteConnection;
struct sqlite3_stmt;

// One prepared statement of a connection, kept for reuse: bind, step through the rows,
// reset. Parameters are numbered from 1 and columns from 0, as SQLite numbers them. Texts
// and blobs are copied when bound, so the caller's bytes may go at once. Every failure
// throws SqliteError; the connection must outlive the statement.
class SqliteStatement
{
public:
    SqliteStatement(SqliteConnection &connection, const char *sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    SqliteStatement &bind(int parameter, qint64 value);
    SqliteStatement &bind(int parameter, const QString &text);
    SqliteStatement &bindBlob(int parameter, std::span<const std::uint8_t> bytes);
    SqliteStatement &bindNull(int parameter);
    // An id or nothing: 0 stands for nothing (no row of an interned table has id 0).
    SqliteStatement &bindOptional(int parameter, qint64 id);

    // True with a row to read, false when done. A statement that is done is reset, with its
    // parameters kept, so it can be stepped again at once.
    bool step();
    // Runs a statement that changes rows. False, changing nothing, when it would give a row
    // a key another row has; any other failure throws. Reset either way.
    bool tryExecute();
    void execute();
    // Ends the current run early (a query read only in part).
    void reset();

    qint64 integer(int column) const;
    bool isNull(int column) const;
    QString text(int column) const;
    QByteArray blob(int column) const;

private:
    SqliteConnection &m_connection;
    sqlite3_stmt *m_statement = nullptr;
};
