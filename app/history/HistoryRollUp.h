// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>

#include <cstddef>
#include <memory>

class SqliteConnection;
class SqliteStatement;
struct HistoryRecord;

// The roll-up: bytes and new streams per hour and per day for every remote address, every
// program, every service and for all traffic, so that a question about a week adds up a few
// days and hours instead of reading every row. A stream's bytes go to the hours of the
// records that brought them: the first record its bytes so far, each later one what came
// since.
//
// An entry is numbered by its kind, span, starting hour and key packed into one integer
// (entryId), so that it is found by the table's own integer key, which costs half what a key
// of four columns does for each of the thousands of entries a batch updates, and a kind's
// entries of a span of hours are one range of numbers. kByKeySql orders the same entries by
// key first, for one group's hours.
//
// One per writer connection, on the writer thread: it gathers what a batch adds and writes
// it in the batch's own transaction, so the roll-up and the rows always agree.
class HistoryRollUp
{
public:
    // Stored in the file: never renumbered. Everything has the one key 0.
    enum class Kind { RemoteHost = 0, Program = 1, Service = 2, Everything = 3 };
    enum class Span { Hour = 0, Day = 1 };
    static constexpr qint64 kHoursPerDay = 24;
    static constexpr int kKeyBits = 39;
    static constexpr int kHourBits = 21; // 239 years of hours from the reference date
    static constexpr qint64 kKeyMask = (qint64(1) << kKeyBits) - 1;
    static constexpr qint64 kHourMask = (qint64(1) << kHourBits) - 1;

    static constexpr qint64 entryId(Kind kind, Span span, qint64 hour, qint64 key)
    {
        return kindAndSpan(kind, span) | (hour << kKeyBits) | key;
    }
    // The same entry in key order: kind and span, then key, then hour.
    static constexpr qint64 byKeyId(Kind kind, Span span, qint64 key, qint64 hour)
    {
        return kindAndSpan(kind, span) | (key << kHourBits) | hour;
    }
    // byKeyId in SQL, of the column id.
    static const char *const kByKeySql;

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

    static constexpr Kind kindOf(qint64 id) { return Kind(id >> (kKeyBits + kHourBits + 1)); }
    static constexpr qint64 hourOf(qint64 id) { return id >> kKeyBits & kHourMask; }
    static constexpr qint64 keyOf(qint64 id) { return id & kKeyMask; }

private:
    static constexpr qint64 kindAndSpan(Kind kind, Span span)
    {
        return (qint64(kind) << (kKeyBits + kHourBits + 1)) | (qint64(span) << (kKeyBits + kHourBits));
    }

    QHash<qint64, Amounts> m_pending; // by entry id
    std::unique_ptr<SqliteStatement> m_upsert;
};
