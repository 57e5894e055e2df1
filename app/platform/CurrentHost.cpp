// SPDX-License-Identifier: MIT
#include "platform/CurrentHost.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <memory>
#include <mutex>

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

using Snapshot = CurrentHost::Snapshot;

std::array<std::uint8_t, 16> binaryAddress(const sockaddr *address)
{
    std::array<std::uint8_t, 16> binary{};
    if (address->sa_family == AF_INET6) {
        const auto &bytes = reinterpret_cast<const sockaddr_in6 *>(address)->sin6_addr.s6_addr;
        std::copy(std::begin(bytes), std::end(bytes), binary.begin());
    } else {
        binary[10] = 0xFF;
        binary[11] = 0xFF;
        const auto *bytes = static_cast<const std::uint8_t *>(addressBytes(address));
        std::copy(bytes, bytes + 4, binary.begin() + 12);
    }
    return binary;
}

// Every IPv4 and IPv6 address of every interface, in the system's order.
template <typename Visit> void forEachAddress(Visit visit)
{
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0)
        return;
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, &freeifaddrs);
    for (const ifaddrs *entry = list; entry != nullptr; entry = entry->ifa_next) {
        const sockaddr *address = entry->ifa_addr;
        if (address != nullptr && (address->sa_family == AF_INET || address->sa_family == AF_INET6))
            visit(address);
    }
}

struct SnapshotStore
{
    std::mutex mutex;
    std::shared_ptr<const Snapshot> snapshot; // guarded by mutex
};

std::shared_ptr<const Snapshot> takeSnapshot(std::chrono::steady_clock::time_point now)
{
    auto fresh = std::make_shared<Snapshot>();
    fresh->takenAt = now;
    forEachAddress([&](const sockaddr *address) {
        fresh->binaryAddresses.push_back(binaryAddress(address));
        fresh->addresses.append(addressText(address));
    });
    fresh->addressSet = QSet<QString>(fresh->addresses.begin(), fresh->addresses.end());
    fresh->name = CurrentHost::name();
    return fresh;
}
} // namespace

QStringList CurrentHost::addresses()
{
    QStringList result;
    forEachAddress([&](const sockaddr *address) { result.append(addressText(address)); });
    return result;
}

QString CurrentHost::name()
{
    std::array<char, HOST_NAME_MAX + 1> buffer{};
    if (gethostname(buffer.data(), buffer.size() - 1) != 0)
        return {};
    return QString::fromUtf8(buffer.data());
}

QString CurrentHost::nameIfOwnAddress(const QString &address)
{
    const std::shared_ptr<const Snapshot> current = snapshot();
    if (current->name.isEmpty() || !current->addressSet.contains(address))
        return {};
    return current->name;
}

// Taken afresh (outside the lock) when too old; two threads may both take one, which is
// harmless.
std::shared_ptr<const CurrentHost::Snapshot> CurrentHost::snapshot()
{
    // Deliberately never destroyed: reader threads may still ask while the process exits.
    static SnapshotStore *const store = new SnapshotStore;
    const auto now = std::chrono::steady_clock::now();
    {
        const std::lock_guard lock(store->mutex);
        if (store->snapshot && now - store->snapshot->takenAt < kSnapshotLifetime)
            return store->snapshot;
    }
    std::shared_ptr<const Snapshot> fresh = takeSnapshot(now);
    const std::lock_guard lock(store->mutex);
    store->snapshot = fresh;
    return fresh;
}
