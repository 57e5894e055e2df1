// SPDX-License-Identifier: MIT
#pragma once

class SqliteConnection;

// The tables of the history file and the steps between their versions, kept in
// PRAGMA user_version. A file of any earlier version goes through every later step in one
// transaction; a new file goes through them all.
//
// Version 1:
//   texts(id, text): every interface, host, service, program name and close reason once.
//   addresses(id, address): every address once, 4 bytes for IPv4, 16 for IPv6.
//   streams: one row per stream, numbered as HistoryTime describes, holding numbers only:
//     its section, ids of texts and addresses, ports, milliseconds from first to last seen,
//     byte counts.
//   sections(number, first_id, last_id): runs of rows (HistorySections) and their ids.
//   streams_by_remote: the rows of each remote address, by section.
// Version 2:
//   rollup(id, ...): bytes and streams per hour and per day, per remote address, program and
//     service and for all traffic, numbered as HistoryRollUp describes, filled from the rows
//     already kept; rollup_by_key: the same by group.
//   host_names, service_names: the name last known for each address and service.
class HistorySchema
{
public:
    static constexpr int kCurrentVersion = 2;

    // Brings the file to `version` (tests stop early to make an older file). Throws
    // SqliteError, the file unchanged, on any failure, and for a file newer than this program.
    static void migrate(SqliteConnection &connection, int version = kCurrentVersion);

    // A stream row's service, as HistoryRollUp::serviceKey chooses it, for SQL over the rows.
    static const char *const kServiceKeySql;

private:
    static void migrateToVersion1(SqliteConnection &connection);
    static void migrateToVersion2(SqliteConnection &connection);
};
