// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <algorithm>
#include <cmath>

// How the history file keeps time. Times are whole milliseconds since the reference date
// (Clock's seconds), from the reference date to about 139 years after it.
//
// A stream's row is numbered by its last-seen time: its id is those milliseconds times
// kRowsPerMillisecond plus a sequence number, so the table itself is kept in time order. A
// time range is then a range of ids, pruning the oldest rows takes the first ids, and an
// index on a column finds one host's rows of a day without a time index of its own (each
// index entry ends with the row's id). The roll-up counts per hour of the reference date.
struct HistoryTime
{
    static constexpr qint64 kRowsPerMillisecond = qint64(1) << 20;
    static constexpr qint64 kLastMillisecond = (qint64(1) << 42) - 1;
    static constexpr qint64 kSecondsPerHour = 3600;

    static qint64 milliseconds(double referenceSeconds)
    {
        const double milliseconds = std::floor(referenceSeconds * 1000.0);
        return static_cast<qint64>(std::clamp(milliseconds, 0.0, static_cast<double>(kLastMillisecond)));
    }

    static double seconds(qint64 milliseconds) { return static_cast<double>(milliseconds) / 1000.0; }

    // The first id a row last seen at `milliseconds` may have; a range of times is the ids
    // from firstRowId(since) to firstRowId(until).
    static qint64 firstRowId(qint64 milliseconds) { return milliseconds * kRowsPerMillisecond; }
    static qint64 rowId(qint64 milliseconds, qint64 sequence)
    {
        return firstRowId(milliseconds) + sequence % kRowsPerMillisecond;
    }
    static qint64 millisecondsOfRow(qint64 rowId) { return rowId / kRowsPerMillisecond; }

    static qint64 hour(double referenceSeconds) { return milliseconds(referenceSeconds) / (kSecondsPerHour * 1000); }
    // The hours that overlap [since, until): from hour(since) up to, not including, the result.
    static qint64 hourAfter(double referenceSeconds)
    {
        const qint64 ms = milliseconds(referenceSeconds);
        const qint64 hourMs = kSecondsPerHour * 1000;
        return (ms + hourMs - 1) / hourMs;
    }
};
