// SPDX-License-Identifier: MIT
#include "history/HistoryFile.h"

#include "history/HistorySchema.h"
#include "history/SqliteConnection.h"
#include "history/SqliteError.h"
#include "history/SqliteStatement.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sqlite3.h>

namespace {
// A writer reads every page of a file up to this size when it opens it, a fraction of a
// second; a larger file would take seconds of reading at every start, so only its length
// is checked against its header.
constexpr qint64 kFullyCheckedBytes = 64 << 20;

// A file cut short or overwritten is found here, before anything is written to it, rather
// than in the middle of a batch; damage that is missed (in a large file) is found by the
// first statement that meets it, and the file is moved aside then.
void checkPages(SqliteConnection &connection, const QString &path)
{
    const qint64 pages = connection.integer("PRAGMA page_count");
    const qint64 size = QFileInfo(path).size();
    if (size > kFullyCheckedBytes) {
        // A log left by a writer that was killed may hold pages beyond the file's end.
        const bool logHoldsPages = QFileInfo(path + QStringLiteral("-wal")).size() > 0;
        if (!logHoldsPages && size < pages * connection.integer("PRAGMA page_size"))
            throw SqliteError(SQLITE_CORRUPT, QStringLiteral("the file is shorter than its pages"));
        return;
    }
    SqliteStatement check(connection, "PRAGMA quick_check(1)");
    const QString verdict = check.step() ? check.text(0) : QString();
    check.reset();
    if (verdict != QLatin1StringView("ok"))
        throw SqliteError(SQLITE_CORRUPT, verdict);
}
} // namespace

QString HistoryFile::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Quillmere/history.sqlite");
}

QString HistoryFile::preferredPath()
{
    const QString preferred = Preferences::shared().stringValue(Preferences::HistoryPath);
    return preferred.isEmpty() ? defaultPath() : preferred;
}

std::unique_ptr<SqliteConnection> HistoryFile::openForWriting(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    auto connection = std::make_unique<SqliteConnection>(path, SqliteConnection::Access::ReadWrite, kBusyTimeoutMs);
    // Only a new file: in any other, even setting the mode it has already writes its header,
    // and a damaged file is to be moved aside as it was found.
    if (connection->integer("PRAGMA page_count") == 0)
        connection->execute("PRAGMA auto_vacuum = INCREMENTAL");
    checkPages(*connection, path);
    SqliteStatement journal(*connection, "PRAGMA journal_mode = WAL");
    const QString mode = journal.step() ? journal.text(0) : QString();
    journal.reset();
    if (mode != QLatin1StringView("wal"))
        throw SqliteError(SQLITE_CANTOPEN, mode);
    // In WAL mode a commit reaches the file system without waiting for the disk: a killed
    // process loses nothing committed, a power cut at most the last commits.
    connection->execute("PRAGMA synchronous = NORMAL; PRAGMA journal_size_limit = 67108864");
    // The pages a batch touches (the newest rows, their index entries, the roll-up of the
    // hour and the day) stay in memory from one batch to the next.
    connection->execute("PRAGMA cache_size = -16384");
    HistorySchema::migrate(*connection);
    return connection;
}

QString HistoryFile::moveAside(const QString &path)
{
    const QString stamp = Clock::dateTimeFromReference(Clock::now()).toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = path + QStringLiteral(".damaged-") + stamp;
    for (int taken = 1; QFileInfo::exists(aside); ++taken)
        aside = path + QStringLiteral(".damaged-") + stamp + u'-' + QString::number(taken);
    if (!QFile::rename(path, aside))
        return {};
    QFile::rename(path + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    return aside;
}
