// SPDX-License-Identifier: MIT
#include "HistoryTestSupport.h"

#include "history/HistoryFile.h"
#include "history/HistoryRetention.h"
#include "history/HistoryWriter.h"
#include "history/SqliteConnection.h"
#include "platform/Clock.h"
#include "platform/SystemLog.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>

#include <cmath>

namespace {

void expectSameRecord(const HistoryRecord &stored, const HistoryRecord &recorded)
{
    EXPECT_EQ(stored.interfaceName, recorded.interfaceName);
    EXPECT_DOUBLE_EQ(stored.firstSeen, std::floor(recorded.firstSeen * 1000.0) / 1000.0);
    EXPECT_DOUBLE_EQ(stored.lastSeen, std::floor(recorded.lastSeen * 1000.0) / 1000.0);
    EXPECT_EQ(stored.protocol, recorded.protocol);
    EXPECT_EQ(stored.local, recorded.local);
    EXPECT_EQ(stored.remote, recorded.remote);
    EXPECT_EQ(stored.localHostName, recorded.localHostName);
    EXPECT_EQ(stored.remoteHostName, recorded.remoteHostName);
    EXPECT_EQ(stored.localServiceName, recorded.localServiceName);
    EXPECT_EQ(stored.remoteServiceName, recorded.remoteServiceName);
    EXPECT_EQ(stored.programName, recorded.programName);
    EXPECT_EQ(stored.programId, recorded.programId);
    EXPECT_EQ(stored.upBytes, recorded.upBytes);
    EXPECT_EQ(stored.downBytes, recorded.downBytes);
    EXPECT_EQ(stored.upPayloadBytes, recorded.upPayloadBytes);
    EXPECT_EQ(stored.downPayloadBytes, recorded.downPayloadBytes);
    EXPECT_EQ(stored.closeReason, recorded.closeReason);
}

} // namespace

TEST(HistoryStoreTest, RecordsComeBackAsTheyWereRecorded)
{
    const struct
    {
        const char *name;
        QString text;
    } cases[] = {
        {"newlines and tabs", QStringLiteral("evil\nprogram\r\n\tname")},
        {"terminal escapes", QStringLiteral("\x1b[31mred\x1b]0;title\x07")},
        {"a NUL inside", QString::fromUtf16(u"before\0after", 12)},
        {"quotes and SQL", QStringLiteral("x'); DROP TABLE streams; --\"%s%n\\")},
        {"bidirectional override and emoji", QString::fromUtf8("\u202Egnp.exe \U0001F600 \uFFFD")},
        {"long", QString(10'000, u'z')},
    };
    HistoryFolder folder;
    std::vector<HistoryRecord> recorded;
    for (const auto &testCase : cases) {
        HistoryRecord record
            = closedRecord(static_cast<int>(recorded.size()), kDay0 + 0.1234, 1, 1000 + recorded.size());
        record.interfaceName = record.localHostName = record.remoteHostName = testCase.text;
        record.localServiceName = record.programName = record.closeReason = testCase.text;
        recorded.push_back(record);
    }
    HistoryRecord wide = closedRecord(99, kDay0 + 1.5, 2, std::uint64_t(1) << 50);
    wide.local = StreamEndpoint::fromBytes({0x20, 0x01, 0x0D, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 5353);
    wide.remote = StreamEndpoint::fromBytes({0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x2A}, 0);
    wide.protocol = 17;
    wide.localHostName = wide.remoteServiceName = wide.programName = wide.closeReason = QString();
    wide.programId = 0;
    recorded.push_back(wide);
    ASSERT_TRUE(folder.write(recorded));

    HistoryQuery query(folder.path());
    const std::vector<HistoryRecord> stored = query.streams(kAllTime, 100);
    ASSERT_EQ(stored.size(), recorded.size());
    for (std::size_t index = 0; index + 1 < recorded.size(); ++index) {
        SCOPED_TRACE(cases[index].name);
        expectSameRecord(stored[recorded.size() - 1 - index], recorded[index]);
    }
    SCOPED_TRACE("IPv6, no names, large counts");
    expectSameRecord(stored.front(), wide);
}

// An open stream recorded at the end of one hour and again in the next, then closed: one
// row, counted once, its bytes in the hours they came, and its program, learnt late, given
// all of them.
TEST(HistoryStoreTest, RecordsOfAnOpenStreamAreOneStream)
{
    HistoryFolder folder;
    HistoryRecord first = closedRecord(7, kDay0 + kHour - 30.0, 1, 1000);
    first.firstSeen = kDay0 + kHour - 50.0;
    first.closeReason = HistoryRecord::kOpen;
    first.programName.clear();
    HistoryRecord second = first;
    second.lastSeen = kDay0 + kHour + 30.0;
    second.upBytes += 300;
    second.programName = QStringLiteral("firefox");
    HistoryRecord last = second;
    last.lastSeen = kDay0 + kHour + 40.0;
    last.downBytes += 700;
    last.closeReason = HistoryRecord::kIdle;
    {
        HistoryStore store(folder.options());
        store.record(first);
        ASSERT_TRUE(store.flush(std::chrono::seconds(10)));
        store.record(second);
        ASSERT_TRUE(store.flush(std::chrono::seconds(10)));
        store.record(last);
        ASSERT_TRUE(store.flush(std::chrono::seconds(10)));
    }
    HistoryQuery query(folder.path());
    const std::vector<HistoryRecord> stored = query.streams(kAllTime, 10);
    ASSERT_EQ(stored.size(), 1u);
    expectSameRecord(stored.front(), last);

    const HistoryQuery::Range hours{kDay0, kDay0 + 2 * kHour};
    const auto buckets = query.bytesOverTime(hours, kHour);
    ASSERT_EQ(buckets.size(), 2u);
    EXPECT_EQ(buckets[0].totals.bytes(), 1000u);
    EXPECT_EQ(buckets[1].totals.bytes(), 1000u);
    const auto programs = query.top(HistoryQuery::Grouping::Program, {kDay0 - kHour, kDay0 + 3 * kHour}, 10);
    ASSERT_EQ(programs.size(), 1u) << "no program is left with nothing, and not shown";
    EXPECT_EQ(programs[0].name, QStringLiteral("firefox"));
    EXPECT_EQ(programs[0].totals.bytes(), 2000u);
    EXPECT_EQ(programs[0].totals.streams, 1u);
}

TEST(HistoryStoreTest, DamagedFileIsMovedAsideAndANewOneStarts)
{
    const auto fill = [](QFile &file, qint64 from, qint64 bytes) {
        QByteArray garbage(static_cast<qsizetype>(bytes), '\0');
        for (qsizetype index = 0; index < garbage.size(); ++index)
            garbage[index] = static_cast<char>((index * 7919 + 13) % 251);
        file.seek(from);
        file.write(garbage);
    };
    const struct
    {
        const char *name;
        std::function<void(QFile &)> damage;
    } cases[] = {
        {"cut short", [](QFile &file) { file.resize(file.size() / 2); }},
        {"overwritten in the middle", [&](QFile &file) { fill(file, 8192, file.size() / 2); }},
        {"overwritten from the start", [&](QFile &file) { fill(file, 0, file.size()); }},
        {"not a database",
         [](QFile &file) {
             file.resize(0);
             file.write("just some text\n");
         }},
    };
    for (const auto &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        HistoryFolder folder;
        std::vector<HistoryRecord> records;
        for (int number = 0; number < 5000; ++number)
            records.push_back(closedRecord(number, kDay0 + number, number % 300));
        ASSERT_TRUE(folder.write(records));
        QFile file(folder.path());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        testCase.damage(file);
        file.close();
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray damaged = file.readAll();
        file.close();

        QStringList logged;
        setSystemLogSink([&](const QString &message) { logged << message; });
        HistoryStore store(folder.options());
        store.record(closedRecord(1, kDay0));
        ASSERT_TRUE(store.flush(std::chrono::seconds(10)));
        setSystemLogSink({});
        const HistoryStore::Status status = store.status();
        EXPECT_EQ(status.state, HistoryStore::State::Writing);
        ASSERT_TRUE(status.movedAside.startsWith(folder.path() + QStringLiteral(".damaged-")));
        EXPECT_TRUE(status.message.contains(status.movedAside));
        ASSERT_EQ(logged.size(), 1);
        EXPECT_EQ(logged.front(), status.message);
        QFile aside(status.movedAside);
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_TRUE(aside.readAll() == damaged) << "the damaged file is kept as it was";
        EXPECT_EQ(HistoryQuery(folder.path()).streams(kAllTime, 10).size(), 1u);
    }
}

// The age limit first, then the size: the oldest rows go and the newest stay, and the
// roll-up keeps no hour older than the oldest row. One stream every 90 seconds.
TEST(HistoryStoreTest, RetentionKeepsTheNewestWithinAgeAndSize)
{
    constexpr int kStreams = 40'000;
    constexpr double kEvery = 90.0;
    constexpr double kDays = 24 * kHour;
    HistoryFolder folder;
    const double now = kDay0 + kStreams * kEvery;
    {
        const auto connection = HistoryFile::openForWriting(folder.path());
        HistoryWriter writer(*connection);
        std::vector<HistoryRecord> records;
        for (int number = 0; number < kStreams; ++number)
            records.push_back(closedRecord(number, kDay0 + number * kEvery, number % 500));
        writer.write(records);
        HistoryRetention retention(*connection);
        const HistoryRetention::Limits byAge{30.0, qint64(1) << 40};
        while (retention.prune(byAge, now)) { }
        HistoryQuery query(folder.path());
        EXPECT_EQ(query.streams(kAllTime, kStreams).size(), static_cast<std::size_t>(30 * kDays / kEvery));
        const auto total = query.bytesOverTime(kAllTime, 4.0e9);
        ASSERT_EQ(total.size(), 1u);
        EXPECT_EQ(total.front().totals.streams, static_cast<quint64>(30 * kDays / kEvery));

        const HistoryRetention::Limits bySize{30.0, retention.usedBytes() / 2};
        while (retention.prune(bySize, now)) { }
        EXPECT_LE(retention.usedBytes(), bySize.bytes);
        EXPECT_EQ(query.streams({now - kHour, now}, 100).size(), static_cast<std::size_t>(kHour / kEvery));
    }
    HistoryStore::Options options = folder.options();
    options.retention.days = 1.0;
    options.pruneInterval = std::chrono::milliseconds(10);
    Clock::freezeAt(now);
    HistoryStore store(options);
    EXPECT_TRUE(waitUntil([&] {
        return HistoryQuery(folder.path()).streams(kAllTime, kStreams).size()
            == static_cast<std::size_t>(kDays / kEvery);
    }));
    Clock::useSystemTime();
}
