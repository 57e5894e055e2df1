// SPDX-License-Identifier: MIT
#include "history/HistoryQuery.h"

#include "history/HistoryFile.h"
#include "history/HistoryRollUp.h"
#include "history/HistorySchema.h"
#include "history/HistoryTime.h"
#include "history/SqliteConnection.h"
#include "history/SqliteError.h"
#include "history/SqliteStatement.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>

namespace {
constexpr qint64 kHourMs = HistoryTime::kSecondsPerHour * 1000;

struct RowRange
{
    qint64 first;
    qint64 end;
};

RowRange rowRange(const HistoryQuery::Range &range)
{
    return {HistoryTime::firstRowId(HistoryTime::milliseconds(range.since)),
            HistoryTime::firstRowId(HistoryTime::milliseconds(range.until))};
}

HistoryRollUp::Kind kindOf(HistoryQuery::Grouping grouping)
{
    switch (grouping) {
    case HistoryQuery::Grouping::RemoteHost:
        return HistoryRollUp::Kind::RemoteHost;
    case HistoryQuery::Grouping::Program:
        return HistoryRollUp::Kind::Program;
    case HistoryQuery::Grouping::Service:
        return HistoryRollUp::Kind::Service;
    }
    return HistoryRollUp::Kind::RemoteHost;
}

// The group of a stream row, as the roll-up keeps it.
std::string groupSql(HistoryQuery::Grouping grouping)
{
    switch (grouping) {
    case HistoryQuery::Grouping::RemoteHost:
        return "remote_address";
    case HistoryQuery::Grouping::Program:
        return "coalesce(program, 0)";
    case HistoryQuery::Grouping::Service:
        return HistorySchema::kServiceKeySql;
    }
    return {};
}

// The stream rows from id ?1 to id ?2, of one group only when given, its number in ?9. A
// host's are found through the sections of the range, one index seek each.
std::string rowsSql(const std::optional<HistoryQuery::GroupKey> &group)
{
    if (!group)
        return " FROM streams WHERE id >= ?1 AND id < ?2";
    if (group->grouping == HistoryQuery::Grouping::RemoteHost)
        return " FROM sections CROSS JOIN streams INDEXED BY streams_by_remote"
               " ON section = number AND remote_address = ?9"
               " WHERE last_id >= ?1 AND first_id < ?2 AND id >= ?1 AND id < ?2";
    return " FROM streams WHERE id >= ?1 AND id < ?2 AND " + groupSql(group->grouping) + " = ?9";
}

quint64 countAt(const SqliteStatement &query, int column)
{
    return static_cast<quint64>(std::max<qint64>(0, query.integer(column)));
}

HistoryQuery::Totals totalsAt(const SqliteStatement &query, int first)
{
    return HistoryQuery::Totals{countAt(query, first), countAt(query, first + 1), countAt(query, first + 2),
                                countAt(query, first + 3), countAt(query, first + 4)};
}

StreamEndpoint endpointOf(const QByteArray &stored, std::uint16_t port)
{
    std::array<std::uint8_t, 16> address{};
    if (stored.size() == 4)
        address = PacketSummaryV2::ipv4Mapped(0);
    if (stored.size() == 4 || stored.size() == 16)
        std::copy(stored.begin(), stored.end(), address.end() - stored.size());
    return StreamEndpoint::fromBytes(address, port);
}

std::uint16_t portAt(const SqliteStatement &query, int column)
{
    return static_cast<std::uint16_t>(query.integer(column));
}

constexpr const char *kSums = "sum(up_bytes), sum(down_bytes), sum(up_payload), sum(down_payload)";
} // namespace

HistoryQuery::HistoryQuery(const QString &path)
{
    if (!QFileInfo::exists(path))
        throw SqliteError(SQLITE_CANTOPEN,
                          QCoreApplication::translate("HistoryQuery", "No history has been kept in %1.").arg(path));
    m_connection
        = std::make_unique<SqliteConnection>(path, SqliteConnection::Access::ReadOnly, HistoryFile::kBusyTimeoutMs);
    const qint64 version = m_connection->integer("PRAGMA user_version");
    if (version != HistorySchema::kCurrentVersion)
        throw SqliteError(SQLITE_ERROR,
                          QCoreApplication::translate("HistoryQuery",
                                                      "%1 is a history file of version %2; this "
                                                      "program reads version %3.")
                              .arg(path)
                              .arg(version)
                              .arg(HistorySchema::kCurrentVersion));
}

HistoryQuery::~HistoryQuery() = default;

void HistoryQuery::interrupt() const noexcept
{
    m_connection->interrupt();
}

SqliteStatement &HistoryQuery::statement(const std::string &sql)
{
    std::unique_ptr<SqliteStatement> &prepared = m_statements[sql];
    if (!prepared)
        prepared = std::make_unique<SqliteStatement>(*m_connection, sql.c_str());
    return *prepared;
}

std::vector<HistoryQuery::Group> HistoryQuery::top(Grouping grouping, const Range &range, std::size_t limit)
{
    std::vector<Group> groups = range.until - range.since >= kRollUpFrom ? topFromRollUp(grouping, range, limit)
                                                                         : topFromRows(grouping, range, limit);
    for (Group &group : groups)
        name(group);
    return groups;
}

std::vector<HistoryQuery::Group> HistoryQuery::topFromRows(Grouping grouping, const Range &range, std::size_t limit)
{
    SqliteStatement &query = statement("SELECT " + groupSql(grouping) + ", " + kSums + ", count(*)" + rowsSql({})
                                       + " GROUP BY 1 ORDER BY sum(up_bytes) + sum(down_bytes) DESC LIMIT ?3");
    const RowRange rows = rowRange(range);
    query.bind(1, rows.first).bind(2, rows.end).bind(3, static_cast<qint64>(limit));
    return readGroups(query, grouping);
}

// The whole days of the range from the days of the roll-up, the hours before and after them
// from its hours: three ranges of entries.
std::vector<HistoryQuery::Group> HistoryQuery::topFromRollUp(Grouping grouping, const Range &range, std::size_t limit)
{
    using RollUp = HistoryRollUp;
    const std::string part = "SELECT * FROM rollup WHERE id >= ? AND id < ?";
    SqliteStatement &query = statement("SELECT id & " + std::to_string(RollUp::kKeyMask) + ", " + kSums
                                       + ", sum(streams) FROM (" + part + " UNION ALL " + part + " UNION ALL " + part
                                       + ") GROUP BY 1 HAVING sum(up_bytes) + sum(down_bytes) + sum(streams) > 0"
                                         " ORDER BY sum(up_bytes) + sum(down_bytes) DESC LIMIT ?");
    const RollUp::Kind kind = kindOf(grouping);
    const qint64 first = HistoryTime::hour(range.since);
    const qint64 end = HistoryTime::hourAfter(range.until);
    qint64 firstDay = (first + RollUp::kHoursPerDay - 1) / RollUp::kHoursPerDay * RollUp::kHoursPerDay;
    qint64 endOfDays = end / RollUp::kHoursPerDay * RollUp::kHoursPerDay;
    if (firstDay >= endOfDays)
        firstDay = endOfDays = end;
    query.bind(1, RollUp::entryId(kind, RollUp::Span::Day, firstDay, 0));
    query.bind(2, RollUp::entryId(kind, RollUp::Span::Day, endOfDays, 0));
    query.bind(3, RollUp::entryId(kind, RollUp::Span::Hour, first, 0));
    query.bind(4, RollUp::entryId(kind, RollUp::Span::Hour, firstDay, 0));
    query.bind(5, RollUp::entryId(kind, RollUp::Span::Hour, endOfDays, 0));
    query.bind(6, RollUp::entryId(kind, RollUp::Span::Hour, end, 0));
    query.bind(7, static_cast<qint64>(limit));
    return readGroups(query, grouping);
}

std::vector<HistoryQuery::Group> HistoryQuery::readGroups(SqliteStatement &query, Grouping grouping)
{
    std::vector<Group> groups;
    while (query.step()) {
        Group group;
        group.key = GroupKey{grouping, query.integer(0)};
        group.totals = totalsAt(query, 1);
        groups.push_back(group);
    }
    return groups;
}

void HistoryQuery::name(Group &group)
{
    const qint64 key = group.key.key;
    switch (group.key.grouping) {
    case Grouping::RemoteHost: {
        SqliteStatement &address = statement("SELECT address FROM addresses WHERE id = ?1");
        if (address.bind(1, key).step()) {
            group.address = endpointOf(address.blob(0), 0);
            address.reset();
        }
        group.name = textOf("SELECT text FROM host_names JOIN texts ON texts.id = name WHERE address = ?1", key);
        break;
    }
    case Grouping::Program:
        group.name = textOf("SELECT text FROM texts WHERE id = ?1", key);
        break;
    case Grouping::Service:
        group.protocol = static_cast<std::uint8_t>(key / 65536);
        group.port = static_cast<std::uint16_t>(key % 65536);
        group.name = textOf("SELECT text FROM service_names JOIN texts ON texts.id = name WHERE key = ?1", key);
        break;
    }
}

QString HistoryQuery::textOf(const char *sql, qint64 id)
{
    SqliteStatement &query = statement(sql);
    if (!query.bind(1, id).step())
        return {};
    const QString text = query.text(0);
    query.reset();
    return text;
}

std::vector<HistoryRecord> HistoryQuery::streams(const Range &range, std::size_t limit,
                                                 const std::optional<GroupKey> &group)
{
    // The streams are chosen first, so only those are joined with their texts.
    SqliteStatement &query = statement(
        "SELECT s.id, s.duration, s.protocol, la.address, s.local_port, ra.address, s.remote_port, i.text, ln.text,"
        " rn.text, ls.text, rs.text, p.text, s.program_id, s.up_bytes, s.down_bytes, s.up_payload, s.down_payload,"
        " cr.text FROM (SELECT streams.*"
        + rowsSql(group)
        + " ORDER BY up_bytes + down_bytes DESC LIMIT ?3) AS s"
          " JOIN addresses la ON la.id = s.local_address JOIN addresses ra ON ra.id = s.remote_address"
          " LEFT JOIN texts i ON i.id = s.interface LEFT JOIN texts ln ON ln.id = s.local_name"
          " LEFT JOIN texts rn ON rn.id = s.remote_name LEFT JOIN texts ls ON ls.id = s.local_service"
          " LEFT JOIN texts rs ON rs.id = s.remote_service LEFT JOIN texts p ON p.id = s.program"
          " LEFT JOIN texts cr ON cr.id = s.close_reason ORDER BY s.up_bytes + s.down_bytes DESC");
    const RowRange rows = rowRange(range);
    query.bind(1, rows.first).bind(2, rows.end).bind(3, static_cast<qint64>(limit));
    if (group)
        query.bind(9, group->key);
    std::vector<HistoryRecord> records;
    while (query.step()) {
        HistoryRecord record;
        const qint64 lastSeen = HistoryTime::millisecondsOfRow(query.integer(0));
        record.lastSeen = HistoryTime::seconds(lastSeen);
        record.firstSeen = HistoryTime::seconds(lastSeen - query.integer(1));
        record.protocol = static_cast<std::uint8_t>(query.integer(2));
        record.local = endpointOf(query.blob(3), portAt(query, 4));
        record.remote = endpointOf(query.blob(5), portAt(query, 6));
        record.interfaceName = query.text(7);
        record.localHostName = query.text(8);
        record.remoteHostName = query.text(9);
        record.localServiceName = query.text(10);
        record.remoteServiceName = query.text(11);
        record.programName = query.text(12);
        record.programId = static_cast<quint32>(query.integer(13));
        record.upBytes = countAt(query, 14);
        record.downBytes = countAt(query, 15);
        record.upPayloadBytes = countAt(query, 16);
        record.downPayloadBytes = countAt(query, 17);
        record.closeReason = query.text(18);
        records.push_back(std::move(record));
    }
    return records;
}

std::vector<HistoryQuery::Bucket> HistoryQuery::bytesOverTime(const Range &range, double bucketSeconds,
                                                              const std::optional<GroupKey> &group)
{
    const qint64 sinceMs = HistoryTime::milliseconds(range.since);
    const qint64 spanMs = HistoryTime::milliseconds(range.until) - sinceMs;
    if (spanMs <= 0 || !(bucketSeconds > 0.0))
        return {};
    const qint64 limit = static_cast<qint64>(kBucketLimit);
    const qint64 bucketMs = std::max({qint64(1), std::llround(bucketSeconds * 1000.0), (spanMs + limit - 1) / limit});
    std::vector<Bucket> buckets(static_cast<std::size_t>((spanMs + bucketMs - 1) / bucketMs));
    for (std::size_t index = 0; index < buckets.size(); ++index)
        buckets[index].start = HistoryTime::seconds(sinceMs + static_cast<qint64>(index) * bucketMs);
    const auto add = [&](qint64 index, const Totals &totals) {
        buckets[static_cast<std::size_t>(std::clamp<qint64>(index, 0, qint64(buckets.size()) - 1))].totals += totals;
    };
    if (bucketMs >= kHourMs) {
        using RollUp = HistoryRollUp;
        const std::string byKey = RollUp::kByKeySql;
        SqliteStatement &query
            = statement("SELECT id >> " + std::to_string(RollUp::kKeyBits) + " & " + std::to_string(RollUp::kHourMask)
                        + ", up_bytes, down_bytes, up_payload, down_payload, streams"
                          " FROM rollup WHERE "
                        + byKey + " >= ?1 AND " + byKey + " < ?2");
        const RollUp::Kind kind = group ? kindOf(group->grouping) : RollUp::Kind::Everything;
        const qint64 key = group ? group->key : 0;
        query.bind(1, RollUp::byKeyId(kind, RollUp::Span::Hour, key, HistoryTime::hour(range.since)));
        query.bind(2, RollUp::byKeyId(kind, RollUp::Span::Hour, key, HistoryTime::hourAfter(range.until)));
        while (query.step())
            add((query.integer(0) * kHourMs - sinceMs) / bucketMs, totalsAt(query, 1));
        return buckets;
    }
    SqliteStatement &query
        = statement(std::string("SELECT (id - ?1) / ?4, ") + kSums + ", count(*)" + rowsSql(group) + " GROUP BY 1");
    const RowRange rows = rowRange(range);
    query.bind(1, rows.first).bind(2, rows.end).bind(4, bucketMs * HistoryTime::kRowsPerMillisecond);
    if (group)
        query.bind(9, group->key);
    while (query.step())
        add(query.integer(0), totalsAt(query, 1));
    return buckets;
}

HistoryQuery::Totals &HistoryQuery::Totals::operator+=(const Totals &other)
{
    upBytes += other.upBytes;
    downBytes += other.downBytes;
    upPayloadBytes += other.upPayloadBytes;
    downPayloadBytes += other.downPayloadBytes;
    streams += other.streams;
    return *this;
}
