// SPDX-License-Identifier: MIT
#include "TestSockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {
sockaddr_in socketAddress(std::uint32_t address, std::uint16_t port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = htonl(address);
    result.sin_port = htons(port);
    return result;
}
} // namespace

OwnedDescriptor socketInside(const NetworkNamespace &network, int domain, int type, int protocol)
{
    OwnedDescriptor made;
    network.inside([&] { made = OwnedDescriptor(socket(domain, type | SOCK_CLOEXEC, protocol)); });
    return made;
}

OwnedDescriptor boundUdpSocket(const NetworkNamespace &network, std::uint32_t address, std::uint16_t port)
{
    OwnedDescriptor udp = socketInside(network, AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in local = socketAddress(address, port);
    if (bind(udp.get(), reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0)
        return OwnedDescriptor();
    return udp;
}

bool sendUdp(const OwnedDescriptor &socket, std::uint32_t address, std::uint16_t port, std::size_t payloadBytes)
{
    const std::vector<char> payload(payloadBytes, 'q');
    const sockaddr_in remote = socketAddress(address, port);
    return sendto(socket.get(), payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr *>(&remote),
                  sizeof remote)
        == static_cast<ssize_t>(payloadBytes);
}

template <class Record> bool waitUntilCapturing(BasicToolProcess<Record> &tool, const std::function<void()> &probe)
{
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline && tool.running()) {
        probe();
        if (!tool.readRecords(1, 100ms).empty()) {
            tool.readUntilQuiet(300ms);
            return true;
        }
    }
    return false;
}

template bool waitUntilCapturing(ToolProcess &tool, const std::function<void()> &probe);
template bool waitUntilCapturing(ToolProcessV2 &tool, const std::function<void()> &probe);
