// SPDX-License-Identifier: MIT
#pragma once

#include "history/HistoryQuery.h"
#include "history/HistoryReport.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <optional>
#include <variant>

// quillmere history [--since WHEN] [--until WHEN] [--by host|program|service|stream] [--top N]
//                   [--json | --csv] [--history FILE]
// What history kept, asked on the command line: the groups (or streams) with the most bytes
// in a time range, from the store a capture may be writing meanwhile (read-only, it never
// waits for the writer). WHEN is a span back from now ("30m", "1h", "7d", "2w") or a local
// date or time ("2026-12-01", "2026-12-01T18:00"); by default the last day, by remote host,
// the top 20.
//
// Exit status 0 with the answer on standard output; 2 for a usage error and 1 for a store
// that is missing or cannot be read, each with its message on standard error.
class HistoryCommand
{
    Q_DECLARE_TR_FUNCTIONS(HistoryCommand)

public:
    using Format = HistoryReport::Format;
    struct Options
    {
        HistoryQuery::Range range;
        std::optional<HistoryQuery::Grouping> grouping = HistoryQuery::Grouping::RemoteHost; // none: streams
        std::size_t top = 20;
        Format format = Format::Text;
        QString path; // empty: as the preferences have it
    };
    static constexpr std::size_t kTopLimit = 100'000;

    // `arguments` as QCoreApplication::arguments() gives them, "history" second.
    static bool isHistoryCommand(const QStringList &arguments);
    // The options, or the complaint and the usage for a usage error; relative times count
    // back from `now` (reference seconds).
    static std::variant<Options, QString> parse(const QStringList &arguments, double now);
    static int run(const QStringList &arguments);

private:
    static std::optional<double> parseTime(const QString &text, double now);
    static int answer(const Options &options);
};
