// SPDX-License-Identifier: MIT
#include "headless/StreamTableText.h"
#include "TestEndpoints.h"
#include "headless/CommandLineOptions.h"
#include "model/Stream.h"
#include "model/StreamGroup.h"
#include "platform/Clock.h"
#include "platform/TerminalSize.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

TEST(StreamTableText, TheTextBlockShowsUnitsInAlignedColumnsOneLineAStreamAndFitsTheTerminal)
{
    QLocale::setDefault(QLocale::c());
    Clock::freezeAt(800000000.0);
    auto named = std::make_shared<Stream>(namedEndpoint(QStringLiteral("evil\thost\n"), "10.0.0.1", 80),
                                          endpointAt("10.0.0.2", 53), QStringLiteral("UDP"));
    named->addUpBytes(3000);
    named->addUpDataBytes(1536);
    auto plain
        = std::make_shared<Stream>(endpointAt("10.0.0.3", 5000), endpointAt("10.0.0.4", 443), QStringLiteral("TCP"));
    plain->addDownBytes(1000);
    Clock::freezeAt(800000001.0);
    const std::vector<std::shared_ptr<Stream>> streams{named, plain};
    const QDateTime time(QDate(2026, 12, 10), QTime(14, 3, 7));
    const QStringList lines = StreamTableText::textBlock(streams, QStringLiteral("eth0"), time, 0, {}).split(u'\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[4], "");
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("2026-12-10 14:03:07  eth0  Streams: 2  Up 2.9kB/sec (2.9kB "
                                                   "this interval)  Down 1000.0B/sec (1000.0B")))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("evil\uFFFDhost\uFFFD:80  10.0.0.2:53 "))) << lines[2].toStdString();
    // Figures end where their title ends.
    const auto endOf = [](const QString &line, const QString &text) { return line.indexOf(text) + text.size(); };
    EXPECT_EQ(endOf(lines[2], QStringLiteral("1.5kB")), endOf(lines[1], QStringLiteral("Payload Up")));
    EXPECT_EQ(endOf(lines[2], QStringLiteral("2.9kB/sec")), endOf(lines[3], QStringLiteral("0.0B/sec")));

    TerminalSize narrow;
    narrow.columns = 30;
    for (const QString &line :
         StreamTableText::textBlock(streams, QStringLiteral("eth0"), time, 7, narrow).split(u'\n'))
        EXPECT_LE(line.size(), 30);
    TerminalSize low;
    low.rows = 4;
    const QStringList cut = StreamTableText::textBlock(streams, QStringLiteral("eth0"), time, 0, low).split(u'\n');
    EXPECT_EQ(cut.size(), 4);
    EXPECT_EQ(cut[2], "... 2 more of 2 streams");
    Clock::useSystemTime();
}

TEST(StreamTableText, JsonLinesCarryNumbersAsNumbersAndTimesWithTheirOffset)
{
    Clock::freezeAt(800000000.0);
    Stream stream(namedEndpoint(QStringLiteral("here"), "10.0.0.1", 5000), endpointAt("2001:db8::2", 53),
                  QStringLiteral("UDP"));
    stream.addUpBytes(1500);
    stream.addDownDataBytes(99);
    const QDateTime time = QDateTime::fromSecsSinceEpoch(1700000000);
    const QByteArray line = StreamTableText::jsonLine(stream, QStringLiteral("eth0"), time);
    Clock::useSystemTime();
    EXPECT_FALSE(line.contains('\n'));
    const QJsonObject object = QJsonDocument::fromJson(line).object();
    EXPECT_EQ(object.value(QStringLiteral("interface")).toString(), "eth0");
    EXPECT_EQ(object.value(QStringLiteral("source")).toString(), "here:5000");
    EXPECT_EQ(object.value(QStringLiteral("destination")).toString(), "[2001:db8::2]:53");
    EXPECT_EQ(object.value(QStringLiteral("sourceAddress")).toString(), "10.0.0.1");
    EXPECT_EQ(object.value(QStringLiteral("sourcePort")).toInt(), 5000);
    EXPECT_EQ(object.value(QStringLiteral("destinationAddress")).toString(), "2001:db8::2");
    EXPECT_EQ(object.value(QStringLiteral("destinationPort")).toInt(), 53);
    const Stream other(EndpointText::label(QStringLiteral("Other")), EndpointText::label(QStringLiteral("Other")),
                       QStringLiteral("Other"));
    EXPECT_TRUE(QJsonDocument::fromJson(StreamTableText::jsonLine(other, QStringLiteral("eth0"), time))
                    .object()
                    .value(QStringLiteral("sourcePort"))
                    .isNull());
    EXPECT_EQ(object.value(QStringLiteral("lifetimeUpBytes")).toDouble(), 1500.0);
    EXPECT_EQ(object.value(QStringLiteral("lifetimeDownDataBytes")).toDouble(), 99.0);
    EXPECT_TRUE(object.value(QStringLiteral("upSpeedNumber")).isDouble());
    for (const char *key : {"time", "openedTime"}) {
        const QString text = object.value(QLatin1StringView(key)).toString();
        EXPECT_TRUE(QDateTime::fromString(text, Qt::ISODateWithMs).isValid()) << text.toStdString();
        EXPECT_TRUE(text.endsWith(u'Z') || text.at(text.size() - 6) == u'+' || text.at(text.size() - 6) == u'-')
            << text.toStdString();
    }
    EXPECT_EQ(QDateTime::fromString(object.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs), time);
}

// Groups fastest first, each group's line over its streams, which are indented; the JSON has
// one object per group with its sums and its streams' usual objects.
TEST(StreamTableText, GroupsPrintTheirSumsOverTheirIndentedStreamsAndAsOneJsonObjectEach)
{
    QLocale::setDefault(QLocale::c());
    Clock::freezeAt(800000000.0);
    const auto made = [](const char *address, std::uint16_t port, const char *process, quint32 up) {
        auto stream
            = std::make_shared<Stream>(endpointAt(address, port), endpointAt("10.0.0.9", 443), QStringLiteral("TCP"));
        stream->setProcess(QString::fromUtf8(process));
        stream->addUpBytes(up);
        stream->addUpDataBytes(up);
        return stream;
    };
    const std::vector<std::shared_ptr<Stream>> streams{
        made("10.0.0.1", 1, "", 100), made("10.0.0.1", 2, "curl (7)", 1024), made("10.0.0.1", 3, "curl (8)", 2048)};
    Clock::freezeAt(800000001.0);
    const auto groups = StreamTableText::bySpeed(StreamGroup::grouped(streams, StreamGroup::By::Program));
    const QDateTime time(QDate(2026, 12, 10), QTime(14, 3, 7));
    const QStringList lines
        = StreamTableText::groupedTextBlock(groups, QStringLiteral("eth0"), time, 0, {}).split(u'\n');
    ASSERT_EQ(lines.size(), 8);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("Streams: 3 "))) << lines[0].toStdString();
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("curl "))) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].contains(QStringLiteral("3.0kB/sec"))) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("  10.0.0.1:3 "))) << lines[3].toStdString();
    EXPECT_TRUE(lines[4].startsWith(QStringLiteral("  10.0.0.1:2 "))) << lines[4].toStdString();
    EXPECT_TRUE(lines[5].startsWith(QStringLiteral("No program "))) << lines[5].toStdString();
    EXPECT_EQ(lines[3].indexOf(QStringLiteral("10.0.0.9")), lines[1].indexOf(QStringLiteral("Destination")));

    const QJsonObject curl
        = QJsonDocument::fromJson(StreamTableText::groupJsonLine(groups[0], QStringLiteral("eth0"), time)).object();
    Clock::useSystemTime();
    EXPECT_EQ(curl.value(QStringLiteral("groupBy")).toString(), "program");
    EXPECT_EQ(curl.value(QStringLiteral("group")).toString(), "curl");
    EXPECT_EQ(curl.value(QStringLiteral("lifetimeUpDataBytes")).toDouble(), 3072.0);
    const QJsonArray members = curl.value(QStringLiteral("streams")).toArray();
    ASSERT_EQ(members.size(), 2);
    EXPECT_EQ(members[0].toObject().value(QStringLiteral("process")).toString(), "curl (7)");
    EXPECT_EQ(members[0].toObject().value(QStringLiteral("sourcePort")).toInt(), 2);
    EXPECT_TRUE(QJsonDocument::fromJson(StreamTableText::groupJsonLine(groups[1], QStringLiteral("eth0"), time))
                    .object()
                    .value(QStringLiteral("group"))
                    .isNull());
}

TEST(CommandLineOptions, UsageErrorsAndModes)
{
    using Mode = CommandLineOptions::Mode;
    const std::vector<std::pair<QStringList, Mode>> cases{
        {{"quillmere"}, Mode::Window},
        {{"quillmere", "--interface", "eth0"}, Mode::Window},
        {{"quillmere", "--headless", "--interface", "eth0", "--json", "--interval", "2.5"}, Mode::Headless},
        {{"quillmere", "--help"}, Mode::Help},
        {{"quillmere", "--version"}, Mode::Version},
        {{"quillmere", "--headless"}, Mode::UsageError},
        {{"quillmere", "--frobnicate"}, Mode::UsageError},
        {{"quillmere", "--headless", "--interface", "lo", "--interval", "0"}, Mode::UsageError},
        {{"quillmere", "--headless", "--interface", "lo", "--interval", "soon"}, Mode::UsageError},
        {{"quillmere", "--json"}, Mode::UsageError},
        {{"quillmere", "stray"}, Mode::UsageError},
        {{"quillmere", "--headless", "--interface", "lo", "--history", "h.sqlite"}, Mode::Headless},
        {{"quillmere", "--headless", "--interface", "lo", "--no-history"}, Mode::Headless},
        {{"quillmere", "--headless", "--interface", "lo", "--history", "h.sqlite", "--no-history"}, Mode::UsageError},
        {{"quillmere", "--headless", "--interface", "lo", "--history", ""}, Mode::UsageError},
        {{"quillmere", "--no-history"}, Mode::UsageError},
        {{"quillmere", "--headless", "--interface", "lo", "--group", "host"}, Mode::Headless},
        {{"quillmere", "--headless", "--interface", "lo", "--group", "none"}, Mode::UsageError},
        {{"quillmere", "--headless", "--interface", "lo", "--group"}, Mode::UsageError},
        {{"quillmere", "--group", "program"}, Mode::UsageError},
    };
    for (const auto &[arguments, mode] : cases)
        EXPECT_EQ(CommandLineOptions::parse(arguments).mode, mode) << arguments.join(u' ').toStdString();
    const CommandLineOptions headless
        = CommandLineOptions::parse({"quillmere", "--headless", "--interface", "eth0", "--interval", "2.5"});
    EXPECT_EQ(headless.interval, 2.5);
    EXPECT_EQ(CommandLineOptions::parse({"quillmere", "--headless", "--interface", "lo", "--group", "program"}).groupBy,
              StreamGroup::By::Program);
    EXPECT_TRUE(CommandLineOptions::parse({"quillmere", "--headless"}).message.contains(u"Usage: quillmere"));
}
