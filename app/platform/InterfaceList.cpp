// SPDX-License-Identifier: MIT
#include "platform/InterfaceList.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

namespace {

// Linux's loopback interface.
constexpr QLatin1StringView kLoopbackName{"lo"};

// getifaddrs allocates an AF_INET address as a sockaddr_in and an AF_INET6 one as a
// sockaddr_in6, so the casts are exact.
QString addressText(const sockaddr *address)
{
    std::array<char, INET6_ADDRSTRLEN> text{};
    const void *bytes = nullptr;
    if (address->sa_family == AF_INET)
        bytes = &reinterpret_cast<const sockaddr_in *>(address)->sin_addr;
    else if (address->sa_family == AF_INET6)
        bytes = &reinterpret_cast<const sockaddr_in6 *>(address)->sin6_addr;
    if (bytes == nullptr || inet_ntop(address->sa_family, bytes, text.data(), text.size()) == nullptr)
        return {};
    return QString::fromLatin1(text.data());
}

InterfaceList::Item itemOf(const ifaddrs &element)
{
    InterfaceList::Item item;
    item.name = QString::fromUtf8(element.ifa_name);
    item.up = (element.ifa_flags & IFF_UP) != 0;
    if (element.ifa_addr == nullptr)
        return item;
    item.family = element.ifa_addr->sa_family;
    item.address = addressText(element.ifa_addr);
    return item;
}

} // namespace

std::optional<QList<InterfaceList::Entry>> InterfaceList::current()
{
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0) {
        std::perror("getifaddrs");
        return std::nullopt;
    }
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, &freeifaddrs);
    QList<Item> items;
    for (const ifaddrs *element = list; element != nullptr; element = element->ifa_next)
        items.append(itemOf(*element));
    return entriesFromItems(items);
}

QList<InterfaceList::Entry> InterfaceList::entriesFromItems(const QList<Item> &items)
{
    QList<Entry> entries;
    for (const Item &item : items) {
        if ((item.family != AF_INET && item.family != AF_INET6) || item.address.isEmpty() || !item.up)
            continue;
        entries.append(
            {item.name, item.address, tr("%1 - %2").arg(item.name, item.address), item.name.section(u':', 0, 0)});
    }
    // The system lists every IPv4 address before the first IPv6 one.
    const auto place = [&entries](const Entry &entry) {
        const auto first = std::find_if(entries.begin(), entries.end(),
                                        [&entry](const Entry &other) { return other.device == entry.device; });
        return std::pair(entry.name == kLoopbackName, first - entries.begin());
    };
    QList<std::pair<std::pair<bool, qsizetype>, Entry>> placed;
    for (const Entry &entry : entries)
        placed.append({place(entry), entry});
    std::stable_sort(placed.begin(), placed.end(),
                     [](const auto &left, const auto &right) { return left.first < right.first; });
    QList<Entry> ordered;
    for (const auto &[where, entry] : placed)
        ordered.append(entry);
    return ordered;
}
