// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QString>

#include <memory>
#include <vector>

class Stream;
class StreamGroup;
struct TerminalSize;

// The stream table as the window-less mode prints it: a block of aligned columns for people
// reading a terminal, or one JSON object per stream for programs and log collectors.
class StreamTableText
{
    Q_DECLARE_TR_FUNCTIONS(StreamTableText)

public:
    // The streams with the fastest total current speed (up plus down) first.
    static std::vector<std::shared_ptr<Stream>> bySpeed(const std::vector<std::shared_ptr<Stream>> &streams);
    // The groups with the fastest total current speed first.
    static std::vector<StreamGroup> bySpeed(std::vector<StreamGroup> groups);

    // One interval for a person: a line with the time, the interface, the number of streams
    // and the interval's totals, then a line of column titles and one line per stream in
    // aligned columns (source, destination, protocol, current up and down speed, payload
    // totals, the program that owns the conversation), speeds and byte counts in the units
    // the window shows. Control characters (a host name may carry any) are replaced, so every
    // stream stays one line. Every line is cut to the size's columns; when its rows are known,
    // the streams that do not fit are counted in a last line instead. Ends with a newline.
    static QString textBlock(const std::vector<std::shared_ptr<Stream>> &streams, const QString &interfaceName,
                             const QDateTime &time, quint64 foldedRecords, const TerminalSize &size);
    // The same block with the streams in groups, in the groups' order: a line per group (its
    // label under Source, its sums under the figures), then its streams fastest first,
    // indented by two spaces.
    static QString groupedTextBlock(const std::vector<StreamGroup> &groups, const QString &interfaceName,
                                    const QDateTime &time, quint64 foldedRecords, const TerminalSize &size);
    // One line of compact JSON: the stream's keys with numbers as numbers, texts with control
    // characters replaced as in the table, each side's address and port as their own fields
    // (null for the catch-all stream, which has none), openedTime in ISO 8601 with its
    // offset, and the interval's interface and time.
    static QByteArray jsonLine(const Stream &stream, const QString &interfaceName, const QDateTime &time,
                               quint64 foldedRecords = 0);
    // One line of compact JSON for a group: the interval's interface and time, "groupBy"
    // ("program" or "host"), "group" (the program's name or the host; null for the streams
    // without one), the sums under the stream keys' names, and "streams", an array of the
    // objects jsonLine gives for its streams.
    static QByteArray groupJsonLine(const StreamGroup &group, const QString &interfaceName, const QDateTime &time,
                                    quint64 foldedRecords = 0);
    // A comment line for the table when the stream limit was reached: how many records of
    // new conversations the "Other" stream holds for that reason.
    static QString foldedLine(quint64 foldedRecords);
};
