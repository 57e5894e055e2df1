// SPDX-License-Identifier: MIT
// The capture pipeline in the application: records folded into the stream table, records
// through a real pipe from another process, the update cycle and mass expiry.

#include "capture/AsyncProcessAttribution.h"
#include "capture/CaptureHistory.h"
#include "capture/StreamCapture.h"
#include "capture/StreamCaptureCore.h"
#include "capture/StreamTable.h"
#include "history/HistoryStore.h"
#include "logging/StreamEventLog.h"
#include "model/Stream.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "resolve/DNSAsyncLookup.h"
#include "tools/capture/PacketSummary.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QThreadPool>

#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint32_t kLocal = 0xC0A80102;      // 192.168.1.2
constexpr std::uint32_t kRemoteBase = 0x0A000000; // 10.0.0.0
constexpr std::size_t kChunkRecords = StreamCaptureCore::kReadChunkBytes / PacketSummaryV2::kWireSize;

QCoreApplication &application()
{
    static int argc = 1;
    static char name[] = "bench_capture";
    static char *argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

// Conversation n: this machine's port 10000 + n % 50000 with a remote host of its own,
// in both directions by turns.
PacketSummary conversationRecord(std::uint32_t n, bool reply)
{
    const auto localPort = static_cast<std::uint16_t>(10000 + n % 50000);
    const std::uint32_t remote = kRemoteBase + n / 50000 + 1;
    PacketSummary summary{1, 6, kLocal, remote, localPort, 443, 1500, 1448};
    if (reply) {
        std::swap(summary.sourceAddress, summary.destinationAddress);
        std::swap(summary.sourcePort, summary.destinationPort);
    }
    return summary;
}

std::vector<std::byte> wireRecords(std::uint32_t first, std::size_t count, std::uint32_t conversations)
{
    std::vector<std::byte> bytes(count * PacketSummaryV2::kWireSize);
    for (std::size_t i = 0; i < count; ++i) {
        const auto n = static_cast<std::uint32_t>(first + i);
        std::array<std::uint8_t, PacketSummaryV2::kWireSize> record{};
        PacketSummaryV2::widened(conversationRecord(conversations == 0 ? n : n % conversations, n % 2 == 1))
            .encode(record);
        std::memcpy(bytes.data() + i * PacketSummaryV2::kWireSize, record.data(), record.size());
    }
    return bytes;
}

void BM_RecordsForExistingStreams(benchmark::State &state)
{
    application();
    const auto conversations = static_cast<std::uint32_t>(state.range(0));
    StreamCaptureCore core(false);
    core.dataAvailable(wireRecords(0, conversations, conversations));
    const std::vector<std::byte> chunk = wireRecords(0, kChunkRecords, conversations);
    for (auto _ : state)
        core.dataAvailable(chunk);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kChunkRecords));
}
BENCHMARK(BM_RecordsForExistingStreams)->Arg(1000)->Arg(10000)->Arg(100000);

void BM_RecordsForNewStreams(benchmark::State &state)
{
    application();
    auto core = std::make_unique<StreamCaptureCore>(false);
    std::uint32_t next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (next >= 200000) {
            core = std::make_unique<StreamCaptureCore>(false);
            next = 0;
        }
        const std::vector<std::byte> chunk = wireRecords(next * 2, kChunkRecords, 0);
        next += kChunkRecords;
        state.ResumeTiming();
        core->dataAvailable(chunk);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kChunkRecords));
}
BENCHMARK(BM_RecordsForNewStreams);

// A writer process (cat) sends prepared records through a pipe; the capture's own reader
// thread takes them into the table until the writer ends.
void BM_RecordsThroughPipe(benchmark::State &state)
{
    application();
    QTemporaryDir folder;
    const std::string path = folder.filePath(QStringLiteral("records")).toStdString();
    constexpr std::size_t kRecords = 2'000'000;
    {
        std::ofstream file(path, std::ios::binary);
        for (std::size_t written = 0; written < kRecords; written += kChunkRecords) {
            const auto chunk = wireRecords(static_cast<std::uint32_t>(written), kChunkRecords, 1000);
            file.write(reinterpret_cast<const char *>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
        }
    }
    for (auto _ : state) {
        auto core = std::make_shared<StreamCaptureCore>(false);
        core->start("/bin/cat", {path}, QStringLiteral("bench"), {});
        core->joinReader();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kRecords));
}
BENCHMARK(BM_RecordsThroughPipe)->Unit(benchmark::kMillisecond)->UseRealTime();

// A full cycle on the main thread: expiry scan, copies, reset (the part under the lock),
// then the display array, with every stream alive.
void BM_UpdateCycle(benchmark::State &state)
{
    application();
    const auto streams = static_cast<std::uint32_t>(state.range(0));
    auto core = std::make_shared<StreamCaptureCore>(false);
    StreamCapture capture(core);
    capture.setFilter(QStringLiteral("tcp -10.0.0.9"));
    const std::vector<std::byte> traffic = wireRecords(0, streams, streams);
    for (auto _ : state) {
        state.PauseTiming();
        core->dataAvailable(traffic);
        state.ResumeTiming();
        capture.update();
    }
    capture.shutdown();
    state.counters["streams"] = static_cast<double>(capture.streamsArraySource().size());
}
BENCHMARK(BM_UpdateCycle)->Arg(10000)->Unit(benchmark::kMillisecond);

// The same cycle with history on: between the minutes' open records, nothing is recorded.
// With `open records`, every cycle is a minute's, whose records of all live streams are made
// on the main thread and queued for the writer.
void updateCyclesWithHistory(benchmark::State &state, bool openRecords)
{
    application();
    const auto streams = static_cast<std::uint32_t>(state.range(0));
    QTemporaryDir folder;
    HistoryStore::Options options;
    options.path = folder.filePath(QStringLiteral("history.sqlite"));
    options.queueLimit = 10'000'000;
    auto store = std::make_shared<HistoryStore>(options);
    Clock::freezeAt(Clock::now());
    auto core = std::make_shared<StreamCaptureCore>(false);
    StreamCapture capture(core);
    capture.recordHistory(store);
    capture.setFilter(QStringLiteral("tcp -10.0.0.9"));
    const std::vector<std::byte> traffic = wireRecords(0, streams, streams);
    for (auto _ : state) {
        state.PauseTiming();
        Clock::advance(openRecords ? CaptureHistory::kOpenRecordInterval : 0.001);
        core->dataAvailable(traffic);
        state.ResumeTiming();
        capture.update();
    }
    capture.shutdown();
    Clock::useSystemTime();
    state.counters["streams"] = static_cast<double>(capture.streamsArraySource().size());
}
void BM_UpdateCycleWithHistory(benchmark::State &state)
{
    updateCyclesWithHistory(state, false);
}
BENCHMARK(BM_UpdateCycleWithHistory)->Arg(10000)->Unit(benchmark::kMillisecond);
void BM_UpdateCycleWithOpenRecords(benchmark::State &state)
{
    updateCyclesWithHistory(state, true);
}
BENCHMARK(BM_UpdateCycleWithOpenRecords)->Arg(10000)->Unit(benchmark::kMillisecond);

// The part of the cycle that holds the capture's lock, alone: its time is the longest hold.
void BM_UpdateCycleUnderLock(benchmark::State &state)
{
    application();
    const auto streams = static_cast<std::uint32_t>(state.range(0));
    StreamTable table(false);
    StreamEventLog log;
    for (std::uint32_t n = 0; n < streams; ++n)
        table.updateWithSummary(PacketSummaryV2::widened(conversationRecord(n, false)), Clock::now(), log);
    for (auto _ : state)
        benchmark::DoNotOptimize(table.runCycle(Clock::now(), 10.0, log));
}
BENCHMARK(BM_UpdateCycleUnderLock)->Arg(10000)->Unit(benchmark::kMillisecond);

// Every stream expires at once with logging on: the closed-stream lines are queued under the
// lock (the cycle's part there reported as lock_hold_ms), made on the log's thread, and what
// left the table is handed to a pool thread to free, as the update cycle does.
void BM_ExpireStreams(benchmark::State &state)
{
    application();
    const auto streams = static_cast<std::uint32_t>(state.range(0));
    QTemporaryDir folder;
    StreamEventLog log;
    log.setLogFormatStreamClosed(QStringLiteral(
        "__dateTime__ (__unixTime__): __protocol__ stream closed: source: __source__ - destination: "
        "__destination__ - total bytes uploaded: __lifetimeUpDataBytes__ (__lifetimeUpDataBytesFormatted__ at "
        "__lifetimeUpSpeed__) - total bytes downloaded: __lifetimeDownDataBytes__ "
        "(__lifetimeDownDataBytesFormatted__ at __lifetimeDownSpeed__)"));
    log.startLoggingToFile(folder.filePath(QStringLiteral("closed.txt")));
    double longestHold = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        QThreadPool::globalInstance()->waitForDone();
        StreamTable table(false);
        for (std::uint32_t n = 0; n < streams; ++n)
            table.updateWithSummary(PacketSummaryV2::widened(conversationRecord(n, false)), Clock::now(), log);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        StreamTable::Cycle cycle = table.runCycle(Clock::now() + 3600.0, 10.0, log);
        longestHold = std::max(
            longestHold, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        log.writeQueuedLines();
        cycle.freeDepartedElsewhere();
        cycle = {};
    }
    state.counters["lock_hold_ms"] = longestHold;
}
BENCHMARK(BM_ExpireStreams)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

namespace {

long residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

// A million conversations, each a live stream, created with lookups on (services table and
// reverse lookups, the resolver answering at once that it knows no name): resident memory
// per live stream, and at the peak, once a cycle's copies exist too.
void BM_MemoryForConversations(benchmark::State &state)
{
    application();
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    Preferences::shared().registerDefaultPreferences();
    Preferences::shared().setValue(Preferences::LookupServiceNames, true);
    DNSAsyncLookup::sharedLookup().setResolverForTesting([](const QString &) { return std::nullopt; });
    const auto conversations = static_cast<std::uint32_t>(state.range(0));
    for (auto _ : state) {
        const long before = residentBytes();
        StreamCaptureCore core(true);
        for (std::uint32_t first = 0; first < conversations; first += kChunkRecords)
            core.dataAvailable(wireRecords(first * 2, std::min<std::size_t>(kChunkRecords, conversations - first), 0));
        const long live = residentBytes();
        // The cycle's copies for the display live beside the table until the next cycle.
        const StreamTable::Cycle cycle = core.runCycle(Clock::now(), 10.0);
        state.counters["bytes_per_stream"] = static_cast<double>(live - before) / conversations;
        state.counters["peak_rss_MiB"] = static_cast<double>(residentBytes()) / (1024 * 1024);
    }
}
BENCHMARK(BM_MemoryForConversations)->Arg(1'000'000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

namespace {

// A flood of spoofed sources: 1,000,000 records a minute, each from a new random address,
// for ten minutes of capture time (the clock is driven, so it runs faster), through the
// record path with lookups on and an update cycle every second. Streams stay for a minute
// here, so the limit of live streams is reached and held. Resident memory after each
// minute should stay flat once the limits are reached.
void BM_FloodOfNewSources(benchmark::State &state)
{
    application();
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    Preferences::shared().registerDefaultPreferences();
    DNSAsyncLookup::sharedLookup().setResolverForTesting([](const QString &) { return std::nullopt; });
    constexpr int kMinutes = 10;
    constexpr std::uint32_t kRecordsPerSecond = 1'000'000 / 60;
    for (auto _ : state) {
        Clock::freezeAt(900'000'000.0);
        auto core = std::make_shared<StreamCaptureCore>(true);
        StreamCapture capture(core);
        capture.setRemoveInterval(60.0);
        std::uint32_t random = 2463534242u;
        std::vector<std::byte> second(kRecordsPerSecond * PacketSummaryV2::kWireSize);
        double peak = 0.0;
        double afterFirstMinute = 0.0;
        const auto started = std::chrono::steady_clock::now();
        for (int seconds = 0; seconds < kMinutes * 60; ++seconds) {
            for (std::uint32_t n = 0; n < kRecordsPerSecond; ++n) {
                random ^= random << 13;
                random ^= random >> 17;
                random ^= random << 5;
                std::array<std::uint8_t, PacketSummaryV2::kWireSize> record{};
                PacketSummaryV2::widened(
                    PacketSummary{1, 17, random, kLocal, static_cast<std::uint16_t>(random >> 7), 53, 80, 52})
                    .encode(record);
                std::memcpy(second.data() + n * PacketSummaryV2::kWireSize, record.data(), record.size());
            }
            core->dataAvailable(second);
            Clock::advance(1.0);
            capture.update();
            QCoreApplication::processEvents();
            if (seconds % 60 == 59) {
                const double megabytes = static_cast<double>(residentBytes()) / (1024 * 1024);
                peak = std::max(peak, megabytes);
                if (seconds == 59)
                    afterFirstMinute = megabytes;
            }
        }
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        state.counters["rss_after_minute_1_MiB"] = afterFirstMinute;
        state.counters["rss_after_minute_10_MiB"] = static_cast<double>(residentBytes()) / (1024 * 1024);
        state.counters["peak_rss_MiB"] = peak;
        state.counters["records_per_second"] = kMinutes * 60.0 * kRecordsPerSecond / wall;
        state.counters["folded_records"] = static_cast<double>(capture.totals().foldedRecords);
        capture.shutdown();
        Clock::useSystemTime();
    }
}
BENCHMARK(BM_FloodOfNewSources)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

namespace {

// New conversations straight into the table, without (0) and with (1) asking each about its
// program (none matches): the cost the question adds to the reader thread, under the
// capture's lock.
void BM_RecordsForNewStreamsWithProcesses(benchmark::State &state)
{
    application();
    AsyncProcessAttribution attribution;
    AsyncProcessAttribution *asked = state.range(0) != 0 ? &attribution : nullptr;
    auto table = std::make_unique<StreamTable>(false);
    table->setProcessAttribution(asked);
    StreamEventLog log;
    std::uint32_t next = 0;
    for (auto _ : state) {
        if (next >= 200000) {
            state.PauseTiming();
            table = std::make_unique<StreamTable>(false);
            table->setProcessAttribution(asked);
            next = 0;
            state.ResumeTiming();
        }
        for (std::size_t n = 0; n < kChunkRecords; ++n, ++next)
            table->updateWithSummary(PacketSummaryV2::widened(conversationRecord(next * 2, false)), Clock::now(), log);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kChunkRecords));
}
BENCHMARK(BM_RecordsForNewStreamsWithProcesses)->Arg(0)->Arg(1);

} // namespace
