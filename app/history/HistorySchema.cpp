// SPDX-License-Identifier: MIT
#include "history/HistorySchema.h"

#include "history/HistoryRollUp.h"
#include "history/HistoryTime.h"
#include "history/SqliteConnection.h"
#include "history/SqliteError.h"

#include <QCoreApplication>

#include <sqlite3.h>

#include <string>

const char *const HistorySchema::kServiceKeySql = "(protocol * 65536 + CASE"
                                                  " WHEN remote_service IS NOT NULL THEN remote_port"
                                                  " WHEN local_service IS NOT NULL THEN local_port"
                                                  " WHEN remote_port <= local_port THEN remote_port"
                                                  " ELSE local_port END)";

// Another writer may be migrating the same file: the version is read again once the write
// lock is held.
void HistorySchema::migrate(SqliteConnection &connection, int version)
{
    if (connection.integer("PRAGMA user_version") == version)
        return;
    connection.execute("BEGIN IMMEDIATE");
    try {
        const qint64 found = connection.integer("PRAGMA user_version");
        if (found > kCurrentVersion)
            throw SqliteError(SQLITE_ERROR,
                              QCoreApplication::translate("HistoryStore",
                                                          "the file was written by a newer version "
                                                          "(%1) of the history")
                                  .arg(found));
        if (found < 1 && version >= 1)
            migrateToVersion1(connection);
        if (found < 2 && version >= 2)
            migrateToVersion2(connection);
        connection.execute(("PRAGMA user_version = " + std::to_string(version)).c_str());
        connection.execute("COMMIT");
    } catch (...) {
        connection.rollBack();
        throw;
    }
}

void HistorySchema::migrateToVersion1(SqliteConnection &connection)
{
    connection.execute(
        "CREATE TABLE texts(id INTEGER PRIMARY KEY, text TEXT NOT NULL UNIQUE);"
        "CREATE TABLE addresses(id INTEGER PRIMARY KEY, address BLOB NOT NULL UNIQUE);"
        "CREATE TABLE streams("
        " id INTEGER PRIMARY KEY,"
        " section INTEGER NOT NULL,"
        " interface INTEGER NOT NULL,"
        " duration INTEGER NOT NULL,"
        " protocol INTEGER NOT NULL,"
        " local_address INTEGER NOT NULL, local_port INTEGER NOT NULL,"
        " remote_address INTEGER NOT NULL, remote_port INTEGER NOT NULL,"
        " local_name INTEGER, remote_name INTEGER,"
        " local_service INTEGER, remote_service INTEGER,"
        " program INTEGER, program_id INTEGER,"
        " up_bytes INTEGER NOT NULL, down_bytes INTEGER NOT NULL,"
        " up_payload INTEGER NOT NULL, down_payload INTEGER NOT NULL,"
        " close_reason INTEGER);"
        "CREATE INDEX streams_by_remote ON streams(section, remote_address);"
        "CREATE TABLE sections(number INTEGER PRIMARY KEY, first_id INTEGER NOT NULL, last_id INTEGER NOT NULL);");
}

// The rows give each stream's bytes to the hour it was last seen in; later records spread a
// long stream's bytes over the hours it sent them in.
void HistorySchema::migrateToVersion2(SqliteConnection &connection)
{
    connection.execute(("CREATE TABLE rollup(id INTEGER PRIMARY KEY,"
                        " up_bytes INTEGER NOT NULL, down_bytes INTEGER NOT NULL,"
                        " up_payload INTEGER NOT NULL, down_payload INTEGER NOT NULL, streams INTEGER NOT NULL);"
                        "CREATE INDEX rollup_by_key ON rollup("
                        + std::string(HistoryRollUp::kByKeySql)
                        + ");"
                          "CREATE TABLE host_names(address INTEGER PRIMARY KEY, name INTEGER NOT NULL);"
                          "CREATE TABLE service_names(key INTEGER PRIMARY KEY, name INTEGER NOT NULL);")
                           .c_str());
    const std::string hour
        = "(id / " + std::to_string(HistoryTime::kRowsPerMillisecond * 1000 * HistoryTime::kSecondsPerHour) + ")";
    const std::string day = "(" + hour + " / " + std::to_string(HistoryRollUp::kHoursPerDay) + " * "
        + std::to_string(HistoryRollUp::kHoursPerDay) + ")";
    const auto fill = [&](HistoryRollUp::Kind kind, const std::string &key) {
        for (const auto &[span, start] :
             {std::pair(HistoryRollUp::Span::Hour, hour), std::pair(HistoryRollUp::Span::Day, day)}) {
            connection.execute(("INSERT INTO rollup SELECT " + std::to_string(HistoryRollUp::entryId(kind, span, 0, 0))
                                + " | (" + start + " << " + std::to_string(HistoryRollUp::kKeyBits) + ") | " + key
                                + ", sum(up_bytes), sum(down_bytes), sum(up_payload), sum(down_payload), count(*)"
                                  " FROM streams GROUP BY 1")
                                   .c_str());
        }
    };
    fill(HistoryRollUp::Kind::RemoteHost, "remote_address");
    fill(HistoryRollUp::Kind::Program, "coalesce(program, 0)");
    fill(HistoryRollUp::Kind::Service, kServiceKeySql);
    fill(HistoryRollUp::Kind::Everything, "0");
    // max() makes SQLite take the other columns from the row with the greatest id: the last.
    connection.execute(
        "INSERT INTO host_names SELECT address, name FROM (SELECT remote_address AS address,"
        " remote_name AS name, max(id) FROM streams WHERE remote_name IS NOT NULL GROUP BY remote_address)");
    connection.execute((std::string("INSERT INTO service_names SELECT key, name FROM (SELECT ") + kServiceKeySql
                        + " AS key, coalesce(remote_service, local_service) AS name, max(id) FROM streams"
                          " WHERE name IS NOT NULL GROUP BY key)")
                           .c_str());
}
