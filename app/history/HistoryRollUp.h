// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <cstddef>
#include <memory>
#include <unordered_map>

class SqliteConnection;
class SqliteStatement;
struct HistoryRecord;

// The roll-up: bytes and new streams per hour and per day for every remote address, every
// program, every service and for all traffic, so that a question about a week adds up a few
// days and hours instead of reading every row. A stream's bytes go to the hours of the
// records that brought them: the first record its bytes so far, each later one what came
// since. An entry covers `hours` hours (kHour or kDay) from the hour it starts at.
//
// One per writer connection, on the writer thread: it gathers what a batch adds and writes
// it in the batch's own transaction, so the roll-up and the rows always agree.
class HistoryRollUp
{
public:
    // Stored in the file: never renumbered. Everything has the one key 0.
    enum class Kind { RemoteHost = 0, Program = 1, Service = 2, Everything = 3 };
    static constexpr qint64 kHour = 1;
    static constexpr qint64 kDay = 24;

    struct Amounts
    {
        qint64 upBytes = 0;
        qint64 downBytes = 0;
        qint64 upPayloadBytes = 0;
        qint64 downPayloadBytes = 0;
        qint64 streams = 0;

        Amounts &operator+=(const Amounts &other);
        Amounts operator-() const;
    };

    // A stream's service: the port of the side that has a service name, the remote side
    // first; without names, the lower port, the remote on a tie. Kept with the protocol, so
    // 53/udp and 53/tcp are two services. HistorySchema::kServiceKeySql says the same in SQL.
    static qint64 serviceKey(const HistoryRecord &record);

    explicit HistoryRollUp(SqliteConnection &connection);
    ~HistoryRollUp();
    HistoryRollUp(const HistoryRollUp &) = delete;
    HistoryRollUp &operator=(const HistoryRollUp &) = delete;

    // To the hour and, once written, to its day.
    void add(Kind kind, qint64 key, qint64 hour, const Amounts &amounts);
    // Writes what was added since the last write, inside the caller's transaction.
    void write();
    // Forgets what was added: its transaction was rolled back.
    void discard() { m_pending.clear(); }

private:
    struct Slot
    {
        Kind kind;
        qint64 hours;
        qint64 hour;
        qint64 key;
        friend bool operator==(const Slot &, const Slot &) = default;
    };
    struct SlotHash
    {
        std::size_t operator()(const Slot &slot) const;
    };

    std::unordered_map<Slot, Amounts, SlotHash> m_pending;
    std::unique_ptr<SqliteStatement> m_upsert;
};
