#pragma once

#include "resolve/DNSAsyncLookupClient.h"
#include "resolve/QMTimeoutCache.h"

#include <QString>
#include <QVariant>

#include <array>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

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
    // Requests waiting for a worker. Each keeps its client alive, so a flood of new addresses
    // against a slow resolver must not queue without end; past this an ask is answered at
    // once with no name (not remembered, so a later ask tries again).
    static constexpr std::size_t kQueueLimit = 10'000;

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

    // Requests waiting for a worker (not those being resolved).
    std::size_t pendingCount() const;

private:
    struct Request
    {
        QString address;
        std::shared_ptr<DNSAsyncLookupClient> notify;
        QVariant userInfo;
    };
    using Answer = std::optional<QString>; // nullopt: the address has no name

    std::optional<Answer> cachedAnswer(const QString &address);
    void storeAnswer(const QString &address, const Answer &answer);
    bool enqueue(Request request);
    std::optional<Request> takeRequest();
    Answer resolve(const QString &address);
    void threadLoop();
    void stopWorkers();
    static void sendNotification(Request request, const Answer &answer);

    mutable std::mutex queueLock_; // guards queue_ and stopping_
    std::condition_variable queueNotEmpty_;
    std::deque<Request> queue_;
    bool stopping_ = false;

    std::mutex cacheLock_; // guards cache_
    QMTimeoutCache<QString, Answer> cache_{kCacheTimeout};

    std::mutex resolverLock_; // guards resolver_ (copied out, never called under the lock)
    Resolver resolver_;

    std::array<std::thread, kWorkerCount> workers_;
};
