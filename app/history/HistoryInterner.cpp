// SPDX-License-Identifier: MIT
#include "history/HistoryInterner.h"

#include "history/SqliteConnection.h"
#include "history/SqliteStatement.h"

#include <span>

namespace {
// IPv4 addresses are stored in their own 4 bytes, not in their mapped 16.
std::span<const std::uint8_t> storedBytes(const StreamEndpoint &endpoint)
{
    const std::span<const std::uint8_t> address(endpoint.address);
    return endpoint.isIpv4() ? address.last(4) : address;
}

template <class Map> void bound(Map &map)
{
    if (static_cast<std::size_t>(map.size()) >= HistoryInterner::kRememberedLimit)
        map.clear();
}
} // namespace

HistoryInterner::HistoryInterner(SqliteConnection &connection)
    : m_findText(std::make_unique<SqliteStatement>(connection, "SELECT id FROM texts WHERE text = ?1"))
    , m_addText(std::make_unique<SqliteStatement>(connection, "INSERT INTO texts(text) VALUES(?1)"))
    , m_findAddress(std::make_unique<SqliteStatement>(connection, "SELECT id FROM addresses WHERE address = ?1"))
    , m_addAddress(std::make_unique<SqliteStatement>(connection, "INSERT INTO addresses(address) VALUES(?1)"))
    , m_storeHostName(std::make_unique<SqliteStatement>(
          connection, "INSERT OR REPLACE INTO host_names(address, name) VALUES(?1, ?2)"))
    , m_storeServiceName(std::make_unique<SqliteStatement>(
          connection, "INSERT OR REPLACE INTO service_names(key, name) VALUES(?1, ?2)"))
    , m_connection(connection)
{
}

HistoryInterner::~HistoryInterner() = default;

qint64 HistoryInterner::text(const QString &text)
{
    if (text.isEmpty())
        return 0;
    if (const auto known = m_texts.constFind(text); known != m_texts.constEnd())
        return *known;
    qint64 id = 0;
    if (m_findText->bind(1, text).step()) {
        id = m_findText->integer(0);
        m_findText->reset();
    } else {
        m_addText->bind(1, text).execute();
        id = m_connection.lastInsertRowId();
    }
    bound(m_texts);
    m_texts.insert(text, id);
    return id;
}

qint64 HistoryInterner::address(const StreamEndpoint &endpoint)
{
    const Address key{endpoint.address};
    if (const auto known = m_addresses.constFind(key); known != m_addresses.constEnd())
        return *known;
    qint64 id = 0;
    if (m_findAddress->bindBlob(1, storedBytes(endpoint)).step()) {
        id = m_findAddress->integer(0);
        m_findAddress->reset();
    } else {
        m_addAddress->bindBlob(1, storedBytes(endpoint)).execute();
        id = m_connection.lastInsertRowId();
    }
    bound(m_addresses);
    m_addresses.insert(key, id);
    return id;
}

void HistoryInterner::nameHost(qint64 addressId, qint64 nameId)
{
    name(m_hostNames, *m_storeHostName, addressId, nameId);
}

void HistoryInterner::nameService(qint64 serviceKey, qint64 nameId)
{
    name(m_serviceNames, *m_storeServiceName, serviceKey, nameId);
}

// Written only when it changes: most records repeat a name already stored.
void HistoryInterner::name(QHash<qint64, qint64> &known, SqliteStatement &store, qint64 key, qint64 nameId)
{
    if (nameId == 0)
        return;
    if (const auto found = known.constFind(key); found != known.constEnd() && *found == nameId)
        return;
    store.bind(1, key).bind(2, nameId).execute();
    bound(known);
    known.insert(key, nameId);
}

void HistoryInterner::forget()
{
    m_texts.clear();
    m_addresses.clear();
    m_hostNames.clear();
    m_serviceNames.clear();
}
