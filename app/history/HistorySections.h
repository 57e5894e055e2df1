// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <memory>

class SqliteConnection;
class SqliteStatement;

// The sections of the stream rows, which keep the index of remote hosts cheap to write and
// quick to ask. Rows are in time order; a section is a run of them, at most kRows rows and
// kSpanMs of last-seen time, and the host index is sorted by section first. A batch then
// adds its index entries to the end of the index, into one or two small sections, instead
// of all over it (which made every commit rewrite most of the index), while a question about
// one host and a day seeks once per section of the day. Each section's range of row ids is
// kept, so a time range finds its sections.
//
// Section numbers are taken from the file inside the writer's transaction, so two
// processes writing the same file never share one. On the writer thread, inside its
// transactions; a batch that fails puts the sections back as they were before it.
class HistorySections
{
public:
    static constexpr qint64 kRows = 20'000;
    static constexpr qint64 kSpanMs = 60'000;

    explicit HistorySections(SqliteConnection &connection);
    ~HistorySections();
    HistorySections(const HistorySections &) = delete;
    HistorySections &operator=(const HistorySections &) = delete;

    // The section for the next row, last seen at `lastSeenMs`; it may start a new one.
    qint64 sectionFor(qint64 lastSeenMs);
    // The row was written into the current section.
    void add(qint64 rowId);
    // Stores the current section's range, at the end of a batch.
    void write();

    void beginBatch() { m_saved = m_current; }
    void rollBack() { m_current = m_saved; }

private:
    struct Section
    {
        qint64 number = 0; // 0: none yet
        qint64 startMs = 0;
        qint64 rows = 0;
        qint64 firstId = 0;
        qint64 lastId = 0;
        bool unwritten = false;
    };

    Section m_current;
    Section m_saved;
    std::unique_ptr<SqliteStatement> m_next;
    std::unique_ptr<SqliteStatement> m_store;
};
