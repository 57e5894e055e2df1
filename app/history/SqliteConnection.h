// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

struct sqlite3;

// One connection to an SQLite file through the system's libsqlite3 C API. The C API rather
// than Qt's QSQLITE driver, because history needs what the driver hides: WAL mode with a
// busy timeout of its own, the exact result codes (SQLITE_FULL, SQLITE_READONLY,
// SQLITE_CORRUPT, SQLITE_NOTADB) that decide between pausing and moving a damaged file
// aside, and a connection owned by a writer thread of its own rather than by a QObject.
//
// Not thread-safe: a connection belongs to the one thread that uses it. Every failure throws
// SqliteError.
class SqliteConnection
{
public:
    enum class Access { ReadWrite, ReadOnly };

    // A missing file is created only for ReadWrite. Waits up to busyTimeoutMs for another
    // connection's write lock before a statement gives up with SQLITE_BUSY.
    SqliteConnection(const QString &path, Access access, int busyTimeoutMs);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection &) = delete;
    SqliteConnection &operator=(const SqliteConnection &) = delete;

    sqlite3 *handle() const { return m_handle; }
    const QString &path() const { return m_path; }

    // Runs statements without results (several, separated by semicolons).
    void execute(const char *sql);
    // The first column of the first row of a query without parameters; 0 when it has none.
    qint64 integer(const char *sql);
    // Ends the open transaction, if any, without its changes; never throws.
    void rollBack() noexcept;
    // The one call from another thread, while the connection is open: the statement running
    // now fails with SQLITE_INTERRUPT.
    void interrupt() const noexcept;

    qint64 lastInsertRowId() const;
    int changes() const;

    // Throws the connection's last error for `code`.
    [[noreturn]] void fail(int code) const;

private:
    sqlite3 *m_handle = nullptr;
    QString m_path;
};
