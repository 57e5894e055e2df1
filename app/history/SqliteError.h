// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <stdexcept>

// A failure of the history database, with SQLite's extended result code and its own
// message. Whether the file is damaged decides what the store does: a damaged file is moved
// aside, anything else (a full disk, a read-only folder, a lock held too long) pauses
// history until writing works again.
class SqliteError : public std::runtime_error
{
public:
    SqliteError(int code, const QString &message)
        : std::runtime_error(message.toStdString())
        , m_code(code)
        , m_message(message)
    {
    }

    int code() const { return m_code; }
    const QString &message() const { return m_message; }
    bool damaged() const;

private:
    int m_code;
    QString m_message;
};
