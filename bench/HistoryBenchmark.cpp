// SPDX-License-Identifier: MIT
// The history store: recording closed streams on the writer thread, the bytes a kept stream
// takes on disk, and the questions of the history window over a week of a busy machine.
//
// The week (10,000,000 streams) takes about a minute to build; it is built once into
// build/bench-history/ and reused by later runs.

#include "history/HistoryFile.h"
#include "history/HistoryQuery.h"
#include "history/HistoryRecord.h"
#include "history/HistoryStore.h"
#include "history/HistoryWriter.h"
#include "history/SqliteConnection.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {
constexpr double kWeekEnd = 819'997'200.0; // 2026-12-27 08:00 UTC
constexpr double kDay = 86'400.0;
constexpr std::size_t kWeekStreams = 10'000'000;
// As the writer takes them from its queue under a flood of closed streams.
const std::size_t kBatch = HistoryStore::Options().batchLimit;

// Streams as a busy desktop makes them: remote hosts, programs and services each from a
// long-tailed choice (a few of each carry most streams), names for most hosts, DNS
// questions and web connections by far the most common, byte counts over five orders of
// magnitude.
class RealisticStreams
{
public:
    static constexpr int kHosts = 20'000;
    static constexpr int kPrograms = 60;

    explicit RealisticStreams(unsigned seed = 21)
        : m_random(seed)
        , m_host(zipf(kHosts, 1.05))
        , m_program(zipf(kPrograms, 1.2))
    {
    }

    // A stream last seen at `lastSeen`.
    HistoryRecord next(double lastSeen)
    {
        struct Service
        {
            std::uint8_t protocol;
            std::uint16_t port;
            const char *name;
            double weight;
        };
        static constexpr std::array<Service, 8> kServices{{{17, 53, "domain", 30},
                                                           {6, 443, "https", 45},
                                                           {6, 80, "http", 8},
                                                           {17, 443, "", 6},
                                                           {6, 22, "ssh", 2},
                                                           {6, 993, "imaps", 2},
                                                           {17, 123, "ntp", 2},
                                                           {6, 0, "", 5}}};
        static std::discrete_distribution<std::size_t> pick = [] {
            std::vector<double> weights;
            for (const Service &service : kServices)
                weights.push_back(service.weight);
            return std::discrete_distribution<std::size_t>(weights.begin(), weights.end());
        }();
        const Service &service = kServices[pick(m_random)];
        const int host = static_cast<int>(m_host(m_random));
        const int program = static_cast<int>(m_program(m_random));
        const bool dns = service.port == 53;
        HistoryRecord record;
        record.interfaceName = uniform(10) == 0 ? QStringLiteral("wlan0") : QStringLiteral("eth0");
        record.serial = ++m_serial;
        record.lastSeen = lastSeen;
        record.firstSeen = lastSeen - (dns ? 0.05 : std::pow(10.0, uniform(1000) / 300.0));
        record.protocol = service.protocol;
        const bool six = host % 7 == 0;
        record.local = six ? StreamEndpoint::fromBytes({0x20, 0x01, 0x0D, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10},
                                                       static_cast<std::uint16_t>(32768 + uniform(28000)))
                           : StreamEndpoint::ipv4(0xC0A80102, static_cast<std::uint16_t>(32768 + uniform(28000)));
        record.remote
            = remoteOf(host, six, service.port == 0 ? static_cast<std::uint16_t>(1024 + uniform(60000)) : service.port);
        record.localHostName = six ? QString() : QStringLiteral("workstation.home.arpa");
        if (host % 10 < 7)
            record.remoteHostName = QStringLiteral("host-%1.%2.example.net").arg(host).arg(host % 37);
        record.remoteServiceName = QString::fromLatin1(service.name);
        if (program % 10 != 9) {
            record.programName = QStringLiteral("program-%1").arg(program);
            record.programId = static_cast<quint32>(1000 + program * 17 + uniform(3));
        }
        const double scale = dns ? 2.0 : 2.5 + uniform(1000) / 250.0;
        record.upBytes = static_cast<quint64>(std::pow(10.0, scale - 0.7));
        record.downBytes = static_cast<quint64>(std::pow(10.0, scale));
        record.upPayloadBytes = record.upBytes * 3 / 4;
        record.downPayloadBytes = record.downBytes * 9 / 10;
        const int reason = uniform(10);
        record.closeReason = reason < 6 ? HistoryRecord::kClosed
            : reason < 9                ? HistoryRecord::kIdle
                                        : HistoryRecord::kReset;
        return record;
    }

    // `count` streams evenly over the `seconds` before `end`.
    std::vector<HistoryRecord> over(double end, double seconds, std::size_t first, std::size_t count, std::size_t total)
    {
        std::vector<HistoryRecord> records;
        records.reserve(count);
        for (std::size_t index = first; index < first + count; ++index)
            records.push_back(next(end - seconds + seconds * static_cast<double>(index) / static_cast<double>(total)));
        return records;
    }

    static StreamEndpoint remoteOf(int host, bool six, std::uint16_t port)
    {
        const auto number = static_cast<std::uint32_t>(host);
        if (!six)
            return StreamEndpoint::ipv4(0x0A000000 + number * 13 + 1, port);
        return StreamEndpoint::fromBytes({0x2A, 0x00, 0x14, 0x50, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                          static_cast<std::uint8_t>(number >> 16),
                                          static_cast<std::uint8_t>(number >> 8), static_cast<std::uint8_t>(number)},
                                         port);
    }

private:
    static std::discrete_distribution<int> zipf(int count, double exponent)
    {
        std::vector<double> weights;
        for (int rank = 1; rank <= count; ++rank)
            weights.push_back(1.0 / std::pow(rank, exponent));
        return std::discrete_distribution<int>(weights.begin(), weights.end());
    }

    int uniform(int below) { return std::uniform_int_distribution<int>(0, below - 1)(m_random); }

    std::mt19937_64 m_random;
    std::discrete_distribution<int> m_host;
    std::discrete_distribution<int> m_program;
    quint64 m_serial = 0;
};

// Bytes this process has handed to write calls so far (the WAL and the checkpoints).
double bytesWritten()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    double value = 0;
    while (io >> key >> value) {
        if (key == "wchar:")
            return value;
    }
    return 0;
}

void writeStreams(const QString &path, double end, double seconds, std::size_t total)
{
    const auto connection = HistoryFile::openForWriting(path);
    HistoryWriter writer(*connection);
    RealisticStreams streams;
    for (std::size_t first = 0; first < total; first += kBatch)
        writer.write(streams.over(end, seconds, first, std::min(kBatch, total - first), total));
}

// The week's file, built on first use.
const QString &weekFile()
{
    static const QString path = [] {
        const QString folder = QStringLiteral(QUILLMERE_BUILD_DIR "/bench-history");
        const QString file = folder + QStringLiteral("/week-10m-v3.sqlite");
        if (!QFileInfo::exists(file)) {
            QDir().mkpath(folder);
            const QString building = file + QStringLiteral(".building");
            QFile::remove(building);
            writeStreams(building, kWeekEnd, 7 * kDay, kWeekStreams);
            QFile::rename(building, file);
        }
        return file;
    }();
    return path;
}

// Closed streams written in batches, as the writer thread writes them, into a file that
// grows as the benchmark runs: a day's streams in time order, a full batch at a time.
void BM_RecordClosedStreams(benchmark::State &state)
{
    QTemporaryDir folder;
    const auto connection = HistoryFile::openForWriting(folder.filePath(QStringLiteral("history.sqlite")));
    HistoryWriter writer(*connection);
    RealisticStreams streams;
    const double writtenBefore = bytesWritten();
    std::size_t first = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::vector<HistoryRecord> batch = streams.over(kWeekEnd, kDay, first, kBatch, 10'000'000);
        first += batch.size();
        state.ResumeTiming();
        writer.write(batch);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(first));
    state.counters["written_per_stream"] = (bytesWritten() - writtenBefore) / static_cast<double>(first);
}
BENCHMARK(BM_RecordClosedStreams)->Unit(benchmark::kMillisecond)->Iterations(20);

// The same through the store: queued by the caller, written by the writer thread.
void BM_RecordThroughTheStore(benchmark::State &state)
{
    QTemporaryDir folder;
    HistoryStore::Options options;
    options.path = folder.filePath(QStringLiteral("history.sqlite"));
    options.retention.days = 1e6;
    HistoryStore store(options);
    RealisticStreams streams;
    std::size_t first = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<HistoryRecord> batch = streams.over(kWeekEnd, kDay, first, 100'000, 10'000'000);
        first += batch.size();
        state.ResumeTiming();
        store.record(std::move(batch));
        store.flush(std::chrono::seconds(60));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(first));
}
BENCHMARK(BM_RecordThroughTheStore)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

// The file's size per stream once a million varied streams of a day are kept.
void BM_BytesPerKeptStream(benchmark::State &state)
{
    constexpr std::size_t kStreams = 1'000'000;
    for (auto _ : state) {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("history.sqlite"));
        writeStreams(path, kWeekEnd, kDay, kStreams);
        state.counters["bytes_per_stream"] = static_cast<double>(QFileInfo(path).size()) / kStreams;
        state.counters["file_MiB"] = static_cast<double>(QFileInfo(path).size()) / (1 << 20);
    }
}
BENCHMARK(BM_BytesPerKeptStream)->Unit(benchmark::kSecond)->Iterations(1);

// A writer opening the week's file: its pages checked, its version read.
void BM_OpenTheWeekForWriting(benchmark::State &state)
{
    const QString &path = weekFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(HistoryFile::openForWriting(path));
    state.counters["file_MiB"] = static_cast<double>(QFileInfo(path).size()) / (1 << 20);
}
BENCHMARK(BM_OpenTheWeekForWriting)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TopHostsOfTheWeek(benchmark::State &state)
{
    HistoryQuery query(weekFile());
    std::size_t groups = 0;
    for (auto _ : state)
        groups = query.top(HistoryQuery::Grouping::RemoteHost, {kWeekEnd - 7 * kDay, kWeekEnd}, 20).size();
    state.counters["groups"] = static_cast<double>(groups);
}
BENCHMARK(BM_TopHostsOfTheWeek)->Unit(benchmark::kMillisecond);

// One host's streams of a day, the 1,000 with the most bytes first, as a window lists them:
// the host at rank state.range(0) of the day.
void BM_OneHostsStreamsOfADay(benchmark::State &state)
{
    HistoryQuery query(weekFile());
    const HistoryQuery::Range day{kWeekEnd - kDay, kWeekEnd};
    const auto hosts = query.top(HistoryQuery::Grouping::RemoteHost, day, static_cast<std::size_t>(state.range(0)));
    const HistoryQuery::GroupKey host = hosts.back().key;
    std::size_t listed = 0;
    for (auto _ : state)
        listed = query.streams(day, 1000, host).size();
    state.counters["listed"] = static_cast<double>(listed);
    state.counters["streams_of_the_day"] = static_cast<double>(hosts.back().totals.streams);
}
BENCHMARK(BM_OneHostsStreamsOfADay)->Unit(benchmark::kMillisecond)->Arg(1)->Arg(20)->Arg(500);

// The chart of a week: bytes per hour, for everything and for the busiest program.
void BM_HourlyChartOfTheWeek(benchmark::State &state)
{
    HistoryQuery query(weekFile());
    const HistoryQuery::Range week{kWeekEnd - 7 * kDay, kWeekEnd};
    const HistoryQuery::GroupKey program = query.top(HistoryQuery::Grouping::Program, week, 1).front().key;
    for (auto _ : state) {
        benchmark::DoNotOptimize(query.bytesOverTime(week, 3600.0));
        benchmark::DoNotOptimize(query.bytesOverTime(week, 3600.0, program));
    }
}
BENCHMARK(BM_HourlyChartOfTheWeek)->Unit(benchmark::kMillisecond);

// Top programs of the last hour, from the rows.
void BM_TopProgramsOfAnHour(benchmark::State &state)
{
    HistoryQuery query(weekFile());
    for (auto _ : state)
        benchmark::DoNotOptimize(query.top(HistoryQuery::Grouping::Program, {kWeekEnd - 3600.0, kWeekEnd}, 20));
}
BENCHMARK(BM_TopProgramsOfAnHour)->Unit(benchmark::kMillisecond);
} // namespace
