// SPDX-License-Identifier: MIT
#pragma once

#include "headless/HistoryCommand.h"
#include "history/HistoryQuery.h"

#include <QByteArray>

#include <vector>

// The answers of `quillmere history` as text: aligned columns with byte counts in human
// units for people, one JSON object per line with the members the window-less JSON lines
// use (lifetimeUpBytes, process, openedTime, ...) for log collectors, or CSV guarded
// against formulas as the window's exports are. Every text a store gives back passes
// through printableText, whatever it holds.
class HistoryReport
{
public:
    static QByteArray groups(const std::vector<HistoryQuery::Group> &groups, HistoryQuery::Grouping grouping,
                             HistoryCommand::Format format);
    static QByteArray streams(const std::vector<HistoryRecord> &streams, HistoryCommand::Format format);
};
