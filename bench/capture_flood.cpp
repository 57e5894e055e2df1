// Floods 127.0.0.1 with small UDP datagrams using sendmmsg, for comparing capture tools.
// Usage: capture_flood <datagrams> <max seconds> [payload bytes] [datagrams per second, 0 = unpaced]
// A socket bound to the target port and never read keeps the stack from answering with
// ICMP, so every datagram is exactly one frame on the loopback interface. Prints the number
// of datagrams sent and the time taken.

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
constexpr std::uint16_t kPort = 9;
constexpr unsigned kBatch = 64;

int boundSocket(std::uint16_t port)
{
    const int udp = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    local.sin_port = htons(port);
    if (udp < 0 || bind(udp, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        std::perror("socket");
        std::exit(1);
    }
    return udp;
}

unsigned long parse(const char* text, unsigned long fallback)
{
    return text != nullptr ? std::strtoul(text, nullptr, 10) : fallback;
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <datagrams> <max seconds> [payload bytes] [per second]\n", argv[0]);
        return 1;
    }
    const unsigned long total = parse(argv[1], 0);
    const auto limit = std::chrono::duration<double>(static_cast<double>(parse(argv[2], 10)));
    std::vector<char> payload(parse(argc > 3 ? argv[3] : nullptr, 18), 'f');
    const unsigned long perSecond = parse(argc > 4 ? argv[4] : nullptr, 0);

    const int sink = boundSocket(kPort);
    const int sender = boundSocket(0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    target.sin_port = htons(kPort);
    iovec data{payload.data(), payload.size()};
    std::vector<mmsghdr> batch(kBatch);
    for (auto& message : batch) {
        message.msg_hdr.msg_name = &target;
        message.msg_hdr.msg_namelen = sizeof target;
        message.msg_hdr.msg_iov = &data;
        message.msg_hdr.msg_iovlen = 1;
    }

    const auto start = std::chrono::steady_clock::now();
    unsigned long sent = 0;
    while (sent < total && std::chrono::steady_clock::now() - start < limit) {
        const auto want = static_cast<unsigned>(std::min<unsigned long>(kBatch, total - sent));
        const int done = sendmmsg(sender, batch.data(), want, 0);
        if (done > 0)
            sent += static_cast<unsigned long>(done);
        if (perSecond > 0)
            std::this_thread::sleep_until(start + std::chrono::duration<double>(static_cast<double>(sent)
                                                                                / static_cast<double>(perSecond)));
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%lu %.3f\n", sent, took.count());
    close(sender);
    close(sink);
    return 0;
}
