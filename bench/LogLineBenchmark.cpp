// SPDX-License-Identifier: MIT
#include "logging/QueuedWriter.h"
#include "logging/StreamEventLog.h"
#include "model/Stream.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <chrono>
#include <vector>

namespace {

const QString kStreamClosedTemplate = QStringLiteral(
    "__dateTime__ (__unixTime__): __protocol__ stream closed: source: __source__ - destination: __destination__"
    " - total bytes uploaded: __lifetimeUpDataBytes__ (__lifetimeUpDataBytesFormatted__ at __lifetimeUpSpeed__)"
    " - total bytes downloaded: __lifetimeDownDataBytes__ (__lifetimeDownDataBytesFormatted__ at"
    " __lifetimeDownSpeed__)");

std::shared_ptr<Stream> closedStream()
{
    EndpointText remote(StreamEndpoint::ipv4(0x5DB8D822, 443));
    remote.setHostName(QStringLiteral("example.org"));
    remote.setServiceName(QStringLiteral("https"));
    auto stream = std::make_shared<Stream>(EndpointText(StreamEndpoint::ipv4(0xC0A80102, 49152)), remote,
                                           QStringLiteral("TCP"));
    stream->addUpBytes(123456);
    stream->addUpDataBytes(120000);
    stream->addDownBytes(9876543);
    stream->addDownDataBytes(9800000);
    return stream;
}

// Closed-stream lines with the default template, each made and handed to the file's writer
// thread; the time includes waiting, at the end, until the last line is in the kernel.
void BM_LogClosedStreamLine(benchmark::State &state)
{
    QTemporaryDir folder;
    StreamEventLog log;
    log.setLogFormatStreamClosed(kStreamClosedTemplate);
    if (!log.startLoggingToFile(folder.filePath(QStringLiteral("closed.txt")))) {
        state.SkipWithError("cannot open the log file");
        return;
    }
    const std::shared_ptr<Stream> stream = closedStream();
    for (auto _ : state)
        log.logRemovedStream(*stream);
    QueuedWriter::waitForAll(std::chrono::seconds(60));
    state.SetItemsProcessed(state.iterations());
    state.counters["dropped"] = static_cast<double>(log.droppedLines());
}
BENCHMARK(BM_LogClosedStreamLine)->UseRealTime();

// An update cycle that closes this many streams at once, into a regular file: the time the
// cycle's thread spends making and queueing the lines (writeQueuedLines), the time until
// the file has them all, and how many a regular file could not take as fast as they came.
void BM_LogBurstOfClosedStreams(benchmark::State &state)
{
    QTemporaryDir folder;
    StreamEventLog log;
    log.setLogFormatStreamClosed(kStreamClosedTemplate);
    if (!log.startLoggingToFile(folder.filePath(QStringLiteral("closed.txt")))) {
        state.SkipWithError("cannot open the log file");
        return;
    }
    const std::vector<std::shared_ptr<const Stream>> closed(static_cast<std::size_t>(state.range(0)), closedStream());
    double writtenMs = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        log.queueRemovedStreams(closed);
        log.writeQueuedLines();
        state.PauseTiming();
        QueuedWriter::waitForAll(std::chrono::seconds(60));
        writtenMs = std::max(
            writtenMs, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        state.ResumeTiming();
    }
    state.counters["all_in_file_ms"] = writtenMs;
    state.counters["dropped"] = static_cast<double>(log.droppedLines());
}
BENCHMARK(BM_LogBurstOfClosedStreams)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

} // namespace
