// SPDX-License-Identifier: MIT
// Telling which program owns a conversation: a reading of the tables at a server's scale
// (10,000 sockets, 1,000 processes, from fake sources), the real readers on this machine,
// and the CPU a port scan of new conversations costs once readings are rate-limited.

#include "capture/AsyncProcessAttribution.h"
#include "capture/ProcessAttribution.h"
#include "platform/ProcessTable.h"
#include "platform/SocketTable.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <thread>

namespace {
using Conversation = ProcessAttribution::Conversation;

constexpr std::uint32_t kHost = 0xC0A80102;       // 192.168.1.2
constexpr std::uint32_t kRemoteBase = 0x0A000000; // 10.0.0.0
constexpr int kProcesses = 1000;
constexpr int kSocketsPerProcess = 10;
constexpr int kFirstPid = 2000;
constexpr std::uint16_t kFirstLocalPort = 20000;
constexpr std::uint64_t kFirstInode = 100000;

// A server's tables: each process holds a listener, an unconnected UDP socket and eight
// established connections, on ports of its own.
struct ServerTables
{
    std::vector<SocketTableEntry> sockets;
    std::map<int, ProcessSockets> processes;
    std::atomic<int> readings{0};

    ServerTables()
    {
        for (int process = 0; process < kProcesses; ++process) {
            ProcessSockets held{QStringLiteral("server%1").arg(process), {}, true};
            for (int slot = 0; slot < kSocketsPerProcess; ++slot)
                held.socketInodes.push_back(add(process * kSocketsPerProcess + slot, slot));
            processes.emplace(kFirstPid + process, std::move(held));
        }
    }

    std::uint64_t add(int index, int slot)
    {
        SocketTableEntry entry;
        entry.inode = kFirstInode + static_cast<std::uint64_t>(index);
        entry.localAddress = StreamEndpoint::ipv4(kHost, 0).address;
        entry.localPort = static_cast<std::uint16_t>(kFirstLocalPort + index);
        entry.protocol = slot == 1 ? IPPROTO_UDP : IPPROTO_TCP;
        entry.state = slot == 0 ? SocketTable::kStateListen
            : slot == 1         ? SocketTable::kStateClose
                                : SocketTable::kStateEstablished;
        const bool hasPeer = slot >= 2;
        const std::uint32_t remote = hasPeer ? kRemoteBase + static_cast<std::uint32_t>(index) : 0;
        entry.remoteAddress = StreamEndpoint::ipv4(remote, 0).address;
        entry.remotePort = hasPeer ? 443 : 0;
        sockets.push_back(entry);
        return entry.inode;
    }

    ProcessAttribution::Sources sources()
    {
        ProcessAttribution::Sources made;
        made.sockets = [this] {
            ++readings;
            return sockets;
        };
        made.processIds = [this] {
            std::vector<int> ids;
            for (const auto &[pid, process] : processes)
                ids.push_back(pid);
            return ids;
        };
        made.readProcess = [this](int pid) -> std::optional<ProcessSockets> { return processes.at(pid); };
        made.userName = [](std::uint32_t) { return QString(); };
        made.inspectsEveryProcess = true;
        return made;
    }
};

// The established conversation of socket `index`, seen from the remote side first.
Conversation knownConversation(int index)
{
    return {IPPROTO_TCP, StreamEndpoint::ipv4(kRemoteBase + static_cast<std::uint32_t>(index), 443),
            StreamEndpoint::ipv4(kHost, static_cast<std::uint16_t>(kFirstLocalPort + index))};
}

// Probe n of a scan: a port of this machine nothing listens on.
Conversation scanConversation(int n)
{
    return {IPPROTO_TCP, StreamEndpoint::ipv4(kHost, static_cast<std::uint16_t>(1 + n % 10000)),
            StreamEndpoint::ipv4(0x0B000001, 40000)};
}

// One reading per iteration (the clock moves on by the interval): the socket table copied in
// and indexed, for a conversation whose process is known already.
void BM_RefreshServerTables(benchmark::State &state)
{
    ServerTables tables;
    double now = 0.0;
    ProcessAttribution attribution(tables.sources(), ProcessAttribution::kRefreshInterval, [&] { return now; });
    attribution.readProcesses();
    for (auto _ : state) {
        now += 1.0;
        benchmark::DoNotOptimize(attribution.attribute(knownConversation(2)));
    }
    state.counters["sockets"] = static_cast<double>(tables.sockets.size());
}
BENCHMARK(BM_RefreshServerTables)->Unit(benchmark::kMillisecond);

// The first reading of all 1,000 processes (the worker does it once when it starts).
void BM_FirstProcessReading(benchmark::State &state)
{
    ServerTables tables;
    for (auto _ : state) {
        ProcessAttribution attribution(tables.sources());
        attribution.readProcesses();
    }
}
BENCHMARK(BM_FirstProcessReading)->Unit(benchmark::kMillisecond);

// A reading for a new connection of an existing process: processes holding sockets are read
// again until one has it (on average half of them here, since all hold sockets).
void BM_RefreshWithNewSocketOfOldProcess(benchmark::State &state)
{
    ServerTables tables;
    double now = 0.0;
    ProcessAttribution attribution(tables.sources(), ProcessAttribution::kRefreshInterval, [&] { return now; });
    attribution.readProcesses();
    int next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const int index = 2 + kSocketsPerProcess * (next++ % kProcesses);
        SocketTableEntry &socket = tables.sockets[static_cast<std::size_t>(index)];
        auto &inodes = tables.processes.at(kFirstPid + index / kSocketsPerProcess).socketInodes;
        std::replace(inodes.begin(), inodes.end(), socket.inode, socket.inode + 1'000'000);
        socket.inode += 1'000'000;
        now += 1.0;
        state.ResumeTiming();
        benchmark::DoNotOptimize(attribution.attribute(knownConversation(index)));
    }
}
BENCHMARK(BM_RefreshWithNewSocketOfOldProcess)->Unit(benchmark::kMillisecond);

// The real readers on this machine, for scale.
void BM_RealSocketTable(benchmark::State &state)
{
    SocketTable table;
    std::size_t sockets = 0;
    for (auto _ : state)
        sockets = table.read().size();
    state.counters["sockets"] = static_cast<double>(sockets);
}
BENCHMARK(BM_RealSocketTable)->Unit(benchmark::kMicrosecond);

void BM_RealProcessReading(benchmark::State &state)
{
    std::size_t processes = 0;
    for (auto _ : state) {
        const std::vector<int> pids = ProcessTable::processIds();
        for (const int pid : pids)
            benchmark::DoNotOptimize(ProcessTable::read(pid));
        processes = pids.size();
    }
    state.counters["processes"] = static_cast<double>(processes);
}
BENCHMARK(BM_RealProcessReading)->Unit(benchmark::kMicrosecond);

sockaddr_in loopbackAddress(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

OwnedDescriptor boundSocket(int type, std::uint16_t port = 0)
{
    OwnedDescriptor made(socket(AF_INET, type | SOCK_CLOEXEC, 0));
    const sockaddr_in address = loopbackAddress(port);
    if (bind(made.get(), reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return OwnedDescriptor();
    return made;
}

std::uint16_t portOf(const OwnedDescriptor &socket)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(socket.get(), reinterpret_cast<sockaddr *>(&address), &length);
    return ntohs(address.sin_port);
}

// 10,000 real sockets of this process on the loopback interface: both ends of 2,500 TCP
// connections and 5,000 unconnected UDP sockets (fewer if the descriptor limit stays low).
std::vector<OwnedDescriptor> loopbackSockets()
{
    const rlimit limit{12000, 12000};
    setrlimit(RLIMIT_NOFILE, &limit);
    std::vector<OwnedDescriptor> held;
    held.push_back(boundSocket(SOCK_STREAM));
    listen(held.front().get(), 4096);
    const sockaddr_in server = loopbackAddress(portOf(held.front()));
    for (int connection = 0; connection < 2500; ++connection) {
        OwnedDescriptor client(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (connect(client.get(), reinterpret_cast<const sockaddr *>(&server), sizeof server) != 0)
            break;
        held.emplace_back(accept4(held.front().get(), nullptr, nullptr, SOCK_CLOEXEC));
        held.push_back(std::move(client));
    }
    for (int unconnected = 0; unconnected < 5000; ++unconnected)
        held.push_back(boundSocket(SOCK_DGRAM));
    return held;
}

// A whole reading through the real readers with those sockets present, for a conversation
// whose process is known already.
void BM_RealRefreshWithTenThousandSockets(benchmark::State &state)
{
    const std::vector<OwnedDescriptor> held = loopbackSockets();
    double now = 0.0;
    ProcessAttribution attribution(ProcessAttribution::systemSources(), ProcessAttribution::kRefreshInterval,
                                   [&] { return now; });
    const Conversation conversation{IPPROTO_UDP, StreamEndpoint::ipv4(INADDR_LOOPBACK, portOf(held.back())),
                                    StreamEndpoint::ipv4(INADDR_LOOPBACK, 9)};
    if (attribution.attribute(conversation).isEmpty())
        state.SkipWithError("the benchmark's own socket was not found");
    for (auto _ : state) {
        now += 1.0;
        benchmark::DoNotOptimize(attribution.attribute(conversation));
    }
    state.counters["sockets"] = static_cast<double>(SocketTable().read().size());
}
BENCHMARK(BM_RealRefreshWithTenThousandSockets)->Unit(benchmark::kMillisecond);

// One simulated second of a port scan, 10,000 new conversations none of which has a socket,
// asked one by one 100 µs apart: readings are held to one per interval.
void BM_PortScanSecondSimulated(benchmark::State &state)
{
    ServerTables tables;
    double now = 0.0;
    ProcessAttribution attribution(tables.sources(), ProcessAttribution::kRefreshInterval, [&] { return now; });
    attribution.readProcesses();
    for (auto _ : state) {
        for (int n = 0; n < 10000; ++n) {
            now += 0.0001;
            benchmark::DoNotOptimize(attribution.attribute(scanConversation(n)));
        }
    }
    state.counters["readings_per_second"]
        = benchmark::Counter(static_cast<double>(tables.readings), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PortScanSecondSimulated)->Unit(benchmark::kMillisecond);

// The same scan through the worker in real time, 100 questions every 10 ms for a second: the
// process's CPU time per wall-clock second is the scan's cost.
void BM_PortScanSecondAsync(benchmark::State &state)
{
    ServerTables tables;
    AsyncProcessAttribution attribution(tables.sources());
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // its first reading of the processes
    std::atomic<int> answered{0};
    int asked = 0;
    const int readingsBefore = tables.readings;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int tick = 0; tick < 100; ++tick) {
            for (int n = 0; n < 100; ++n)
                asked += attribution.ask(scanConversation(asked), [&](const QString &) { ++answered; }) ? 1 : 0;
            std::this_thread::sleep_until(start + std::chrono::milliseconds(10 * (tick + 1)));
        }
        while (answered < asked)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    state.counters["readings_per_second"]
        = benchmark::Counter(static_cast<double>(tables.readings - readingsBefore), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PortScanSecondAsync)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime()->MeasureProcessCPUTime();
} // namespace

namespace {
// How long a new connection waits for its program, which bounds the wait of its new-stream
// line: a fresh loopback connection of this process, asked about through the worker over
// the real tables, at moments spread over the refresh interval.
void BM_AnswerDelayForANewConnection(benchmark::State &state)
{
    AsyncProcessAttribution attribution;
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // its first reading of the processes
    OwnedDescriptor listener = boundSocket(SOCK_STREAM);
    listen(listener.get(), 16);
    const sockaddr_in server = loopbackAddress(portOf(listener));
    int round = 0;
    double slowest = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        std::this_thread::sleep_for(std::chrono::milliseconds(37 * (round++ % 7)));
        OwnedDescriptor client(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        connect(client.get(), reinterpret_cast<const sockaddr *>(&server), sizeof server);
        const OwnedDescriptor accepted(accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        const Conversation conversation{IPPROTO_TCP, StreamEndpoint::ipv4(INADDR_LOOPBACK, portOf(client)),
                                        StreamEndpoint::ipv4(INADDR_LOOPBACK, portOf(listener))};
        state.ResumeTiming();
        const auto asked = std::chrono::steady_clock::now();
        std::atomic<bool> answered{false};
        attribution.ask(conversation, [&](const QString &) { answered = true; });
        while (!answered)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        const std::chrono::duration<double, std::milli> waited = std::chrono::steady_clock::now() - asked;
        slowest = std::max(slowest, waited.count());
    }
    state.counters["slowest_ms"] = slowest;
}
BENCHMARK(BM_AnswerDelayForANewConnection)->Unit(benchmark::kMillisecond)->Iterations(21)->UseRealTime();
} // namespace
