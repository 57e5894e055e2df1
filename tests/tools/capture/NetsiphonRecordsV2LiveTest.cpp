// SPDX-License-Identifier: MIT
#include "NetworkNamespace.h"
#include "RecordV2Helpers.h"
#include "TestSockets.h"
#include "ToolProcess.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {
const std::string kTool = QUILLMERE_BUILD_DIR "/libexec/quillmere/Netsiphon";
constexpr std::uint16_t kProbePort = 9;
constexpr PacketSummaryV2::Address kLoopback6{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
constexpr std::uint8_t kTcp = 6;
constexpr std::uint8_t kUdp = 17;

PacketSummaryV2 loopbackRecord(std::uint8_t ipVersion, std::uint8_t protocol, std::uint32_t packetBytes,
                               std::uint32_t dataBytes)
{
    const auto address = ipVersion == 6 ? kLoopback6 : PacketSummaryV2::ipv4Mapped(kLoopbackAddress);
    return {.ipVersion = ipVersion,
            .ipProtocol = protocol,
            .sourceAddress = address,
            .destinationAddress = address,
            .packetBytes = packetBytes,
            .dataBytes = dataBytes};
}

sockaddr_in6 loopback6(std::uint16_t port)
{
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    address.sin6_port = htons(port);
    return address;
}

OwnedDescriptor boundUdp6(const NetworkNamespace &network, std::uint16_t port)
{
    OwnedDescriptor udp = socketInside(network, AF_INET6, SOCK_DGRAM, 0);
    const sockaddr_in6 local = loopback6(port);
    if (bind(udp.get(), reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0)
        return OwnedDescriptor();
    return udp;
}

bool sendUdp6(const OwnedDescriptor &socket, std::uint16_t port, std::size_t payloadBytes)
{
    const std::vector<char> payload(payloadBytes, 'q');
    const sockaddr_in6 remote = loopback6(port);
    return sendto(socket.get(), payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr *>(&remote),
                  sizeof remote)
        == static_cast<ssize_t>(payloadBytes);
}

// Sends `size` bytes and receives them on the other end at the same time, so a large send
// cannot stall on full buffers. Nothing to send is no transfer: a receive of nothing waits.
void transfer(const OwnedDescriptor &from, const OwnedDescriptor &to, std::size_t size)
{
    if (size == 0)
        return;
    std::vector<char> outgoing(size, 'x');
    std::vector<char> incoming(size);
    ssize_t received = 0;
    std::thread reader([&] { received = recv(to.get(), incoming.data(), size, MSG_WAITALL); });
    const ssize_t sent = send(from.get(), outgoing.data(), size, 0);
    reader.join();
    ASSERT_EQ(sent, static_cast<ssize_t>(size));
    ASSERT_EQ(received, static_cast<ssize_t>(size));
}

// Connects to [::1]:port, sends `up` bytes and `down` bytes back; returns the client's port.
std::uint16_t exchangeOverTcp6(const NetworkNamespace &network, std::uint16_t port, std::size_t up, std::size_t down)
{
    OwnedDescriptor listener = socketInside(network, AF_INET6, SOCK_STREAM, 0);
    OwnedDescriptor client = socketInside(network, AF_INET6, SOCK_STREAM, 0);
    sockaddr_in6 address = loopback6(port);
    EXPECT_EQ(bind(listener.get(), reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    EXPECT_EQ(listen(listener.get(), 1), 0);
    EXPECT_EQ(connect(client.get(), reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    OwnedDescriptor server(accept(listener.get(), nullptr, nullptr));
    transfer(client, server, up);
    transfer(server, client, down);
    socklen_t length = sizeof address;
    getsockname(client.get(), reinterpret_cast<sockaddr *>(&address), &length);
    return ntohs(address.sin6_port);
}

struct TcpTally
{
    std::size_t upData = 0;
    std::size_t downData = 0;
    std::uint32_t largestPacket = 0;
    std::size_t synUp = 0;
    std::size_t synDown = 0;
};

TcpTally tallyTcp6(const std::vector<PacketSummaryV2> &segments, std::uint16_t clientPort, std::uint16_t serverPort)
{
    TcpTally tally;
    for (const PacketSummaryV2 &segment : segments) {
        const bool up = segment.sourcePort == clientPort && segment.destinationPort == serverPort;
        const bool down = segment.sourcePort == serverPort && segment.destinationPort == clientPort;
        EXPECT_TRUE(up || down) << testing::PrintToString(segment);
        PacketSummaryV2 expected = withPorts(loopbackRecord(6, kTcp, segment.packetBytes, segment.dataBytes),
                                             segment.sourcePort, segment.destinationPort);
        expected.syn = segment.syn;
        expected.fin = segment.fin;
        expected.reset = segment.reset;
        EXPECT_EQ(segment, expected);
        (up ? tally.upData : tally.downData) += segment.dataBytes;
        (up ? tally.synUp : tally.synDown) += segment.syn ? 1 : 0;
        tally.largestPacket = std::max(tally.largestPacket, segment.packetBytes);
    }
    return tally;
}

class NetsiphonRecordsV2Live : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!m_network.failure().empty())
            GTEST_SKIP() << m_network.failure();
        // The namespace starts with IPv6 switched off; these tests need ::1.
        ASSERT_TRUE(m_network.run("sysctl -qw net.ipv6.conf.lo.disable_ipv6=0"));
        m_probeSink = boundUdpSocket(m_network, kLoopbackAddress, kProbePort);
        m_prober = boundUdpSocket(m_network, kLoopbackAddress, 0);
    }

    void probe() { sendUdp(m_prober, kLoopbackAddress, kProbePort, 1); }

    std::unique_ptr<ToolProcessV2> startVersionTwo()
    {
        auto tool = std::make_unique<ToolProcessV2>(m_network.commandLine({kTool, "--records=2", "lo"}));
        return waitUntilCapturing(*tool, [this] { probe(); }) ? std::move(tool) : nullptr;
    }

    // Started after version 2, whose reader then skips this one's probes.
    std::unique_ptr<ToolProcess> startVersionOneBeside(ToolProcessV2 &versionTwo)
    {
        auto tool = std::make_unique<ToolProcess>(m_network.commandLine({kTool, "lo"}));
        if (!waitUntilCapturing(*tool, [this] { probe(); }))
            return nullptr;
        versionTwo.readUntilQuiet(300ms);
        return tool;
    }

    NetworkNamespace m_network;
    OwnedDescriptor m_probeSink;
    OwnedDescriptor m_prober;
};
} // namespace

TEST_F(NetsiphonRecordsV2Live, Ipv6AndIpv4AreCountedExactlyWhileAVersionOneReaderGetsItsRecordsAsBefore)
{
    auto versionTwo = startVersionTwo();
    ASSERT_TRUE(versionTwo) << "no record for the probe datagrams";
    auto versionOne = startVersionOneBeside(*versionTwo);
    ASSERT_TRUE(versionOne) << "no version 1 record for the probe datagrams";

    const OwnedDescriptor receiver6 = boundUdp6(m_network, 40001);
    const OwnedDescriptor sender6 = boundUdp6(m_network, 40000);
    const OwnedDescriptor receiver = boundUdpSocket(m_network, kLoopbackAddress, 40003);
    const OwnedDescriptor sender = boundUdpSocket(m_network, kLoopbackAddress, 40002);
    ASSERT_TRUE(sendUdp6(sender6, 40001, 0));
    ASSERT_TRUE(sendUdp6(sender6, 40001, 1000));
    ASSERT_TRUE(sendUdp(sender, kLoopbackAddress, 40003, 100));
    EXPECT_EQ(versionTwo->readRecords(3, 3s),
              (std::vector{withPorts(loopbackRecord(6, kUdp, 48, 0), 40000, 40001),
                           withPorts(loopbackRecord(6, kUdp, 1048, 1000), 40000, 40001),
                           withPorts(loopbackRecord(4, kUdp, 128, 100), 40002, 40003)}));
    // Version 1 leaves IPv6 to the catch-all, as it always has.
    EXPECT_EQ(versionOne->readRecords(3, 3s),
              (std::vector<PacketSummary>{{0, 0, 0, 0, 0, 0, 48, 0},
                                          {0, 0, 0, 0, 0, 0, 1048, 0},
                                          {1, 17, kLoopbackAddress, kLoopbackAddress, 40002, 40003, 128, 100}}));
    EXPECT_EQ(versionOne->partialBytes(), 0u);

    const std::uint16_t clientPort = exchangeOverTcp6(m_network, 40004, 500, 300);
    const auto segments = versionTwo->readUntilQuiet(500ms);
    ASSERT_GE(segments.size(), 5u); // handshake, two data segments, acknowledgements
    const TcpTally tally = tallyTcp6(segments, clientPort, 40004);
    EXPECT_EQ(tally.upData, 500u);
    EXPECT_EQ(tally.downData, 300u);
    // The handshake: SYN from the client, SYN and ACK from the server.
    EXPECT_EQ(tally.synUp, 1u);
    EXPECT_EQ(tally.synDown, 1u);
    for (const PacketSummaryV2 &segment : segments) {
        const std::uint32_t headers = segment.packetBytes - segment.dataBytes;
        EXPECT_TRUE(headers >= 60 && headers <= 100 && headers % 4 == 0) << headers;
    }
    EXPECT_EQ(versionTwo->partialBytes(), 0u);
}

TEST_F(NetsiphonRecordsV2Live, FramesAbove64KiBAreCountedWithTheirWholeLength)
{
    // Lets TCP over IPv6 hand loopback segments above 64 KiB, marked by a jumbo hop-by-hop header.
    const bool bigSegments = m_network.run("ip link set lo gso_max_size 185000 gro_max_size 185000");
    auto tool = startVersionTwo();
    ASSERT_TRUE(tool) << "no record for the probe datagrams";

    // 14 + 20 + 8 + 65507 bytes on the wire: past the snapshot of version 1, which drops it.
    const OwnedDescriptor receiver = boundUdpSocket(m_network, kLoopbackAddress, 40001);
    const OwnedDescriptor sender = boundUdpSocket(m_network, kLoopbackAddress, 40000);
    ASSERT_TRUE(sendUdp(sender, kLoopbackAddress, 40001, 65507));
    EXPECT_EQ(tool->readRecords(1, 3s), (std::vector{withPorts(loopbackRecord(4, kUdp, 65535, 65507), 40000, 40001)}));

    if (!bigSegments)
        GTEST_SKIP() << "loopback takes no segments above 64 KiB here";
    const std::uint16_t clientPort = exchangeOverTcp6(m_network, 40002, 400000, 0);
    const TcpTally tally = tallyTcp6(tool->readUntilQuiet(500ms), clientPort, 40002);
    // A segment the sender retransmits is on the wire twice, and counted twice.
    EXPECT_GE(tally.upData, 400000u);
    EXPECT_GT(tally.largestPacket, 65535u);
}
