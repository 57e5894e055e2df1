// SPDX-License-Identifier: MIT
#include "platform/Clock.h"
#include "platform/SystemLog.h"

#include <gtest/gtest.h>

#include <QStringList>

TEST(Clock, SystemTimeIsSecondsSinceTwoThousandOne)
{
    Clock::useSystemTime();
    const double unixNow = static_cast<double>(std::time(nullptr));
    EXPECT_NEAR(Clock::unixTimeFromReference(Clock::now()), unixNow, 2.0);
    // 2001-01-01 lies before any real "now" and 2100 after it.
    EXPECT_GT(Clock::now(), 0.0);
    EXPECT_LT(Clock::now(), 3.1e9);
}

TEST(Clock, FrozenTimeMovesOnlyWhenAdvanced)
{
    Clock::freezeAt(1000.5);
    EXPECT_DOUBLE_EQ(Clock::now(), 1000.5);
    Clock::advance(299.5);
    EXPECT_DOUBLE_EQ(Clock::now(), 1300.0);
    EXPECT_DOUBLE_EQ(Clock::unixTimeFromReference(0.0), 978307200.0);
    Clock::useSystemTime();
    EXPECT_GT(Clock::now(), 1.0e8);
}

TEST(SystemLog, SinkReceivesMessagesUntilReset)
{
    QStringList seen;
    setSystemLogSink([&](const QString &message) { seen << message; });
    systemLog(QStringLiteral("Couldn't open file at /nowhere"));
    setSystemLogSink({});
    systemLog(QStringLiteral("to standard error"));
    EXPECT_EQ(seen, QStringList{QStringLiteral("Couldn't open file at /nowhere")});
}
