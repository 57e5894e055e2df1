// SPDX-License-Identifier: MIT
#include "logging/StreamEventLog.h"
#include "model/Stream.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

namespace {

const QString kStreamClosedTemplate = QStringLiteral(
    "__dateTime__ (__unixTime__): __protocol__ stream closed: source: __source__ - destination: __destination__"
    " - total bytes uploaded: __lifetimeUpDataBytes__ (__lifetimeUpDataBytesFormatted__ at __lifetimeUpSpeed__)"
    " - total bytes downloaded: __lifetimeDownDataBytes__ (__lifetimeDownDataBytesFormatted__ at"
    " __lifetimeDownSpeed__)");

// Closed-stream lines with the default template, each written whole and handed to the
// kernel before the next, as the update cycle writes them.
void BM_LogClosedStreamLine(benchmark::State &state)
{
    QTemporaryDir folder;
    StreamEventLog log;
    log.setLogFormatStreamClosed(kStreamClosedTemplate);
    if (!log.startLoggingToFile(folder.filePath(QStringLiteral("closed.txt")))) {
        state.SkipWithError("cannot open the log file");
        return;
    }
    EndpointText remote(StreamEndpoint::ipv4(0x5DB8D822, 443));
    remote.setHostName(QStringLiteral("example.org"));
    remote.setServiceName(QStringLiteral("https"));
    Stream stream(EndpointText(StreamEndpoint::ipv4(0xC0A80102, 49152)), remote, QStringLiteral("TCP"));
    stream.addUpBytes(123456);
    stream.addUpDataBytes(120000);
    stream.addDownBytes(9876543);
    stream.addDownDataBytes(9800000);
    for (auto _ : state)
        log.logRemovedStream(stream);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogClosedStreamLine)->UseRealTime();

} // namespace
