// SPDX-License-Identifier: MIT
#include "resolve/DNSAsyncLookup.h"
#include "EventLoopWait.h"
#include "platform/Clock.h"
#include "platform/CurrentHost.h"
#include "platform/MainThreadDelivery.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {
struct Delivery
{
    QString name;
    QString address;
    QVariant userInfo;
    std::thread::id thread;
};

class RecordingClient final : public DNSAsyncLookupClient
{
public:
    void dnsGotName(const QString &name, const QString &address, const QVariant &userInfo) override
    {
        const std::lock_guard lock(m_mutex);
        m_deliveries.push_back({name, address, userInfo, std::this_thread::get_id()});
    }

    std::vector<Delivery> deliveries() const
    {
        const std::lock_guard lock(m_mutex);
        return m_deliveries;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Delivery> m_deliveries;
};

// A resolver whose answers the test sets and whose queries it holds until released, counting
// how many run at once.
class ControlledResolver
{
public:
    void answer(const QString &address, std::optional<QString> name)
    {
        const std::lock_guard lock(m_mutex);
        m_names[address] = std::move(name);
    }
    void hold(const QString &address)
    {
        const std::lock_guard lock(m_mutex);
        m_held.insert(address);
    }
    void release(const QString &address)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_held.erase(address);
        }
        m_changed.notify_all();
    }

    std::optional<QString> operator()(const QString &address)
    {
        std::unique_lock lock(m_mutex);
        ++m_calls;
        m_running.insert(address);
        m_mostAtOnce = std::max(m_mostAtOnce, m_running.size());
        m_changed.notify_all();
        // Bounded, so a failed test cannot leave a worker stuck and its join hanging.
        m_changed.wait_for(lock, 10s, [&] { return !m_held.contains(address); });
        m_running.erase(address);
        const auto found = m_names.find(address);
        return found == m_names.end() ? std::nullopt : found->second;
    }

    // Waits (up to a few seconds) until exactly these queries are running.
    bool waitUntilRunning(const std::set<QString> &addresses)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 5s, [&] { return m_running == addresses; });
    }
    int calls() const
    {
        const std::lock_guard lock(m_mutex);
        return m_calls;
    }
    std::size_t mostAtOnce() const
    {
        const std::lock_guard lock(m_mutex);
        return m_mostAtOnce;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<QString, std::optional<QString>> m_names;
    std::set<QString> m_held;
    std::set<QString> m_running;
    std::size_t m_mostAtOnce = 0;
    int m_calls = 0;
};

class DNSAsyncLookupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Clock::freezeAt(50'000.0);
        // Queries are only made for other machines' addresses.
        for (const QString &own : CurrentHost::addresses()) {
            if (own.startsWith(QStringLiteral("198.51.100.")))
                GTEST_SKIP() << "this machine has an address in 198.51.100.0/24, which the tests use";
        }
    }
    void TearDown() override { Clock::useSystemTime(); }

    DNSAsyncLookup::Resolver resolverFunction()
    {
        return [resolver = m_resolver](const QString &address) { return (*resolver)(address); };
    }

    static bool deliveredCount(const std::shared_ptr<RecordingClient> &client, std::size_t count)
    {
        return processEventsUntil([&] { return client->deliveries().size() >= count; });
    }

    int m_argc = 1;
    char m_programName[16] = "test_resolve";
    char *m_argv[2] = {m_programName, nullptr};
    std::optional<QCoreApplication> m_application{std::in_place, m_argc, m_argv};
    std::shared_ptr<ControlledResolver> m_resolver = std::make_shared<ControlledResolver>();
};

QStringList lookupThreadNames()
{
    QStringList names;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly)) {
            const QString name = QString::fromUtf8(comm.readAll()).trimmed();
            if (name.startsWith(QStringLiteral("DNSLookup")))
                names << name;
        }
    }
    names.sort();
    return names;
}

const QString kGatewayAddress = QStringLiteral("198.51.100.1");
const QString kGatewayName = QStringLiteral("gateway");
} // namespace

TEST_F(DNSAsyncLookupTest, NewAddressIsAnsweredLaterOnTheMainThread)
{
    m_resolver->answer(kGatewayAddress, kGatewayName);
    m_resolver->hold(kGatewayAddress);
    DNSAsyncLookup lookup(resolverFunction());
    auto withInfo = std::make_shared<RecordingClient>();
    auto withoutInfo = std::make_shared<RecordingClient>();

    lookup.lookupAddress(kGatewayAddress, withInfo, QVariant(42));
    lookup.lookupAddress(kGatewayAddress, withoutInfo);
    EXPECT_TRUE(withInfo->deliveries().empty()) << "the ask must return before the query ends";
    m_resolver->release(kGatewayAddress);

    ASSERT_TRUE(deliveredCount(withInfo, 1));
    ASSERT_TRUE(deliveredCount(withoutInfo, 1));
    const Delivery answer = withInfo->deliveries().front();
    EXPECT_EQ(answer.name, kGatewayName);
    EXPECT_EQ(answer.address, kGatewayAddress);
    EXPECT_EQ(answer.userInfo, QVariant(42));
    EXPECT_EQ(answer.thread, std::this_thread::get_id());
    EXPECT_FALSE(withoutInfo->deliveries().front().userInfo.isValid());
    EXPECT_EQ(withoutInfo->deliveries().front().name, kGatewayName);
    EXPECT_EQ(withInfo->deliveries().size(), 1u);
}

TEST_F(DNSAsyncLookupTest, KnownAnswersAndFailuresComeAtOnceOnTheAskingThreadForFiveMinutes)
{
    const QString nameless = QStringLiteral("198.51.100.9");
    m_resolver->answer(kGatewayAddress, kGatewayName);
    DNSAsyncLookup lookup(resolverFunction());
    auto client = std::make_shared<RecordingClient>();
    lookup.lookupAddress(kGatewayAddress, client);
    lookup.lookupAddress(nameless, client);
    ASSERT_TRUE(deliveredCount(client, 2));
    ASSERT_EQ(m_resolver->calls(), 2);

    Clock::advance(DNSAsyncLookup::kCacheTimeout); // exactly five minutes: still known
    auto later = std::make_shared<RecordingClient>();
    std::thread reader([&] {
        lookup.lookupAddress(kGatewayAddress, later, QStringLiteral("info"));
        lookup.lookupAddress(nameless, later);
        EXPECT_EQ(later->deliveries().size(), 2u) << "known answers arrive before the ask returns";
    });
    reader.join();
    const std::vector<Delivery> known = later->deliveries();
    ASSERT_EQ(known.size(), 2u);
    EXPECT_EQ(known[0].name, kGatewayName);
    EXPECT_EQ(known[0].userInfo, QVariant(QStringLiteral("info")));
    EXPECT_NE(known[0].thread, std::this_thread::get_id());
    EXPECT_TRUE(known[1].name.isNull()) << "a failure is remembered as no name";
    EXPECT_EQ(m_resolver->calls(), 2);

    Clock::advance(0.5);
    lookup.lookupAddress(nameless, later);
    EXPECT_EQ(later->deliveries().size(), 2u) << "an expired failure is queried afresh";
    ASSERT_TRUE(deliveredCount(later, 3));
    EXPECT_TRUE(later->deliveries()[2].name.isNull());
    EXPECT_EQ(m_resolver->calls(), 3);
}

TEST_F(DNSAsyncLookupTest, OwnAddressesAreNamedAtOnceWithoutAQuery)
{
    DNSAsyncLookup lookup(resolverFunction());
    const QStringList ownAddresses = CurrentHost::addresses();
    ASSERT_TRUE(ownAddresses.contains(QStringLiteral("127.0.0.1")));
    ASSERT_FALSE(CurrentHost::name().isEmpty());
    auto client = std::make_shared<RecordingClient>();
    for (const QString &address : ownAddresses)
        lookup.lookupAddress(address, client);

    const std::vector<Delivery> answers = client->deliveries();
    ASSERT_EQ(answers.size(), static_cast<std::size_t>(ownAddresses.size()));
    for (const Delivery &answer : answers)
        EXPECT_EQ(answer.name, CurrentHost::name()) << answer.address.toStdString();
    EXPECT_EQ(m_resolver->calls(), 0);
}

TEST_F(DNSAsyncLookupTest, ASlowQueryDoesNotHoldUpTheOtherWorkerOrTheAskingThread)
{
    const QString slow = QStringLiteral("198.51.100.7");
    m_resolver->hold(slow);
    m_resolver->answer(kGatewayAddress, kGatewayName);
    DNSAsyncLookup lookup(resolverFunction());
    auto client = std::make_shared<RecordingClient>();

    lookup.lookupAddress(slow, client);
    ASSERT_TRUE(m_resolver->waitUntilRunning({slow}));
    lookup.lookupAddress(kGatewayAddress, client);
    ASSERT_TRUE(deliveredCount(client, 1)) << "the second worker answers while the first waits";
    EXPECT_EQ(client->deliveries().front().address, kGatewayAddress);

    // The cache lock is free during the slow query: a known address is answered at once.
    lookup.lookupAddress(kGatewayAddress, client);
    EXPECT_EQ(client->deliveries().size(), 2u);

    m_resolver->release(slow);
    ASSERT_TRUE(deliveredCount(client, 3));
    EXPECT_EQ(client->deliveries()[2].address, slow);
}

TEST_F(DNSAsyncLookupTest, RequestsAreTakenOldestFirstTwoAtATime)
{
    QStringList addresses;
    for (int host = 1; host <= 6; ++host) {
        addresses << QStringLiteral("198.51.100.%1").arg(100 + host);
        m_resolver->hold(addresses.back());
    }
    DNSAsyncLookup lookup(resolverFunction());
    auto client = std::make_shared<RecordingClient>();
    for (const QString &address : addresses)
        lookup.lookupAddress(address, client);

    // Two queries overlap: neither worker holds a lock while resolving.
    ASSERT_TRUE(m_resolver->waitUntilRunning({addresses[0], addresses[1]}));
    for (int next = 2; next < addresses.size(); ++next) {
        m_resolver->release(addresses[next - 2]);
        ASSERT_TRUE(m_resolver->waitUntilRunning({addresses[next - 1], addresses[next]})) << next;
    }
    m_resolver->release(addresses[4]);
    m_resolver->release(addresses[5]);
    ASSERT_TRUE(deliveredCount(client, 6));
    EXPECT_EQ(m_resolver->mostAtOnce(), 2u);
}

TEST_F(DNSAsyncLookupTest, AQueuedRequestKeepsItsClientAliveUntilDelivery)
{
    m_resolver->hold(kGatewayAddress);
    m_resolver->answer(kGatewayAddress, kGatewayName);
    DNSAsyncLookup lookup(resolverFunction());
    auto client = std::make_shared<RecordingClient>();
    const std::weak_ptr<RecordingClient> watch = client;
    lookup.lookupAddress(kGatewayAddress, client);
    client.reset();
    EXPECT_FALSE(watch.expired());

    m_resolver->release(kGatewayAddress);
    EXPECT_TRUE(processEventsUntil([&] { return watch.expired(); }))
        << "the client is let go once its answer has been delivered";
}

TEST_F(DNSAsyncLookupTest, AnswersPostedWithoutAnApplicationAreDroppedAndAReturningOneGetsThemAgain)
{
    int ran = 0;
    EXPECT_TRUE(MainThreadDelivery::post([&] { ++ran; }));
    ASSERT_TRUE(processEventsUntil([&] { return ran == 1; }));

    m_application.reset();
    auto work = std::make_shared<int>(0);
    EXPECT_FALSE(MainThreadDelivery::post([work] { ++*work; }));
    EXPECT_EQ(work.use_count(), 1) << "undeliverable work is destroyed at once";
    m_application.emplace(m_argc, m_argv);

    EXPECT_TRUE(MainThreadDelivery::post([&] { ++ran; }));
    EXPECT_TRUE(processEventsUntil([&] { return ran == 2; }));
}

TEST_F(DNSAsyncLookupTest, AFullQueueAnswersNewAsksAtOnceWithNoName)
{
    std::atomic<bool> released{false};
    DNSAsyncLookup lookup([&](const QString &) -> std::optional<QString> {
        while (!released)
            std::this_thread::sleep_for(1ms);
        return QStringLiteral("named");
    });
    auto client = std::make_shared<RecordingClient>();
    const std::size_t asked = DNSAsyncLookup::kQueueLimit + DNSAsyncLookup::kWorkerCount;
    for (std::size_t index = 0; index < asked; ++index) {
        lookup.lookupAddress(QStringLiteral("198.51.%1.%2").arg(100 + index / 250).arg(index % 250), client);
        if (index + 1 == DNSAsyncLookup::kWorkerCount) { // both workers busy before the queue fills
            ASSERT_TRUE(processEventsUntil([&] { return lookup.pendingCount() == 0; }));
        }
    }
    EXPECT_EQ(lookup.pendingCount(), DNSAsyncLookup::kQueueLimit);
    EXPECT_TRUE(client->deliveries().empty());

    const QString overflow = QStringLiteral("203.0.113.1");
    lookup.lookupAddress(overflow, client, 7);
    ASSERT_EQ(client->deliveries().size(), 1u);
    EXPECT_EQ(client->deliveries().front().address, overflow);
    EXPECT_TRUE(client->deliveries().front().name.isNull());
    EXPECT_EQ(client->deliveries().front().userInfo, QVariant(7));
    EXPECT_EQ(lookup.refusedCount(), 1u);

    released = true;
    ASSERT_TRUE(deliveredCount(client, asked + 1));
    lookup.lookupAddress(overflow, client);
    EXPECT_EQ(client->deliveries().size(), asked + 1) << "the overflow answer is not remembered";
    ASSERT_TRUE(deliveredCount(client, asked + 2));
    EXPECT_EQ(client->deliveries().back().name, QStringLiteral("named"));
}

TEST_F(DNSAsyncLookupTest, AnAddressAskedForAgainWhileWaitingIsQueriedOnceForEveryClient)
{
    m_resolver->answer(kGatewayAddress, kGatewayName);
    m_resolver->hold(kGatewayAddress);
    DNSAsyncLookup lookup(resolverFunction());
    std::vector<std::shared_ptr<RecordingClient>> clients;
    for (int ask = 0; ask < 3; ++ask) {
        clients.push_back(std::make_shared<RecordingClient>());
        lookup.lookupAddress(kGatewayAddress, clients.back(), ask);
        if (ask == 0) {
            ASSERT_TRUE(m_resolver->waitUntilRunning({kGatewayAddress}));
        }
    }
    EXPECT_EQ(lookup.pendingCount(), 0u);
    m_resolver->release(kGatewayAddress);
    for (int ask = 0; ask < 3; ++ask) {
        ASSERT_TRUE(deliveredCount(clients[static_cast<std::size_t>(ask)], 1));
        EXPECT_EQ(clients[static_cast<std::size_t>(ask)]->deliveries().front().name, kGatewayName);
        EXPECT_EQ(clients[static_cast<std::size_t>(ask)]->deliveries().front().userInfo, QVariant(ask));
    }
    EXPECT_EQ(m_resolver->calls(), 1);
}

TEST(DNSAsyncLookupSystem, RealResolverNamesLoopbackAndRejectsNonAddresses)
{
    const std::optional<QString> loopback = DNSAsyncLookup::systemResolve(QStringLiteral("127.0.0.1"));
    ASSERT_TRUE(loopback.has_value()) << "getnameinfo found no name for 127.0.0.1 (no /etc/hosts?)";
    EXPECT_FALSE(loopback->isEmpty());
    EXPECT_EQ(DNSAsyncLookup::systemResolve(QStringLiteral("localhost")), std::nullopt)
        << "names are never looked up forwards";
    EXPECT_EQ(DNSAsyncLookup::systemResolve(QString()), std::nullopt);
    EXPECT_EQ(DNSAsyncLookup::systemResolve(QStringLiteral("127.0.0.1%1x")), std::nullopt);
}

TEST(DNSAsyncLookupSystem, SharedServiceIsCreatedOnceWithTwoNamedWorkers)
{
    std::mutex seenMutex;
    std::set<DNSAsyncLookup *> seen;
    std::vector<std::thread> readers;
    for (int reader = 0; reader < 8; ++reader) {
        readers.emplace_back([&] {
            DNSAsyncLookup *service = &DNSAsyncLookup::sharedLookup();
            const std::lock_guard lock(seenMutex);
            seen.insert(service);
        });
    }
    for (std::thread &reader : readers)
        reader.join();
    EXPECT_EQ(seen.size(), 1u);

    // A worker names itself as it starts, so give a just-created service a moment.
    QStringList workerNames;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while ((workerNames = lookupThreadNames()).size() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(workerNames, (QStringList{QStringLiteral("DNSLookup 1"), QStringLiteral("DNSLookup 2")}));
}

namespace {
std::atomic<bool> applicationGone{false};
std::atomic<int> queriesStarted{0};

// The shared service at exit: one worker answers after the application has gone, the other
// is still inside a query when exit() runs the static destructors.
[[noreturn]] void exitWhileTheSharedServiceIsBusy()
{
    int argc = 1;
    char programName[] = "test_resolve";
    char *argv[] = {programName, nullptr};
    auto application = std::make_unique<QCoreApplication>(argc, argv);
    DNSAsyncLookup &shared = DNSAsyncLookup::sharedLookup();
    shared.setResolverForTesting([](const QString &address) -> std::optional<QString> {
        ++queriesStarted;
        while (!applicationGone || address.endsWith(QLatin1Char('2')))
            std::this_thread::sleep_for(1ms);
        return QStringLiteral("late");
    });
    shared.lookupAddress(QStringLiteral("198.51.100.201"), std::make_shared<RecordingClient>());
    shared.lookupAddress(QStringLiteral("198.51.100.202"), std::make_shared<RecordingClient>());
    while (queriesStarted < 2)
        std::this_thread::sleep_for(1ms);
    application.reset();
    applicationGone = true;
    std::this_thread::sleep_for(50ms); // the first answer is posted into the closed gate
    std::exit(0);
}
} // namespace

TEST(DNSAsyncLookupSystem, ProcessExitsCleanlyWhileTheSharedServiceIsBusy)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exitWhileTheSharedServiceIsBusy(), ::testing::ExitedWithCode(0), "");
}
