// SPDX-License-Identifier: MIT
#include "HistoryTestSupport.h"
#include "TestEndpoints.h"

#include "model/Stream.h"

#include <gtest/gtest.h>

#include <tuple>

TEST(HistoryRecordTest, FromStreamTakesItsSourceAsTheLocalSide)
{
    Stream stream(namedEndpoint(QStringLiteral("me"), "192.168.1.2", 40000),
                  namedEndpoint(QStringLiteral("web"), "10.0.0.1", 443, QStringLiteral("https")),
                  QStringLiteral("TCP"));
    stream.addUpBytes(100);
    stream.addDownBytes(900);
    stream.addUpDataBytes(60);
    stream.addDownDataBytes(800);
    const std::optional<HistoryRecord> record
        = HistoryRecord::fromStream(stream, QStringLiteral("eth0"), 1234.5, HistoryRecord::kReset);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->local, StreamEndpoint::ipv4(0xC0A80102, 40000));
    EXPECT_EQ(record->remote, StreamEndpoint::ipv4(0x0A000001, 443));
    EXPECT_EQ(record->localHostName, QStringLiteral("me"));
    EXPECT_EQ(record->remoteServiceName, QStringLiteral("https"));
    EXPECT_EQ(record->protocol, 6);
    EXPECT_EQ(record->serial, stream.serial());
    EXPECT_DOUBLE_EQ(record->firstSeen, stream.openedTime());
    EXPECT_DOUBLE_EQ(record->lastSeen, 1234.5);
    EXPECT_EQ(std::tuple(record->upBytes, record->downBytes, record->upPayloadBytes, record->downPayloadBytes),
              std::tuple(100u, 900u, 60u, 800u));
    EXPECT_EQ(record->closeReason, HistoryRecord::kReset);

    const Stream other(EndpointText::label(QStringLiteral("Other")), EndpointText::label(QStringLiteral("Other")),
                       QStringLiteral("*"));
    EXPECT_FALSE(HistoryRecord::fromStream(other, QStringLiteral("eth0"), 0.0, {}));
}

TEST(HistoryRecordTest, ProgramTextIsTakenApartIntoNameAndId)
{
    const struct
    {
        QString process;
        QString name;
        quint32 id;
    } cases[] = {
        {QStringLiteral("firefox (4242)"), QStringLiteral("firefox"), 4242},
        {QStringLiteral("a (b) (12)"), QStringLiteral("a (b)"), 12},
        {QStringLiteral("two\nlines (7)"), QStringLiteral("two\nlines"), 7},
        {QStringLiteral("other user (postgres)"), QStringLiteral("other user (postgres)"), 0},
        {QStringLiteral("huge (99999999999)"), QStringLiteral("huge (99999999999)"), 0},
        {QString(), QString(), 0},
    };
    for (const auto &testCase : cases) {
        SCOPED_TRACE(testCase.process.toStdString());
        Stream stream(endpointAt("192.168.1.2", 1), endpointAt("10.0.0.1", 2), QStringLiteral("UDP"));
        stream.setProcess(testCase.process);
        const auto record = HistoryRecord::fromStream(stream, QStringLiteral("lo"), 0.0, {});
        ASSERT_TRUE(record);
        EXPECT_EQ(record->programName, testCase.name);
        EXPECT_EQ(record->programId, testCase.id);
    }
}
