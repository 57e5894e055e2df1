// SPDX-License-Identifier: MIT
#include "model/Stream.h"
#include "platform/Clock.h"

#include <benchmark/benchmark.h>

#include <QStringList>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

std::shared_ptr<Stream> countedStream(int index)
{
    const auto n = static_cast<std::uint32_t>(index);
    const EndpointText source(
        StreamEndpoint::ipv4(0xC0A80100 + n % 250 + 1, static_cast<std::uint16_t>(49152 + n % 16000)));
    EndpointText destination(StreamEndpoint::ipv4(0x0A140000 + (n % 200 << 8) + n % 97, 993));
    destination.setServiceName(QStringLiteral("imaps"));
    if (index % 3 == 0)
        destination.setHostName(QStringLiteral("mail.example.org"));
    auto stream = Stream::streamWithSource(source, destination,
                                           index % 4 == 0 ? QStringLiteral("UDP") : QStringLiteral("TCP"), false);
    stream->addUpBytes(1500);
    stream->addUpDataBytes(1448);
    stream->addDownBytes(52);
    return stream;
}

void valueForTextKey(benchmark::State &state)
{
    const auto stream = countedStream(7);
    const QString key = QStringLiteral("destination");
    for (auto _ : state)
        benchmark::DoNotOptimize(stream->valueForKey(key));
}
BENCHMARK(valueForTextKey);

void valueForNumberKey(benchmark::State &state)
{
    const auto stream = countedStream(7);
    const QString key = QStringLiteral("lifetimeUpBytes");
    for (auto _ : state)
        benchmark::DoNotOptimize(stream->valueForKey(key));
}
BENCHMARK(valueForNumberKey);

void copy(benchmark::State &state)
{
    const auto stream = countedStream(7);
    for (auto _ : state)
        benchmark::DoNotOptimize(stream->copy());
}
BENCHMARK(copy);

// The update cycle's filter step: every word must match, a leading "-" excludes.
void matchesFilterTenThousandStreams(benchmark::State &state)
{
    std::vector<std::shared_ptr<Stream>> streams;
    for (int index = 0; index < 10000; ++index)
        streams.push_back(countedStream(index)->copy());
    const QStringList words = QStringLiteral("tcp -example").split(u' ');
    std::size_t shown = 0;
    for (auto _ : state) {
        shown = 0;
        for (const auto &stream : streams) {
            const bool passes = std::all_of(words.cbegin(), words.cend(),
                                            [&](const QString &word) { return stream->matchesFilter(word); });
            shown += passes ? 1 : 0;
        }
        benchmark::DoNotOptimize(shown);
    }
    state.counters["shown"] = static_cast<double>(shown);
}
BENCHMARK(matchesFilterTenThousandStreams)->Unit(benchmark::kMicrosecond);

} // namespace
