// SPDX-License-Identifier: MIT
#include "history/HistoryRollUp.h"

#include "history/HistoryRecord.h"
#include "history/SqliteStatement.h"

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

const char *const HistoryRollUp::kByKeySql = "((id >> 60 << 60) | ((id & 549755813887) << 21) | (id >> 39 & 2097151))";
static_assert(HistoryRollUp::kKeyMask == 549755813887 && HistoryRollUp::kHourMask == 2097151
                  && HistoryRollUp::kKeyBits + HistoryRollUp::kHourBits == 60,
              "kByKeySql spells out the packing");

HistoryRollUp::HistoryRollUp(SqliteConnection &connection)
    : m_upsert(std::make_unique<SqliteStatement>(
        connection,
        "INSERT INTO rollup(id, up_bytes, down_bytes, up_payload, down_payload, streams)"
        " VALUES(?1, ?2, ?3, ?4, ?5, ?6) ON CONFLICT(id) DO UPDATE SET"
        " up_bytes = up_bytes + excluded.up_bytes, down_bytes = down_bytes + excluded.down_bytes,"
        " up_payload = up_payload + excluded.up_payload, down_payload = down_payload + excluded.down_payload,"
        " streams = streams + excluded.streams"))
{
}

HistoryRollUp::~HistoryRollUp() = default;

void HistoryRollUp::add(Kind kind, qint64 key, qint64 hour, const Amounts &amounts)
{
    m_pending[entryId(kind, Span::Hour, hour, key)] += amounts;
}

// The days are added up from the hours only here, once per hour and key of the batch.
void HistoryRollUp::write()
{
    std::vector<std::pair<qint64, Amounts>> days;
    days.reserve(static_cast<std::size_t>(m_pending.size()));
    for (auto hour = m_pending.cbegin(); hour != m_pending.cend(); ++hour) {
        const qint64 id = hour.key();
        const qint64 day = hourOf(id) / kHoursPerDay * kHoursPerDay;
        days.emplace_back(entryId(kindOf(id), Span::Day, day, keyOf(id)), *hour);
    }
    for (const auto &[day, amounts] : days)
        m_pending[day] += amounts;
    for (auto entry = m_pending.cbegin(); entry != m_pending.cend(); ++entry) {
        const Amounts &amounts = *entry;
        m_upsert->bind(1, entry.key()).bind(2, amounts.upBytes).bind(3, amounts.downBytes);
        m_upsert->bind(4, amounts.upPayloadBytes).bind(5, amounts.downPayloadBytes).bind(6, amounts.streams);
        m_upsert->execute();
    }
    m_pending.clear();
}
