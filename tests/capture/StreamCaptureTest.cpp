// SPDX-License-Identifier: MIT
#include "capture/StreamCapture.h"

#include "CaptureTestSupport.h"
#include "capture/StreamCaptureCore.h"
#include "history/HistoryQuery.h"
#include "history/HistoryStore.h"
#include "model/Stream.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "platform/SystemLog.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <map>

namespace {

// A capture whose records come straight from the test instead of a tool.
class StreamCaptureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureApplicationAndPrivatePreferences();
        Clock::freezeAt(700000000.0);
        QObject::connect(&m_capture, &StreamCapture::streamsArrayDisplayAboutToChange, [this] { ++m_aboutToChange; });
        QObject::connect(&m_capture, &StreamCapture::streamsArrayDisplayChanged, [this] {
            ++m_changed;
            EXPECT_EQ(m_aboutToChange, m_changed);
        });
    }
    void TearDown() override { Clock::useSystemTime(); }

    void feed(const PacketSummary &summary) { m_core->dataAvailable(asBytes(wireBytes(summary))); }

    QStringList shownSources() const
    {
        QStringList sources;
        for (const auto &stream : m_capture.streamsArrayDisplay())
            sources << stream->source() + u' ' + stream->protocol();
        return sources;
    }

    QTimer *timer() { return m_capture.findChild<QTimer *>(); }

    std::shared_ptr<StreamCaptureCore> m_core = std::make_shared<StreamCaptureCore>(false, &loopbackOnlyHost);
    StreamCapture m_capture{m_core};
    int m_aboutToChange = 0;
    int m_changed = 0;
};

} // namespace

TEST_F(StreamCaptureTest, SearchWordsMustAllMatchAndAMinusExcludes)
{
    feed(record(6, kRemote, 80, kOtherRemote, 1, 40, 0));
    feed(record(17, kRemote, 53, kOtherRemote, 2, 40, 12));
    feed(record(6, kOtherRemote, 22, kRemote, 3, 40, 0));
    m_capture.update();
    EXPECT_EQ(m_capture.streamsArrayDisplay().size(), 3u);

    const std::vector<std::pair<QString, QStringList>> cases{
        {QStringLiteral("tcp"), {"10.9.8.7:80 TCP", "192.168.1.20:22 TCP"}},
        {QStringLiteral("-udp :80"), {"10.9.8.7:80 TCP"}},
        {QStringLiteral("-udp  :80"), {"10.9.8.7:80 TCP"}},
        {QStringLiteral("UDP :53"), {"10.9.8.7:53 UDP"}},
        {QStringLiteral("-"), {}},
        {QString(), {"10.9.8.7:80 TCP", "10.9.8.7:53 UDP", "192.168.1.20:22 TCP"}},
    };
    for (const auto &[filter, expected] : cases) {
        m_capture.setFilter(filter);
        EXPECT_EQ(shownSources(), expected) << filter.toStdString();
    }
    EXPECT_EQ(m_changed, 7);
}

// Reads end wherever the pipe had bytes: a record completed at the start of a read is
// followed by whole ones and another cut short.
TEST_F(StreamCaptureTest, WhatFollowsTheRestOfACutRecordInTheSameReadCountsToo)
{
    const QByteArray first = wireBytes(record(17, kRemote, 1, kOtherRemote, 7, 30, 2));
    const QByteArray second = wireBytes(record(17, kRemote, 2, kOtherRemote, 7, 40, 3));
    ASSERT_TRUE(m_core->dataAvailable(asBytes(first.left(20))));
    ASSERT_TRUE(m_core->dataAvailable(asBytes(first.mid(20) + second + second.left(5))));
    ASSERT_TRUE(m_core->dataAvailable(asBytes(second.mid(5))));
    m_capture.update();
    ASSERT_EQ(shownSources(), (QStringList{"10.9.8.7:1 UDP", "10.9.8.7:2 UDP"}));
    EXPECT_EQ(m_capture.streamsArrayDisplay()[0]->lifetimeUpBytes(), 30u);
    EXPECT_EQ(m_capture.streamsArrayDisplay()[1]->lifetimeUpBytes(), 80u);
}

TEST_F(StreamCaptureTest, PausingStopsTheTimerRefreshStillRunsACycleAndResumeRestartsIt)
{
    m_capture.setUpdateInterval(2.0);
    ASSERT_TRUE(timer()->isActive());
    EXPECT_EQ(timer()->interval(), 2000);

    m_capture.pause();
    EXPECT_TRUE(m_capture.isPaused());
    EXPECT_FALSE(timer()->isActive());
    m_capture.setUpdateInterval(3.0);
    EXPECT_FALSE(timer()->isActive());

    // Refresh while paused: expiry, a fresh snapshot and a new interval on the live streams.
    feed(record(17, kRemote, 1, kOtherRemote, 7, 30, 2));
    Clock::advance(11.0);
    feed(record(17, kRemote, 2, kOtherRemote, 7, 30, 2));
    m_capture.update();
    EXPECT_EQ(shownSources(), QStringList{"10.9.8.7:2 UDP"});

    m_capture.pause();
    EXPECT_TRUE(timer()->isActive());
    EXPECT_EQ(timer()->interval(), 3000);
}

TEST_F(StreamCaptureTest, IntervalsThatAreNoUsableNumberOfSecondsAreRefusedAndOthersBroughtWithinLimits)
{
    std::vector<QString> logged;
    setSystemLogSink([&](const QString &message) { logged.push_back(message); });
    m_capture.setUpdateInterval(5.0);
    m_capture.setRemoveInterval(20.0);
    for (const QVariant &unusable : {QVariant(), QVariant(0.0), QVariant(-1.0), QVariant(qInf()), QVariant(qQNaN()),
                                     QVariant(QStringLiteral("soon"))})
        m_capture.setUpdateInterval(unusable);
    EXPECT_EQ(m_capture.updateInterval(), 5.0);
    EXPECT_EQ(logged.size(), 6u);
    m_capture.setRemoveInterval(QVariant());
    m_capture.setRemoveInterval(-3.0);
    EXPECT_EQ(m_capture.removeInterval(), 20.0);

    m_capture.setUpdateInterval(0.001);
    EXPECT_EQ(m_capture.updateInterval(), StreamCapture::kMinimumUpdateInterval);
    EXPECT_EQ(timer()->interval(), 100);
    m_capture.setRemoveInterval(1e12);
    EXPECT_EQ(m_capture.removeInterval(), StreamCapture::kMaximumInterval);
    // A remove interval of 0 keeps its meaning: every stream idle at all leaves.
    m_capture.setRemoveInterval(0.0);
    EXPECT_EQ(m_capture.removeInterval(), 0.0);
    setSystemLogSink({});
}

TEST_F(StreamCaptureTest, AfterShutdownAPreferenceChangeNeverRestartsTheTimer)
{
    StreamCapture::setToolPathForTesting(QStringLiteral("/bin/true"));
    StreamCapture capture;
    ASSERT_TRUE(capture.setInterface(QStringLiteral("lo")));
    capture.shutdown();
    Preferences::shared().setValue(Preferences::UpdateInterval, 4.0);
    EXPECT_FALSE(capture.findChild<QTimer *>()->isActive());
    EXPECT_NE(capture.updateInterval(), 4.0);
    Preferences::shared().removeValue(Preferences::UpdateInterval);
    capture.shutdown();
    StreamCapture::setToolPathForTesting({});
    StreamCaptureCore::shutdownAll();
}

// What history is told, by the local port of each stream: an expired stream as idle, the
// live ones once a minute as open, and at shutdown those still live with no reason (which
// replaces their open record).
TEST_F(StreamCaptureTest, HistoryKeepsExpiredStreamsLiveOnesEveryMinuteAndTheRestAtShutdown)
{
    QTemporaryDir folder;
    HistoryStore::Options options;
    options.path = folder.filePath(QStringLiteral("history.sqlite"));
    auto store = std::make_shared<HistoryStore>(options);
    m_capture.recordHistory(store);
    const auto reasons = [&] {
        EXPECT_TRUE(store->flush(std::chrono::seconds(10)));
        std::map<std::uint16_t, QString> byPort;
        for (const HistoryRecord &kept : HistoryQuery(options.path).streams({0.0, Clock::now() + 1.0}, 10))
            byPort[kept.local.port] = kept.closeReason;
        return byPort;
    };
    using Reasons = std::map<std::uint16_t, QString>;
    feed(record(6, kRemote, 80, kOtherRemote, 1, 40, 0));
    feed(record(6, kRemote, 22, kOtherRemote, 2, 40, 0));
    m_capture.update();
    Clock::advance(30.0);
    feed(record(6, kRemote, 22, kOtherRemote, 2, 40, 0));
    m_capture.update();
    EXPECT_EQ(reasons(), (Reasons{{80, "idle"}}));
    Clock::advance(31.0);
    feed(record(6, kRemote, 22, kOtherRemote, 2, 40, 0));
    m_capture.update();
    EXPECT_EQ(reasons(), (Reasons{{80, "idle"}, {22, "open"}}));
    feed(record(17, kRemote, 53, kOtherRemote, 3, 40, 12));
    m_capture.shutdown();
    EXPECT_EQ(reasons(), (Reasons{{80, "idle"}, {22, ""}, {53, ""}}));
    EXPECT_FALSE(m_capture.historyStatus());
}
