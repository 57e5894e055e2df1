// SPDX-License-Identifier: MIT
#include "headless/CommandLineOptions.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <cmath>

namespace {

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption helpOption{{QStringLiteral("h"), QStringLiteral("help")},
                                  CommandLineOptions::tr("Show this help and exit.")};
    QCommandLineOption version{QStringLiteral("version"), CommandLineOptions::tr("Show the version and exit.")};
    QCommandLineOption headless{QStringLiteral("headless"),
                                CommandLineOptions::tr("Run without a window and print the stream table.")};
    QCommandLineOption interfaceName{QStringLiteral("interface"),
                                     CommandLineOptions::tr("Capture on this network interface."),
                                     CommandLineOptions::tr("NAME")};
    QCommandLineOption log{QStringLiteral("log"),
                           CommandLineOptions::tr("Append new and closed streams to this file (with --headless)."),
                           CommandLineOptions::tr("FILE")};
    QCommandLineOption interval{QStringLiteral("interval"),
                                CommandLineOptions::tr("Print every SECONDS seconds (with --headless); the update "
                                                       "interval of this run, not saved."),
                                CommandLineOptions::tr("SECONDS")};
    QCommandLineOption json{QStringLiteral("json"),
                            CommandLineOptions::tr("Print one JSON object per stream and interval (with --headless).")};
    QCommandLineOption group{QStringLiteral("group"),
                             CommandLineOptions::tr("Group the streams by program or by remote host, their figures "
                                                    "summed (with --headless)."),
                             CommandLineOptions::tr("program|host")};
    QCommandLineOption history{QStringLiteral("history"),
                               CommandLineOptions::tr("Keep the streams' history in this file (with --headless)."),
                               CommandLineOptions::tr("FILE")};
    QCommandLineOption noHistory{QStringLiteral("no-history"),
                                 CommandLineOptions::tr("Keep no history in this run (with --headless).")};

    Parser()
    {
        parser.setApplicationDescription(CommandLineOptions::tr("Quillmere shows the network conversations of an "
                                                                "interface, live."));
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions(
            {helpOption, version, headless, interfaceName, log, interval, json, group, history, noHistory});
    }

    // The usage line names the program as it was started; without an application object
    // (the choice of window or none comes first) Qt cannot know it.
    QString help(const QStringList &arguments) const
    {
        const QString program = QFileInfo(arguments.value(0, QStringLiteral("quillmere"))).fileName();
        return parser.helpText().replace(QStringLiteral("<executable_name>"), program);
    }
};

CommandLineOptions usageError(const QString &complaint, const QString &help)
{
    CommandLineOptions options;
    options.mode = CommandLineOptions::Mode::UsageError;
    options.message = complaint + u'\n' + help;
    return options;
}

std::optional<double> positiveSeconds(const QString &text)
{
    bool isNumber = false;
    const double seconds = text.toDouble(&isNumber);
    if (!isNumber || !std::isfinite(seconds) || seconds <= 0.0)
        return std::nullopt;
    return seconds;
}

} // namespace

CommandLineOptions CommandLineOptions::parse(const QStringList &arguments)
{
    Parser parser;
    const QString help = parser.help(arguments);
    if (!parser.parser.parse(arguments))
        return usageError(parser.parser.errorText(), help);
    CommandLineOptions options;
    if (parser.parser.isSet(parser.helpOption)) {
        options.mode = Mode::Help;
        options.message = help;
        return options;
    }
    if (parser.parser.isSet(parser.version)) {
        options.mode = Mode::Version;
        return options;
    }
    if (!parser.parser.positionalArguments().isEmpty())
        return usageError(tr("Unexpected argument: %1").arg(parser.parser.positionalArguments().first()), help);
    options.interfaceName = parser.parser.value(parser.interfaceName);
    options.logPath = parser.parser.value(parser.log);
    options.json = parser.parser.isSet(parser.json);
    options.historyPath = parser.parser.value(parser.history);
    options.noHistory = parser.parser.isSet(parser.noHistory);
    if (!parser.parser.isSet(parser.headless)) {
        if (!options.logPath.isEmpty() || options.json || parser.parser.isSet(parser.interval)
            || parser.parser.isSet(parser.group) || parser.parser.isSet(parser.history) || options.noHistory)
            return usageError(tr("--log, --interval, --json, --group, --history and --no-history need --headless."),
                              help);
        return options;
    }
    options.mode = Mode::Headless;
    if (options.interfaceName.isEmpty())
        return usageError(tr("--headless needs --interface NAME."), help);
    if (parser.parser.isSet(parser.history) && (options.noHistory || options.historyPath.isEmpty()))
        return usageError(tr("--history needs a FILE, and cannot go with --no-history."), help);
    if (parser.parser.isSet(parser.group)) {
        const auto by = StreamGroup::byNamed(parser.parser.value(parser.group));
        if (!by || *by == StreamGroup::By::None)
            return usageError(tr("--group needs program or host."), help);
        options.groupBy = *by;
    }
    if (parser.parser.isSet(parser.interval)) {
        options.interval = positiveSeconds(parser.parser.value(parser.interval));
        if (!options.interval)
            return usageError(tr("--interval needs a positive number of seconds."), help);
    }
    return options;
}
