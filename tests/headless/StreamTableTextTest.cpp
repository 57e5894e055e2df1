// SPDX-License-Identifier: MIT
#include "headless/StreamTableText.h"
#include "TestEndpoints.h"
#include "headless/CommandLineOptions.h"
#include "model/Stream.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

TEST(StreamTableText, NamesWithControlCharactersStayOnOneLineOfFields)
{
    Stream stream(namedEndpoint(QStringLiteral("evil\thost\n"), "10.0.0.1", 80), endpointAt("10.0.0.2", 53),
                  QStringLiteral("UDP"));
    stream.addUpDataBytes(12);
    const QString line = StreamTableText::tableLine(stream);
    EXPECT_FALSE(line.contains(u'\n'));
    EXPECT_EQ(line.split(u'\t').size(), StreamTableText::headerLine().split(u'\t').size());
    EXPECT_TRUE(line.startsWith(QStringLiteral("evil\uFFFDhost\uFFFD:80\t10.0.0.2:53\tUDP\t")));
}

TEST(StreamTableText, JsonLinesCarryNumbersAsNumbersAndTimesWithTheirOffset)
{
    Clock::freezeAt(800000000.0);
    Stream stream(endpointAt("10.0.0.1", 5000), endpointAt("10.0.0.2", 53), QStringLiteral("UDP"));
    stream.addUpBytes(1500);
    stream.addDownDataBytes(99);
    const QDateTime time = QDateTime::fromSecsSinceEpoch(1700000000);
    const QByteArray line = StreamTableText::jsonLine(stream, QStringLiteral("eth0"), time);
    Clock::useSystemTime();
    EXPECT_FALSE(line.contains('\n'));
    const QJsonObject object = QJsonDocument::fromJson(line).object();
    EXPECT_EQ(object.value(QStringLiteral("interface")).toString(), "eth0");
    EXPECT_EQ(object.value(QStringLiteral("source")).toString(), "10.0.0.1:5000");
    EXPECT_EQ(object.value(QStringLiteral("destination")).toString(), "10.0.0.2:53");
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
    };
    for (const auto &[arguments, mode] : cases)
        EXPECT_EQ(CommandLineOptions::parse(arguments).mode, mode) << arguments.join(u' ').toStdString();
    const CommandLineOptions headless
        = CommandLineOptions::parse({"quillmere", "--headless", "--interface", "eth0", "--interval", "2.5"});
    EXPECT_EQ(headless.interval, 2.5);
    EXPECT_TRUE(CommandLineOptions::parse({"quillmere", "--headless"}).message.contains(u"Usage: quillmere"));
}
