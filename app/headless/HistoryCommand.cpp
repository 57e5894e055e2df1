// SPDX-License-Identifier: MIT
#include "headless/HistoryCommand.h"

#include "history/HistoryFile.h"
#include "history/SqliteError.h"
#include "platform/Clock.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>

namespace {

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption helpOption{{QStringLiteral("h"), QStringLiteral("help")},
                                  HistoryCommand::tr("Show this help and exit.")};
    QCommandLineOption since{QStringLiteral("since"),
                             HistoryCommand::tr("From WHEN on: a span back from now (30m, 1h, 7d, 2w) or a local "
                                                "date or time (2026-12-01, 2026-12-01T18:00). Default: 1d."),
                             HistoryCommand::tr("WHEN")};
    QCommandLineOption until{QStringLiteral("until"), HistoryCommand::tr("Up to WHEN. Default: now."),
                             HistoryCommand::tr("WHEN")};
    QCommandLineOption by{QStringLiteral("by"),
                          HistoryCommand::tr("Group by host, program, service or stream. Default: host."),
                          HistoryCommand::tr("GROUP")};
    QCommandLineOption top{QStringLiteral("top"), HistoryCommand::tr("List the N with the most bytes. Default: 20."),
                           QStringLiteral("N")};
    QCommandLineOption json{QStringLiteral("json"), HistoryCommand::tr("Print one JSON object per line.")};
    QCommandLineOption csv{QStringLiteral("csv"), HistoryCommand::tr("Print comma-separated values.")};
    QCommandLineOption history{QStringLiteral("history"),
                               HistoryCommand::tr("Read this history file instead of the usual one."),
                               HistoryCommand::tr("FILE")};

    Parser()
    {
        parser.setApplicationDescription(HistoryCommand::tr("What the history of Quillmere kept, by bytes."));
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions({helpOption, since, until, by, top, json, csv, history});
    }

    QString help(const QStringList &arguments) const
    {
        const QString program = QFileInfo(arguments.value(0, QStringLiteral("quillmere"))).fileName();
        return parser.helpText().replace(QStringLiteral("<executable_name>"), program + QStringLiteral(" history"));
    }
};

// The command's own arguments, with the program name in front as the parser expects.
QStringList withoutCommand(const QStringList &arguments)
{
    QStringList own = arguments;
    own.removeAt(1);
    return own;
}

std::optional<std::optional<HistoryQuery::Grouping>> grouping(const QString &text)
{
    if (text == u"host")
        return HistoryQuery::Grouping::RemoteHost;
    if (text == u"program")
        return HistoryQuery::Grouping::Program;
    if (text == u"service")
        return HistoryQuery::Grouping::Service;
    if (text == u"stream")
        return std::optional<HistoryQuery::Grouping>();
    return std::nullopt;
}

QString storePath(const QString &given)
{
    return given.isEmpty() ? HistoryFile::preferredPath() : given;
}

void printError(const QString &message)
{
    std::fputs(qPrintable(QStringLiteral("quillmere: ") + message + u'\n'), stderr);
}

} // namespace

bool HistoryCommand::isHistoryCommand(const QStringList &arguments)
{
    return arguments.size() > 1 && arguments.at(1) == u"history";
}

std::optional<double> HistoryCommand::parseTime(const QString &text, double now)
{
    static const QRegularExpression span(QStringLiteral("^([0-9]{1,6})([smhdw])$"));
    if (const QRegularExpressionMatch match = span.match(text); match.hasMatch()) {
        static const QHash<QChar, double> unitSeconds{
            {u's', 1.0}, {u'm', 60.0}, {u'h', 3600.0}, {u'd', 86400.0}, {u'w', 7 * 86400.0}};
        return now - match.captured(1).toDouble() * unitSeconds.value(match.captured(2).front());
    }
    if (const QDate date = QDate::fromString(text, Qt::ISODate); date.isValid())
        return Clock::referenceFromDateTime(date.startOfDay());
    if (const QDateTime time = QDateTime::fromString(text, Qt::ISODate); time.isValid())
        return Clock::referenceFromDateTime(time);
    return std::nullopt;
}

std::variant<HistoryCommand::Options, QString> HistoryCommand::parse(const QStringList &arguments, double now)
{
    Parser parser;
    const QString help = parser.help(arguments);
    const auto complaint = [&help](const QString &text) { return text + u'\n' + help; };
    if (!parser.parser.parse(withoutCommand(arguments)))
        return complaint(parser.parser.errorText());
    if (!parser.parser.positionalArguments().isEmpty())
        return complaint(tr("Unexpected argument: %1").arg(parser.parser.positionalArguments().first()));
    Options options;
    const std::optional<double> since = parseTime(
        parser.parser.value(parser.since).isEmpty() ? QStringLiteral("1d") : parser.parser.value(parser.since), now);
    // Until now: a stream recorded this very moment is in.
    const std::optional<double> until
        = parser.parser.isSet(parser.until) ? parseTime(parser.parser.value(parser.until), now) : now + 1.0;
    if (!since || !until)
        return complaint(tr("--since and --until take a span such as 1h or 7d, or a date such as 2026-12-01."));
    if (*since >= *until)
        return complaint(tr("--since must come before --until."));
    options.range = {*since, *until};
    const auto chosen
        = grouping(parser.parser.isSet(parser.by) ? parser.parser.value(parser.by) : QStringLiteral("host"));
    if (!chosen)
        return complaint(tr("--by takes host, program, service or stream."));
    options.grouping = *chosen;
    if (parser.parser.isSet(parser.top)) {
        bool isNumber = false;
        const qulonglong top = parser.parser.value(parser.top).toULongLong(&isNumber);
        if (!isNumber || top == 0 || top > kTopLimit)
            return complaint(tr("--top takes a number from 1 to %1.").arg(kTopLimit));
        options.top = top;
    }
    if (parser.parser.isSet(parser.json) && parser.parser.isSet(parser.csv))
        return complaint(tr("--json and --csv cannot go together."));
    options.format = parser.parser.isSet(parser.json) ? Format::Json
        : parser.parser.isSet(parser.csv)             ? Format::Csv
                                                      : Format::Text;
    options.path = parser.parser.value(parser.history);
    return options;
}

int HistoryCommand::run(const QStringList &arguments)
{
    if (Parser parser; parser.parser.parse(withoutCommand(arguments)) && parser.parser.isSet(parser.helpOption)) {
        std::fputs(qPrintable(parser.help(arguments)), stdout);
        return 0;
    }
    const auto parsed = parse(arguments, Clock::now());
    if (const QString *complaint = std::get_if<QString>(&parsed)) {
        std::fputs(qPrintable(*complaint), stderr);
        return 2;
    }
    return answer(std::get<Options>(parsed));
}

int HistoryCommand::answer(const Options &given)
{
    Options options = given;
    options.path = storePath(given.path);
    if (!QFileInfo::exists(options.path)) {
        printError(tr("There is no history at %1.").arg(options.path));
        return 1;
    }
    try {
        HistoryQuery query(options.path);
        const QByteArray text = options.grouping
            ? HistoryReport::groups(query.top(*options.grouping, options.range, options.top), *options.grouping,
                                    options.format)
            : HistoryReport::streams(query.streams(options.range, options.top), options.format);
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const SqliteError &error) {
        printError(tr("The history at %1 cannot be read: %2").arg(options.path, error.message()));
        return 1;
    }
}
