// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <memory>

class SqliteConnection;

// Where the history file lives and how a writer opens it.
class HistoryFile
{
public:
    // ~/.local/share/Quillmere/history.sqlite (the XDG data folder).
    static QString defaultPath();
    // The file the preferences choose, else the default one.
    static QString preferredPath();

    // Opens the file for writing, creating it and its folder when missing: WAL mode (readers
    // never wait for the writer, and a killed writer loses only what it had not committed),
    // a busy timeout for other writers' batches, a check of the file (every page of a small
    // one, the length of a large one), and the schema brought to the current version.
    // Throws SqliteError; damaged() when the file is not a database or is found damaged.
    static std::unique_ptr<SqliteConnection> openForWriting(const QString &path);

    // Moves a damaged file, with its write-ahead log, to "<path>.damaged-<time>" (a number
    // added when that is taken), so that a new one can start in its place; the path it went
    // to, or empty when it could not be moved.
    static QString moveAside(const QString &path);

    // How long a connection waits for another writer's transaction: many batches.
    static constexpr int kBusyTimeoutMs = 5000;
};
