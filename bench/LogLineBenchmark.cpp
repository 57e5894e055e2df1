#include "logging/StreamEventLog.h"
#include "model/Stream.h"
#include "platform/Clock.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

namespace {

const QString kStreamClosedTemplate = QStringLiteral(
    "__dateTime__ (__unixTime__): __protocol__ stream closed: source: __source__ - destination: __destination__"
    " - total bytes uploaded: __lifetimeUpDataBytes__ (__lifetimeUpDataBytesFormatted__ at __lifetimeUpSpeed__)"
    " - total bytes downloaded: __lifetimeDownDataBytes__ (__lifetimeDownDataBytesFormatted__ at"
    " __lifetimeDownSpeed__)");

// Closed-stream lines with the default template, each written whole and handed to the
// kernel before the next, as the update cycle writes them. With a frozen clock that moves
// a second per line, every line also builds its date text afresh (the worst case); with
// the real clock a burst of lines shares it.
void logClosedStreamLines(benchmark::State &state, bool newSecondEachLine)
{
    QTemporaryDir folder;
    StreamEventLog log;
    log.setLogFormatStreamClosed(kStreamClosedTemplate);
    if (!log.startLoggingToFile(folder.filePath(QStringLiteral("closed.txt")))) {
        state.SkipWithError("cannot open the log file");
        return;
    }
    Stream stream(QStringLiteral("192.168.1.2:49152"), QStringLiteral("example.org:https"), QStringLiteral("TCP"));
    stream.addUpBytes(123456);
    stream.addUpDataBytes(120000);
    stream.addDownBytes(9876543);
    stream.addDownDataBytes(9800000);
    if (newSecondEachLine)
        Clock::freezeAt(Clock::now());
    for (auto _ : state) {
        log.logRemovedStream(stream);
        if (newSecondEachLine)
            Clock::advance(1.0);
    }
    Clock::useSystemTime();
    state.SetItemsProcessed(state.iterations());
}

void BM_LogClosedStreamLine(benchmark::State &state)
{
    logClosedStreamLines(state, false);
}
BENCHMARK(BM_LogClosedStreamLine)->UseRealTime();

void BM_LogClosedStreamLineNewSecondEach(benchmark::State &state)
{
    logClosedStreamLines(state, true);
}
BENCHMARK(BM_LogClosedStreamLineNewSecondEach)->UseRealTime();

} // namespace
