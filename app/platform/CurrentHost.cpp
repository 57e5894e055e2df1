#include "platform/CurrentHost.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSet>

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

struct Snapshot
{
    std::chrono::steady_clock::time_point takenAt;
    QSet<QString> addresses;
    QString name;
};

struct SnapshotStore
{
    std::mutex mutex;
    Snapshot snapshot; // guarded by mutex
    bool taken = false; // guarded by mutex
};

// The current snapshot, taken afresh (outside the lock) when it is too old.
Snapshot currentSnapshot()
{
    // Deliberately never destroyed: reader threads may still ask while the process exits.
    static SnapshotStore *const store = new SnapshotStore;
    const auto now = std::chrono::steady_clock::now();
    {
        const std::lock_guard lock(store->mutex);
        if (store->taken && now - store->snapshot.takenAt < CurrentHost::kSnapshotLifetime)
            return store->snapshot;
    }
    const QStringList addresses = CurrentHost::addresses();
    Snapshot fresh{now, QSet<QString>(addresses.begin(), addresses.end()), CurrentHost::name()};
    const std::lock_guard lock(store->mutex);
    store->snapshot = fresh;
    store->taken = true;
    return fresh;
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

QString CurrentHost::nameIfOwnAddress(const QString &address)
{
    const Snapshot snapshot = currentSnapshot();
    if (snapshot.name.isEmpty() || !snapshot.addresses.contains(address))
        return {};
    return snapshot.name;
}
