// SPDX-License-Identifier: MIT
#include "resolve/QMTimeoutCache.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <QString>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace {
class QMTimeoutCacheTest : public ::testing::Test
{
protected:
    void SetUp() override { Clock::freezeAt(10'000.0); }
    void TearDown() override { Clock::useSystemTime(); }
};

using Cache = QMTimeoutCache<QString, QString>;
} // namespace

TEST_F(QMTimeoutCacheTest, EntryLivesExactlyTheTimeoutAndIsCulledOnlyByALookup)
{
    Cache cache(300.0);
    cache.setObject(QStringLiteral("gateway"), QStringLiteral("10.0.0.1"));
    cache.setObject(QStringLiteral("printer"), QStringLiteral("10.0.0.2"));

    Clock::advance(300.0); // exactly the timeout: still live
    EXPECT_EQ(cache.objectForKey(QStringLiteral("10.0.0.1")), QStringLiteral("gateway"));
    EXPECT_EQ(cache.count(), 2u);

    Clock::advance(0.001);
    EXPECT_EQ(cache.count(), 2u) << "count must not cull";
    EXPECT_EQ(cache.keys().size(), 2u) << "keys must not cull";
    EXPECT_EQ(cache.objectForKey(QStringLiteral("10.0.0.2")), std::nullopt);
    EXPECT_EQ(cache.count(), 0u) << "one lookup culls every expired entry";
    EXPECT_TRUE(cache.checkInternalConsistency());
}

TEST_F(QMTimeoutCacheTest, ReadingDoesNotExtendLifeButStoringAgainRestartsIt)
{
    Cache cache(300.0);
    cache.setObject(QStringLiteral("a"), QStringLiteral("first"));
    Clock::advance(10.0);
    cache.setObject(QStringLiteral("b"), QStringLiteral("second"));
    for (int i = 0; i < 20; ++i) {
        Clock::advance(10.0);
        EXPECT_EQ(cache.objectForKey(QStringLiteral("second")), QStringLiteral("b"));
    }
    cache.setObject(QStringLiteral("a2"), QStringLiteral("first")); // at 210: restarts, moves back
    EXPECT_EQ(cache.keys(), (std::vector<QString>{QStringLiteral("second"), QStringLiteral("first")}));

    Clock::advance(100.5); // 310.5: "second" (stored at 10) is 300.5 old, "first" 100.5
    EXPECT_EQ(cache.objectForKey(QStringLiteral("second")), std::nullopt);
    EXPECT_EQ(cache.objectForKey(QStringLiteral("first")), QStringLiteral("a2"));
    EXPECT_EQ(cache.count(), 1u);
}

TEST_F(QMTimeoutCacheTest, CullingStopsAtTheFirstLiveEntryEvenIfAnOlderOneIsBehindIt)
{
    Cache cache(300.0);
    cache.setObject(QStringLiteral("front"), QStringLiteral("x"));
    Clock::freezeAt(9'000.0); // the system clock was set back
    cache.setObject(QStringLiteral("behind"), QStringLiteral("y"));
    Clock::freezeAt(10'250.0); // "x" is 250 old, "y" 1250 but stored after "x"

    EXPECT_EQ(cache.objectForKey(QStringLiteral("y")), QStringLiteral("behind"));
    EXPECT_EQ(cache.count(), 2u);
    Clock::advance(51.0);
    EXPECT_EQ(cache.objectForKey(QStringLiteral("x")), std::nullopt);
    EXPECT_EQ(cache.count(), 0u);
}

TEST_F(QMTimeoutCacheTest, RemovingAndStoringKeepListAndMapInStep)
{
    QMTimeoutCache<QString, int> cache;
    EXPECT_EQ(cache.timeout(), 300.0);
    cache.removeObjectForKey(QStringLiteral("absent"));
    cache.setObject(1, QStringLiteral("only"));
    cache.removeObjectForKey(QStringLiteral("only"));
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_TRUE(cache.checkInternalConsistency());
    cache.setObject(2, QStringLiteral("only"));
    EXPECT_EQ(cache.objectForKey(QStringLiteral("only")), 2);
    Clock::advance(301.0);
    EXPECT_EQ(cache.objectForKey(QStringLiteral("only")), std::nullopt);
}

TEST_F(QMTimeoutCacheTest, RandomOperationsAgreeWithAPlainMap)
{
    QMTimeoutCache<int, std::string> cache(1.0e9);
    std::map<int, std::string> model;
    std::mt19937 random(20011);
    std::uniform_int_distribution<int> keyOf(0, 40);
    std::uniform_int_distribution<int> operationOf(0, 2);
    for (int step = 0; step < 5000; ++step) {
        const int key = keyOf(random);
        switch (operationOf(random)) {
        case 0:
            cache.setObject(std::to_string(step), key);
            model[key] = std::to_string(step);
            break;
        case 1:
            cache.removeObjectForKey(key);
            model.erase(key);
            break;
        default: {
            const auto found = model.find(key);
            const std::optional<std::string> expected
                = found == model.end() ? std::nullopt : std::optional(found->second);
            ASSERT_EQ(cache.objectForKey(key), expected) << "step " << step;
        }
        }
        Clock::advance(1.0);
        ASSERT_EQ(cache.count(), model.size());
    }
    EXPECT_TRUE(cache.checkInternalConsistency());
}

TEST(QMTimeoutCacheLimit, StoringPastTheLimitEvictsTheOldest)
{
    Clock::freezeAt(1000.0);
    QMTimeoutCache<int, int> cache(300.0, 3);
    for (int key = 1; key <= 4; ++key)
        cache.setObject(key * 10, key);
    cache.setObject(22, 2); // stored again: now the newest
    cache.setObject(50, 5);
    EXPECT_EQ(cache.keys(), (std::vector<int>{4, 2, 5}));
    EXPECT_EQ(cache.objectForKey(1), std::nullopt);
    EXPECT_TRUE(cache.checkInternalConsistency());
    Clock::useSystemTime();
}
