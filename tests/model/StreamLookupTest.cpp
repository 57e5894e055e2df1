// SPDX-License-Identifier: MIT
#include "EventLoopWait.h"
#include "TestApplication.h"
#include "TestEndpoints.h"
#include "model/Stream.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "resolve/DNSAsyncLookup.h"
#include "resolve/EtcServicesDictionary.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSettings>
#include <QStringList>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>

#include <functional>
#include <mutex>

// Creation with lookups on: service names from the machine's services table, host names
// from the shared reverse-lookup service with its resolver replaced by a table of answers.
namespace {

class StreamLookupTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { testApplication(); }

    // Workers may still be inside the resolver when a test ends, so its state is shared.
    struct FakeResolver
    {
        QHash<QString, QString> answers; // filled before the first lookup, read-only afterwards
        std::mutex mutex;
        QStringList asked;
    };

    // Each test starts well past the answer cache's timeout, so answers cached by an
    // earlier test (or an earlier repeat) are forgotten.
    void SetUp() override
    {
        static double testTime = Clock::now();
        testTime += 10 * DNSAsyncLookup::kCacheTimeout;
        Clock::freezeAt(testTime);
        DNSAsyncLookup::sharedLookup().setResolverForTesting([fake = m_fake](const QString &address) {
            std::lock_guard guard(fake->mutex);
            fake->asked << address;
            const auto found = fake->answers.constFind(address);
            return found == fake->answers.cend() ? std::nullopt : std::optional<QString>(*found);
        });
    }

    void TearDown() override
    {
        DNSAsyncLookup::sharedLookup().setResolverForTesting({});
        Clock::useSystemTime();
        Preferences::shared().removeValue(Preferences::LookupServiceNames);
        Preferences::shared().removeValue(Preferences::LookupHostnames);
    }

    static void setLookups(bool hostNames, bool serviceNames)
    {
        Preferences::shared().setValue(Preferences::LookupHostnames, hostNames);
        Preferences::shared().setValue(Preferences::LookupServiceNames, serviceNames);
    }

    static bool serviceKnown(const char *key, const char *name)
    {
        return EtcServicesDictionary::sharedDictionary().objectForKey(QLatin1StringView(key))
            == QLatin1StringView(name);
    }

    // Answers that were queued come through the event loop on this (the main) thread.
    static bool waitFor(const std::function<bool()> &done)
    {
        return processEventsUntil(done, std::chrono::seconds(10));
    }

    QStringList asked()
    {
        std::lock_guard guard(m_fake->mutex);
        return m_fake->asked;
    }

    const std::shared_ptr<FakeResolver> m_fake = std::make_shared<FakeResolver>();
};

} // namespace

TEST_F(StreamLookupTest, ServiceNamesFollowThePreferenceAndTheLowerCasedProtocol)
{
    if (!serviceKnown("22/tcp", "ssh") || !serviceKnown("53/udp", "domain"))
        GTEST_SKIP() << "needs ssh on 22/tcp and domain on 53/udp in /etc/services";
    setLookups(false, true);
    const auto tcp
        = Stream::streamWithSource(endpointAt("10.0.0.1", 49152), endpointAt("10.0.0.2", 22), QStringLiteral("TCP"));
    EXPECT_EQ(tcp->destination(), QStringLiteral("10.0.0.2:ssh"));
    EXPECT_EQ(tcp->source(), QStringLiteral("10.0.0.1:49152"));

    const auto udp = Stream::streamWithSource(endpointAt("10.0.0.1", 53), EndpointText::label(QStringLiteral("Other")),
                                              QStringLiteral("UDP"));
    EXPECT_EQ(udp->source(), QStringLiteral("10.0.0.1:domain"));
    EXPECT_EQ(udp->destination(), QStringLiteral("Other"));

    // "*" forms 22/*, which services files do not list.
    const auto any
        = Stream::streamWithSource(endpointAt("10.0.0.1", 22), endpointAt("10.0.0.2", 22), QStringLiteral("*"));
    EXPECT_EQ(any->source(), QStringLiteral("10.0.0.1:22"));

    Preferences::shared().removeValue(Preferences::LookupServiceNames);
    const auto unset
        = Stream::streamWithSource(endpointAt("10.0.0.1", 49152), endpointAt("10.0.0.2", 22), QStringLiteral("TCP"));
    EXPECT_EQ(unset->destination(), QStringLiteral("10.0.0.2:22"));
    EXPECT_TRUE(asked().isEmpty());
}

TEST_F(StreamLookupTest, HostNamesArriveLaterOnTheMainThreadThenComeFromTheCache)
{
    m_fake->answers.insert(QStringLiteral("192.0.2.10"), QStringLiteral("alpha.test"));
    m_fake->answers.insert(QStringLiteral("192.0.2.11"), QStringLiteral("beta.test"));
    setLookups(true, false);

    const auto first = Stream::streamWithSource(endpointAt("192.0.2.10", 49152), endpointAt("192.0.2.11", 8080),
                                                QStringLiteral("TCP"));
    EXPECT_EQ(first->source(), QStringLiteral("192.0.2.10:49152"));
    EXPECT_TRUE(waitFor([&] {
        return first->source() == QStringLiteral("alpha.test:49152")
            && first->destination() == QStringLiteral("beta.test:8080");
    })) << first->source().toStdString()
        << " " << first->destination().toStdString();
    EXPECT_EQ(asked().size(), 2);
    EXPECT_TRUE(asked().contains(QStringLiteral("192.0.2.10")));
    EXPECT_TRUE(asked().contains(QStringLiteral("192.0.2.11")));

    // Known answers are written in before creation returns; no new query.
    const auto second = Stream::streamWithSource(endpointAt("192.0.2.11", 5000), endpointAt("192.0.2.10", 6000),
                                                 QStringLiteral("UDP"));
    EXPECT_EQ(second->source(), QStringLiteral("beta.test:5000"));
    EXPECT_EQ(second->destination(), QStringLiteral("alpha.test:6000"));
    EXPECT_EQ(asked().size(), 2);
}

TEST_F(StreamLookupTest, UnnamedAddressesKeepTheirTextAndLookupsOffAskNothing)
{
    setLookups(true, false);
    const auto unnamed = Stream::streamWithSource(endpointAt("192.0.2.20", 1),
                                                  EndpointText::label(QStringLiteral("Other")), QStringLiteral("TCP"));
    ASSERT_TRUE(waitFor([&] { return asked().contains(QStringLiteral("192.0.2.20")); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(unnamed->source(), QStringLiteral("192.0.2.20:1"));
    EXPECT_EQ(asked(), QStringList{QStringLiteral("192.0.2.20")}); // "Other" is never asked for

    const auto quiet = Stream::streamWithSource(endpointAt("192.0.2.21", 1), endpointAt("192.0.2.22", 2),
                                                QStringLiteral("TCP"), false);
    setLookups(false, false);
    const auto switchedOff
        = Stream::streamWithSource(endpointAt("192.0.2.23", 1), endpointAt("192.0.2.24", 2), QStringLiteral("TCP"));
    QCoreApplication::processEvents();
    EXPECT_EQ(asked().size(), 1);
    EXPECT_EQ(quiet->source(), QStringLiteral("192.0.2.21:1"));
    EXPECT_EQ(switchedOff->destination(), QStringLiteral("192.0.2.24:2"));
}

TEST_F(StreamLookupTest, OwnAddressTakesHostAndServiceNamesDuringCreation)
{
    if (!serviceKnown("22/tcp", "ssh"))
        GTEST_SKIP() << "needs ssh on 22/tcp in /etc/services";
    setLookups(true, true);
    const auto stream
        = Stream::streamWithSource(endpointAt("127.0.0.1", 22), endpointAt("127.0.0.1", 40000), QStringLiteral("TCP"));
    const QString host = QSysInfo::machineHostName();
    EXPECT_EQ(stream->source(), host + QStringLiteral(":ssh"));
    EXPECT_EQ(stream->destination(), host + QStringLiteral(":40000"));
    EXPECT_TRUE(asked().isEmpty());
}
