// SPDX-License-Identifier: MIT
#include "logging/StreamEventLog.h"

#include "LoggingTestFiles.h"
#include "TestEndpoints.h"
#include "model/Stream.h"
#include "model/ValueText.h"
#include "platform/Clock.h"
#include "platform/SystemLog.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <atomic>
#include <csignal>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kNewStreamTemplate = QStringLiteral(
    "__dateTime__ (__unixTime__): new __protocol__ stream: source: __source__ - destination: __destination__");
const QString kStreamClosedTemplate = QStringLiteral(
    "__dateTime__ (__unixTime__): __protocol__ stream closed: source: __source__ - destination: __destination__"
    " - total bytes uploaded: __lifetimeUpDataBytes__ (__lifetimeUpDataBytesFormatted__ at __lifetimeUpSpeed__)"
    " - total bytes downloaded: __lifetimeDownDataBytes__ (__lifetimeDownDataBytesFormatted__ at"
    " __lifetimeDownSpeed__)");

class StreamEventLogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        Clock::freezeAt(800000000.0);
        m_stream
            = std::make_unique<Stream>(endpointAt("10.0.0.1", 22), endpointAt("10.0.0.2", 5000), QStringLiteral("TCP"));
    }
    void TearDown() override { Clock::useSystemTime(); }

    QString logPath() const { return m_folder.filePath(QStringLiteral("streams.txt")); }

    QTemporaryDir m_folder;
    std::unique_ptr<Stream> m_stream;
};

} // namespace

TEST_F(StreamEventLogTest, DefaultTemplatesWriteTheStreamsValues)
{
    StreamEventLog log;
    log.setLogFormatNewStream(kNewStreamTemplate);
    log.setLogFormatStreamClosed(kStreamClosedTemplate);
    EXPECT_EQ(log.logFormatStreamClosed(), kStreamClosedTemplate);
    ASSERT_TRUE(log.startLoggingToFile(logPath()));
    const QByteArray now
        = textOfValue(Stream::dateTime()).toUtf8() + " (" + QByteArray::number(Stream::unixTime()) + ")";

    log.logNewStream(*m_stream);
    m_stream->addUpDataBytes(2048);
    m_stream->addUpBytes(4096);
    Clock::advance(2.0);
    log.logRemovedStream(*m_stream);

    const QByteArray later
        = textOfValue(Stream::dateTime()).toUtf8() + " (" + QByteArray::number(Stream::unixTime()) + ")";
    const QList<QByteArray> expected{
        now + ": new TCP stream: source: 10.0.0.1:22 - destination: 10.0.0.2:5000",
        later + ": TCP stream closed: source: 10.0.0.1:22 - destination: 10.0.0.2:5000 - total bytes uploaded: 2048 ("
            + m_stream->lifetimeUpDataBytesFormatted().toUtf8() + " at 2.0k/sec) - total bytes downloaded: 0 ("
            + m_stream->lifetimeDownDataBytesFormatted().toUtf8() + " at 0.0k/sec)"};
    EXPECT_EQ(readLines(logPath()), expected);
}

TEST_F(StreamEventLogTest, TemplatesShapeEachLine)
{
    const std::vector<std::pair<QString, QByteArray>> cases{
        {QStringLiteral("a __source__ b"), "a 10.0.0.1:22 b"},
        {QString(), ""},
        {QStringLiteral("<__nosuchkey__> __protocol__"),
         "<***EXCEPTION: Stream has no value for the key \"nosuchkey\"***> TCP"},
        {QStringLiteral("some text____x"), "__x"},
        // Template text is never a format string.
        {QStringLiteral("%s%n%d%%__totalUpBytes__%s"), "%s%n%d%%0%s"},
        {QStringLiteral("__openedTime__ __upSpeedNumber__"), "800000000 0"},
        {QStringLiteral("caf\u00e9 \u2192 __destination__"), "caf\xc3\xa9 \xe2\x86\x92 10.0.0.2:5000"},
    };
    StreamEventLog log;
    ASSERT_TRUE(log.startLoggingToFile(logPath()));
    QList<QByteArray> expected;
    for (const auto &[logTemplate, line] : cases) {
        log.setLogFormatNewStream(logTemplate);
        log.logNewStream(*m_stream);
        expected << line;
    }
    EXPECT_EQ(readLines(logPath()), expected);
    EXPECT_TRUE(readWholeFile(logPath()).endsWith('\n'));
}

// Anybody names their own programs, and a name answer may carry anything: a value never
// starts a line of its own or reaches a terminal as an escape sequence.
TEST_F(StreamEventLogTest, ValuesCannotForgeALineButTheTemplateKeepsWhatWasTyped)
{
    const Stream hostile(namedEndpoint(QString::fromUtf8("x\nFORGED \x1b[2J"), "10.0.0.1", 80),
                         endpointAt("10.0.0.2", 53), QStringLiteral("UDP"));
    StreamEventLog log;
    log.setLogFormatNewStream(QStringLiteral("new\t__source__\t__protocol__"));
    ASSERT_TRUE(log.startLoggingToFile(logPath()));
    log.logNewStream(hostile);
    EXPECT_EQ(readLines(logPath()),
              QList<QByteArray>{"new\tx\xef\xbf\xbd"
                                "FORGED \xef\xbf\xbd[2J:80\tUDP"});
}

TEST_F(StreamEventLogTest, NoTemplateSwitchesOffOnlyThatEvent)
{
    StreamEventLog log;
    EXPECT_EQ(log.logFormatNewStream(), std::nullopt);
    ASSERT_TRUE(log.startLoggingToFile(logPath()));
    log.logNewStream(*m_stream);
    log.logRemovedStream(*m_stream);
    EXPECT_EQ(readWholeFile(logPath()), QByteArray()) << "no template yet: no lines";

    log.setLogFormatNewStream(QStringLiteral("new"));
    log.setLogFormatStreamClosed(QStringLiteral("closed"));
    log.setLogFormatNewStream(std::nullopt);
    EXPECT_EQ(log.logFormatNewStream(), std::nullopt);
    log.logNewStream(*m_stream);
    log.logRemovedStream(*m_stream);
    EXPECT_TRUE(log.isLogging());
    EXPECT_EQ(readLines(logPath()), QList<QByteArray>{"closed"});
}

TEST_F(StreamEventLogTest, StartingTwiceFailsAndRestartingAppends)
{
    setSystemLogSink([](const QString &) {});
    StreamEventLog log;
    log.setLogFormatNewStream(QStringLiteral("line __protocol__"));
    EXPECT_FALSE(log.startLoggingToFile(m_folder.filePath(QStringLiteral("missing/streams.txt"))));
    EXPECT_FALSE(log.isLogging());

    ASSERT_TRUE(log.startLoggingToFile(logPath()));
    EXPECT_FALSE(log.startLoggingToFile(m_folder.filePath(QStringLiteral("other.txt"))));
    EXPECT_FALSE(QFile::exists(m_folder.filePath(QStringLiteral("other.txt"))));
    log.logNewStream(*m_stream);
    log.stopLogging();
    EXPECT_FALSE(log.isLogging());
    log.logNewStream(*m_stream);

    ASSERT_TRUE(log.startLoggingToFile(logPath()));
    log.logNewStream(*m_stream);
    EXPECT_EQ(readLines(logPath()), (QList<QByteArray>{"line TCP", "line TCP"}));
    setSystemLogSink({});
}

TEST_F(StreamEventLogTest, TwoCapturesOnOneFileFromTwoThreadsWriteWholeLines)
{
    // Long lines, so that a line split between writers would show.
    const QString paddingA(2000, u'a');
    const QString paddingB(3000, u'b');
    const QString paddingC(2500, u'c');
    StreamEventLog first;
    StreamEventLog second;
    first.setLogFormatNewStream(paddingA + QStringLiteral("__source__"));
    second.setLogFormatNewStream(paddingB + QStringLiteral("__protocol__"));
    ASSERT_TRUE(first.startLoggingToFile(logPath()));
    ASSERT_TRUE(second.startLoggingToFile(m_folder.path() + QStringLiteral("/./streams.txt")));

    constexpr int kLinesEach = 2000;
    std::atomic<bool> go{false};
    auto writer = [&](StreamEventLog &log) {
        while (!go.load())
            std::this_thread::yield();
        for (int i = 0; i < kLinesEach; ++i)
            log.logNewStream(*m_stream);
    };
    std::thread firstWriter(writer, std::ref(first));
    std::thread secondWriter(writer, std::ref(second));
    go = true;
    // Meanwhile the preferences change the first capture's template, as the main thread would.
    for (int i = 0; i < 500; ++i)
        first.setLogFormatNewStream((i % 2 ? paddingA : paddingC) + QStringLiteral("__source__"));
    firstWriter.join();
    secondWriter.join();

    const QByteArray lineA = paddingA.toUtf8() + "10.0.0.1:22";
    const QByteArray lineB = paddingB.toUtf8() + "TCP";
    const QByteArray lineC = paddingC.toUtf8() + "10.0.0.1:22";
    int firstLines = 0;
    int secondLines = 0;
    for (const QByteArray &line : readLines(logPath())) {
        if (line == lineA || line == lineC)
            ++firstLines;
        else if (line == lineB)
            ++secondLines;
        else
            ADD_FAILURE() << "mixed line of " << line.size() << " bytes";
    }
    // A writer starved of time may fall behind so far that lines are dropped: then counted.
    EXPECT_EQ(static_cast<quint64>(firstLines) + first.droppedLines(), quint64{kLinesEach});
    EXPECT_EQ(static_cast<quint64>(secondLines) + second.droppedLines(), quint64{kLinesEach});
}

TEST_F(StreamEventLogTest, ALoggedLineSurvivesTheProcessBeingKilled)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        StreamEventLog log;
        log.setLogFormatNewStream(QStringLiteral("new __source__"));
        if (log.startLoggingToFile(logPath()))
            log.logNewStream(*m_stream);
        // Handed to the kernel within moments, not kept in the process for its exit.
        QueuedWriter::waitForAll(std::chrono::seconds(5));
        raise(SIGKILL);
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(readLines(logPath()), QList<QByteArray>{"new 10.0.0.1:22"});
}
