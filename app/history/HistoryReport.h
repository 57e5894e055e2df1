// SPDX-License-Identifier: MIT
#pragma once

#include "history/HistoryQuery.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QVariantList>

#include <vector>

// What history answered, as a table of named columns that every reader shows its own way:
// aligned columns with byte counts in human units for people (`quillmere history`, the
// window's copy), one JSON object per line with the members the window-less JSON lines use
// (lifetimeUpBytes, process, openedTime, ...) for log collectors, or CSV guarded against
// formulas as the window's exports are. The History window shows the same table. Every text
// a store gives back passes through printableText wherever it is shown, whatever it holds.
class HistoryReport
{
    Q_DECLARE_TR_FUNCTIONS(HistoryReport)

public:
    enum class Format { Text, Json, Csv };
    // Each value keeps its kind, so every format shows it its way.
    enum class Kind { Text, Count, Bytes, Time };
    struct Column
    {
        QString name;  // the member name of JSON and CSV, the heading of the command's text
        QString title; // the heading in the window, translated
        Kind kind;
    };
    struct Table
    {
        std::vector<Column> columns;
        std::vector<QVariantList> rows;
    };

    static Table groupTable(const std::vector<HistoryQuery::Group> &groups, HistoryQuery::Grouping grouping);
    static Table streamTable(const std::vector<HistoryRecord> &streams);
    static QByteArray formatted(const Table &table, Format format);

    // A value as people read it: bytes in human units, local times, texts made printable.
    static QString shown(const QVariant &value, Kind kind);

    static QByteArray groups(const std::vector<HistoryQuery::Group> &groups, HistoryQuery::Grouping grouping,
                             Format format);
    static QByteArray streams(const std::vector<HistoryRecord> &streams, Format format);
};
