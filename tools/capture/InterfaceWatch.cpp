// SPDX-License-Identifier: MIT
#include "tools/capture/InterfaceWatch.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Any socket can ask for an interface's name; a local one needs no network at all.
int openQuestionSocket()
{
    return socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}
} // namespace

InterfaceWatch::InterfaceWatch(const char *interfaceName)
    : m_name(interfaceName)
    , m_any(std::strcmp(interfaceName, "any") == 0)
    , m_index(if_nametoindex(interfaceName))
    , m_socket(openQuestionSocket())
{
    if (m_socket < 0)
        m_socketError = errno;
}

InterfaceWatch::~InterfaceWatch()
{
    if (m_socket >= 0)
        close(m_socket);
}

bool InterfaceWatch::isBoundTo(int captureDescriptor) const
{
    if (m_any)
        return true;
    sockaddr_ll address{};
    socklen_t length = sizeof address;
    constexpr socklen_t kThroughIndex = offsetof(sockaddr_ll, sll_ifindex) + sizeof address.sll_ifindex;
    if (getsockname(captureDescriptor, reinterpret_cast<sockaddr *>(&address), &length) != 0 || length < kThroughIndex
        || address.sll_family != AF_PACKET)
        return false;
    return m_index != 0 && static_cast<unsigned int>(address.sll_ifindex) == m_index;
}

bool InterfaceWatch::gone(int captureDescriptor) const
{
    if (m_any || m_index == 0)
        return false;
    ifreq request{};
    request.ifr_ifindex = static_cast<int>(m_index);
    return (ioctl(m_socket, SIOCGIFNAME, &request) != 0 && errno == ENODEV) || !isBoundTo(captureDescriptor);
}
