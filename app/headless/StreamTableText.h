// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <memory>
#include <vector>

class Stream;

// The stream table as the window-less mode prints it: a header line and one tab-separated
// line per stream, or one JSON object per stream, for people reading a terminal and for
// log collectors reading lines.
class StreamTableText
{
public:
    // The streams with the fastest total current speed (up plus down) first.
    static std::vector<std::shared_ptr<Stream>> bySpeed(const std::vector<std::shared_ptr<Stream>> &streams);

    // The key names of the printed columns, tab-separated.
    static QString headerLine();
    // Source, destination, protocol, current up and down speed, payload totals and the
    // program that owns the conversation: each as a
    // copied row gives it, with control characters (a host name may carry any) replaced so
    // that every stream stays one line of tab-separated fields.
    static QString tableLine(const Stream &stream);
    // One line of compact JSON: the stream's keys with numbers as numbers, texts with control
    // characters replaced as in the table, openedTime in ISO 8601 with its offset, and the
    // interval's interface and time.
    static QByteArray jsonLine(const Stream &stream, const QString &interfaceName, const QDateTime &time,
                               quint64 foldedRecords = 0);
    // A comment line for the table when the stream limit was reached: how many records of
    // new conversations the "Other" stream holds for that reason.
    static QString foldedLine(quint64 foldedRecords);
};
