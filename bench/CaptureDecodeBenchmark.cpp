// Frames decoded and records encoded per second by the capture tool's per-packet path.

#include "tools/capture/FrameDecoder.h"
#include "tools/capture/RecordWriter.h"

#include <benchmark/benchmark.h>

#include <array>
#include <fcntl.h>
#include <unistd.h>

namespace {
// 60-byte Ethernet frame: IPv4, UDP 40000 -> 9, 18 bytes of payload.
constexpr std::array<std::uint8_t, 60> kUdpFrame{
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x08, 0x00,
    0x45, 0, 0, 46, 0x12, 0x34, 0x40, 0, 64, 17, 0, 0, 127, 0, 0, 1, 127, 0, 0, 1,
    0x9C, 0x40, 0, 9, 0, 26, 0, 0};

// 66-byte Ethernet frame: IPv4, TCP 443 -> 50000 with a 32-byte header (timestamps).
constexpr std::array<std::uint8_t, 66> kTcpFrame{
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x08, 0x00,
    0x45, 0, 0, 52, 0x12, 0x34, 0x40, 0, 64, 6, 0, 0, 10, 0, 0, 1, 10, 0, 0, 2,
    0x01, 0xBB, 0xC3, 0x50, 0, 0, 0, 1, 0, 0, 0, 1, 0x80, 0x10};

// 42-byte ARP request: summarised without decoding.
constexpr std::array<std::uint8_t, 42> kArpFrame{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x08, 0x06};

template <std::size_t Size>
void decodeOnly(benchmark::State& state, const std::array<std::uint8_t, Size>& frame)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(frame.data());
        PacketSummary summary = decodeFrame(frame, 14);
        benchmark::DoNotOptimize(summary);
    }
    state.SetItemsProcessed(state.iterations());
}

void CaptureDecodeUdpFrame(benchmark::State& state) { decodeOnly(state, kUdpFrame); }
void CaptureDecodeTcpFrame(benchmark::State& state) { decodeOnly(state, kTcpFrame); }
void CaptureDecodeArpFrame(benchmark::State& state) { decodeOnly(state, kArpFrame); }

void CaptureDecodeAndEncode(benchmark::State& state)
{
    std::array<std::uint8_t, PacketSummary::kWireSize> image{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(kUdpFrame.data());
        decodeFrame(kUdpFrame, 14).encode(image);
        benchmark::DoNotOptimize(image.data());
    }
    state.SetItemsProcessed(state.iterations());
}

// One capture pass of 1000 frames: decode, buffer, and a single write to /dev/null.
void CaptureDecodeEncodeAndWritePass(benchmark::State& state)
{
    constexpr int kFramesPerPass = 1000;
    const int sink = open("/dev/null", O_WRONLY | O_CLOEXEC);
    static RecordWriter writer(sink);
    for (auto _ : state) {
        for (int frame = 0; frame < kFramesPerPass; ++frame) {
            benchmark::DoNotOptimize(kUdpFrame.data());
            writer.add(decodeFrame(kUdpFrame, 14));
        }
        writer.flush();
    }
    close(sink);
    state.SetItemsProcessed(state.iterations() * kFramesPerPass);
}
} // namespace

BENCHMARK(CaptureDecodeUdpFrame);
BENCHMARK(CaptureDecodeTcpFrame);
BENCHMARK(CaptureDecodeArpFrame);
BENCHMARK(CaptureDecodeAndEncode);
BENCHMARK(CaptureDecodeEncodeAndWritePass);
