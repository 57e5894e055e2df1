// SPDX-License-Identifier: MIT
#include "resolve/DNSAsyncLookup.h"

#include "platform/CurrentHost.h"
#include "platform/MainThreadDelivery.h"

#include <netdb.h>
#include <pthread.h>
#include <sys/socket.h>

#include <array>
#include <memory>
#include <string>
#include <utility>

DNSAsyncLookup &DNSAsyncLookup::sharedLookup()
{
    // Created once even when several reader threads ask at the same moment (a function-local
    // static is initialised exactly once). Deliberately never destroyed: at exit a worker may
    // be inside a query that can take a resolver timeout, and joining it would hold up the
    // exit. Nothing a worker touches is destroyed at exit (this object and the delivery gate
    // are never freed), so the workers simply end with the process.
    static DNSAsyncLookup *const shared = new DNSAsyncLookup();
    return *shared;
}

std::optional<QString> DNSAsyncLookup::systemResolve(const QString &address)
{
    const QByteArray text = address.toUtf8();
    if (text.isEmpty() || text.contains('\0'))
        return std::nullopt;
    // Numeric parsing only: the text is an address, never a name to look up forwards.
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo *parsed = nullptr;
    if (getaddrinfo(text.constData(), nullptr, &hints, &parsed) != 0 || parsed == nullptr)
        return std::nullopt;
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(parsed, &freeaddrinfo);
    std::array<char, NI_MAXHOST> host{};
    if (getnameinfo(parsed->ai_addr, parsed->ai_addrlen, host.data(), host.size(), nullptr, 0, NI_NAMEREQD) != 0)
        return std::nullopt;
    return QString::fromUtf8(host.data());
}

DNSAsyncLookup::DNSAsyncLookup(Resolver resolver)
    : m_resolver(resolver ? std::move(resolver) : Resolver(&DNSAsyncLookup::systemResolve))
{
    MainThreadDelivery::watchApplications();
    for (std::size_t index = 0; index < m_workers.size(); ++index) {
        try {
            m_workers[index] = std::thread([this, index] {
                const std::string threadName = "DNSLookup " + std::to_string(index + 1);
                pthread_setname_np(pthread_self(), threadName.c_str());
                threadLoop();
            });
        } catch (...) {
            stopWorkers();
            throw;
        }
    }
}

DNSAsyncLookup::~DNSAsyncLookup()
{
    stopWorkers();
}

void DNSAsyncLookup::stopWorkers()
{
    QHash<QString, std::vector<Waiter>> dropped;
    {
        const std::lock_guard lock(m_queueLock);
        m_stopping = true;
        m_queue.clear();
        dropped.swap(m_waiting);
    }
    m_queueNotEmpty.notify_all();
    for (std::thread &worker : m_workers) {
        if (worker.joinable())
            worker.join();
    }
}

void DNSAsyncLookup::lookupAddress(const QString &address, std::shared_ptr<DNSAsyncLookupClient> notify,
                                   const QVariant &userInfo)
{
    if (!notify)
        return;
    if (const std::optional<Answer> known = cachedAnswer(address)) {
        notify->dnsGotName(known->value_or(QString()), address, userInfo);
        return;
    }
    if (const QString ownName = CurrentHost::nameIfOwnAddress(address); !ownName.isNull()) {
        storeAnswer(address, ownName);
        notify->dnsGotName(ownName, address, userInfo);
        return;
    }
    if (!enqueue(address, Waiter{notify, userInfo})) {
        m_refused.fetch_add(1, std::memory_order_relaxed);
        notify->dnsGotName(QString(), address, userInfo);
    }
}

void DNSAsyncLookup::setResolverForTesting(Resolver resolver)
{
    const std::lock_guard lock(m_resolverLock);
    m_resolver = resolver ? std::move(resolver) : Resolver(&DNSAsyncLookup::systemResolve);
}

std::optional<DNSAsyncLookup::Answer> DNSAsyncLookup::cachedAnswer(const QString &address)
{
    const std::lock_guard lock(m_cacheLock);
    return m_cache.objectForKey(address);
}

void DNSAsyncLookup::storeAnswer(const QString &address, const Answer &answer)
{
    const std::lock_guard lock(m_cacheLock);
    m_cache.setObject(answer, address);
}

std::size_t DNSAsyncLookup::pendingCount() const
{
    const std::lock_guard lock(m_queueLock);
    return m_queue.size();
}

bool DNSAsyncLookup::enqueue(const QString &address, Waiter waiter)
{
    {
        const std::lock_guard lock(m_queueLock);
        if (m_stopping || m_waitingClients >= kWaitingClientLimit)
            return false;
        const auto known = m_waiting.find(address);
        if (known != m_waiting.end()) {
            known->push_back(std::move(waiter));
            ++m_waitingClients;
            return true;
        }
        if (m_queue.size() >= kQueueLimit)
            return false;
        m_waiting[address].push_back(std::move(waiter));
        ++m_waitingClients;
        m_queue.push_back(address);
    }
    m_queueNotEmpty.notify_one();
    return true;
}

std::optional<QString> DNSAsyncLookup::takeAddress()
{
    std::unique_lock lock(m_queueLock);
    m_queueNotEmpty.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
    if (m_stopping)
        return std::nullopt;
    QString oldest = std::move(m_queue.front());
    m_queue.pop_front();
    return oldest;
}

// Clients that asked while the address was being resolved are among them.
std::vector<DNSAsyncLookup::Waiter> DNSAsyncLookup::takeWaiters(const QString &address)
{
    const std::lock_guard lock(m_queueLock);
    std::vector<Waiter> waiters = m_waiting.take(address);
    m_waitingClients -= waiters.size();
    return waiters;
}

DNSAsyncLookup::Answer DNSAsyncLookup::resolve(const QString &address)
{
    Resolver resolver;
    {
        const std::lock_guard lock(m_resolverLock);
        resolver = m_resolver;
    }
    return resolver(address);
}

void DNSAsyncLookup::threadLoop()
{
    while (std::optional<QString> address = takeAddress()) {
        std::optional<Answer> answer = cachedAnswer(*address);
        if (!answer) {
            answer = resolve(*address);
            storeAnswer(*address, *answer);
        }
        sendNotification(*address, takeWaiters(*address), *answer);
    }
}

void DNSAsyncLookup::sendNotification(const QString &address, std::vector<Waiter> waiters, const Answer &answer)
{
    // Without an application the answer cannot reach the main thread; the waiters, and with
    // them this share of each client, are simply dropped here.
    MainThreadDelivery::post([address, waiters = std::move(waiters), name = answer.value_or(QString())] {
        for (const Waiter &waiter : waiters)
            waiter.notify->dnsGotName(name, address, waiter.userInfo);
    });
}
