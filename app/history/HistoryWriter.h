// SPDX-License-Identifier: MIT
#pragma once

#include "history/HistoryInterner.h"
#include "history/HistoryRecord.h"
#include "history/HistoryRollUp.h"
#include "history/HistorySections.h"

#include <QtGlobal>

#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

class SqliteConnection;
class SqliteStatement;

// Writes batches of records into a history file of the current version, each batch in one
// short transaction with its roll-up. A stream recorded while open is remembered, so its
// later records replace its row and add to the roll-up only what came since; its final
// record lets it go. A stream whose capture ended without a final record is let go once
// kForgetOpenAfter seconds pass without a record of it.
//
// The writer thread's alone. A batch that fails is rolled back whole and leaves the writer
// as it was, so the same batch can be written again later.
class HistoryWriter
{
public:
    static constexpr double kForgetOpenAfter = 600.0;

    explicit HistoryWriter(SqliteConnection &connection);
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter &) = delete;
    HistoryWriter &operator=(const HistoryWriter &) = delete;

    // Throws SqliteError, nothing written.
    void write(std::span<const HistoryRecord> batch);

private:
    // The hour and amounts one record of an open stream added to its program's roll-up.
    struct Contribution
    {
        qint64 hour;
        HistoryRollUp::Amounts amounts;
    };
    struct OpenStream
    {
        qint64 rowId = 0;
        HistoryRollUp::Amounts recorded; // the counters of its last record; streams 1
        qint64 programKey = 0;
        double recordedAt = 0.0; // steady seconds
        std::vector<Contribution> contributions;
    };
    // What one batch does to the open streams: a stream recorded open, or let go (none).
    using Changes = std::unordered_map<HistoryRecord::Identity, std::optional<OpenStream>, HistoryRecord::IdentityHash>;
    struct Row;

    void writeRecord(const HistoryRecord &record, Changes &changes);
    std::optional<OpenStream> earlierRecord(const HistoryRecord::Identity &identity, const Changes &changes) const;
    Row rowOf(const HistoryRecord &record);
    qint64 insertRow(const Row &row);
    qint64 replaceRow(qint64 rowId, const Row &row);
    void addToRollUp(const Row &row, const HistoryRollUp::Amounts &added, std::optional<OpenStream> &earlier);
    void apply(Changes changes);
    void forgetStale(double now);

    SqliteConnection &m_connection;
    HistoryInterner m_interner;
    HistoryRollUp m_rollUp;
    HistorySections m_sections;
    std::unique_ptr<SqliteStatement> m_insert;
    std::unique_ptr<SqliteStatement> m_replace;
    std::unordered_map<HistoryRecord::Identity, OpenStream, HistoryRecord::IdentityHash> m_open;
    qint64 m_sequence;
    double m_lastForget = 0.0;
};
