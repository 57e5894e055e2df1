// SPDX-License-Identifier: MIT
#include "history/HistoryWriter.h"

#include "history/HistoryTime.h"
#include "history/SqliteConnection.h"
#include "history/SqliteStatement.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <limits>
#include <random>

namespace {
constexpr const char *kColumns = "section, interface, duration, protocol, local_address, local_port, remote_address,"
                                 " remote_port, local_name, remote_name, local_service, remote_service, program,"
                                 " program_id, up_bytes, down_bytes, up_payload, down_payload, close_reason";

qint64 stored(quint64 count)
{
    return static_cast<qint64>(std::min<quint64>(count, std::numeric_limits<qint64>::max()));
}

double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
} // namespace

// A row's values, parameters 2 to 20 of both statements in kColumns' order.
struct HistoryWriter::Row
{
    qint64 lastSeen; // milliseconds
    qint64 hour;
    qint64 serviceKey;
    qint64 serviceName;
    std::array<qint64, 19> columns;

    qint64 remoteAddress() const { return columns[6]; }
    qint64 remoteName() const { return columns[9]; }
    qint64 program() const { return columns[12]; }
};

HistoryWriter::HistoryWriter(SqliteConnection &connection)
    : m_connection(connection)
    , m_interner(connection)
    , m_rollUp(connection)
    , m_sections(connection)
    , m_insert(std::make_unique<SqliteStatement>(
          connection,
          (std::string("INSERT INTO streams(id, ") + kColumns
           + ") VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17,"
             " ?18, ?19, ?20)")
              .c_str()))
    , m_replace(std::make_unique<SqliteStatement>(
          connection,
          "UPDATE streams SET id = ?1, section = ?2, interface = ?3, duration = ?4, protocol = ?5,"
          " local_address = ?6, local_port = ?7, remote_address = ?8, remote_port = ?9, local_name = ?10,"
          " remote_name = ?11, local_service = ?12, remote_service = ?13, program = ?14,"
          " program_id = ?15, up_bytes = ?16, down_bytes = ?17, up_payload = ?18, down_payload = ?19,"
          " close_reason = ?20 WHERE id = ?21"))
    // Another process writing the same file starts elsewhere in the sequence, so their rows
    // of one millisecond rarely ask for the same id.
    , m_sequence(static_cast<qint64>(std::random_device()() % HistoryTime::kRowsPerMillisecond))
    , m_lastForget(steadySeconds())
{
}

HistoryWriter::~HistoryWriter() = default;

void HistoryWriter::write(std::span<const HistoryRecord> batch)
{
    Changes changes;
    m_connection.execute("BEGIN IMMEDIATE");
    m_sections.beginBatch();
    try {
        for (const HistoryRecord &record : batch)
            writeRecord(record, changes);
        m_rollUp.write();
        m_sections.write();
        m_connection.execute("COMMIT");
    } catch (...) {
        m_connection.rollBack();
        m_rollUp.discard();
        m_sections.rollBack();
        m_interner.forget();
        throw;
    }
    apply(std::move(changes));
    forgetStale(steadySeconds());
}

void HistoryWriter::writeRecord(const HistoryRecord &record, Changes &changes)
{
    const HistoryRecord::Identity identity = record.identity();
    const Row row = rowOf(record);
    std::optional<OpenStream> earlier = earlierRecord(identity, changes);
    const HistoryRollUp::Amounts counters{stored(record.upBytes), stored(record.downBytes),
                                          stored(record.upPayloadBytes), stored(record.downPayloadBytes), 1};
    HistoryRollUp::Amounts added = counters;
    if (earlier)
        added += -earlier->recorded;
    const qint64 rowId = earlier ? replaceRow(earlier->rowId, row) : insertRow(row);
    m_sections.add(rowId);
    addToRollUp(row, added, earlier);
    m_interner.nameHost(row.remoteAddress(), row.remoteName());
    m_interner.nameService(row.serviceKey, row.serviceName);
    if (record.isOpen()) {
        OpenStream open = earlier ? std::move(*earlier) : OpenStream{};
        if (!earlier)
            open.contributions.push_back(Contribution{row.hour, added});
        open.rowId = rowId;
        open.recorded = counters;
        open.programKey = row.program();
        open.recordedAt = steadySeconds();
        changes[identity] = std::move(open);
    } else if (earlier) {
        changes[identity] = std::nullopt;
    }
}

std::optional<HistoryWriter::OpenStream> HistoryWriter::earlierRecord(const HistoryRecord::Identity &identity,
                                                                      const Changes &changes) const
{
    if (const auto staged = changes.find(identity); staged != changes.end())
        return staged->second;
    if (const auto open = m_open.find(identity); open != m_open.end())
        return open->second;
    return std::nullopt;
}

HistoryWriter::Row HistoryWriter::rowOf(const HistoryRecord &record)
{
    const qint64 lastSeen = HistoryTime::milliseconds(record.lastSeen);
    const qint64 serviceKey = HistoryRollUp::serviceKey(record);
    const QString &serviceName
        = record.remoteServiceName.isEmpty() ? record.localServiceName : record.remoteServiceName;
    return Row{lastSeen,
               HistoryTime::hour(record.lastSeen),
               serviceKey,
               m_interner.text(serviceName),
               {m_sections.sectionFor(lastSeen), m_interner.text(record.interfaceName),
                std::max<qint64>(0, lastSeen - HistoryTime::milliseconds(record.firstSeen)), record.protocol,
                m_interner.address(record.local), record.local.port, m_interner.address(record.remote),
                record.remote.port, m_interner.text(record.localHostName), m_interner.text(record.remoteHostName),
                m_interner.text(record.localServiceName), m_interner.text(record.remoteServiceName),
                m_interner.text(record.programName), record.programId, stored(record.upBytes), stored(record.downBytes),
                stored(record.upPayloadBytes), stored(record.downPayloadBytes), m_interner.text(record.closeReason)}};
}

namespace {
// Interned texts, a process id and a close reason are left out (NULL) when there are none.
constexpr std::array<bool, 19> kOptionalColumn{false, false, false, false, false, false, false, false, true, true,
                                               true,  true,  true,  true,  false, false, false, false, true};

void bindColumns(SqliteStatement &statement, const std::array<qint64, 19> &columns)
{
    for (std::size_t column = 0; column < columns.size(); ++column) {
        const int parameter = static_cast<int>(column) + 2;
        if (kOptionalColumn[column])
            statement.bindOptional(parameter, columns[column]);
        else
            statement.bind(parameter, columns[column]);
    }
}
} // namespace

// Each try takes the next number of the sequence; a number another row of the same
// millisecond holds is passed over.
qint64 HistoryWriter::insertRow(const Row &row)
{
    bindColumns(*m_insert, row.columns);
    for (;;) {
        const qint64 rowId = HistoryTime::rowId(row.lastSeen, m_sequence++);
        if (m_insert->bind(1, rowId).tryExecute())
            return rowId;
    }
}

// A row that is gone (pruned meanwhile) is written anew.
qint64 HistoryWriter::replaceRow(qint64 rowId, const Row &row)
{
    bindColumns(*m_replace, row.columns);
    m_replace->bind(21, rowId);
    for (;;) {
        const qint64 newRowId = HistoryTime::rowId(row.lastSeen, m_sequence++);
        if (!m_replace->bind(1, newRowId).tryExecute())
            continue;
        return m_connection.changes() > 0 ? newRowId : insertRow(row);
    }
}

// A program learnt after the stream's first record takes over what the stream gave to no
// program, in the same hours, so the program's roll-up agrees with its rows.
void HistoryWriter::addToRollUp(const Row &row, const HistoryRollUp::Amounts &added, std::optional<OpenStream> &earlier)
{
    m_rollUp.add(HistoryRollUp::Kind::Everything, 0, row.hour, added);
    m_rollUp.add(HistoryRollUp::Kind::RemoteHost, row.remoteAddress(), row.hour, added);
    m_rollUp.add(HistoryRollUp::Kind::Service, row.serviceKey, row.hour, added);
    m_rollUp.add(HistoryRollUp::Kind::Program, row.program(), row.hour, added);
    if (!earlier)
        return;
    if (earlier->programKey != row.program()) {
        for (const Contribution &contribution : earlier->contributions) {
            m_rollUp.add(HistoryRollUp::Kind::Program, earlier->programKey, contribution.hour, -contribution.amounts);
            m_rollUp.add(HistoryRollUp::Kind::Program, row.program(), contribution.hour, contribution.amounts);
        }
    }
    if (!earlier->contributions.empty() && earlier->contributions.back().hour == row.hour)
        earlier->contributions.back().amounts += added;
    else
        earlier->contributions.push_back(Contribution{row.hour, added});
}

void HistoryWriter::apply(Changes changes)
{
    for (auto &[identity, open] : changes) {
        if (open)
            m_open.insert_or_assign(identity, std::move(*open));
        else
            m_open.erase(identity);
    }
}

void HistoryWriter::forgetStale(double now)
{
    if (now - m_lastForget < kForgetOpenAfter / 10)
        return;
    m_lastForget = now;
    std::erase_if(m_open, [now](const auto &entry) { return now - entry.second.recordedAt > kForgetOpenAfter; });
}
