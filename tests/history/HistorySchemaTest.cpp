// SPDX-License-Identifier: MIT
#include "HistoryTestSupport.h"

#include "history/HistoryFile.h"
#include "history/HistoryRollUp.h"
#include "history/HistorySchema.h"
#include "history/SqliteConnection.h"
#include "history/SqliteStatement.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <string>

namespace {
// The roll-up per group over all its hours and all its days, and the names last known, as text.
QStringList rollUpAndNames(const QString &path)
{
    SqliteConnection connection(path, SqliteConnection::Access::ReadOnly, 1000);
    QStringList rows;
    const std::string rollUp = "SELECT id >> 60, id & " + std::to_string(HistoryRollUp::kKeyMask)
        + ", sum(up_bytes), sum(down_bytes), sum(up_payload), sum(down_payload), sum(streams) FROM rollup"
          " GROUP BY 1, 2 HAVING sum(up_bytes) + sum(streams) > 0 ORDER BY 1, 2";
    for (const std::string &sql :
         {rollUp, std::string("SELECT address, name, 0, 0, 0, 0, 0 FROM host_names ORDER BY 1"),
          std::string("SELECT key, name, 0, 0, 0, 0, 0 FROM service_names ORDER BY 1")}) {
        SqliteStatement query(connection, sql.c_str());
        while (query.step()) {
            QStringList row;
            for (int column = 0; column < 7; ++column)
                row << QString::number(query.integer(column));
            rows << row.join(u' ');
        }
        rows << QStringLiteral("--");
    }
    return rows;
}
} // namespace

// A file of version 1 has only the rows: migrated, it gets the roll-up and the names the
// writer would have kept, for closed streams and for open streams recorded again, whose
// program came late, alike.
TEST(HistorySchemaTest, VersionOneGetsTheRollUpItsRowsGive)
{
    HistoryFolder folder;
    std::vector<HistoryRecord> records;
    for (int number = 0; number < 300; ++number) {
        HistoryRecord record
            = closedRecord(number, kDay0 + number * 40.0, number % 7, 100u + static_cast<quint64>(number));
        record.remoteHostName = number % 7 == 3 ? QStringLiteral("three.example") : QString();
        record.programName = number % 3 == 0 ? QString() : QStringLiteral("program %1").arg(number % 3);
        records.push_back(record);
        if (number % 10 != 0)
            continue;
        HistoryRecord open = record;
        open.closeReason = HistoryRecord::kOpen;
        open.programName.clear();
        records.insert(records.end() - 1, open);
        records.back().lastSeen += 2 * kHour;
        records.back().upBytes += 5000;
    }
    ASSERT_TRUE(folder.write(records));
    const QStringList written = rollUpAndNames(folder.path());
    {
        SqliteConnection connection(folder.path(), SqliteConnection::Access::ReadWrite, 1000);
        connection.execute("DROP TABLE rollup; DROP TABLE host_names; DROP TABLE service_names;"
                           " PRAGMA user_version = 1");
    }
    EXPECT_EQ(HistoryFile::openForWriting(folder.path())->integer("PRAGMA user_version"),
              HistorySchema::kCurrentVersion);
    EXPECT_EQ(rollUpAndNames(folder.path()), written);
}
