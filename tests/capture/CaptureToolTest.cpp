// SPDX-License-Identifier: MIT
#include "capture/StreamCapture.h"

#include "CaptureTestSupport.h"
#include "FakeCaptureTool.h"
#include "capture/StreamCaptureCore.h"
#include "model/Stream.h"
#include "platform/Elevation.h"
#include "platform/SystemLog.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringList>

#include <chrono>
#include <mutex>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class DismissingElevation final : public Elevation
{
public:
    Result runAsRoot(const QString &, const QStringList &, const QString &) override
    {
        return {Outcome::Dismissed, -1};
    }
};

// A shell script in the capture tool's place: no root needed, and it does exactly what a test
// wants a tool to do.
class CaptureToolTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureApplicationAndPrivatePreferences();
        setSystemLogSink([this](const QString &message) {
            std::lock_guard guard(m_logMutex);
            m_logged << message;
        });
    }
    void TearDown() override
    {
        StreamCaptureCore::shutdownAll();
        setSystemLogSink({});
    }

    // Starts a capture on the fake tool and collects what it reports.
    std::unique_ptr<StreamCapture> start()
    {
        auto capture = std::make_unique<StreamCapture>();
        QObject::connect(capture.get(), &StreamCapture::captureError,
                         [this](const QString &message) { m_reports << message; });
        EXPECT_TRUE(capture->setInterface(QStringLiteral("qm0")));
        return capture;
    }

    // Checked under the lock: the reader thread logs while the test looks.
    bool wasLogged(const QString &message)
    {
        std::lock_guard guard(m_logMutex);
        return m_logged.contains(message);
    }

    void useTool(const QByteArray &script) { m_tool.use(script); }

    QTemporaryDir m_folder;
    FakeCaptureTool m_tool;
    QStringList m_reports;
    std::mutex m_logMutex;
    QStringList m_logged;
};

QByteArray recordText(std::uint16_t port)
{
    return printfRecord(record(17, kLoopback, port, kRemote, 9, 48, 20));
}

QStringList fileDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
}

// The process id of this process's child running `command`, if there is one. Only once it
// sleeps: while the program is being executed its name is there before the descriptors that
// close on exec are gone.
std::optional<QString> childRunning(const QByteArray &command)
{
    for (const ChildProcess &child : childProcesses())
        if (child.name == command && child.state == "S")
            return child.pid;
    return std::nullopt;
}

} // namespace

// A tool started as root must hold nothing of the application's: no other window's pipes,
// no log file. Whatever started the tests may have handed them descriptors of its own, which
// every child inherits.
TEST_F(CaptureToolTest, TheRunningToolHoldsOnlyItsStandardDescriptors)
{
    QStringList expected{"0", "1", "2"};
    for (const QString &held : fileDescriptors()) {
        const int flags = fcntl(held.toInt(), F_GETFD);
        if (held.toInt() > STDERR_FILENO && flags >= 0 && (flags & FD_CLOEXEC) == 0)
            expected << held;
    }
    useTool("exec sleep 30");
    auto capture = start();
    std::optional<QString> tool;
    ASSERT_TRUE(processEventsUntil([&] { return (tool = childRunning("sleep")).has_value(); }));
    QStringList held = QDir(QStringLiteral("/proc/%1/fd").arg(*tool)).entryList(QDir::Files | QDir::System);
    held.sort();
    expected.sort();
    EXPECT_EQ(held, expected);
}

// The tool notices a closed output only when it next writes; one that never does is ended.
TEST_F(CaptureToolTest, AToolThatWritesNothingIsGoneSoonAfterShutdown)
{
    useTool("exec sleep 30");
    auto capture = start();
    ASSERT_TRUE(processEventsUntil([&] { return childRunning("sleep").has_value(); }));
    capture->shutdown();
    EXPECT_TRUE(processEventsUntil([&] { return !childRunning("sleep"); }, std::chrono::seconds(2)));
}

TEST_F(CaptureToolTest, ARecordSplitAcrossTwoReadsIsCountedOnceWhole)
{
    const QByteArray record = recordText(1);
    useTool("printf '" + record.left(17 * 4) + "'; sleep 0.3; printf '" + record.mid(17 * 4) + "'; exec sleep 30");
    auto capture = start();
    ASSERT_TRUE(processEventsUntil([&] {
        capture->update();
        return !capture->streamsArrayDisplay().empty();
    }));
    EXPECT_EQ(capture->streamsArrayDisplay()[0]->lifetimeUpBytes(), 48u);
    EXPECT_EQ(capture->streamsArrayDisplay()[0]->lifetimeUpDataBytes(), 20u);
    capture->shutdown();
    EXPECT_TRUE(m_reports.isEmpty());
}

// The reader lets records gather in the pipe for a moment, but a lone record written at a
// known time still reaches the table long before anyone could tell (the limit is generous:
// the machine may be busy).
TEST_F(CaptureToolTest, ALoneRecordReachesTheTableWithinMomentsOfBeingWritten)
{
    constexpr auto kGenerousLimit = std::chrono::milliseconds(250);
    const QString fifo = m_folder.filePath(QStringLiteral("records"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    useTool("exec cat '" + QFile::encodeName(fifo) + "'");
    auto capture = start();
    OwnedDescriptor records;
    ASSERT_TRUE(processEventsUntil([&] {
        records.reset(open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
        return records.valid();
    }));
    const QByteArray bytes = wireBytes(record(17, kLoopback, 1, kRemote, 9, 48, 20));
    const auto written = std::chrono::steady_clock::now();
    ASSERT_TRUE(writeAll(records.get(), bytes.constData(), static_cast<std::size_t>(bytes.size())));
    ASSERT_TRUE(processEventsUntil([&] {
        capture->update();
        return !capture->streamsArraySource().empty();
    }));
    EXPECT_LT(std::chrono::steady_clock::now() - written, kGenerousLimit);
    capture->shutdown();
}

TEST_F(CaptureToolTest, WhatTheToolSaysBeforeAnyRecordIsReportedOnceAndTrimmed)
{
    useTool("echo ' pcap_open_live: qm0: No such device exists' >&2; exit 1");
    auto capture = start();
    EXPECT_TRUE(processEventsUntil([&] { return !m_reports.isEmpty(); }));
    processEventsUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_EQ(m_reports, QStringList{"pcap_open_live: qm0: No such device exists"});
}

// A tool that ends well after records has only remarked on something; one that ends badly
// has ended the capture, so the person is told as well.
TEST_F(CaptureToolTest, WhatTheToolSaysAfterRecordsIsLoggedAndReportedOnlyWhenItEndsBadly)
{
    useTool("printf '" + recordText(1) + "'; sleep 0.2; echo 'late remark' >&2; exit 0");
    auto remarked = start();
    useTool("printf '" + recordText(2) + "'; sleep 0.2; echo 'qm0: the interface has been removed' >&2; exit 1");
    auto ended = start();
    EXPECT_TRUE(processEventsUntil([&] { return wasLogged(QStringLiteral("late remark\n")); }));
    EXPECT_TRUE(processEventsUntil([&] { return !m_reports.isEmpty(); }));
    processEventsUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_TRUE(wasLogged(QStringLiteral("qm0: the interface has been removed\n")));
    EXPECT_EQ(m_reports, QStringList{"qm0: the interface has been removed"});
}

TEST_F(CaptureToolTest, AToolThatEndsSilentlyReportsNothingButOneThatDiesSaysHow)
{
    useTool("exit 0");
    auto silent = start();
    useTool("kill -9 $$");
    auto killed = start();
    useTool("exit 3");
    auto failed = start();
    EXPECT_TRUE(processEventsUntil([&] { return m_reports.size() == 2; }));
    processEventsUntil([] { return false; }, std::chrono::milliseconds(300));
    m_reports.sort();
    EXPECT_EQ(
        m_reports,
        (QStringList{"The capture tool ended with status 3.", "The capture tool was ended by signal 9 (Killed)."}));
}

TEST_F(CaptureToolTest, AToolThatCannotBeExecutedSaysSoThroughItsErrorPipe)
{
    StreamCapture::setToolPathForTesting(m_folder.filePath(QStringLiteral("missing")));
    auto capture = start();
    EXPECT_TRUE(processEventsUntil([&] { return !m_reports.isEmpty(); }));
    EXPECT_EQ(m_reports, QStringList{"execl: No such file or directory"});
}

TEST_F(CaptureToolTest, StartsAndShutdownsLeaveNoDescriptorBehind)
{
    const QStringList before = fileDescriptors();
    DismissingElevation dismissing;
    Elevation::setSharedForTesting(&dismissing);
    qputenv("QUILLMERE_SUPPORT_DIR", m_folder.filePath(QStringLiteral("support")).toUtf8());
    for (int cycle = 0; cycle < 200; ++cycle) {
        StreamCapture capture;
        if (cycle % 4 == 3) {
            StreamCapture::setToolPathForTesting({});
            EXPECT_FALSE(capture.setInterface(QStringLiteral("qm0")));
            EXPECT_TRUE(capture.startFailure().isEmpty());
            continue;
        }
        useTool(cycle % 2 == 0 ? "exit 0" : "exec sleep 30");
        EXPECT_TRUE(capture.setInterface(QStringLiteral("qm0")));
    }
    StreamCaptureCore::shutdownAll();
    processEventsUntil([] { return false; }, std::chrono::milliseconds(100));
    qunsetenv("QUILLMERE_SUPPORT_DIR");
    Elevation::setSharedForTesting(nullptr);
    EXPECT_EQ(fileDescriptors(), before);
    EXPECT_TRUE(wasLogged(QStringLiteral("-[StreamCapture setInterface:]:212: Couldn't authorize helper program.")));
}
