// SPDX-License-Identifier: MIT
#pragma once

#include "history/HistoryRecord.h"
#include "model/StreamEndpoint.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class SqliteConnection;
class SqliteStatement;

// Questions to a history file, on a read-only connection of its own: it never waits for a
// writer, in this process or another, and changes nothing. Results are plain values:
// numbers as numbers and texts as they were stored; whoever shows them neutralises them.
//
// Times are reference seconds. A stream is in a range when it was last seen in it; a stream
// still open is last seen at its latest record. Over ranges of kRollUpFrom and longer,
// hosts, programs and services are added up from the roll-up instead of the rows: its whole
// days inside the range and its hours at either end. Its hours are whole, so such a range
// counts every hour it touches, and a long stream's bytes in the hours they came. Groups
// left with neither bytes nor streams (no program, once a stream's program was learnt) are
// not listed.
//
// One thread at a time, but for interrupt(). Every failure throws SqliteError with a message
// for people.
class HistoryQuery
{
public:
    static constexpr double kRollUpFrom = 3 * 3600.0;
    static constexpr std::size_t kBucketLimit = 10'000;

    enum class Grouping { RemoteHost, Program, Service };

    struct Range
    {
        double since = 0.0;
        double until = 0.0; // not included
    };
    struct Totals
    {
        quint64 upBytes = 0;
        quint64 downBytes = 0;
        quint64 upPayloadBytes = 0;
        quint64 downPayloadBytes = 0;
        quint64 streams = 0;

        quint64 bytes() const { return upBytes + downBytes; }
        Totals &operator+=(const Totals &other);
    };
    // Which group: its kind and its number in this file.
    struct GroupKey
    {
        Grouping grouping = Grouping::RemoteHost;
        qint64 key = 0;
    };
    struct Group
    {
        GroupKey key;
        StreamEndpoint address;    // a remote host's address (port 0)
        std::uint8_t protocol = 0; // a service's protocol and port
        std::uint16_t port = 0;
        QString name; // the host's or service's name last known, or the program; empty when none
        Totals totals;
    };
    struct Bucket
    {
        double start = 0.0;
        Totals totals;
    };

    // Throws when the file is missing, is no history file, or is of another version.
    explicit HistoryQuery(const QString &path);
    ~HistoryQuery();
    HistoryQuery(const HistoryQuery &) = delete;
    HistoryQuery &operator=(const HistoryQuery &) = delete;

    // The `limit` groups with the most bytes, most first.
    std::vector<Group> top(Grouping grouping, const Range &range, std::size_t limit);
    // The `limit` streams with the most bytes, most first: all streams, or one group's (a
    // host's through its index, a program's or a service's from the rows of the range). Read
    // back, a record's serial is 0.
    std::vector<HistoryRecord> streams(const Range &range, std::size_t limit,
                                       const std::optional<GroupKey> &group = std::nullopt);
    // Bytes per bucket of `bucketSeconds` from `since`, every bucket of the range, empty ones
    // too: all traffic, or one group's. Buckets of an hour or more come from the roll-up
    // (each hour in the bucket it starts in). A bucket too small for kBucketLimit buckets is
    // made larger.
    std::vector<Bucket> bytesOverTime(const Range &range, double bucketSeconds,
                                      const std::optional<GroupKey> &group = std::nullopt);

    // From any thread: the question being answered now throws (a newer one makes it moot).
    void interrupt() const noexcept;

private:
    SqliteStatement &statement(const std::string &sql);
    std::vector<Group> topFromRows(Grouping grouping, const Range &range, std::size_t limit);
    std::vector<Group> topFromRollUp(Grouping grouping, const Range &range, std::size_t limit);
    std::vector<Group> readGroups(SqliteStatement &query, Grouping grouping);
    void name(Group &group);
    QString textOf(const char *sql, qint64 id);

    std::unique_ptr<SqliteConnection> m_connection;
    std::unordered_map<std::string, std::unique_ptr<SqliteStatement>> m_statements;
};
