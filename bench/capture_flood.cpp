// SPDX-License-Identifier: MIT
// Floods 127.0.0.1 with small UDP datagrams using sendmmsg, for comparing capture tools.
// Usage: capture_flood <datagrams> <max seconds> [payload bytes] [datagrams per second, 0 = unpaced]
//                      [conversations, default 1]
// Sockets bound to the target ports and never read keep the stack from answering with
// ICMP, so every datagram is exactly one frame on the loopback interface. With several
// conversations the datagrams go to that many consecutive ports in turn. Prints the number
// of datagrams sent and the time taken.

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
constexpr std::uint16_t kPort = 20000;
constexpr unsigned kBatch = 64;

int boundSocket(std::uint16_t port)
{
    const int udp = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    local.sin_port = htons(port);
    if (udp < 0 || bind(udp, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0) {
        std::perror("socket");
        std::exit(1);
    }
    return udp;
}

unsigned long parse(const char *text, unsigned long fallback)
{
    return text != nullptr ? std::strtoul(text, nullptr, 10) : fallback;
}

// One sink per conversation needs more descriptors than the usual soft limit.
void allowDescriptors(unsigned long count)
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < count + 64) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, count + 64);
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <datagrams> <max seconds> [payload bytes] [per second]\n", argv[0]);
        return 1;
    }
    const unsigned long total = parse(argv[1], 0);
    const auto limit = std::chrono::duration<double>(static_cast<double>(parse(argv[2], 10)));
    std::vector<char> payload(parse(argc > 3 ? argv[3] : nullptr, 18), 'f');
    const unsigned long perSecond = parse(argc > 4 ? argv[4] : nullptr, 0);

    const unsigned long conversations = std::max(1ul, parse(argc > 5 ? argv[5] : nullptr, 1));
    allowDescriptors(conversations);
    std::vector<int> sinks;
    for (unsigned long port = 0; port < conversations; ++port)
        sinks.push_back(boundSocket(static_cast<std::uint16_t>(kPort + port)));
    const int sender = boundSocket(0);
    std::vector<sockaddr_in> targets(kBatch);
    iovec data{payload.data(), payload.size()};
    std::vector<mmsghdr> batch(kBatch);
    for (unsigned i = 0; i < kBatch; ++i) {
        targets[i].sin_family = AF_INET;
        targets[i].sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        batch[i].msg_hdr.msg_name = &targets[i];
        batch[i].msg_hdr.msg_namelen = sizeof targets[i];
        batch[i].msg_hdr.msg_iov = &data;
        batch[i].msg_hdr.msg_iovlen = 1;
    }

    const auto start = std::chrono::steady_clock::now();
    unsigned long sent = 0;
    while (sent < total && std::chrono::steady_clock::now() - start < limit) {
        const auto want = static_cast<unsigned>(std::min<unsigned long>(kBatch, total - sent));
        for (unsigned i = 0; i < want; ++i)
            targets[i].sin_port = htons(static_cast<std::uint16_t>(kPort + (sent + i) % conversations));
        const int done = sendmmsg(sender, batch.data(), want, 0);
        if (done > 0)
            sent += static_cast<unsigned long>(done);
        if (perSecond > 0)
            std::this_thread::sleep_until(
                start + std::chrono::duration<double>(static_cast<double>(sent) / static_cast<double>(perSecond)));
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%lu %.3f\n", sent, took.count());
    close(sender);
    for (const int sink : sinks)
        close(sink);
    return 0;
}
