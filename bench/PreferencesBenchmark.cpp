// SPDX-License-Identifier: MIT
#include "model/ByteSize.h"
#include "model/ByteSpeedFormatter.h"
#include "platform/Preferences.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <cstdint>

// A reader thread asks for the lookup switches once per endpoint of every new stream.
static void BM_PreferencesReadSwitch(benchmark::State &state)
{
    QTemporaryDir dir;
    Preferences store(dir.filePath(QStringLiteral("Quillmere.conf")));
    store.registerDefaultPreferences();
    for (auto _ : state)
        benchmark::DoNotOptimize(store.boolValue(Preferences::LookupHostnames));
}
BENCHMARK(BM_PreferencesReadSwitch);

static void BM_StringWithByteSize(benchmark::State &state)
{
    std::uint64_t count = 1610612736;
    for (auto _ : state) {
        benchmark::DoNotOptimize(stringWithByteSize(count));
        ++count;
    }
}
BENCHMARK(BM_StringWithByteSize);

static void BM_ByteSpeedFormatter(benchmark::State &state)
{
    const ByteSpeedFormatter formatter;
    const QVariant speed(1536.9);
    for (auto _ : state)
        benchmark::DoNotOptimize(formatter.stringForObjectValue(speed));
}
BENCHMARK(BM_ByteSpeedFormatter);
