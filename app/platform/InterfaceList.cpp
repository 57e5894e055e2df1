// SPDX-License-Identifier: MIT
#include "platform/InterfaceList.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

namespace {

// Linux's loopback interface.
constexpr QLatin1StringView kLoopbackName{"lo"};

QString ipv4Text(const sockaddr *address)
{
    // getifaddrs allocates an AF_INET address as a sockaddr_in, so the cast is exact.
    const auto *ipv4 = reinterpret_cast<const sockaddr_in *>(address);
    std::array<char, INET_ADDRSTRLEN> text{};
    if (inet_ntop(AF_INET, &ipv4->sin_addr, text.data(), text.size()) == nullptr)
        return {};
    return QString::fromLatin1(text.data());
}

InterfaceList::Item itemOf(const ifaddrs &element)
{
    InterfaceList::Item item;
    item.name = QString::fromUtf8(element.ifa_name);
    if (element.ifa_addr == nullptr)
        return item;
    item.family = element.ifa_addr->sa_family;
    if (item.family == AF_INET)
        item.address = ipv4Text(element.ifa_addr);
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
        if (item.family != AF_INET || item.address.isEmpty())
            continue;
        entries.append(
            {item.name, item.address, tr("%1 - %2").arg(item.name, item.address), item.name.section(u':', 0, 0)});
    }
    const auto loopback
        = std::find_if(entries.begin(), entries.end(), [](const Entry &entry) { return entry.name == kLoopbackName; });
    if (loopback != entries.end())
        std::rotate(loopback, loopback + 1, entries.end());
    return entries;
}
