// SPDX-License-Identifier: MIT
// Matching conversations to sockets and sockets to processes, on tables the tests write.

#include "capture/AsyncProcessAttribution.h"
#include "capture/ProcessAttribution.h"

#include "QStringPrinting.h"

#include <gtest/gtest.h>

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <map>
#include <ranges>
#include <thread>

using Conversation = ProcessAttribution::Conversation;

namespace {
constexpr std::uint32_t kViewer = 1000;
constexpr std::uint32_t kPostgres = 26;
constexpr std::uint8_t kStateSynSent = 2;

StreamEndpoint v4(std::uint32_t address, std::uint16_t port)
{
    return StreamEndpoint::ipv4(address, port);
}

// 2001:db8::<last>, or :: for 0.
StreamEndpoint v6(std::uint8_t last, std::uint16_t port)
{
    StreamEndpoint endpoint{{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, last}, port};
    if (last == 0)
        endpoint.address = {};
    return endpoint;
}

SocketTableEntry socket(std::uint8_t protocol, StreamEndpoint local, StreamEndpoint remote, std::uint64_t inode,
                        std::uint8_t state = SocketTable::kStateEstablished, std::uint32_t uid = kViewer)
{
    return {.localAddress = local.address,
            .remoteAddress = remote.address,
            .inode = inode,
            .uid = uid,
            .localPort = local.port,
            .remotePort = remote.port,
            .protocol = protocol,
            .state = state};
}

// A socket with no peer: listening TCP or unconnected UDP.
SocketTableEntry bound(std::uint8_t protocol, StreamEndpoint local, std::uint64_t inode, std::uint32_t uid = kViewer)
{
    const bool ipv6 = local.address[10] != 0xFF;
    const std::uint8_t state = protocol == IPPROTO_TCP ? SocketTable::kStateListen : SocketTable::kStateClose;
    SocketTableEntry entry = socket(protocol, local, ipv6 ? v6(0, 0) : v4(0, 0), inode, state, uid);
    entry.ipv6Socket = ipv6;
    return entry;
}

Conversation tcp(StreamEndpoint first, StreamEndpoint second)
{
    return {IPPROTO_TCP, first, second};
}

Conversation udp(StreamEndpoint first, StreamEndpoint second)
{
    return {IPPROTO_UDP, first, second};
}

// A machine as the tables show it. Tables may change only while no worker reads them.
struct FakeMachine
{
    std::vector<SocketTableEntry> sockets;
    std::map<int, ProcessSockets> processes;
    std::atomic<int> socketReadings{0};
    std::atomic<int> processReadings{0};

    void run(int pid, const char *name, std::vector<std::uint64_t> inodes, bool readable = true)
    {
        processes[pid] = ProcessSockets{QString::fromLatin1(name), std::move(inodes), readable};
    }

    ProcessAttribution::Sources sources(bool asRoot = false)
    {
        ProcessAttribution::Sources made;
        made.sockets = [this] {
            ++socketReadings;
            return sockets;
        };
        made.processIds = [this] {
            const auto pids = std::views::keys(processes);
            return std::vector<int>(pids.begin(), pids.end());
        };
        made.readProcess = [this](int pid) -> std::optional<ProcessSockets> {
            ++processReadings;
            const auto found = processes.find(pid);
            return found == processes.end() ? std::nullopt : std::optional(found->second);
        };
        made.userName = [](std::uint32_t uid) { return uid == kPostgres ? QStringLiteral("postgres") : QString(); };
        made.viewerUid = asRoot ? 0 : kViewer;
        made.inspectsEveryProcess = asRoot;
        return made;
    }
};

constexpr std::uint32_t kHost = 0xC0A80102;   // 192.168.1.2
constexpr std::uint32_t kOther = 0xC0A80103;  // 192.168.1.3
constexpr std::uint32_t kRemote = 0x0A000005; // 10.0.0.5
constexpr std::uint32_t kGroup = 0xE00000FB;  // 224.0.0.251
} // namespace

TEST(ProcessAttributionMatching, ExactSocketThenBoundAddressThenAnyAddressInEitherOrder)
{
    FakeMachine machine;
    machine.sockets = {
        bound(IPPROTO_UDP, v4(0, 5353), 11),
        bound(IPPROTO_UDP, v4(kHost, 5353), 12),
        socket(IPPROTO_UDP, v4(kHost, 5353), v4(kGroup, 5353), 13),
    };
    machine.run(101, "avahi", {11});
    machine.run(102, "mdnsd", {12});
    machine.run(103, "resolver", {13});
    ProcessAttribution attribution(machine.sources());

    EXPECT_EQ(attribution.attribute(udp(v4(kHost, 5353), v4(kGroup, 5353))), "resolver (103)");
    EXPECT_EQ(attribution.attribute(udp(v4(kGroup, 5353), v4(kHost, 5353))), "resolver (103)");
    EXPECT_EQ(attribution.attribute(udp(v4(kRemote, 5353), v4(kHost, 5353))), "mdnsd (102)");
    EXPECT_EQ(attribution.attribute(udp(v4(kRemote, 5353), v4(kOther, 5353))), "avahi (101)");
    EXPECT_EQ(attribution.attribute(tcp(v4(kHost, 5353), v4(kGroup, 5353))), "") << "another protocol";
    EXPECT_EQ(attribution.attribute(udp(v4(kRemote, 1000), v4(kOther, 2000))), "") << "a foreign conversation";
}

TEST(ProcessAttributionMatching, TcpTakesTheEstablishedSocketAndTheListenerOnlyWithoutOne)
{
    FakeMachine machine;
    machine.sockets = {
        bound(IPPROTO_TCP, v4(0, 22), 21), socket(IPPROTO_TCP, v4(kHost, 22), v4(kRemote, 50000), 22),
        socket(IPPROTO_TCP, v4(kHost, 22), v4(kRemote, 50001), 0),                  // not yet accepted
        socket(IPPROTO_TCP, v4(kHost, 23), v4(0, 0), 23, SocketTable::kStateClose), // bound, never listened
    };
    machine.run(200, "sshd", {21});
    machine.run(201, "sshd-session", {22});
    ProcessAttribution attribution(machine.sources());

    EXPECT_EQ(attribution.attribute(tcp(v4(kRemote, 50000), v4(kHost, 22))), "sshd-session (201)");
    EXPECT_EQ(attribution.attribute(tcp(v4(kHost, 22), v4(kRemote, 50001))), "sshd (200)");
    EXPECT_EQ(attribution.attribute(tcp(v4(kHost, 23), v4(kRemote, 50002))), "");
}

TEST(ProcessAttributionMatching, Ipv4MappedAndDualStackSocketsTakeIpv4Conversations)
{
    FakeMachine machine;
    SocketTableEntry mapped = bound(IPPROTO_TCP, v4(0x7F000001, 8443), 31);
    mapped.ipv6Socket = true; // an AF_INET6 socket bound to ::ffff:127.0.0.1
    SocketTableEntry ipv6Only = bound(IPPROTO_TCP, v6(0, 443), 33);
    ipv6Only.ipv6Only = true;
    machine.sockets = {mapped, bound(IPPROTO_TCP, v6(0, 80), 32), ipv6Only, bound(IPPROTO_UDP, v4(0, 53), 34)};
    machine.run(300, "proxy", {31});
    machine.run(301, "web", {32});
    machine.run(302, "web6", {33});
    machine.run(303, "dns", {34});
    ProcessAttribution attribution(machine.sources());

    EXPECT_EQ(attribution.attribute(tcp(v4(0x7F000001, 8443), v4(0x7F000001, 40000))), "proxy (300)");
    EXPECT_EQ(attribution.attribute(tcp(v4(kHost, 80), v4(kRemote, 40001))), "web (301)");
    EXPECT_EQ(attribution.attribute(tcp(v6(2, 80), v6(9, 40002))), "web (301)");
    EXPECT_EQ(attribution.attribute(tcp(v4(kHost, 443), v4(kRemote, 40003))), "") << "IPv6-only";
    EXPECT_EQ(attribution.attribute(tcp(v6(2, 443), v6(9, 40004))), "web6 (302)");
    EXPECT_EQ(attribution.attribute(udp(v6(2, 53), v6(9, 40005))), "") << "an IPv4 socket takes no IPv6";
}

TEST(ProcessAttributionMatching, LeftoversNeverWinAndReusedPortsGoToTheNewProcessAfterARefresh)
{
    FakeMachine machine;
    machine.sockets = {
        socket(IPPROTO_TCP, v4(0x7F000001, 40000), v4(0x7F000001, 8080), 0, SocketTable::kStateTimeWait, 0),
        socket(IPPROTO_TCP, v4(0x7F000001, 40000), v4(0x7F000001, 8080), 41, kStateSynSent),
        bound(IPPROTO_UDP, v4(0, 9999), 42),
    };
    machine.run(400, "curl", {41});
    machine.run(401, "old", {42});
    double now = 1000.0;
    ProcessAttribution attribution(machine.sources(), std::chrono::milliseconds(200), [&] { return now; });

    EXPECT_EQ(attribution.attribute(tcp(v4(0x7F000001, 8080), v4(0x7F000001, 40000))), "curl (400)");
    EXPECT_EQ(attribution.attribute(udp(v4(kHost, 9999), v4(kRemote, 1))), "old (401)");

    machine.sockets.back().inode = 43;
    machine.processes.erase(401);
    machine.run(402, "new", {43});
    now += 0.1;
    EXPECT_EQ(attribution.attribute(udp(v4(kHost, 9999), v4(kRemote, 2))), "old (401)") << "no new reading yet";
    now += 0.1;
    EXPECT_EQ(attribution.attribute(udp(v4(kHost, 9999), v4(kRemote, 3))), "new (402)");
    EXPECT_EQ(machine.socketReadings, 2);
}

TEST(ProcessAttributionOwners, ForksOtherUsersAndSocketsNobodyHolds)
{
    FakeMachine machine;
    machine.sockets = {
        bound(IPPROTO_TCP, v4(0, 631), 51),
        bound(IPPROTO_TCP, v4(0, 5432), 52, kPostgres),
        bound(IPPROTO_TCP, v4(0, 7000), 54),
        bound(IPPROTO_TCP, v4(0, 7001), 55),
    };
    machine.run(1, "systemd", {51, 55});
    machine.run(600, "cupsd", {51});
    machine.run(601, "cupsd-worker", {51});
    machine.run(700, "postgres", {}, false);
    ProcessAttribution viewer(machine.sources());

    EXPECT_EQ(viewer.attribute(tcp(v4(kHost, 631), v4(kRemote, 1))), "cupsd (600)") << "lowest but the manager";
    EXPECT_EQ(viewer.attribute(tcp(v4(kHost, 7001), v4(kRemote, 1))), "systemd (1)") << "the manager alone";
    const int readingsBefore = machine.processReadings;
    EXPECT_EQ(viewer.attribute(tcp(v4(kHost, 5432), v4(kRemote, 1))), "other user (postgres)");
    EXPECT_EQ(machine.processReadings, readingsBefore) << "another user's processes are not searched";
    EXPECT_EQ(viewer.attribute(tcp(v4(kHost, 7000), v4(kRemote, 1))), "") << "held by no process";

    ProcessAttribution root(machine.sources(true));
    EXPECT_EQ(root.attribute(tcp(v4(kHost, 5432), v4(kRemote, 1))), "");
}

TEST(ProcessAttributionOwners, ProcessesAreReadAgainOnlyForSocketsNotYetAccountedFor)
{
    FakeMachine machine;
    for (int pid = 1000; pid < 1100; ++pid)
        machine.run(pid, "idle", {});
    machine.run(1100, "browser", {61});
    machine.sockets = {socket(IPPROTO_TCP, v4(kHost, 50000), v4(kRemote, 443), 61)};
    double now = 1000.0;
    ProcessAttribution attribution(machine.sources(), std::chrono::milliseconds(200), [&] { return now; });
    attribution.readProcesses();
    ASSERT_EQ(machine.processReadings, 101);

    EXPECT_EQ(attribution.attribute(tcp(v4(kHost, 50000), v4(kRemote, 443))), "browser (1100)");
    EXPECT_EQ(machine.processReadings, 101) << "known sockets read no process";

    machine.run(1200, "player", {62});
    machine.processes[1100].socketInodes.push_back(63);
    machine.sockets.push_back(socket(IPPROTO_UDP, v4(kHost, 40000), v4(kRemote, 53), 62));
    machine.sockets.push_back(socket(IPPROTO_TCP, v4(kHost, 50001), v4(kRemote, 443), 63));
    now += 1.0;
    EXPECT_EQ(attribution.attribute(udp(v4(kHost, 40000), v4(kRemote, 53))), "player (1200)");
    EXPECT_EQ(machine.processReadings, 102) << "only the new process";
    now += 1.0;
    EXPECT_EQ(attribution.attribute(tcp(v4(kHost, 50001), v4(kRemote, 443))), "browser (1100)");
    EXPECT_EQ(machine.processReadings, 103) << "the processes that hold sockets first";
}

TEST(AsyncProcessAttribution, AnswersOnTheWorkerAndABurstSharesFewReadings)
{
    FakeMachine machine;
    machine.sockets = {bound(IPPROTO_UDP, v4(0, 5353), 71)};
    machine.run(800, "avahi", {71});
    constexpr std::uint16_t kQuestions = 1000;
    std::vector<QString> answers(kQuestions + 1);
    std::atomic<int> answeredOnCaller{0};
    std::latch answered(kQuestions);
    {
        AsyncProcessAttribution attribution(machine.sources());
        EXPECT_FALSE(attribution.ask({IPPROTO_ICMP, v4(kHost, 0), v4(kRemote, 0)}, [](const QString &) {}));
        const std::thread::id caller = std::this_thread::get_id();
        for (std::uint16_t port = 1; port <= kQuestions; ++port) {
            ASSERT_TRUE(attribution.ask(udp(v4(kRemote, port), v4(kHost, port == 1 ? 5353 : port)),
                                        [&, port](const QString &process) {
                                            answers[port] = process;
                                            answeredOnCaller += std::this_thread::get_id() == caller ? 1 : 0;
                                            answered.count_down();
                                        }));
        }
        for (int waited = 0; waited < 1000 && !answered.try_wait(); ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(answered.try_wait());
    }
    EXPECT_EQ(answers[1], "avahi (800)");
    EXPECT_EQ(answers[2], "");
    EXPECT_EQ(answeredOnCaller, 0);
    EXPECT_LE(machine.socketReadings, 3) << "one reading for each interval, not for each question";
}
