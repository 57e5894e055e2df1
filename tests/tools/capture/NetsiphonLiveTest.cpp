// SPDX-License-Identifier: MIT
#include "FrameBuilder.h"
#include "NetworkNamespace.h"
#include "TestSockets.h"
#include "ToolProcess.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/if_packet.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <netinet/in.h>
#include <numeric>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {
const std::string kTool = QUILLMERE_BUILD_DIR "/libexec/quillmere/Netsiphon";
constexpr std::uint16_t kProbePort = 9;

PacketSummary loopbackUdp(std::uint16_t from, std::uint16_t to, std::uint16_t payload)
{
    return PacketSummary{
        1, 17, kLoopbackAddress, kLoopbackAddress, from, to, static_cast<std::uint16_t>(28 + payload), payload};
}

std::uint16_t localPort(const OwnedDescriptor &socket)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(socket.get(), reinterpret_cast<sockaddr *>(&address), &length);
    return ntohs(address.sin_port);
}

class NetsiphonLive : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!m_network.failure().empty())
            GTEST_SKIP() << m_network.failure();
    }

    // Starts the tool on the namespace's loopback and waits until its records flow.
    std::unique_ptr<ToolProcess> captureLoopback(const std::vector<std::string> &program,
                                                 bool brokenPipeSilenced = false)
    {
        auto tool = std::make_unique<ToolProcess>(m_network.commandLine(program), brokenPipeSilenced);
        m_probeSink = boundUdpSocket(m_network, kLoopbackAddress, kProbePort);
        m_prober = boundUdpSocket(m_network, kLoopbackAddress, 0);
        if (!waitUntilCapturing(*tool, [this] { sendUdp(m_prober, kLoopbackAddress, kProbePort, 1); }))
            return nullptr;
        return tool;
    }

    void probe() { sendUdp(m_prober, kLoopbackAddress, kProbePort, 1); }

    // Without traffic the tool must notice by itself; with it, at its next write.
    void expectEndsWithStatusZeroOnceOutputCloses(ToolProcess &tool, bool withTraffic)
    {
        tool.closeOutput();
        std::optional<int> status;
        for (int attempt = 0; attempt < 20 && !status; ++attempt) {
            if (withTraffic)
                probe();
            status = tool.waitForExit(100ms);
        }
        ASSERT_TRUE(status) << "still running after its reader closed the pipe";
        EXPECT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
        EXPECT_EQ(WEXITSTATUS(*status), 0);
        EXPECT_EQ(tool.standardError(), "");
    }

    NetworkNamespace m_network;
    OwnedDescriptor m_probeSink;
    OwnedDescriptor m_prober;
};

void exchangeOverTcp(const NetworkNamespace &network, std::uint16_t port, std::size_t up, std::size_t down,
                     std::uint16_t &clientPort)
{
    OwnedDescriptor listener = socketInside(network, AF_INET, SOCK_STREAM, 0);
    OwnedDescriptor client = socketInside(network, AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(kLoopbackAddress);
    address.sin_port = htons(port);
    ASSERT_EQ(bind(listener.get(), reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener.get(), 1), 0);
    ASSERT_EQ(connect(client.get(), reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    OwnedDescriptor server(accept(listener.get(), nullptr, nullptr));
    clientPort = localPort(client);

    std::vector<char> buffer(std::max(up, down), 'x');
    ASSERT_EQ(send(client.get(), buffer.data(), up, 0), static_cast<ssize_t>(up));
    ASSERT_EQ(recv(server.get(), buffer.data(), up, MSG_WAITALL), static_cast<ssize_t>(up));
    ASSERT_EQ(send(server.get(), buffer.data(), down, 0), static_cast<ssize_t>(down));
    ASSERT_EQ(recv(client.get(), buffer.data(), down, MSG_WAITALL), static_cast<ssize_t>(down));
}

std::vector<std::uint8_t> icmpEcho(std::size_t payloadBytes)
{
    std::vector<std::uint8_t> message{8, 0, 0, 0, 0x12, 0x34, 0, 1};
    message.resize(8 + payloadBytes, 0x5A);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < message.size(); i += 2)
        sum += static_cast<std::uint32_t>(message[i] << 8 | message[i + 1]);
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    message[2] = static_cast<std::uint8_t>(~sum >> 8);
    message[3] = static_cast<std::uint8_t>(~sum);
    return message;
}

std::string statusLine(pid_t pid, const std::string &key)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(key))
            return line;
    }
    return {};
}

// A leak checker, where the tool is built with one, needs a descriptor of its own at exit; a
// tool left none would end in the checker's complaint instead of its own message.
std::vector<std::string> toolWatching(const std::string &interface, bool descriptorsLimited)
{
    if (!descriptorsLimited)
        return {kTool, interface};
    const char *options = std::getenv("ASAN_OPTIONS");
    return {"env", std::string("ASAN_OPTIONS=") + (options != nullptr ? options : "") + ":detect_leaks=0", kTool,
            interface};
}

} // namespace

TEST_F(NetsiphonLive, LoopbackRecordsMatchTheUdpTcpAndIcmpPacketsSent)
{
    auto tool = captureLoopback({kTool, "lo"});
    ASSERT_TRUE(tool) << "no record for the probe datagrams";

    const OwnedDescriptor receiver = boundUdpSocket(m_network, kLoopbackAddress, 40001);
    const OwnedDescriptor sender = boundUdpSocket(m_network, kLoopbackAddress, 40000);
    for (const std::size_t payload : {0u, 1u, 1000u})
        ASSERT_TRUE(sendUdp(sender, kLoopbackAddress, 40001, payload));
    EXPECT_EQ(
        tool->readRecords(3, 3s),
        (std::vector{loopbackUdp(40000, 40001, 0), loopbackUdp(40000, 40001, 1), loopbackUdp(40000, 40001, 1000)}));
    EXPECT_TRUE(tool->readUntilQuiet(300ms).empty());

    std::uint16_t clientPort = 0;
    exchangeOverTcp(m_network, 40002, 500, 300, clientPort);
    const auto segments = tool->readUntilQuiet(500ms);
    ASSERT_GE(segments.size(), 5u); // handshake, two data segments, acknowledgements
    std::size_t upData = 0;
    std::size_t downData = 0;
    for (const PacketSummary &segment : segments) {
        EXPECT_EQ(segment.hasPorts, 1);
        EXPECT_EQ(segment.ipProtocol, 6);
        EXPECT_EQ(segment.sourceAddress, kLoopbackAddress);
        EXPECT_EQ(segment.destinationAddress, kLoopbackAddress);
        const bool up = segment.sourcePort == clientPort && segment.destinationPort == 40002;
        const bool down = segment.sourcePort == 40002 && segment.destinationPort == clientPort;
        EXPECT_TRUE(up || down) << segment.sourcePort << " -> " << segment.destinationPort;
        const int headers = segment.packetBytes - segment.dataBytes;
        EXPECT_TRUE(headers >= 40 && headers <= 80 && headers % 4 == 0) << headers;
        (up ? upData : downData) += segment.dataBytes;
    }
    EXPECT_EQ(upData, 500u);
    EXPECT_EQ(downData, 300u);

    const OwnedDescriptor icmp = socketInside(m_network, AF_INET, SOCK_RAW, IPPROTO_ICMP);
    const auto echo = icmpEcho(16);
    sockaddr_in loopback{};
    loopback.sin_family = AF_INET;
    loopback.sin_addr.s_addr = htonl(kLoopbackAddress);
    ASSERT_EQ(sendto(icmp.get(), echo.data(), echo.size(), 0, reinterpret_cast<sockaddr *>(&loopback), sizeof loopback),
              static_cast<ssize_t>(echo.size()));
    const PacketSummary icmpRecord{0, 1, kLoopbackAddress, kLoopbackAddress, 0, 0, 44, 24};
    EXPECT_EQ(tool->readRecords(2, 3s), (std::vector{icmpRecord, icmpRecord})); // request and reply
    EXPECT_EQ(tool->partialBytes(), 0u);
}

TEST_F(NetsiphonLive, FrameBeyondTheSnapshotLengthGivesNoRecord)
{
    auto tool = captureLoopback({kTool, "lo"});
    ASSERT_TRUE(tool) << "no record for the probe datagrams";
    const OwnedDescriptor receiver = boundUdpSocket(m_network, kLoopbackAddress, 40001);
    const OwnedDescriptor sender = boundUdpSocket(m_network, kLoopbackAddress, 40000);
    // 14 + 20 + 8 + 65507 bytes on the wire is past the 65536-byte snapshot; 65494 fits exactly.
    ASSERT_TRUE(sendUdp(sender, kLoopbackAddress, 40001, 65507));
    ASSERT_TRUE(sendUdp(sender, kLoopbackAddress, 40001, 65494));
    EXPECT_EQ(tool->readRecords(1, 3s), (std::vector{loopbackUdp(40000, 40001, 65494)}));
    EXPECT_TRUE(tool->readUntilQuiet(300ms).empty());
}

TEST_F(NetsiphonLive, FramesWrittenWithAPacketSocketAreDecodedAsWritten)
{
    auto tool = captureLoopback({kTool, "lo"});
    ASSERT_TRUE(tool) << "no record for the probe datagrams";
    const OwnedDescriptor packets = socketInside(m_network, AF_PACKET, SOCK_RAW, 0);
    unsigned loopbackIndex = 0;
    m_network.inside([&] { loopbackIndex = if_nametoindex("lo"); });
    ASSERT_GE(packets.get(), 0);
    ASSERT_NE(loopbackIndex, 0u);

    const std::uint32_t source = 0x0A010203;
    const std::uint32_t destination = 0x0A040506;
    std::vector<FrameBuilder> frames(6);
    frames[0].ethernet().ipv4(6, source, destination, 40).tcp(1234, 80).zeros(6); // padded to 60 bytes
    frames[1].ethernet().zeros(23);                                               // one byte short of decodable
    frames[2].ethernet().ipv4(17, source, destination, 24).u16(5353).u16(53);     // exactly decodable
    frames[3].ethernet(0x0806).zeros(28);                                         // ARP
    frames[4].ethernet(0x86DD).u16(0x6000).zeros(46);                             // IPv6
    frames[5].ethernet().ipv4(17, source, destination, 28, 5, 6).udp(1, 2, 8);    // wrong version nibble
    for (const FrameBuilder &frame : frames) {
        sockaddr_ll link{};
        link.sll_family = AF_PACKET;
        link.sll_ifindex = static_cast<int>(loopbackIndex);
        link.sll_halen = 6;
        ASSERT_EQ(sendto(packets.get(), frame.bytes().data(), frame.size(), 0, reinterpret_cast<sockaddr *>(&link),
                         sizeof link),
                  static_cast<ssize_t>(frame.size()));
    }
    const std::vector<PacketSummary> expected{
        {1, 6, source, destination, 1234, 80, 46, 6},
        {0, 0, 0, 0, 0, 0, 23, 0},
        {1, 17, source, destination, 5353, 53, 24, 65532},
        {0, 0, 0, 0, 0, 0, 28, 0},
        {0, 0, 0, 0, 0, 0, 48, 0},
        {0, 0, 0, 0, 0, 0, 28, 0},
    };
    EXPECT_EQ(tool->readRecords(expected.size(), 3s), expected);
    EXPECT_TRUE(tool->readUntilQuiet(300ms).empty());
}

TEST_F(NetsiphonLive, RawIpTunnelRecordsHaveNoLinkHeader)
{
    ASSERT_TRUE(m_network.run("ip tuntap add dev qmtun0 mode tun"));
    // Attaching to the device gives it a carrier, so packets routed to it are transmitted.
    OwnedDescriptor tunnel;
    m_network.inside([&] {
        tunnel = OwnedDescriptor(open("/dev/net/tun", O_RDWR | O_CLOEXEC));
        ifreq request{};
        request.ifr_flags = IFF_TUN | IFF_NO_PI;
        std::snprintf(request.ifr_name, IFNAMSIZ, "qmtun0");
        if (ioctl(tunnel.get(), TUNSETIFF, &request) != 0)
            tunnel = OwnedDescriptor();
    });
    ASSERT_GE(tunnel.get(), 0);
    ASSERT_TRUE(m_network.run("ip addr add 10.77.0.1/24 dev qmtun0"));
    ASSERT_TRUE(m_network.run("ip link set qmtun0 up"));

    const std::uint32_t local = 0x0A4D0001;
    const std::uint32_t remote = 0x0A4D0002;
    ToolProcess tool(m_network.commandLine({kTool, "qmtun0"}));
    const OwnedDescriptor sender = boundUdpSocket(m_network, local, 5555);
    ASSERT_TRUE(waitUntilCapturing(tool, [&] { sendUdp(sender, remote, kProbePort, 1); }));

    ASSERT_TRUE(sendUdp(sender, remote, 7777, 100)); // out through the tunnel
    FrameBuilder incoming;
    incoming.ipv4(17, remote, local, 38).udp(7777, 5555, 18).zeros(10);
    ASSERT_EQ(write(tunnel.get(), incoming.bytes().data(), incoming.size()), 38);
    FrameBuilder ipv6;
    ipv6.u16(0x6000).zeros(38).zeros(8);
    ASSERT_EQ(write(tunnel.get(), ipv6.bytes().data(), ipv6.size()), 48);

    const std::vector<PacketSummary> expected{
        {1, 17, local, remote, 5555, 7777, 128, 100},
        {1, 17, remote, local, 7777, 5555, 38, 10},
        {0, 0, 0, 0, 0, 0, 48, 0},
    };
    EXPECT_EQ(tool.readRecords(expected.size(), 3s), expected);
}

TEST_F(NetsiphonLive, IdleToolStaysSilentAndEndsWithStatusZeroOnceItsReaderIsGone)
{
    auto tool = captureLoopback({kTool, "lo"});
    ASSERT_TRUE(tool) << "no record for the probe datagrams";
    // Started by root itself the tool keeps its identity.
    EXPECT_EQ(statusLine(tool->pid(), "Uid:"), "Uid:\t0\t0\t0\t0");

    EXPECT_TRUE(tool->readUntilQuiet(1500ms).empty());
    EXPECT_TRUE(tool->running());

    expectEndsWithStatusZeroOnceOutputCloses(*tool, false);
}

TEST_F(NetsiphonLive, EndsWithStatusZeroEvenWhenStartedWithBrokenPipeIgnoredAndBlocked)
{
    auto tool = captureLoopback({kTool, "lo"}, true);
    ASSERT_TRUE(tool) << "no record for the probe datagrams";
    expectEndsWithStatusZeroOnceOutputCloses(*tool, true);
}

TEST_F(NetsiphonLive, ClosedStandardOutputIsNeverTakenByTheCaptureSocket)
{
    std::string command = "exec";
    for (const auto &word : m_network.commandLine({kTool, "lo"}))
        command += " " + word;
    ToolProcess tool({"sh", "-c", command + " >&-"});
    const std::string standardOutput = "/proc/" + std::to_string(tool.pid()) + "/fd/1";
    std::string target;
    for (int attempt = 0; attempt < 100 && target != "/dev/null"; ++attempt) {
        std::this_thread::sleep_for(50ms);
        std::error_code error;
        target = std::filesystem::read_symlink(standardOutput, error).string();
    }
    EXPECT_EQ(target, "/dev/null");
    EXPECT_TRUE(tool.running());
}

TEST_F(NetsiphonLive, AnOutputThatRefusesRecordsEndsTheToolWithTheReason)
{
    std::string command = "exec";
    for (const auto &word : m_network.commandLine({kTool, "lo"}))
        command += " " + word;
    ToolProcess tool({"sh", "-c", command + " 1</dev/null"});
    m_probeSink = boundUdpSocket(m_network, kLoopbackAddress, kProbePort);
    m_prober = boundUdpSocket(m_network, kLoopbackAddress, 0);
    std::optional<int> status;
    for (int attempt = 0; attempt < 50 && !status; ++attempt) {
        probe();
        status = tool.waitForExit(100ms);
    }
    ASSERT_TRUE(status) << "still capturing with nowhere to write";
    EXPECT_EQ(WEXITSTATUS(*status), 1);
    EXPECT_EQ(tool.standardError(), "write: Bad file descriptor\n");
}

// Removed at once, libpcap's read fails; taken down first, the capture only falls silent. A
// link that is only down may come back, so the tool waits for it. Whoever started the tool
// may lower its descriptor limit meanwhile; it must still notice. The index of a removed
// interface may be given to another, to which the capture is not bound.
TEST_F(NetsiphonLive, ARemovedInterfaceEndsTheToolWithStatusOneAndSaysSo)
{
    enum class Before { Nothing, TakenDown, DescriptorsLimited, IndexReused };
    for (const Before before : {Before::Nothing, Before::TakenDown, Before::DescriptorsLimited, Before::IndexReused}) {
        SCOPED_TRACE(static_cast<int>(before));
        ASSERT_TRUE(m_network.run("ip link add qmv0 index 4242 type veth peer name qmv1"));
        ASSERT_TRUE(m_network.run("ip link set qmv0 up"));
        ToolProcess tool(m_network.commandLine(toolWatching("qmv0", before == Before::DescriptorsLimited)));
        ASSERT_TRUE(waitUntilPolling(tool.pid()));
        if (before == Before::TakenDown || before == Before::IndexReused) {
            ASSERT_TRUE(m_network.run("ip link set qmv0 down"));
            EXPECT_FALSE(tool.waitForExit(600ms)) << tool.standardError();
        }
        if (before == Before::DescriptorsLimited) {
            const rlimit none{0, 0};
            ASSERT_EQ(prlimit(tool.pid(), RLIMIT_NOFILE, &none, nullptr), 0) << std::strerror(errno);
        }
        ASSERT_TRUE(m_network.run("ip link del qmv0"));
        if (before == Before::IndexReused) {
            ASSERT_TRUE(m_network.run("ip link add qmx0 index 4242 type veth peer name qmx1"));
        }
        // The tool asks at the end of its wait (a second when idle); the rest is margin.
        const std::optional<int> status = tool.waitForExit(3s);
        ASSERT_TRUE(status) << "still capturing on a removed interface";
        EXPECT_EQ(WEXITSTATUS(*status), 1);
        EXPECT_EQ(tool.standardError(), "qmv0: the interface has been removed; the capture has ended\n");
        if (before == Before::IndexReused) {
            ASSERT_TRUE(m_network.run("ip link del qmx0"));
        }
    }
}
