// SPDX-License-Identifier: MIT
#include "capture/StreamTable.h"

#include "CaptureTestSupport.h"
#include "capture/AsyncProcessAttribution.h"
#include "capture/NewStreamAnnouncement.h"
#include "logging/StreamEventLog.h"
#include "model/Stream.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <netinet/in.h>

#include <future>
#include <string_view>
#include <thread>

namespace {

class StreamTableTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureApplicationAndPrivatePreferences();
        Clock::freezeAt(700000000.0);
        ASSERT_TRUE(m_log.startLoggingToFile(m_folder.filePath(QStringLiteral("log.txt"))));
        m_log.setLogFormatNewStream(QStringLiteral("new __source__ __destination__ __protocol__ __lifetimeUpBytes__"));
        m_log.setLogFormatStreamClosed(QStringLiteral("closed __source__"));
    }
    void TearDown() override { Clock::useSystemTime(); }

    void add(const PacketSummary &summary)
    {
        m_table.updateWithSummary(PacketSummaryV2::widened(summary), Clock::now(), m_log);
        m_log.writeQueuedLines();
    }
    StreamTable::Cycle cycle(double removeInterval = 10.0)
    {
        StreamTable::Cycle result = m_table.runCycle(Clock::now(), removeInterval, m_log);
        m_log.writeQueuedLines();
        return result;
    }
    QList<QByteArray> logLines() const { return fileLines(m_folder.filePath(QStringLiteral("log.txt"))); }
    // A TCP segment between this machine's port 50000 and the remote's 80, with its flags.
    void addTcp(bool fromHere, const char *flags, std::uint16_t packetBytes = 52)
    {
        PacketSummaryV2 segment
            = PacketSummaryV2::widened(fromHere ? record(6, kLoopback, 50000, kRemote, 80, packetBytes, 0)
                                                : record(6, kRemote, 80, kLoopback, 50000, packetBytes, 0));
        const std::string_view set(flags);
        segment.syn = set.find('S') != set.npos;
        segment.fin = set.find('F') != set.npos;
        segment.reset = set.find('R') != set.npos;
        m_table.updateWithSummary(segment, Clock::now(), m_log);
        m_log.writeQueuedLines();
    }

    QTemporaryDir m_folder;
    StreamEventLog m_log;
    StreamTable m_table{false, &loopbackOnlyHost};
};

struct Counts
{
    quint64 up, down, upData, downData;
    friend bool operator==(const Counts &, const Counts &) = default;
};

Counts countsOf(const Stream &stream)
{
    return {stream.lifetimeUpBytes(), stream.lifetimeDownBytes(), stream.lifetimeUpDataBytes(),
            stream.lifetimeDownDataBytes()};
}

// One program, avahi (800), holding a UDP socket bound to port 5353 of every address; the
// tables are read once `ready` is set.
ProcessAttribution::Sources avahiOn5353(std::shared_future<void> ready)
{
    ProcessAttribution::Sources sources;
    sources.sockets = [ready] {
        ready.wait();
        SocketTableEntry bound{.localAddress = PacketSummaryV2::ipv4Mapped(0),
                               .remoteAddress = PacketSummaryV2::ipv4Mapped(0),
                               .inode = 71,
                               .localPort = 5353,
                               .protocol = IPPROTO_UDP,
                               .state = 7};
        return std::vector{bound};
    };
    sources.processIds = [] { return std::vector{800}; };
    sources.readProcess = [](int) { return std::optional(ProcessSockets{QStringLiteral("avahi"), {71}, true}); };
    sources.userName = [](std::uint32_t) { return QString(); };
    return sources;
}

} // namespace

TEST_F(StreamTableTest, ConversationsGroupByEndpointsAndProtocolWhicheverWayThePacketsGo)
{
    add(record(6, kOtherRemote, 49152, kRemote, 80, 60, 20));
    add(record(6, kRemote, 80, kOtherRemote, 49152, 100, 60));
    add(record(17, kOtherRemote, 49152, kRemote, 80, 50, 22));
    add(record(6, kOtherRemote, 49153, kRemote, 80, 40, 0));

    const auto copies = cycle().copies;
    ASSERT_EQ(copies.size(), 3u);
    // Neither side is this machine's: the first packet's sender is the source, and up is
    // what it sends.
    EXPECT_EQ(copies[0]->source(), "192.168.1.20:49152");
    EXPECT_EQ(copies[0]->destination(), "10.9.8.7:80");
    EXPECT_EQ(copies[0]->protocol(), "TCP");
    EXPECT_EQ(countsOf(*copies[0]), (Counts{60, 100, 20, 60}));
    EXPECT_EQ(copies[1]->protocol(), "UDP");
    EXPECT_EQ(copies[2]->source(), "192.168.1.20:49153");
}

TEST_F(StreamTableTest, TheEndpointThatLooksLocalIsTheSourceAndUpIsWhatItSends)
{
    // The reply arrives first: this machine's end still becomes the source.
    add(record(17, kRemote, 53, kLoopback, 50000, 128, 100));
    add(record(17, kLoopback, 50000, kRemote, 53, 48, 20));
    // Both ends on this machine score alike: the first sender is the source.
    add(record(6, kLoopback, 631, kLoopback, 50001, 52, 0));
    add(record(6, kLoopback, 50001, kLoopback, 631, 70, 18));
    // A conversation of an endpoint with itself counts up.
    add(record(17, kLoopback, 5000, kLoopback, 5000, 30, 2));
    add(record(17, kLoopback, 5000, kLoopback, 5000, 31, 3));

    const auto copies = cycle().copies;
    ASSERT_EQ(copies.size(), 3u);
    EXPECT_EQ(copies[0]->source(), "127.0.0.1:50000");
    EXPECT_EQ(copies[0]->destination(), "10.9.8.7:53");
    EXPECT_EQ(countsOf(*copies[0]), (Counts{48, 128, 20, 100}));
    EXPECT_EQ(copies[1]->source(), "127.0.0.1:631");
    EXPECT_EQ(countsOf(*copies[1]), (Counts{52, 70, 0, 18}));
    EXPECT_EQ(countsOf(*copies[2]), (Counts{61, 0, 5, 0}));
}

TEST_F(StreamTableTest, RecordsWithoutPortsShareOneUnannouncedOtherStream)
{
    add(record(1, kLoopback, 0, kRemote, 0, 84, 64));
    add(record(1, kRemote, 0, kLoopback, 0, 84, 64));
    add(record(47, kOtherRemote, 0, kRemote, 0, 100, 80));
    // Ports, but neither TCP nor UDP: its own stream, shown with protocol "*", not announced.
    add(PacketSummary{1, 132, kRemote, kOtherRemote, 9, 9, 40, 28});
    add(record(17, kRemote, 1, kOtherRemote, 2, 30, 2));

    const StreamTable::Cycle result = cycle();
    ASSERT_EQ(result.copies.size(), 3u);
    const Stream &other = *result.copies[0];
    EXPECT_EQ(other.source(), "Other");
    EXPECT_EQ(other.destination(), "Other");
    EXPECT_EQ(other.protocol(), "*");
    // Up is what this machine's own addresses send.
    EXPECT_EQ(countsOf(other), (Counts{84, 184, 64, 144}));
    EXPECT_EQ(result.copies[1]->protocol(), "*");
    EXPECT_EQ(logLines(), QList<QByteArray>{"new 10.9.8.7:1 192.168.1.20:2 UDP 0"});
    EXPECT_EQ(result.totals.otherStreams, 2);
    EXPECT_EQ(result.totals.udpStreams, 1);
    EXPECT_EQ(result.totals.upBytes, 84u + 40 + 30);
    EXPECT_EQ(result.totals.downBytes, 184u);
}

TEST_F(StreamTableTest, IdleStreamsLeaveLastFirstAfterStrictlyMoreThanTheRemoveInterval)
{
    for (std::uint16_t port = 1; port <= 3; ++port) {
        add(record(17, kRemote, port, kOtherRemote, 7, 30, 2));
        Clock::advance(1.0);
    }
    // Idle for 12, 11 and 10 seconds.
    Clock::advance(9.0);
    const StreamTable::Cycle result = cycle(10.0);
    ASSERT_EQ(result.copies.size(), 1u);
    EXPECT_EQ(result.copies[0]->source(), "10.9.8.7:3");
    EXPECT_EQ(logLines().mid(3), (QList<QByteArray>{"closed 10.9.8.7:2", "closed 10.9.8.7:1"}));
    // Expired streams still count in the totals; a returning conversation is new again.
    EXPECT_EQ(result.totals.upBytes, 90u);
    add(record(17, kRemote, 3, kOtherRemote, 7, 30, 2));
    add(record(17, kRemote, 1, kOtherRemote, 7, 30, 2));
    EXPECT_EQ(logLines().size(), 6);
    const auto after = cycle(10.0).copies;
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0]->lifetimeUpBytes(), 60u);
}

TEST_F(StreamTableTest, CopiesCarryTheIntervalThatEndedAndTheLiveStreamsStartANewOne)
{
    add(record(17, kRemote, 1, kOtherRemote, 7, 1000, 972));
    Clock::advance(2.0);
    const auto first = cycle().copies;
    EXPECT_EQ(first[0]->totalUpBytes(), 1000u);
    EXPECT_DOUBLE_EQ(first[0]->upSpeedNumber(), 500.0);
    const auto second = cycle().copies;
    EXPECT_EQ(second[0]->totalUpBytes(), 0u);
    EXPECT_EQ(second[0]->lifetimeUpBytes(), 1000u);
}

TEST_F(StreamTableTest, PastTheStreamLimitNewConversationsCountOnTheOtherStream)
{
    m_table.setStreamLimit(2);
    m_log.setLogFormatStreamClosed(QStringLiteral("closed __source__ __lifetimeDownBytes__"));
    add(record(17, kRemote, 1, kOtherRemote, 7, 30, 2));
    add(record(17, kRemote, 2, kOtherRemote, 7, 40, 12));
    add(record(17, kRemote, 3, kOtherRemote, 7, 50, 22));
    add(record(17, kRemote, 4, kOtherRemote, 7, 60, 32));
    add(record(17, kRemote, 1, kOtherRemote, 7, 30, 2)); // a known conversation still counts on its own
    StreamTable::Cycle result = cycle();
    ASSERT_EQ(result.copies.size(), 3u);
    EXPECT_EQ(result.copies[2]->source(), "Other");
    EXPECT_EQ(result.copies[2]->lifetimeDownBytes(), 110u);
    EXPECT_EQ(result.copies[0]->lifetimeUpBytes(), 60u);
    EXPECT_EQ(result.totals.foldedRecords, 2u);
    EXPECT_EQ(logLines().size(), 2) << "folded conversations are not announced";

    Clock::advance(11.0);
    result = cycle();
    EXPECT_TRUE(result.copies.empty());
    EXPECT_TRUE(logLines().contains("closed Other 110"));
}

TEST_F(StreamTableTest, IPv6ConversationsAreStreamsOfTheirOwnShownInBrackets)
{
    const PacketSummaryV2::Address loopback6{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    const PacketSummaryV2::Address remote6{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5};
    PacketSummaryV2 reply;
    reply.ipVersion = 6;
    reply.hasPorts = true;
    reply.ipProtocol = 6;
    reply.sourceAddress = remote6;
    reply.destinationAddress = loopback6;
    reply.sourcePort = 443;
    reply.destinationPort = 50000;
    reply.packetBytes = 70000;
    reply.dataBytes = 69940;
    m_table.updateWithSummary(reply, Clock::now(), m_log);
    PacketSummaryV2 request = reply;
    std::swap(request.sourceAddress, request.destinationAddress);
    std::swap(request.sourcePort, request.destinationPort);
    request.packetBytes = 80;
    request.dataBytes = 20;
    m_table.updateWithSummary(request, Clock::now(), m_log);
    add(record(6, kLoopback, 50000, kRemote, 443, 40, 0));
    m_log.writeQueuedLines();

    const auto copies = cycle().copies;
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(copies[0]->source(), "[::1]:50000");
    EXPECT_EQ(copies[0]->destination(), "[2001:db8::5]:443");
    EXPECT_EQ(countsOf(*copies[0]), (Counts{80, 70000, 20, 69940}));
    EXPECT_TRUE(copies[0]->matchesFilter(u"2001:db8"));
    EXPECT_EQ(logLines().first(), "new [::1]:50000 [2001:db8::5]:443 TCP 0");
}

// A run of many conversations, each once each way and interleaved as a busy link delivers
// them: every record counts on its own stream in its own direction however the table finds
// it, also once some streams have left and a conversation comes back.
TEST_F(StreamTableTest, InterleavedConversationsCountOnTheirOwnStreamsAlsoAfterSomeLeftAndOneCameBack)
{
    constexpr std::uint16_t kConversations = 3000;
    std::vector<PacketSummaryV2> run;
    for (int round = 0; round < 2; ++round)
        for (std::uint16_t port = 1; port <= kConversations; ++port)
            run.push_back(PacketSummaryV2::widened((port + round) % 2 == 1
                                                       ? record(17, kRemote, 53, kLoopback, port, 100, 72)
                                                       : record(17, kLoopback, port, kRemote, 53, 60, 32)));
    m_table.updateWithSummaries(run, Clock::now(), m_log);
    const auto copies = cycle().copies;
    ASSERT_EQ(copies.size(), kConversations);
    for (const auto &stream : copies) {
        SCOPED_TRACE(stream->source().toStdString());
        EXPECT_EQ(stream->destination(), "10.9.8.7:53");
        EXPECT_EQ(countsOf(*stream), (Counts{60, 100, 32, 72}));
    }

    // Half of them go on, the other half fall idle and leave, and one of those comes back.
    constexpr std::size_t kHalf = kConversations / 2;
    Clock::advance(6.0);
    m_table.updateWithSummaries(std::span(run).first(kHalf), Clock::now(), m_log);
    Clock::advance(6.0);
    EXPECT_EQ(cycle().copies.size(), kHalf);
    m_table.updateWithSummaries(std::span(run).subspan(kHalf, 1), Clock::now(), m_log);
    const auto later = cycle().copies;
    ASSERT_EQ(later.size(), kHalf + 1);
    EXPECT_EQ(countsOf(*later.front()), (Counts{60, 200, 32, 144}));
    EXPECT_EQ(later.back()->source(), "127.0.0.1:1501");
    EXPECT_EQ(countsOf(*later.back()), (Counts{0, 100, 0, 72}));
}

// Copies of two cycles ago are written over only once nobody holds them: a copy kept (here as
// a window would keep it) stays as it was, and every cycle's copies show that cycle's counts.
TEST_F(StreamTableTest, ACycleNeverRewritesACopyStillHeld)
{
    add(record(17, kLoopback, 5000, kRemote, 53, 100, 80));
    const std::shared_ptr<Stream> kept = cycle().copies.at(0);
    std::shared_ptr<Stream> last;
    for (quint64 n = 1; n <= 3; ++n) {
        add(record(17, kRemote, 53, kLoopback, 5000, 10, 2));
        last = cycle().copies.at(0);
        EXPECT_EQ(countsOf(*last), (Counts{100, 10 * n, 80, 2 * n}));
        EXPECT_NE(last, kept);
    }
    EXPECT_EQ(countsOf(*kept), (Counts{100, 0, 80, 0}));
    EXPECT_EQ(last->serial(), kept->serial());
}

// A machine's addresses change (a new lease, an interface coming up) between cycles.
TEST(StreamTableOwnAddresses, TheOtherStreamsDirectionFollowsTheAddressesOfEachCycle)
{
    ensureApplicationAndPrivatePreferences();
    std::uint32_t own = kRemote;
    StreamTable table(false, [&own] {
        auto host = std::make_shared<CurrentHost::Snapshot>();
        host->binaryAddresses = {PacketSummaryV2::ipv4Mapped(own)};
        return std::shared_ptr<const CurrentHost::Snapshot>(host);
    });
    StreamEventLog log;
    const auto countFromRemote = [&] {
        table.updateWithSummary(PacketSummaryV2::widened(record(1, kRemote, 0, kOtherRemote, 0, 100, 80)), Clock::now(),
                                log);
        return countsOf(*table.runCycle(Clock::now(), 10.0, log).copies.at(0));
    };
    EXPECT_EQ(countFromRemote(), (Counts{100, 0, 80, 0}));
    own = kOtherRemote;
    table.runCycle(Clock::now(), 10.0, log);
    EXPECT_EQ(countFromRemote(), (Counts{100, 100, 80, 80}));
}

// As today by default: a silent connection leaves by the remove interval. What comes after
// it left, from the FIN on, is its tail and no new stream; a SYN begins one.
TEST_F(StreamTableTest, TheTailOfATcpConnectionThatLeftIsNoNewStream)
{
    m_log.setLogFormatStreamClosed(QStringLiteral("closed __source__ __closeReason__"));
    addTcp(true, "S");
    addTcp(false, "SA");
    Clock::advance(11.0);
    EXPECT_TRUE(cycle().copies.empty());
    for (const bool fromHere : {false, true})
        addTcp(fromHere, "FA");
    addTcp(false, "A");
    const StreamTable::Cycle after = cycle();
    EXPECT_TRUE(after.copies.empty());
    EXPECT_EQ(after.totals.upBytes + after.totals.downBytes, 5u * 52);
    EXPECT_EQ(logLines().mid(1), QList<QByteArray>{"closed 127.0.0.1:50000 idle"});
    addTcp(true, "S");
    EXPECT_EQ(cycle().copies.size(), 1u);
}

// Kept, a connection seen from its SYN outlasts the remove interval until its end, shows
// ended for one cycle and then leaves, its line telling why; one seen only from its middle,
// and UDP, leave by the remove interval as before.
TEST_F(StreamTableTest, KeptTcpConnectionsStayUntilFinBothWaysResetOrTheIdleLimit)
{
    m_log.setLogFormatStreamClosed(QStringLiteral("closed __protocol__ __closeReason__"));
    m_table.setTcpConnectionKeeping(true, 100.0);
    struct Case
    {
        const char *name;
        std::vector<std::pair<bool, const char *>> ending; // segments after 50 s of silence
        double laterSilence;
        QByteArray line;
    };
    const std::vector<Case> cases{
        {"FIN both ways", {{true, "FA"}, {false, "FA"}, {true, "A"}}, 0.0, "closed TCP closed"},
        {"reset", {{false, "R"}}, 0.0, "closed TCP reset"},
        {"idle past the limit", {}, 51.0, "closed TCP idle"},
    };
    for (const Case &each : cases) {
        SCOPED_TRACE(each.name);
        const qsizetype linesBefore = logLines().size();
        addTcp(true, "S");
        Clock::advance(50.0);
        ASSERT_EQ(cycle().copies.size(), 1u);
        for (const auto &[fromHere, flags] : each.ending)
            addTcp(fromHere, flags);
        Clock::advance(each.laterSilence);
        const auto copies = cycle().copies;
        if (!each.ending.empty()) {
            ASSERT_EQ(copies.size(), 1u);
            EXPECT_TRUE(copies[0]->hasEnded());
            EXPECT_EQ(logLines().size(), linesBefore + 1) << "left before it showed ended";
            EXPECT_TRUE(cycle().copies.empty());
        } else {
            EXPECT_TRUE(copies.empty());
        }
        EXPECT_EQ(logLines().mid(linesBefore + 1), QList<QByteArray>{each.line});
    }
    addTcp(true, "A");
    add(record(17, kLoopback, 5353, kRemote, 53, 40, 12));
    Clock::advance(11.0);
    EXPECT_TRUE(cycle().copies.empty());
}

// The new-stream line waits for the answer about the stream's program, but only so long: at
// the deadline it goes out without one, and an answer after that writes nothing more.
TEST_F(StreamTableTest, TheNewStreamLineWaitsBrieflyForTheStreamsProgram)
{
    m_log.setLogFormatNewStream(QStringLiteral("new __source__ __process__"));
    std::promise<void> tablesReadable;
    std::shared_future<void> ready = tablesReadable.get_future().share();
    {
        std::promise<void> at;
        at.set_value();
        AsyncProcessAttribution attribution(avahiOn5353(at.get_future().share()));
        m_table.setProcessAttribution(&attribution);
        add(record(17, kLoopback, 5353, kRemote, 53, 40, 12));
        EXPECT_TRUE(processEventsUntil([&] { return logLines().size() == 1; }));
        m_table.setProcessAttribution(nullptr);
    }
    AsyncProcessAttribution stalled(avahiOn5353(ready));
    m_table.setProcessAttribution(&stalled);
    add(record(17, kLoopback, 5354, kRemote, 53, 40, 12));
    Clock::advance(NewStreamAnnouncement::kProcessWaitSeconds / 2);
    cycle();
    EXPECT_FALSE(processEventsUntil([&] { return logLines().size() > 1; }, std::chrono::milliseconds(200)))
        << "went out before its deadline";
    Clock::advance(NewStreamAnnouncement::kProcessWaitSeconds);
    cycle();
    tablesReadable.set_value();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    m_table.setProcessAttribution(nullptr);
    EXPECT_EQ(logLines(), (QList<QByteArray>{"new 127.0.0.1:5353 avahi (800)", "new 127.0.0.1:5354 "}));
}
