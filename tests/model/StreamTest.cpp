// SPDX-License-Identifier: MIT
#include "model/Stream.h"
#include "TestEndpoints.h"
#include "platform/Clock.h"
#include "platform/SystemLog.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QStringList>

#include <atomic>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString kSource = QStringLiteral("192.168.1.2:49152");
const QString kDestination = QStringLiteral("10.20.30.40:80");
const QString kTcp = QStringLiteral("TCP");

class StreamTest : public ::testing::Test
{
protected:
    void SetUp() override { Clock::freezeAt(1000.0); }
    void TearDown() override
    {
        setSystemLogSink({});
        Clock::useSystemTime();
    }

    static std::shared_ptr<Stream> plainStream(const EndpointText &source = endpointAt("192.168.1.2", 49152),
                                               const EndpointText &destination = endpointAt("10.20.30.40", 80),
                                               const QString &protocol = kTcp)
    {
        return Stream::streamWithSource(source, destination, protocol, false);
    }
};

} // namespace

TEST_F(StreamTest, NewStreamWithoutLookupsKeepsItsTextsAndStartsAtZero)
{
    const auto stream = plainStream();
    EXPECT_EQ(stream->source(), kSource);
    EXPECT_EQ(stream->destination(), kDestination);
    EXPECT_EQ(stream->protocol(), kTcp);
    EXPECT_DOUBLE_EQ(stream->openedTime(), 1000.0);
    EXPECT_DOUBLE_EQ(stream->startTime(), 1000.0);
    EXPECT_DOUBLE_EQ(stream->lastUpdateTime(), 0.0);
    EXPECT_EQ(stream->totalUpBytes() + stream->totalDownBytes(), 0u);
    EXPECT_EQ(stream->lifetimeUpBytes() + stream->lifetimeDownBytes(), 0u);
    EXPECT_EQ(stream->lifetimeUpDataBytes() + stream->lifetimeDownDataBytes(), 0u);
}

TEST_F(StreamTest, CountingWrapsIntervalAt32BitsButNotLifetime)
{
    const auto stream = plainStream();
    Clock::advance(5.0);
    stream->addUpBytes(std::numeric_limits<quint32>::max());
    stream->addUpBytes(2);
    EXPECT_EQ(stream->totalUpBytes(), 1u);
    EXPECT_EQ(stream->lifetimeUpBytes(), 0x100000001ull);
    EXPECT_DOUBLE_EQ(stream->lastUpdateTime(), 1005.0);

    Clock::advance(1.0);
    stream->addDownBytes(300);
    EXPECT_EQ(stream->totalDownBytes(), 300u);
    EXPECT_EQ(stream->lifetimeDownBytes(), 300u);
    EXPECT_DOUBLE_EQ(stream->lastUpdateTime(), 1006.0);

    // Payload counters are independent of the whole-packet ones and touch no time.
    Clock::advance(1.0);
    stream->addUpDataBytes(100);
    stream->addUpDataBytes(40);
    stream->addDownDataBytes(7);
    EXPECT_EQ(stream->lifetimeUpDataBytes(), 140u);
    EXPECT_EQ(stream->lifetimeDownDataBytes(), 7u);
    EXPECT_EQ(stream->lifetimeUpBytes(), 0x100000001ull);
    EXPECT_DOUBLE_EQ(stream->lastUpdateTime(), 1006.0);
}

TEST_F(StreamTest, SpeedsDivideIntervalAndLifetimeBytesByTheirOwnElapsedTime)
{
    const auto stream = plainStream();
    stream->addUpBytes(2048);
    stream->addDownBytes(512);
    Clock::advance(2.0);
    EXPECT_DOUBLE_EQ(stream->upSpeedNumber(), 1024.0);
    EXPECT_EQ(stream->upSpeed(), QStringLiteral("1.0k/sec"));
    EXPECT_DOUBLE_EQ(stream->downSpeedNumber(), 256.0);
    EXPECT_EQ(stream->downSpeed(), QStringLiteral("0.2k/sec")); // 0.25 rounds to even

    stream->resetTime();
    stream->addUpBytes(1024);
    Clock::advance(1.0);
    EXPECT_DOUBLE_EQ(stream->upSpeedNumber(), 1024.0);
    EXPECT_DOUBLE_EQ(stream->lifetimeUpSpeedNumber(), 1024.0); // 3072 bytes over 3 s
    EXPECT_EQ(stream->lifetimeUpSpeed(), QStringLiteral("1.0k/sec"));
    EXPECT_DOUBLE_EQ(stream->lifetimeDownSpeedNumber(), 512.0 / 3.0);
    EXPECT_EQ(stream->lifetimeDownSpeed(), QStringLiteral("0.2k/sec"));
}

TEST_F(StreamTest, NoElapsedTimeOrABackwardClockReadsZeroSpeed)
{
    const auto stream = plainStream();
    stream->addUpBytes(4096);
    EXPECT_DOUBLE_EQ(stream->upSpeedNumber(), 0.0);
    EXPECT_DOUBLE_EQ(stream->downSpeedNumber(), 0.0);
    EXPECT_EQ(stream->lifetimeUpSpeed(), QStringLiteral("0.0k/sec"));
    Clock::advance(-10.0);
    EXPECT_DOUBLE_EQ(stream->lifetimeUpSpeedNumber(), 0.0);
}

TEST_F(StreamTest, ResetStartsANewIntervalAndKeepsLifetimeCounters)
{
    const auto stream = plainStream();
    stream->addUpBytes(10);
    stream->addDownBytes(20);
    stream->addUpDataBytes(3);
    stream->addDownDataBytes(4);
    Clock::advance(1.5);
    stream->resetTime();
    EXPECT_EQ(stream->totalUpBytes(), 0u);
    EXPECT_EQ(stream->totalDownBytes(), 0u);
    EXPECT_DOUBLE_EQ(stream->startTime(), 1001.5);
    EXPECT_DOUBLE_EQ(stream->openedTime(), 1000.0);
    EXPECT_DOUBLE_EQ(stream->lastUpdateTime(), 1000.0);
    EXPECT_EQ(stream->lifetimeUpBytes(), 10u);
    EXPECT_EQ(stream->lifetimeDownBytes(), 20u);
    EXPECT_EQ(stream->lifetimeUpDataBytes(), 3u);
    EXPECT_EQ(stream->lifetimeDownDataBytes(), 4u);
}

TEST_F(StreamTest, CopyCarriesCountersAndTimesButNotLastUpdateTime)
{
    const auto stream = plainStream();
    stream->addUpBytes(2048);
    stream->addDownBytes(100);
    stream->addUpDataBytes(1500);
    stream->addDownDataBytes(60);
    Clock::advance(3.0);
    stream->resetTime();
    stream->addUpBytes(512);

    const auto copy = stream->copy();
    EXPECT_NE(copy.get(), stream.get());
    EXPECT_EQ(copy->source(), kSource);
    EXPECT_EQ(copy->destination(), kDestination);
    EXPECT_EQ(copy->protocol(), kTcp);
    EXPECT_DOUBLE_EQ(copy->openedTime(), 1000.0);
    EXPECT_DOUBLE_EQ(copy->startTime(), 1003.0);
    EXPECT_DOUBLE_EQ(copy->lastUpdateTime(), 0.0);
    EXPECT_EQ(copy->totalUpBytes(), 512u);
    EXPECT_EQ(copy->totalDownBytes(), 0u);
    EXPECT_EQ(copy->lifetimeUpBytes(), 2560u);
    EXPECT_EQ(copy->lifetimeDownBytes(), 100u);
    EXPECT_EQ(copy->lifetimeUpDataBytes(), 1500u);
    EXPECT_EQ(copy->lifetimeDownDataBytes(), 60u);

    // The copy is a snapshot: the live stream goes on alone.
    stream->resetTime();
    stream->dnsGotName(QStringLiteral("laptop"), QStringLiteral("192.168.1.2"), QVariant());
    EXPECT_EQ(copy->totalUpBytes(), 512u);
    EXPECT_EQ(copy->source(), kSource);
    EXPECT_EQ(stream->source(), QStringLiteral("laptop:49152"));

    // Written over an earlier snapshot, as update cycles do, it shows the stream as it is now.
    stream->copyInto(*copy);
    EXPECT_EQ(copy->source(), QStringLiteral("laptop:49152"));
    EXPECT_EQ(copy->totalUpBytes(), 0u);
    EXPECT_EQ(copy->lifetimeUpBytes(), 2560u);
    EXPECT_EQ(copy->serial(), stream->serial());
}

TEST(StreamEndpointText, Ipv4AddressesReadAsDottedDecimalsWhateverTheirBytes)
{
    EXPECT_EQ(StreamEndpoint::ipv4(0, 0).text(), QStringLiteral("0.0.0.0:0"));
    EXPECT_EQ(StreamEndpoint::ipv4(0xFFFFFFFF, 65535).text(), QStringLiteral("255.255.255.255:65535"));
    EXPECT_EQ(StreamEndpoint::ipv4(0x0AC8032D, 80).addressText(), QStringLiteral("10.200.3.45"));
}

// Which endpoint an answer names: the one with that whole address and no name yet, source
// first. A bare prefix test would let the answer for 10.0.0.2 rename 10.0.0.25.
TEST_F(StreamTest, NameAnswersNameTheEndpointWithThatAddress)
{
    struct Answer
    {
        const char *name;
        const char *address;
    };
    struct Case
    {
        const char *what;
        EndpointText source;
        EndpointText destination;
        std::vector<Answer> answers;
        const char *sourceText;
        const char *destinationText;
    };
    const std::vector<Case> cases{
        {"no name or an empty one",
         endpointAt("10.0.0.1", 49152),
         namedEndpoint({}, "10.0.0.2", 22, u"ssh"_s),
         {{nullptr, "10.0.0.2"}, {"", "10.0.0.2"}},
         "10.0.0.1:49152",
         "10.0.0.2:ssh"},
        {"each side by its address",
         endpointAt("10.0.0.1", 49152),
         namedEndpoint({}, "10.0.0.2", 22, u"ssh"_s),
         {{"gateway", "10.0.0.2"}, {"desk", "10.0.0.1"}},
         "desk:49152",
         "gateway:ssh"},
        {"one host, source first",
         endpointAt("10.0.0.5", 631),
         endpointAt("10.0.0.5", 5353),
         {{"printer", "10.0.0.5"}},
         "printer:631",
         "10.0.0.5:5353"},
        {"one host, answered twice",
         endpointAt("10.0.0.5", 631),
         endpointAt("10.0.0.5", 5353),
         {{"printer", "10.0.0.5"}, {"printer", "10.0.0.5"}},
         "printer:631",
         "printer:5353"},
        {"the whole address",
         endpointAt("10.0.0.25", 80),
         endpointAt("10.0.0.2", 443),
         {{"router", "10.0.0.2"}},
         "10.0.0.25:80",
         "router:443"},
        {"IPv6 in brackets until named",
         endpointAt("2001:db8::5", 443),
         endpointAt("2001:db8::50", 60000),
         {{"far", "2001:db8::50"}},
         "[2001:db8::5]:443",
         "far:60000"},
        {"IPv6 by the whole address",
         endpointAt("2001:db8::5", 443),
         endpointAt("2001:db8::50", 60000),
         {{"far", "2001:db8::50"}, {"web", "2001:db8::5"}},
         "web:443",
         "far:60000"},
    };
    for (const Case &each : cases) {
        SCOPED_TRACE(each.what);
        const auto stream = plainStream(each.source, each.destination);
        for (const Answer &answer : each.answers)
            stream->dnsGotName(answer.name ? QString::fromUtf8(answer.name) : QString(),
                               QString::fromLatin1(answer.address), QVariant(7));
        EXPECT_EQ(stream->source(), QLatin1StringView(each.sourceText));
        EXPECT_EQ(stream->destination(), QLatin1StringView(each.destinationText));
    }
}

TEST_F(StreamTest, UnknownAddressesAreLoggedAndLabelsNeverRewritten)
{
    QStringList logged;
    setSystemLogSink([&](const QString &message) { logged << message; });
    const QString other = QStringLiteral("Other");
    const auto stream = plainStream(EndpointText::label(other), EndpointText::label(other), QStringLiteral("*"));
    stream->dnsGotName(QStringLiteral("somewhere"), QStringLiteral("Other"), QVariant());
    stream->dnsGotName(QStringLiteral("somewhere"), QStringLiteral("10.9.9.9"), QVariant());
    EXPECT_EQ(stream->source(), other);
    EXPECT_EQ(stream->destination(), other);

    ASSERT_EQ(logged.size(), 2);
    EXPECT_TRUE(logged[1].contains(QStringLiteral("Stream::dnsGotName"))) << logged[1].toStdString();
    EXPECT_TRUE(logged[1].endsWith(QStringLiteral(": unknown address 10.9.9.9"))) << logged[1].toStdString();
}

// A queued answer lands on the main thread while the reader thread may be logging the
// new stream: the endpoint texts must stay whole (run under ThreadSanitizer too).
TEST_F(StreamTest, EndpointsStayWholeWhileAnswersRewriteThemOnAnotherThread)
{
    std::mutex publishing; // guards only which stream the reader looks at
    std::shared_ptr<Stream> published = plainStream(endpointAt("10.0.0.1", 1), endpointAt("10.0.0.2", 2));
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        const QStringList whole{QStringLiteral("10.0.0.1:1"), QStringLiteral("one:1")};
        while (!done.load()) {
            std::shared_ptr<Stream> stream;
            {
                const std::lock_guard lock(publishing);
                stream = published;
            }
            if (!whole.contains(stream->source()) || !stream->matchesFilter(u":2")
                || !stream->copy()->destination().endsWith(u":2"))
                ++torn;
        }
    });
    for (int round = 0; round < 2000; ++round) {
        auto stream = plainStream(endpointAt("10.0.0.1", 1), endpointAt("10.0.0.2", 2));
        {
            const std::lock_guard lock(publishing);
            published = stream;
        }
        stream->dnsGotName(QStringLiteral("one"), QStringLiteral("10.0.0.1"), QVariant());
        stream->dnsGotName(QStringLiteral("two"), QStringLiteral("10.0.0.2"), QVariant());
    }
    done = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
}

TEST_F(StreamTest, FilterWordsMatchAnyTextIgnoringCaseAndMinusInverts)
{
    const auto web = plainStream(namedEndpoint(u"laptop"_s, "10.0.0.9", 49152),
                                 namedEndpoint(u"Example.org"_s, "192.0.2.80", 80, u"http"_s));
    const auto dns = plainStream(namedEndpoint(u"laptop"_s, "10.0.0.9", 5353),
                                 namedEndpoint({}, "10.0.0.1", 53, u"domain"_s), QStringLiteral("UDP"));

    EXPECT_TRUE(web->matchesFilter(u""));
    EXPECT_TRUE(web->matchesRawFilter(u""));
    EXPECT_TRUE(web->matchesFilter(u"tcp"));
    EXPECT_FALSE(dns->matchesFilter(u"tcp"));
    EXPECT_TRUE(web->matchesFilter(u"EXAMPLE"));
    EXPECT_TRUE(web->matchesFilter(u"LAPTOP:49"));
    EXPECT_TRUE(dns->matchesFilter(u"DOMAIN"));
    EXPECT_FALSE(web->matchesFilter(u"-tcp"));
    EXPECT_TRUE(dns->matchesFilter(u"-tcp"));
    EXPECT_FALSE(web->matchesFilter(u"-Http"));

    // The rest of a lone minus is empty, which always matches, so nothing passes.
    EXPECT_FALSE(web->matchesFilter(u"-"));
    EXPECT_FALSE(dns->matchesFilter(u"-"));
    // Letters beyond ASCII fold too.
    const auto books = plainStream(namedEndpoint(u"laptop"_s, "10.0.0.9", 49152),
                                   namedEndpoint(u"Bücher.example"_s, "192.0.2.81", 80, u"http"_s));
    EXPECT_TRUE(books->matchesFilter(u"BÜCHER"));
    EXPECT_TRUE(books->matchesFilter(u"ücher.EX"));
    EXPECT_FALSE(books->matchesFilter(u"-bÜ"));
    EXPECT_FALSE(books->matchesFilter(u"buch"));
    // matchesRawFilter takes the minus literally.
    EXPECT_FALSE(web->matchesRawFilter(u"-tcp"));
}

TEST_F(StreamTest, EveryKeyAnswersWithItsType)
{
    const auto stream = plainStream();
    stream->addUpBytes(2048);
    stream->addDownBytes(1024);
    stream->addUpDataBytes(1536);
    stream->addDownDataBytes(1000);
    Clock::advance(2.0);

    const auto typeOf = [&](const char *key) { return stream->valueForKey(QLatin1StringView(key)).typeId(); };
    EXPECT_EQ(stream->valueForKey(QStringLiteral("source")), QVariant(kSource));
    EXPECT_EQ(stream->valueForKey(QStringLiteral("destination")), QVariant(kDestination));
    EXPECT_EQ(stream->valueForKey(QStringLiteral("protocol")), QVariant(kTcp));
    EXPECT_EQ(stream->valueForKey(QStringLiteral("openedTime")), QVariant(1000.0));
    EXPECT_EQ(stream->valueForKey(QStringLiteral("startTime")), QVariant(1000.0));
    EXPECT_EQ(stream->valueForKey(QStringLiteral("lastUpdateTime")), QVariant(1000.0));
    EXPECT_EQ(stream->valueForKey(QStringLiteral("totalUpBytes")), QVariant::fromValue(quint32{2048}));
    EXPECT_EQ(typeOf("totalDownBytes"), QMetaType::UInt);
    EXPECT_EQ(stream->valueForKey(QStringLiteral("lifetimeUpBytes")), QVariant::fromValue(quint64{2048}));
    EXPECT_EQ(typeOf("lifetimeDownBytes"), QMetaType::ULongLong);
    EXPECT_EQ(stream->valueForKey(QStringLiteral("lifetimeUpDataBytes")), QVariant::fromValue(quint64{1536}));
    EXPECT_EQ(typeOf("lifetimeDownDataBytes"), QMetaType::ULongLong);
    EXPECT_EQ(stream->valueForKey(QStringLiteral("lifetimeUpDataBytesFormatted")), QVariant(QStringLiteral("1.5kB")));
    EXPECT_EQ(stream->valueForKey(QStringLiteral("lifetimeDownDataBytesFormatted")),
              QVariant(QStringLiteral("1000.0B")));
    EXPECT_EQ(stream->valueForKey(QStringLiteral("upSpeed")), QVariant(QStringLiteral("1.0k/sec")));
    EXPECT_EQ(stream->valueForKey(QStringLiteral("downSpeed")), QVariant(QStringLiteral("0.5k/sec")));
    EXPECT_EQ(stream->valueForKey(QStringLiteral("upSpeedNumber")), QVariant(1024.0));
    EXPECT_EQ(stream->valueForKey(QStringLiteral("downSpeedNumber")), QVariant(512.0));
    EXPECT_EQ(stream->valueForKey(QStringLiteral("lifetimeUpSpeed")), QVariant(QStringLiteral("1.0k/sec")));
    EXPECT_EQ(stream->valueForKey(QStringLiteral("lifetimeDownSpeed")), QVariant(QStringLiteral("0.5k/sec")));
    EXPECT_EQ(stream->valueForKey(QStringLiteral("lifetimeUpSpeedNumber")), QVariant(1024.0));
    EXPECT_EQ(stream->valueForKey(QStringLiteral("lifetimeDownSpeedNumber")), QVariant(512.0));

    // The two time keys give the moment of reading: 1002.25 s after 2001 is 978308202.25 Unix.
    Clock::freezeAt(1002.25);
    EXPECT_EQ(stream->valueForKey(QStringLiteral("unixTime")), QVariant::fromValue(quint64{978308202}));
    EXPECT_EQ(stream->valueForKey(QStringLiteral("dateTime")), QVariant(QDateTime::fromMSecsSinceEpoch(978308202250)));

    EXPECT_FALSE(stream->valueForKey(QStringLiteral("nonsense")).isValid());
    EXPECT_FALSE(stream->valueForKey(QStringLiteral("Source")).isValid());
    EXPECT_FALSE(stream->valueForKey(QString()).isValid());
}

TEST_F(StreamTest, EveryKeyIsFoundByItsOwnNameOnly)
{
    for (int index = 0; index < Stream::kKeyCount; ++index) {
        const auto key = static_cast<Stream::Key>(index);
        const QLatin1StringView name = Stream::keyName(key);
        EXPECT_EQ(Stream::keyNamed(QString(name)), key) << name.data();
        EXPECT_FALSE(Stream::keyNamed(QString(name).chopped(1))) << name.data();
    }
    EXPECT_FALSE(Stream::keyNamed(u"zzz"));
    EXPECT_FALSE(Stream::keyNamed(u"a"));
}

TEST_F(StreamTest, UnixTimeBeforeNineteenSeventyReadsZero)
{
    Clock::freezeAt(-Clock::kReferenceDateUnixOffset - 5.0);
    EXPECT_EQ(Stream::unixTime(), 0u);
}
