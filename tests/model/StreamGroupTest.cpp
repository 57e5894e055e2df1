// SPDX-License-Identifier: MIT
#include "model/StreamGroup.h"
#include "TestEndpoints.h"
#include "model/SearchWords.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

std::shared_ptr<Stream> stream(const EndpointText &destination, const char *process, quint32 up, quint32 down)
{
    auto made = Stream::streamWithSource(endpointAt("192.168.1.2", 40000), destination, QStringLiteral("TCP"), false);
    made->setProcess(QString::fromUtf8(process));
    made->addUpBytes(up);
    made->addUpDataBytes(up / 2);
    made->addDownBytes(down);
    return made;
}

struct GroupCase
{
    StreamGroup::By by;
    QStringList labels;
    std::vector<std::size_t> sizes;
    std::vector<quint64> upBytes;
};

} // namespace

// Two processes of one program make one group; streams without a program make one of their
// own; by host, the remote (destination) side counts, named or not.
TEST(StreamGroup, GroupsByProgramNameOrRemoteHostAndSumsTheirFigures)
{
    Clock::freezeAt(5000.0);
    const std::vector<std::shared_ptr<Stream>> streams{
        stream(endpointAt("10.0.0.9", 443), "firefox (100)", 1000, 10),
        stream(namedEndpoint(QStringLiteral("example.net"), "10.0.0.8", 443), "firefox (200)", 500, 20),
        stream(endpointAt("10.0.0.9", 53), "", 0, 300),
        stream(endpointAt("10.0.0.9", 80), "curl (300)", 40, 2000),
    };
    Clock::advance(2.0);
    const std::vector<GroupCase> cases{
        {StreamGroup::By::Program, {"firefox", "No program", "curl"}, {2, 1, 1}, {1500, 0, 40}},
        {StreamGroup::By::RemoteHost, {"10.0.0.9", "example.net"}, {3, 1}, {1040, 500}},
    };
    for (const GroupCase &wanted : cases) {
        SCOPED_TRACE(StreamGroup::nameOf(wanted.by).data());
        const std::vector<StreamGroup> groups = StreamGroup::grouped(streams, wanted.by);
        ASSERT_EQ(groups.size(), wanted.labels.size());
        for (std::size_t at = 0; at < groups.size(); ++at) {
            const StreamGroup &group = groups[at];
            EXPECT_EQ(group.label(), wanted.labels[static_cast<qsizetype>(at)]);
            EXPECT_EQ(group.streams().size(), wanted.sizes[at]);
            EXPECT_EQ(group.value(Stream::Key::LifetimeUpBytes).toULongLong(), wanted.upBytes[at]);
            EXPECT_EQ(group.value(Stream::Key::LifetimeUpDataBytes).toULongLong(), wanted.upBytes[at] / 2);
            double speed = 0.0;
            for (const auto &member : group.streams())
                speed += member->upSpeedNumber() + member->downSpeedNumber();
            EXPECT_DOUBLE_EQ(group.speed(), speed);
            EXPECT_FALSE(group.value(Stream::Key::Source).isValid());
        }
    }
    const StreamGroup none = StreamGroup::grouped(streams, StreamGroup::By::Program)[1];
    EXPECT_TRUE(none.key().isEmpty());
    const auto inLabel = [&none](QStringView word) { return none.labelContains(word); };
    EXPECT_TRUE(SearchWords(QStringLiteral("program")).matches(inLabel));
    EXPECT_FALSE(SearchWords(QStringLiteral("-program")).matches(inLabel));
    EXPECT_EQ(StreamGroup::byNamed(u"host"), StreamGroup::By::RemoteHost);
    EXPECT_FALSE(StreamGroup::byNamed(u"Program"));
    Clock::useSystemTime();
}
