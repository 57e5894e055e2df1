// SPDX-License-Identifier: MIT
// Costs on the reader thread: what asking for a name and looking up a service costs while
// a capture's lock is held, and that the timeout cache stays constant-time as it grows.
#include "platform/Clock.h"
#include "resolve/DNSAsyncLookup.h"
#include "resolve/EtcServicesDictionary.h"
#include "resolve/QMTimeoutCache.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace {
std::vector<QString> addresses(int count)
{
    std::vector<QString> result;
    result.reserve(static_cast<std::size_t>(count));
    for (int index = 0; index < count; ++index)
        result.push_back(QStringLiteral("10.%1.%2.%3").arg(index >> 16).arg((index >> 8) & 255).arg(index & 255));
    return result;
}

class NullClient final : public DNSAsyncLookupClient
{
public:
    void dnsGotName(const QString &name, const QString &, const QVariant &) override { benchmark::DoNotOptimize(name); }
};
} // namespace

static void TimeoutCacheHit(benchmark::State &state)
{
    const auto keys = addresses(static_cast<int>(state.range(0)));
    QMTimeoutCache<QString, QString> cache;
    for (const QString &key : keys)
        cache.setObject(key, key);
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(cache.objectForKey(keys[next]));
        next = (next + 7919) % keys.size();
    }
}
BENCHMARK(TimeoutCacheHit)->Arg(1'000)->Arg(100'000)->Arg(1'000'000);

// Every store is followed by a lookup that culls the oldest entry: the steady state of a
// full cache whose answers keep expiring.
static void TimeoutCacheStoreAndCull(benchmark::State &state)
{
    const auto keys = addresses(static_cast<int>(state.range(0)));
    Clock::freezeAt(0.0);
    QMTimeoutCache<QString, QString> cache(static_cast<double>(keys.size()) - 0.5);
    for (const QString &key : keys) {
        cache.setObject(key, key);
        Clock::advance(1.0);
    }
    std::size_t next = 0;
    for (auto _ : state) {
        cache.setObject(keys[next], keys[next]);
        Clock::advance(1.0);
        benchmark::DoNotOptimize(cache.objectForKey(keys[next]));
        next = (next + 1) % keys.size();
    }
    Clock::useSystemTime();
}
BENCHMARK(TimeoutCacheStoreAndCull)->Arg(1'000)->Arg(100'000);

// The reader thread's cost for an address answered from the cache.
static void LookupAddressKnown(benchmark::State &state)
{
    DNSAsyncLookup lookup([](const QString &) { return std::optional<QString>(QStringLiteral("host")); });
    const auto client = std::make_shared<NullClient>();
    const QString address = QStringLiteral("127.0.0.1"); // the machine's own: cached at once
    lookup.lookupAddress(address, client);
    for (auto _ : state)
        lookup.lookupAddress(address, client);
}
BENCHMARK(LookupAddressKnown);

// The reader thread's cost for a new address: cache miss, own-address check, queueing.
// (No application runs here, so the workers' answers are dropped after resolving.)
static void LookupAddressNew(benchmark::State &state)
{
    DNSAsyncLookup lookup([](const QString &) { return std::optional<QString>(QStringLiteral("host")); });
    const auto client = std::make_shared<NullClient>();
    const auto keys = addresses(1'000'000);
    std::size_t next = 0;
    for (auto _ : state) {
        lookup.lookupAddress(keys[next], client);
        next = (next + 1) % keys.size();
    }
}
BENCHMARK(LookupAddressNew);

static void ServicesTableLookup(benchmark::State &state)
{
    const EtcServicesDictionary &services = EtcServicesDictionary::sharedDictionary();
    const QString key = QStringLiteral("443/tcp");
    for (auto _ : state)
        benchmark::DoNotOptimize(services.objectForKey(key));
}
BENCHMARK(ServicesTableLookup);
