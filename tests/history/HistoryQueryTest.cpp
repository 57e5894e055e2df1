// SPDX-License-Identifier: MIT
#include "HistoryTestSupport.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <algorithm>

namespace {
using Grouping = HistoryQuery::Grouping;

const HistoryQuery::Range kFirstHour{kDay0, kDay0 + kHour};
const HistoryQuery::Range kThreeHours{kDay0, kDay0 + 3 * kHour};

// Five streams in the first hour of the day and one more two hours later: host 1 through
// firefox to https, host 2 over IPv6 through ssh, host 3 through no program to port 9999.
// Host 4's stream is recorded open in the first hour and closed in the sixth; host 1 has two
// more streams two days later.
std::vector<HistoryRecord> dayRecords()
{
    std::vector<HistoryRecord> records;
    for (int number = 1; number <= 3; ++number)
        records.push_back(closedRecord(number, kDay0 + 100.0 * number, 1, 1000u * static_cast<quint64>(number)));
    HistoryRecord ssh = closedRecord(4, kDay0 + 400.0, 2, 10'000);
    ssh.remote = StreamEndpoint::fromBytes({0x20, 0x01, 0x0D, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}, 22);
    ssh.remoteHostName = QStringLiteral("two.example");
    ssh.remoteServiceName = ssh.programName = QStringLiteral("ssh");
    records.push_back(ssh);
    HistoryRecord unknown = closedRecord(5, kDay0 + 500.0, 3, 500);
    unknown.remote.port = 9999;
    unknown.remoteServiceName = unknown.programName = QString();
    records.push_back(unknown);
    records.push_back(closedRecord(6, kDay0 + 2 * kHour + 10.0, 1, 4500));
    HistoryRecord open = closedRecord(7, kDay0 + 600.0, 4, 5000);
    open.remote.port = 8080;
    open.remoteServiceName.clear();
    open.programName = QStringLiteral("long");
    open.closeReason = HistoryRecord::kOpen;
    records.push_back(open);
    open.lastSeen = kDay0 + 5 * kHour;
    open.downBytes += 1000;
    open.closeReason = HistoryRecord::kClosed;
    records.push_back(open);
    records.push_back(closedRecord(8, kDay0 + 48 * kHour + 100.0, 1, 700));
    records.push_back(closedRecord(9, kDay0 + 53 * kHour, 1, 800));
    return records;
}

class HistoryQueryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.write(dayRecords()));
        m_query = std::make_unique<HistoryQuery>(m_folder.path());
    }

    // "name bytes streams" per group, most bytes first.
    QStringList top(Grouping grouping, const HistoryQuery::Range &range, std::size_t limit = 10)
    {
        QStringList groups;
        for (const HistoryQuery::Group &group : m_query->top(grouping, range, limit)) {
            QString name = group.name;
            if (grouping == Grouping::RemoteHost)
                name += u'@' + group.address.addressText();
            if (grouping == Grouping::Service)
                name += u'@' + QString::number(group.port) + u'/' + QString::number(group.protocol);
            groups << QStringLiteral("%1 %2 %3").arg(name).arg(group.totals.bytes()).arg(group.totals.streams);
        }
        return groups;
    }

    // The group of that name, or of that address for a host.
    HistoryQuery::GroupKey keyOf(Grouping grouping, const QString &name)
    {
        const auto groups = m_query->top(grouping, kThreeHours, 10);
        const auto found = std::find_if(groups.begin(), groups.end(), [&](const auto &group) {
            return grouping == Grouping::RemoteHost ? group.address.addressText() == name : group.name == name;
        });
        return found == groups.end() ? HistoryQuery::GroupKey{} : found->key;
    }

    HistoryFolder m_folder;
    std::unique_ptr<HistoryQuery> m_query;
};

} // namespace

// An hour is answered from the rows, three hours from the roll-up, two days from its days and
// the hours at either end. They count closed streams alike; the roll-up counts an open
// stream's bytes in the hours they came, the rows only once it is last seen.
TEST_F(HistoryQueryTest, TopGroupsFromRowsAndFromTheRollUp)
{
    const struct
    {
        const char *name;
        Grouping grouping;
        HistoryQuery::Range range;
        std::size_t limit;
        QStringList expected;
    } cases[] = {
        {"hosts in an hour",
         Grouping::RemoteHost,
         kFirstHour,
         10,
         {"two.example@2001:db8::2 10000 1", "@10.0.1.1 6000 3", "@10.0.3.1 500 1"}},
        {"hosts in three hours",
         Grouping::RemoteHost,
         kThreeHours,
         10,
         {"@10.0.1.1 10500 4", "two.example@2001:db8::2 10000 1", "@10.0.4.1 5000 1", "@10.0.3.1 500 1"}},
        {"hosts in days and hours",
         Grouping::RemoteHost,
         {kDay0 + 2 * kHour, kDay0 + 49 * kHour},
         10,
         {"@10.0.1.1 5200 2", "@10.0.4.1 1000 0"}},
        {"top two", Grouping::RemoteHost, kThreeHours, 2, {"@10.0.1.1 10500 4", "two.example@2001:db8::2 10000 1"}},
        {"programs in an hour", Grouping::Program, kFirstHour, 10, {"ssh 10000 1", "firefox 6000 3", " 500 1"}},
        {"programs in three hours",
         Grouping::Program,
         kThreeHours,
         10,
         {"firefox 10500 4", "ssh 10000 1", "long 5000 1", " 500 1"}},
        {"services in an hour",
         Grouping::Service,
         kFirstHour,
         10,
         {"ssh@22/6 10000 1", "https@443/6 6000 3", "@9999/6 500 1"}},
        {"services in three hours",
         Grouping::Service,
         kThreeHours,
         10,
         {"https@443/6 10500 4", "ssh@22/6 10000 1", "@8080/6 5000 1", "@9999/6 500 1"}},
        {"nothing before", Grouping::Program, {kDay0 - kHour, kDay0}, 10, {}},
    };
    for (const auto &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        EXPECT_EQ(top(testCase.grouping, testCase.range, testCase.limit), testCase.expected);
    }
}

TEST_F(HistoryQueryTest, StreamsOfOneGroupMostBytesFirst)
{
    const auto bytesOf
        = [&](const HistoryQuery::Range &range, std::size_t limit, const std::optional<HistoryQuery::GroupKey> &group) {
              std::vector<quint64> bytes;
              for (const HistoryRecord &record : m_query->streams(range, limit, group))
                  bytes.push_back(record.upBytes + record.downBytes);
              return bytes;
          };
    const HistoryQuery::GroupKey host = keyOf(Grouping::RemoteHost, QStringLiteral("10.0.1.1"));
    EXPECT_EQ(bytesOf(kFirstHour, 10, host), (std::vector<quint64>{3000, 2000, 1000}));
    EXPECT_EQ(bytesOf(kThreeHours, 2, host), (std::vector<quint64>{4500, 3000}));
    EXPECT_EQ(bytesOf(kThreeHours, 10, keyOf(Grouping::Program, {})), (std::vector<quint64>{500}));
    EXPECT_EQ(bytesOf(kThreeHours, 10, keyOf(Grouping::Service, QStringLiteral("ssh"))),
              (std::vector<quint64>{10'000}));
    EXPECT_EQ(bytesOf(kFirstHour, 10, std::nullopt), (std::vector<quint64>{10'000, 3000, 2000, 1000, 500}));
}

TEST_F(HistoryQueryTest, BytesPerBucketFromRowsAndFromTheRollUp)
{
    const auto bytesOf = [](const std::vector<HistoryQuery::Bucket> &buckets) {
        std::vector<quint64> bytes;
        for (const HistoryQuery::Bucket &bucket : buckets)
            bytes.push_back(bucket.totals.bytes());
        return bytes;
    };
    const auto minutes = m_query->bytesOverTime({kDay0, kDay0 + 600.0}, 60.0);
    EXPECT_EQ(bytesOf(minutes), (std::vector<quint64>{0, 1000, 0, 2000, 0, 3000, 10'000, 0, 500, 0}));
    EXPECT_DOUBLE_EQ(minutes[3].start, kDay0 + 180.0);
    EXPECT_EQ(bytesOf(m_query->bytesOverTime(kThreeHours, kHour)), (std::vector<quint64>{21'500, 0, 4500}));
    EXPECT_EQ(bytesOf(m_query->bytesOverTime(kThreeHours, kHour, keyOf(Grouping::Program, QStringLiteral("firefox")))),
              (std::vector<quint64>{6000, 0, 4500}));
    EXPECT_EQ(m_query->bytesOverTime(kThreeHours, 0.001).size(), HistoryQuery::kBucketLimit);
}
