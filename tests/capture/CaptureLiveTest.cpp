// SPDX-License-Identifier: MIT
#include "capture/StreamCapture.h"

#include "CaptureTestSupport.h"
#include "NetworkNamespace.h"
#include "PrivateSystemFolders.h"
#include "TestSockets.h"
#include "capture/StreamCaptureCore.h"
#include "model/Stream.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "platform/SystemElevation.h"
#include "resolve/DNSAsyncLookup.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QStringList>

#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int threadCount()
{
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// The real tool, installed by the real installer into a private support folder, capturing
// the loopback interface of a private network namespace.
class CaptureLiveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!m_network.failure().empty())
            GTEST_SKIP() << m_network.failure();
        // The installer makes the capture group, in the test's own /etc.
        if (const std::string why = PrivateSystemFolders::enter(); !why.empty())
            GTEST_SKIP() << why;
        ensureApplicationAndPrivatePreferences();
        Preferences::shared().setValue(Preferences::LookupHostnames, false);
        DNSAsyncLookup::sharedLookup();
        qputenv("QUILLMERE_SUPPORT_DIR", m_folder.path().toUtf8());
        Elevation::setSharedForTesting(&m_elevation);
        m_sink = boundUdpSocket(m_network, kLoopback, 9);
        m_prober = boundUdpSocket(m_network, kLoopback, 0);
    }
    void TearDown() override
    {
        StreamCaptureCore::shutdownAll();
        Elevation::setSharedForTesting(nullptr);
        qunsetenv("QUILLMERE_SUPPORT_DIR");
        Clock::useSystemTime();
    }

    std::unique_ptr<StreamCapture> startOn(const QString &interfaceName)
    {
        auto capture = std::make_unique<StreamCapture>();
        QObject::connect(capture.get(), &StreamCapture::captureError,
                         [this](const QString &message) { m_reports << message; });
        bool started = false;
        // The tool inherits the namespace of the thread that starts it.
        m_network.inside([&] { started = capture->setInterface(interfaceName); });
        EXPECT_TRUE(started) << capture->startFailure().toStdString();
        return capture;
    }

    // The capture counts: a probe to port 9 has shown up in its table.
    bool capturing(StreamCapture &capture)
    {
        return processEventsUntil([&] {
            sendUdp(m_prober, kLoopback, 9, 1);
            capture.update();
            return findStream(capture, QStringLiteral(":9")) != nullptr;
        });
    }

    static std::shared_ptr<Stream> findStream(const StreamCapture &capture, const QString &endpoint)
    {
        for (const auto &stream : capture.streamsArraySource()) {
            if (stream->source().endsWith(endpoint) || stream->destination().endsWith(endpoint))
                return stream;
        }
        return nullptr;
    }

    // Waits until the stream with that endpoint shows the payload totals.
    bool counted(StreamCapture &capture, const QString &endpoint, quint64 upData, quint64 downData)
    {
        return processEventsUntil([&] {
            capture.update();
            const auto stream = findStream(capture, endpoint);
            return stream && stream->lifetimeUpDataBytes() == upData && stream->lifetimeDownDataBytes() == downData;
        });
    }

    NetworkNamespace m_network;
    QTemporaryDir m_folder;
    CountingElevation m_elevation;
    OwnedDescriptor m_sink;
    OwnedDescriptor m_prober;
    QStringList m_reports;
};

void exchangeUdp(const NetworkNamespace &network, std::size_t up, std::size_t down)
{
    const OwnedDescriptor client = boundUdpSocket(network, kLoopback, 40001);
    const OwnedDescriptor server = boundUdpSocket(network, kLoopback, 40002);
    ASSERT_TRUE(sendUdp(client, kLoopback, 40002, up));
    std::vector<char> buffer(up);
    ASSERT_EQ(recv(server.get(), buffer.data(), buffer.size(), 0), static_cast<ssize_t>(up));
    ASSERT_TRUE(sendUdp(server, kLoopback, 40001, down));
}

void exchangeTcp(const NetworkNamespace &network, std::size_t up, std::size_t down)
{
    const OwnedDescriptor listener = socketInside(network, AF_INET, SOCK_STREAM, 0);
    const OwnedDescriptor client = socketInside(network, AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(kLoopback);
    address.sin_port = htons(40003);
    ASSERT_EQ(bind(listener.get(), reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener.get(), 1), 0);
    ASSERT_EQ(connect(client.get(), reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    const OwnedDescriptor server(accept(listener.get(), nullptr, nullptr));
    std::vector<char> buffer(std::max(up, down), 'q');
    ASSERT_EQ(send(client.get(), buffer.data(), up, 0), static_cast<ssize_t>(up));
    ASSERT_EQ(recv(server.get(), buffer.data(), up, MSG_WAITALL), static_cast<ssize_t>(up));
    ASSERT_EQ(send(server.get(), buffer.data(), down, 0), static_cast<ssize_t>(down));
    ASSERT_EQ(recv(client.get(), buffer.data(), down, MSG_WAITALL), static_cast<ssize_t>(down));
}

} // namespace

TEST_F(CaptureLiveTest, TrafficIsCountedExactlyOnTheSideThatSentItAndIdleStreamsCloseIntoTheLog)
{
    const QString logPath = m_folder.filePath(QStringLiteral("streams.txt"));
    auto capture = startOn(QStringLiteral("lo"));
    ASSERT_TRUE(capturing(*capture));
    ASSERT_TRUE(capture->startLoggingToFile(logPath));
    capture->setLogFormatStreamClosed(QStringLiteral("closed __source__ __lifetimeUpDataBytes__"));

    Clock::freezeAt(Clock::now());
    exchangeUdp(m_network, 100, 300);
    exchangeTcp(m_network, 1000, 3000);
    ASSERT_TRUE(counted(*capture, QStringLiteral(":40001"), 100, 300));
    const auto udp = findStream(*capture, QStringLiteral(":40001"));
    EXPECT_EQ(udp->source(), "127.0.0.1:40001");
    EXPECT_EQ(udp->lifetimeUpBytes(), 128u);
    EXPECT_EQ(udp->lifetimeDownBytes(), 328u);
    ASSERT_TRUE(counted(*capture, QStringLiteral(":40003"), 1000, 3000));
    EXPECT_EQ(findStream(*capture, QStringLiteral(":40003"))->destination(), "127.0.0.1:40003");

    Clock::advance(capture->removeInterval() + 1.0);
    capture->update();
    EXPECT_EQ(findStream(*capture, QStringLiteral(":40001")), nullptr);
    EXPECT_TRUE(fileLines(logPath).contains("closed 127.0.0.1:40001 100"));
    EXPECT_TRUE(m_reports.isEmpty());
}

TEST_F(CaptureLiveTest, AMissingInterfaceIsReportedOnceInTheToolsWords)
{
    auto capture = startOn(QStringLiteral("qmnosuch0"));
    EXPECT_TRUE(processEventsUntil([&] { return !m_reports.isEmpty(); }));
    processEventsUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(m_reports, QStringList{"pcap_open_live: qmnosuch0: No such device exists"});
}

TEST_F(CaptureLiveTest, ShutdownOnAnIdleInterfaceLeavesNoThreadToolOrZombie)
{
    const int threadsBefore = threadCount();
    auto capture = startOn(QStringLiteral("lo"));
    ASSERT_TRUE(capturing(*capture));
    EXPECT_EQ(childProcesses().size(), 1);
    processEventsUntil([] { return false; }, std::chrono::milliseconds(500));
    capture.reset();
    EXPECT_TRUE(processEventsUntil([&] { return threadCount() == threadsBefore && childProcesses().isEmpty(); }))
        << threadCount() << " threads, " << childProcesses().size() << " children";
}

TEST_F(CaptureLiveTest, ShuttingOneCaptureDownEndsItsToolWhileTheOtherKeepsCounting)
{
    auto first = startOn(QStringLiteral("lo"));
    auto second = startOn(QStringLiteral("lo"));
    EXPECT_EQ(m_elevation.runs, 1);
    ASSERT_TRUE(capturing(*first));
    ASSERT_TRUE(capturing(*second));
    ASSERT_EQ(childProcesses().size(), 2);

    first->shutdown();
    EXPECT_TRUE(processEventsUntil([] { return childProcesses().size() == 1; }));
    exchangeUdp(m_network, 10, 20);
    EXPECT_TRUE(counted(*second, QStringLiteral(":40001"), 10, 20));
}

TEST_F(CaptureLiveTest, IPv6TrafficIsCountedExactlyInItsOwnStream)
{
    ASSERT_TRUE(m_network.run("sysctl -qw net.ipv6.conf.all.disable_ipv6=0 net.ipv6.conf.lo.disable_ipv6=0"));
    auto capture = startOn(QStringLiteral("lo"));
    ASSERT_TRUE(capturing(*capture));
    const auto boundUdp6 = [&](std::uint16_t port) {
        OwnedDescriptor udp = socketInside(m_network, AF_INET6, SOCK_DGRAM, 0);
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_loopback;
        address.sin6_port = htons(port);
        EXPECT_EQ(bind(udp.get(), reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        return udp;
    };
    const auto send6 = [](const OwnedDescriptor &from, std::uint16_t port, std::size_t bytes) {
        sockaddr_in6 to{};
        to.sin6_family = AF_INET6;
        to.sin6_addr = in6addr_loopback;
        to.sin6_port = htons(port);
        const std::vector<char> payload(bytes, 'v');
        return sendto(from.get(), payload.data(), payload.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
    };
    const OwnedDescriptor client = boundUdp6(40011);
    const OwnedDescriptor server = boundUdp6(40012);
    ASSERT_EQ(send6(client, 40012, 100), 100);
    ASSERT_EQ(send6(server, 40011, 300), 300);
    ASSERT_TRUE(counted(*capture, QStringLiteral(":40011"), 100, 300));
    const auto stream = findStream(*capture, QStringLiteral(":40011"));
    EXPECT_EQ(stream->source(), "[::1]:40011");
    EXPECT_EQ(stream->destination(), "[::1]:40012");
    EXPECT_EQ(stream->lifetimeUpBytes(), 148u);
    EXPECT_EQ(stream->lifetimeDownBytes(), 348u);
}

TEST_F(CaptureLiveTest, AStreamShowsTheProgramThatOwnsItsSockets)
{
    auto capture = startOn(QStringLiteral("lo"));
    ASSERT_TRUE(capturing(*capture));
    const OwnedDescriptor client = boundUdpSocket(m_network, kLoopback, 40021);
    const OwnedDescriptor server = boundUdpSocket(m_network, kLoopback, 40022);
    ASSERT_TRUE(sendUdp(client, kLoopback, 40022, 10));
    const QString expected = QStringLiteral("test_capture (%1)").arg(getpid());
    QString shown;
    EXPECT_TRUE(processEventsUntil([&] {
        capture->update();
        const auto stream = findStream(*capture, QStringLiteral(":40021"));
        shown = stream ? stream->process() : QString();
        return shown == expected;
    })) << "wanted "
        << expected.toStdString() << ", shown " << shown.toStdString();
}

// Anybody may name their own program with any bytes but NUL, and root's log shows the name.
TEST_F(CaptureLiveTest, AProgramNamedToForgeALogLineStaysInsideItsOwnLine)
{
    const QString logPath = m_folder.filePath(QStringLiteral("streams.txt"));
    auto capture = startOn(QStringLiteral("lo"));
    ASSERT_TRUE(capturing(*capture));
    ASSERT_TRUE(capture->startLoggingToFile(logPath));
    capture->setLogFormatStreamClosed(QStringLiteral("closed __source__ by __process__"));

    OwnedDescriptor socket = boundUdpSocket(m_network, kLoopback, 40031);
    OwnedPipe hold;
    ASSERT_TRUE(hold.open());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        prctl(PR_SET_NAME, "x\nFORGED \x1b[2J");
        hold.writeEnd.reset();
        sendUdp(socket, kLoopback, 9, 10);
        char ignored = 0;
        static_cast<void>(::read(hold.readEnd.get(), &ignored, 1));
        _exit(0);
    }
    socket.reset();
    hold.readEnd.reset();
    EXPECT_TRUE(processEventsUntil([&] {
        capture->update();
        const auto stream = findStream(*capture, QStringLiteral(":40031"));
        return stream && !stream->process().isEmpty();
    }));
    Clock::freezeAt(Clock::now());
    Clock::advance(capture->removeInterval() + 1.0);
    capture->update();
    hold.writeEnd.reset();
    waitpid(child, nullptr, 0);

    const QByteArray expected = "closed 127.0.0.1:40031 by x\xef\xbf\xbd"
                                "FORGED \xef\xbf\xbd[2J ("
        + QByteArray::number(child) + ")";
    const QList<QByteArray> lines = fileLines(logPath);
    EXPECT_TRUE(lines.contains(expected)) << QByteArray(lines.join('|')).toStdString();
    for (const QByteArray &line : lines) {
        EXPECT_FALSE(line.startsWith("FORGED"));
        EXPECT_FALSE(line.contains('\x1b'));
    }
}
