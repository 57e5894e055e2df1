// SPDX-License-Identifier: MIT
#include "history/HistoryRollUp.h"

#include "history/HistoryRecord.h"
#include "history/SqliteStatement.h"

#include <QHashFunctions>

#include <utility>
#include <vector>

HistoryRollUp::Amounts &HistoryRollUp::Amounts::operator+=(const Amounts &other)
{
    upBytes += other.upBytes;
    downBytes += other.downBytes;
    upPayloadBytes += other.upPayloadBytes;
    downPayloadBytes += other.downPayloadBytes;
    streams += other.streams;
    return *this;
}

HistoryRollUp::Amounts HistoryRollUp::Amounts::operator-() const
{
    return Amounts{-upBytes, -downBytes, -upPayloadBytes, -downPayloadBytes, -streams};
}

qint64 HistoryRollUp::serviceKey(const HistoryRecord &record)
{
    std::uint16_t port = 0;
    if (!record.remoteServiceName.isEmpty())
        port = record.remote.port;
    else if (!record.localServiceName.isEmpty())
        port = record.local.port;
    else
        port = std::min(record.remote.port, record.local.port);
    return qint64(record.protocol) * 65536 + port;
}

std::size_t HistoryRollUp::SlotHash::operator()(const Slot &slot) const
{
    return qHashMulti(0, static_cast<int>(slot.kind), slot.hours, slot.hour, slot.key);
}

HistoryRollUp::HistoryRollUp(SqliteConnection &connection)
    : m_upsert(std::make_unique<SqliteStatement>(
          connection,
          "INSERT INTO rollup(kind, hours, hour, key, up_bytes, down_bytes, up_payload, down_payload, streams)"
          " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9) ON CONFLICT(kind, hours, hour, key) DO UPDATE SET"
          " up_bytes = up_bytes + excluded.up_bytes, down_bytes = down_bytes + excluded.down_bytes,"
          " up_payload = up_payload + excluded.up_payload, down_payload = down_payload + excluded.down_payload,"
          " streams = streams + excluded.streams"))
{
}

HistoryRollUp::~HistoryRollUp() = default;

void HistoryRollUp::add(Kind kind, qint64 key, qint64 hour, const Amounts &amounts)
{
    m_pending[Slot{kind, kHour, hour, key}] += amounts;
}

// The days are added up from the hours only here, once per hour and key of the batch.
void HistoryRollUp::write()
{
    std::vector<std::pair<Slot, Amounts>> days;
    days.reserve(m_pending.size());
    for (const auto &[slot, amounts] : m_pending)
        days.emplace_back(Slot{slot.kind, kDay, slot.hour - slot.hour % kDay, slot.key}, amounts);
    for (auto &[slot, amounts] : days)
        m_pending[slot] += amounts;
    for (const auto &[slot, amounts] : m_pending) {
        m_upsert->bind(1, qint64(slot.kind)).bind(2, slot.hours).bind(3, slot.hour).bind(4, slot.key);
        m_upsert->bind(5, amounts.upBytes).bind(6, amounts.downBytes);
        m_upsert->bind(7, amounts.upPayloadBytes).bind(8, amounts.downPayloadBytes).bind(9, amounts.streams);
        m_upsert->execute();
    }
    m_pending.clear();
}
