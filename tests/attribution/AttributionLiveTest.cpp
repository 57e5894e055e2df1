// SPDX-License-Identifier: MIT
// Real sockets of real processes in a private network namespace, found through the kernel's
// tables and /proc.

#include "capture/AsyncProcessAttribution.h"
#include "capture/ProcessAttribution.h"

#include "NetworkNamespace.h"
#include "QStringPrinting.h"
#include "TestSockets.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <span>
#include <string>
#include <thread>

using Conversation = ProcessAttribution::Conversation;

namespace {
using namespace std::chrono_literals;
constexpr std::uint32_t kNobody = 65534;
// Sanitizers make the worker's readings several times slower than the few milliseconds they
// take otherwise.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr auto kShortConnectionLife = 200ms;
#else
constexpr auto kShortConnectionLife = 40ms;
#endif

StreamEndpoint localEndpoint(const OwnedDescriptor &socket)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(socket.get(), reinterpret_cast<sockaddr *>(&address), &length);
    return StreamEndpoint::ipv4(ntohl(address.sin_addr.s_addr), ntohs(address.sin_port));
}

// Connects to, or with port 0 binds and listens on, the loopback address.
bool loopback(const OwnedDescriptor &socket, std::uint16_t connectPort)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(kLoopbackAddress);
    address.sin_port = htons(connectPort);
    const auto *generic = reinterpret_cast<const sockaddr *>(&address);
    if (connectPort != 0)
        return connect(socket.get(), generic, sizeof address) == 0;
    return bind(socket.get(), generic, sizeof address) == 0 && listen(socket.get(), 8) == 0;
}

void enter(const NetworkNamespace &network)
{
    const OwnedDescriptor target(open(("/run/netns/" + network.name()).c_str(), O_RDONLY | O_CLOEXEC));
    if (setns(target.get(), CLONE_NEWNET) != 0)
        _exit(3);
}

// A child process named "qm-talker": runs `work` (which may write to the report pipe), then
// keeps what it inherited open until the test ends it.
class Talker
{
public:
    explicit Talker(const std::function<void(int report)> &work)
    {
        OwnedPipe report;
        if (!report.open() || !m_control.open())
            return;
        m_pid = fork();
        if (m_pid == 0) {
            prctl(PR_SET_NAME, "qm-talker");
            report.readEnd.reset();
            m_control.writeEnd.reset();
            work(report.writeEnd.get());
            report.writeEnd.reset();
            char ignored = 0;
            while (::read(m_control.readEnd.get(), &ignored, 1) > 0) { }
            _exit(0);
        }
        m_control.readEnd.reset();
        report.writeEnd.reset();
        m_report = std::move(report.readEnd);
    }
    ~Talker()
    {
        m_control.writeEnd.reset();
        if (m_pid > 0)
            waitpid(m_pid, nullptr, 0);
    }
    Talker(const Talker &) = delete;
    Talker &operator=(const Talker &) = delete;

    QString text() const { return QStringLiteral("qm-talker (%1)").arg(m_pid); }
    // What the child reported: `bytes` of it, or less when `work` ended first.
    std::string report(std::size_t bytes = 4096) const
    {
        std::string text(bytes, '\0');
        const ssize_t got = readExactly(m_report.get(), std::as_writable_bytes(std::span(text)));
        text.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
        return text;
    }

private:
    OwnedPipe m_control;
    OwnedDescriptor m_report;
    pid_t m_pid = -1;
};

class AttributionLiveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!m_network.failure().empty())
            GTEST_SKIP() << m_network.failure();
    }

    ProcessAttribution::Sources sourcesInside() const
    {
        ProcessAttribution::Sources sources;
        m_network.inside([&] { sources = ProcessAttribution::systemSources(); });
        return sources;
    }

    NetworkNamespace m_network;
};
} // namespace

// The child's conversations show it to root; to an unprivileged user (nobody) they show
// the user that made the sockets (root: this test).
TEST_F(AttributionLiveTest, ConversationsShowTheChildThatHoldsThemOrItsUserToAnother)
{
    OwnedDescriptor listener = socketInside(m_network, AF_INET, SOCK_STREAM, 0);
    OwnedDescriptor client = socketInside(m_network, AF_INET, SOCK_STREAM, 0);
    ASSERT_TRUE(loopback(listener, 0) && loopback(client, localEndpoint(listener).port));
    OwnedDescriptor server(accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    OwnedDescriptor udp = boundUdpSocket(m_network, kLoopbackAddress, 0);
    ASSERT_TRUE(loopback(udp, 9));
    const Conversation tcpConversation{IPPROTO_TCP, localEndpoint(client), localEndpoint(listener)};
    const Conversation udpConversation{IPPROTO_UDP, StreamEndpoint::ipv4(kLoopbackAddress, 9), localEndpoint(udp)};

    const Talker talker([](int report) { writeAll(report, "ready", 5); });
    ASSERT_EQ(talker.report(5), "ready");
    // Only the child holds them now; the lower process id of this test would win otherwise.
    for (OwnedDescriptor *held : {&listener, &client, &server, &udp})
        held->reset();

    ProcessAttribution attribution(sourcesInside());
    EXPECT_EQ(attribution.attribute(tcpConversation), talker.text());
    EXPECT_EQ(attribution.attribute(udpConversation), talker.text());
    const Conversation foreign{IPPROTO_TCP, StreamEndpoint::ipv4(0x0A010203, 40000),
                               StreamEndpoint::ipv4(0x0A010204, 80)};
    EXPECT_EQ(attribution.attribute(foreign), "");

    const Talker nobody([&](int report) {
        enter(m_network);
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)
            _exit(4);
        const QByteArray text
            = ProcessAttribution(ProcessAttribution::systemSources()).attribute(udpConversation).toUtf8();
        writeAll(report, text.constData(), static_cast<std::size_t>(text.size()));
    });
    EXPECT_EQ(nobody.report(), "other user (root)");
}

TEST_F(AttributionLiveTest, ShortConnectionAskedAtFirstSightKeepsItsProgramAfterClosing)
{
    const OwnedDescriptor listener = socketInside(m_network, AF_INET, SOCK_STREAM, 0);
    ASSERT_TRUE(loopback(listener, 0));
    const StreamEndpoint server = localEndpoint(listener);
    AsyncProcessAttribution attribution(sourcesInside());
    // The worker's first reading of the processes is done before the connection opens.
    std::this_thread::sleep_for(300ms);

    const Talker talker([&](int report) {
        enter(m_network);
        const OwnedDescriptor client(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!loopback(client, server.port))
            _exit(5);
        const std::uint16_t port = localEndpoint(client).port;
        writeAll(report, &port, sizeof port);
        std::this_thread::sleep_for(kShortConnectionLife);
        const linger reset{1, 0};
        setsockopt(client.get(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    });
    std::uint16_t port = 0;
    const std::string reported = talker.report(sizeof port);
    ASSERT_EQ(reported.size(), sizeof port);
    std::memcpy(&port, reported.data(), sizeof port);

    std::promise<QString> answer;
    ASSERT_TRUE(attribution.ask({IPPROTO_TCP, StreamEndpoint::ipv4(kLoopbackAddress, port), server},
                                [&](const QString &process) { answer.set_value(process); }));
    std::future<QString> told = answer.get_future();
    ASSERT_EQ(told.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(told.get(), talker.text());
}
