// SPDX-License-Identifier: MIT
#pragma once

#include "model/StreamEndpoint.h"

#include <QHash>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

class SqliteConnection;
class SqliteStatement;

// The texts and addresses a stream row refers to, each kept once in its own table, and the
// name last known for each address and service. Looked up in the file once and remembered;
// the memory is bounded and starts over when full.
//
// On the writer thread, inside its transactions. A transaction that is rolled back takes
// the numbers it gave with it: forget() then, before the next transaction.
class HistoryInterner
{
public:
    static constexpr std::size_t kRememberedLimit = 100'000;

    explicit HistoryInterner(SqliteConnection &connection);
    ~HistoryInterner();
    HistoryInterner(const HistoryInterner &) = delete;
    HistoryInterner &operator=(const HistoryInterner &) = delete;

    // The text's id; 0 for an empty text, which is stored as nothing.
    qint64 text(const QString &text);
    qint64 address(const StreamEndpoint &endpoint);
    // The names shown for a host or a service: the last that was known. An id of 0 is no name.
    void nameHost(qint64 addressId, qint64 nameId);
    void nameService(qint64 serviceKey, qint64 nameId);
    void forget();

private:
    struct Address
    {
        std::array<std::uint8_t, 16> bytes;

        friend bool operator==(const Address &, const Address &) = default;
        friend std::size_t qHash(const Address &address, std::size_t seed)
        {
            return qHashBits(address.bytes.data(), address.bytes.size(), seed);
        }
    };

    void name(QHash<qint64, qint64> &known, SqliteStatement &store, qint64 key, qint64 nameId);

    QHash<QString, qint64> m_texts;
    QHash<Address, qint64> m_addresses;
    QHash<qint64, qint64> m_hostNames;
    QHash<qint64, qint64> m_serviceNames;
    std::unique_ptr<SqliteStatement> m_findText;
    std::unique_ptr<SqliteStatement> m_addText;
    std::unique_ptr<SqliteStatement> m_findAddress;
    std::unique_ptr<SqliteStatement> m_addAddress;
    std::unique_ptr<SqliteStatement> m_storeHostName;
    std::unique_ptr<SqliteStatement> m_storeServiceName;
    SqliteConnection &m_connection;
};
