#include "resolve/CurrentHost.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <memory>

namespace {
const void *addressBytes(const sockaddr *address)
{
    // getifaddrs allocates each address with the size of its family, so the casts are exact.
    if (address->sa_family == AF_INET)
        return &reinterpret_cast<const sockaddr_in *>(address)->sin_addr;
    return &reinterpret_cast<const sockaddr_in6 *>(address)->sin6_addr;
}

QString addressText(const sockaddr *address)
{
    if (address == nullptr || (address->sa_family != AF_INET && address->sa_family != AF_INET6))
        return {};
    std::array<char, INET6_ADDRSTRLEN> text{};
    if (inet_ntop(address->sa_family, addressBytes(address), text.data(), text.size()) == nullptr)
        return {};
    return QString::fromLatin1(text.data());
}
} // namespace

QStringList CurrentHost::addresses()
{
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return {};
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, &freeifaddrs);
    QStringList result;
    for (const ifaddrs *entry = list; entry != nullptr; entry = entry->ifa_next) {
        const QString text = addressText(entry->ifa_addr);
        if (!text.isEmpty())
            result.append(text);
    }
    return result;
}

QString CurrentHost::name()
{
    std::array<char, HOST_NAME_MAX + 1> buffer{};
    if (gethostname(buffer.data(), buffer.size() - 1) != 0)
        return {};
    return QString::fromUtf8(buffer.data());
}
