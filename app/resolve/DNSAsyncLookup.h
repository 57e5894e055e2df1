// SPDX-License-Identifier: MIT
#pragma once

#include "resolve/DNSAsyncLookupClient.h"
#include "resolve/QMTimeoutCache.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Turns addresses into host names without making the asking thread wait for a reverse
// query: two worker threads serve a queue, and every answer (failures included) is kept
// for five minutes. Answers already known, and the machine's own addresses, are told at
// once on the asking thread; the rest arrive later on the main thread through Qt's event
// loop (a QCoreApplication must exist for them to be delivered).
//
// Locking: the queue lock and the cache lock are each held only to touch their container,
// never together and never during a query or a client call, so a reader thread that asks
// while holding its capture's lock never waits for the network.
class DNSAsyncLookup
{
public:
    // Takes an address text (IPv4 or IPv6); gives its name, or nullopt when it has none.
    using Resolver = std::function<std::optional<QString>(const QString &address)>;

    static constexpr double kCacheTimeout = 300.0;
    static constexpr int kWorkerCount = 2;
    // Addresses waiting for a worker, and clients waiting for answers. Each waiting client is
    // kept alive, so a flood of new addresses against a slow resolver must not queue without
    // end; past either limit an ask is answered at once with no name (not remembered, so a
    // later ask tries again) and counted as refused. An address already waiting is not
    // queued again: its new client waits for the same answer.
    static constexpr std::size_t kQueueLimit = 10'000;
    static constexpr std::size_t kWaitingClientLimit = 100'000;
    // Answers kept (names and failures alike): the oldest make room past this.
    static constexpr std::size_t kCacheLimit = 100'000;

    // The process-wide service, created on the first call from whichever thread makes it;
    // it and its workers live until the process ends.
    static DNSAsyncLookup &sharedLookup();

    // The real resolver: getnameinfo with NI_NAMEREQD. Text that is not an address has no name.
    static std::optional<QString> systemResolve(const QString &address);

    // An independent service (tests); its destructor stops and joins its workers, dropping
    // requests not yet taken.
    explicit DNSAsyncLookup(Resolver resolver = &DNSAsyncLookup::systemResolve);
    ~DNSAsyncLookup();
    DNSAsyncLookup(const DNSAsyncLookup &) = delete;
    DNSAsyncLookup &operator=(const DNSAsyncLookup &) = delete;

    // Asks for the name of `address`; `notify` is told through dnsGotName (see
    // DNSAsyncLookupClient for when and where). A null client is ignored. Never blocks on a
    // query.
    void lookupAddress(const QString &address, std::shared_ptr<DNSAsyncLookupClient> notify,
                       const QVariant &userInfo = QVariant());

    // Test seam: replaces the resolver for queries started from now on; an empty function
    // restores systemResolve.
    void setResolverForTesting(Resolver resolver);

    // Addresses waiting for a worker (not those being resolved).
    std::size_t pendingCount() const;
    // Asks answered at once with no name because the queue was full, since the start.
    quint64 refusedCount() const { return m_refused.load(std::memory_order_relaxed); }

private:
    struct Waiter
    {
        std::shared_ptr<DNSAsyncLookupClient> notify;
        QVariant userInfo;
    };
    using Answer = std::optional<QString>; // nullopt: the address has no name

    std::optional<Answer> cachedAnswer(const QString &address);
    void storeAnswer(const QString &address, const Answer &answer);
    bool enqueue(const QString &address, Waiter waiter);
    std::optional<QString> takeAddress();
    std::vector<Waiter> takeWaiters(const QString &address);
    Answer resolve(const QString &address);
    void threadLoop();
    void stopWorkers();
    static void sendNotification(const QString &address, std::vector<Waiter> waiters, const Answer &answer);

    mutable std::mutex m_queueLock; // guards m_queue, m_waiting, m_waitingClients and m_stopping
    std::condition_variable m_queueNotEmpty;
    std::deque<QString> m_queue;
    // Every address queued or being resolved, with the clients its answer goes to.
    QHash<QString, std::vector<Waiter>> m_waiting;
    std::size_t m_waitingClients = 0;
    bool m_stopping = false;
    std::atomic<quint64> m_refused{0};

    std::mutex m_cacheLock; // guards m_cache
    QMTimeoutCache<QString, Answer> m_cache{kCacheTimeout, kCacheLimit};

    std::mutex m_resolverLock; // guards m_resolver (copied out, never called under the lock)
    Resolver m_resolver;

    std::array<std::thread, kWorkerCount> m_workers;
};
