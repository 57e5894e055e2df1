// SPDX-License-Identifier: MIT
#include "HistoryTestSupport.h"
#include "ToolProcess.h"

#include <gtest/gtest.h>

#include <QFile>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <iostream>
#include <optional>
#include <random>
#include <sched.h>
#include <string>
#include <thread>

namespace {
using namespace std::chrono_literals;

const std::string kWriter = QUILLMERE_BUILD_DIR "/bin/history_writer";

std::vector<std::string> writerCommand(const QString &path, const char *interface, const char *program, quint64 count,
                                       double perSecond, double firstTime, const std::string &progress = {})
{
    std::vector<std::string> command{kWriter,
                                     path.toStdString(),
                                     interface,
                                     program,
                                     std::to_string(count),
                                     std::to_string(perSecond),
                                     std::to_string(firstTime)};
    if (!progress.empty())
        command.push_back(progress);
    return command;
}

std::size_t streamsBetween(const QString &path, double since, double until)
{
    return HistoryQuery(path).streams({since, until}, 10'000'000).size();
}

std::size_t streamsOf(const std::vector<HistoryQuery::Group> &programs, const QString &name)
{
    for (const auto &group : programs) {
        if (group.name == name)
            return group.totals.streams;
    }
    return 0;
}

// Runs `work` on a thread of its own inside a private mount namespace in which a small
// tmpfs (mounted with `flags`) covers `folder`; the writer threads it starts live there too,
// and the mount goes with the last of them.
void inPrivateTmpfs(const QString &folder, unsigned long flags, const std::function<void()> &work)
{
    std::thread([&] {
        const std::string target = folder.toStdString();
        if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || mount("tmpfs", target.c_str(), "tmpfs", flags, "size=16m") != 0) {
            ADD_FAILURE() << "private tmpfs: " << std::strerror(errno);
            return;
        }
        work();
    }).join();
}

// Takes the space left on the file system of `path`.
void fillUp(const QString &path)
{
    const int file = open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const std::string block(4096, 'x');
    while (write(file, block.data(), block.size()) > 0) { }
    close(file);
}

// What a killed writer had told in its progress file: records handed to its store, and of
// those the ones committed by then.
struct Progress
{
    quint64 recorded = 0;
    quint64 committed = 0;
};

std::optional<Progress> readProgress(const std::string &path)
{
    QFile file(QString::fromStdString(path));
    quint64 counts[2]{};
    if (!file.open(QIODevice::ReadOnly)
        || file.read(reinterpret_cast<char *>(counts), sizeof counts) != qint64(sizeof counts))
        return std::nullopt;
    return Progress{counts[0], counts[1]};
}
} // namespace

// Killed at any moment after its first commit, a writer leaves a file that opens again with
// every record it had committed, and only the first records it was given: what it loses is
// what it had not committed yet.
TEST(HistoryReliabilityTest, WriterKilledAtAnyMomentKeepsEveryCommittedRecord)
{
    constexpr double kPerSecond = 5000.0;
    HistoryFolder folder;
    const std::string progressPath = folder.folder().toStdString() + "/progress";
    std::mt19937 random(std::random_device{}());
    std::size_t mostMissing = 0;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        QFile::remove(QString::fromStdString(progressPath));
        const double firstTime = kDay0 + round * kHour;
        ToolProcess writer(
            writerCommand(folder.path(), "eth0", "writer", 100'000'000, kPerSecond, firstTime, progressPath));
        ASSERT_TRUE(waitUntil([&] {
            const std::optional<Progress> progress = readProgress(progressPath);
            return progress && progress->committed > 0;
        }));
        std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution(500, 2000)(random)));
        kill(writer.pid(), SIGKILL);
        ASSERT_TRUE(writer.waitForExit(10s));
        const std::optional<Progress> progress = readProgress(progressPath);
        ASSERT_TRUE(progress);

        HistoryStore reopened(folder.options());
        ASSERT_TRUE(reopened.flush(10s));
        EXPECT_TRUE(reopened.status().movedAside.isEmpty());
        const std::size_t kept = streamsBetween(folder.path(), firstTime, firstTime + kHour);
        EXPECT_GE(kept, progress->committed) << "every record committed before the kill is kept";
        ASSERT_LE(kept, progress->recorded);
        EXPECT_EQ(streamsBetween(folder.path(), firstTime, firstTime + static_cast<double>(kept) / 1000.0), kept)
            << "the records kept are the first ones";
        mostMissing = std::max(mostMissing, static_cast<std::size_t>(progress->recorded - kept));
    }
    std::cout << "killed writer: at most " << mostMissing << " records missing, "
              << static_cast<double>(mostMissing) / kPerSecond << " s at " << kPerSecond << " records/s\n";
    RecordProperty("most_missing_records", static_cast<int>(mostMissing));
}

// Two processes write one file as fast as they can while a third asks it questions: every
// record is kept, and no question fails or waits for a writer. Each writer commits at most
// 2,000 records at a time, so the other waits for one short batch, not for a machine's speed.
TEST(HistoryReliabilityTest, TwoWritersAndAReaderAtOnce)
{
    constexpr quint64 kEach = 30'000;
    HistoryFolder folder;
    ToolProcess first(writerCommand(folder.path(), "eth0", "writer-a", kEach, 0, kDay0));
    ToolProcess second(writerCommand(folder.path(), "eth1", "writer-b", kEach, 0, kDay0));
    const HistoryQuery::Range hour{kDay0, kDay0 + kHour};
    std::unique_ptr<HistoryQuery> reader;
    ASSERT_TRUE(waitUntil([&] {
        try {
            reader = std::make_unique<HistoryQuery>(folder.path());
            return true;
        } catch (const std::exception &) {
            return false;
        }
    }));
    std::chrono::duration<double> longest{0};
    int questions = 0;
    while (first.running() || second.running()) {
        const auto asked = std::chrono::steady_clock::now();
        reader->top(HistoryQuery::Grouping::Program, hour, 10);
        reader->streams(hour, 20);
        longest = std::max(longest, std::chrono::duration<double>(std::chrono::steady_clock::now() - asked));
        ++questions;
    }
    for (ToolProcess *writer : {&first, &second}) {
        EXPECT_EQ(writer->waitForExit(0s), 0) << writer->remainingOutput();
        EXPECT_EQ(writer->standardError(), "") << "a writer that paused or failed says so";
    }
    std::cout << questions << " questions while two processes wrote, the longest " << longest.count() * 1000 << " ms\n";
    for (const HistoryQuery::Range &range : {hour, HistoryQuery::Range{kDay0, kDay0 + 4 * kHour}}) {
        const auto programs = HistoryQuery(folder.path()).top(HistoryQuery::Grouping::Program, range, 10);
        EXPECT_EQ(streamsOf(programs, QStringLiteral("writer-a")), kEach);
        EXPECT_EQ(streamsOf(programs, QStringLiteral("writer-b")), kEach);
    }
}

// A full disk pauses history; records wait, and go to the file once space returns.
TEST(HistoryReliabilityTest, FullDiskPausesHistoryUntilSpaceReturns)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root (a private mount namespace with a small tmpfs)";
    HistoryFolder folder;
    inPrivateTmpfs(folder.folder(), 0, [&] {
        HistoryStore store(folder.options());
        std::vector<HistoryRecord> records;
        for (int number = 0; number < 30'100; ++number)
            records.push_back(closedRecord(number, kDay0 + number * 0.01, number % 100));
        store.record(std::vector(records.begin(), records.begin() + 100));
        ASSERT_TRUE(store.flush(10s));
        const QString filler = folder.folder() + QStringLiteral("/filler");
        fillUp(filler);
        store.record(std::vector(records.begin() + 100, records.end()));
        ASSERT_TRUE(waitUntil([&] { return store.status().state == HistoryStore::State::Paused; }));
        const HistoryStore::Status paused = store.status();
        EXPECT_TRUE(paused.message.contains(folder.path())) << paused.message.toStdString();
        EXPECT_GT(paused.queued, 0u);
        QFile::remove(filler);
        ASSERT_TRUE(store.flush(30s));
        EXPECT_EQ(store.status().state, HistoryStore::State::Writing);
        EXPECT_EQ(streamsBetween(folder.path(), kDay0, kDay0 + kHour), records.size());
    });
}

// A folder that cannot be written pauses history from the start; records wait up to the
// queue's limit, the rest are counted, and writing starts once the folder can be written.
TEST(HistoryReliabilityTest, ReadOnlyFolderPausesHistoryWithABoundedQueue)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root (a private mount namespace with a small tmpfs)";
    HistoryFolder folder;
    inPrivateTmpfs(folder.folder(), MS_RDONLY, [&] {
        HistoryStore::Options options = folder.options();
        options.queueLimit = 100;
        HistoryStore store(options);
        ASSERT_TRUE(waitUntil([&] { return store.status().state == HistoryStore::State::Paused; }));
        std::vector<HistoryRecord> records;
        for (int number = 0; number < 150; ++number)
            records.push_back(closedRecord(number, kDay0 + number, number % 10));
        EXPECT_EQ(store.record(records), 100u);
        EXPECT_EQ(store.status().dropped, 50u);
        const std::string target = folder.folder().toStdString();
        ASSERT_EQ(mount("tmpfs", target.c_str(), "tmpfs", MS_REMOUNT, "size=16m"), 0) << std::strerror(errno);
        ASSERT_TRUE(store.flush(10s));
        EXPECT_EQ(store.status().state, HistoryStore::State::Writing);
        EXPECT_TRUE(store.status().message.isEmpty());
        EXPECT_EQ(streamsBetween(folder.path(), kDay0, kDay0 + kHour), 100u);
    });
}
