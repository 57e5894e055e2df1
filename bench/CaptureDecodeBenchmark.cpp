// SPDX-License-Identifier: MIT
// Frames decoded and records encoded per second by the capture tool's per-packet path.

#include "tools/capture/FrameDecoder.h"
#include "tools/capture/FrameDecoderV2.h"
#include "tools/capture/RecordWriter.h"

#include <benchmark/benchmark.h>

#include <array>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {
// 60-byte Ethernet frame: IPv4, UDP 40000 -> 9, 18 bytes of payload.
constexpr std::array<std::uint8_t, 60> kUdpFrame{0,    0, 0,   0,  0,    0,    0,    0,    0,  0,  0, 0,  0x08, 0x00,
                                                 0x45, 0, 0,   46, 0x12, 0x34, 0x40, 0,    64, 17, 0, 0,  127,  0,
                                                 0,    1, 127, 0,  0,    1,    0x9C, 0x40, 0,  9,  0, 26, 0,    0};

// 66-byte Ethernet frame: IPv4, TCP 443 -> 50000 with a 32-byte header (timestamps).
constexpr std::array<std::uint8_t, 66> kTcpFrame{
    0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0,    0,    0x08, 0x00, 0x45, 0, 0, 52, 0x12, 0x34, 0x40, 0, 64,   6,
    0, 0, 10, 0, 0, 1, 10, 0, 0, 2, 0x01, 0xBB, 0xC3, 0x50, 0,    0, 0, 1,  0,    0,    0,    1, 0x80, 0x10};

// 42-byte ARP request: summarised without decoding.
constexpr std::array<std::uint8_t, 42> kArpFrame{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x08, 0x06};

// 86-byte Ethernet frame: IPv6 ::1 -> ::1, hop-by-hop and destination options headers,
// UDP 40000 -> 9 with 8 bytes of payload.
constexpr std::array<std::uint8_t, 86> kIpv6ChainFrame{
    0, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0,  0, 0x86, 0xDD, 0x60, 0, 0, 0, 0,    32,   0, 64, 0, 0, 0, 0,
    0, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0,  1, 0,    0,    0,    0, 0, 0, 0,    0,    0, 0,  0, 0, 0, 0,
    0, 1, 60, 0, 0, 0, 0, 0, 0, 0, 17, 0, 0,    0,    0,    0, 0, 0, 0x9C, 0x40, 0, 9,  0, 16};

// 64-byte Ethernet frame: 802.1ad and 802.1Q tags, then the UDP frame's IPv4 header and ports.
constexpr std::array<std::uint8_t, 64> kDoubleTaggedFrame{
    0,  0,    0,    0,    0, 0,  0,  0, 0, 0,   0, 0, 0x88, 0xA8, 0, 5, 0x81, 0x00, 0,    6, 0x08, 0x00, 0x45, 0, 0,
    46, 0x12, 0x34, 0x40, 0, 64, 17, 0, 0, 127, 0, 0, 1,    127,  0, 0, 1,    0x9C, 0x40, 0, 9,    0,    26,   0, 0};

template <std::size_t Size> void decodeOnly(benchmark::State &state, const std::array<std::uint8_t, Size> &frame)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(frame.data());
        PacketSummary summary = decodeFrame(frame, 14);
        benchmark::DoNotOptimize(summary);
    }
    state.SetItemsProcessed(state.iterations());
}

// Version 2 as the tool runs it: the whole frame captured here, so the wire length is its size.
template <std::size_t Size> void decodeOnlyV2(benchmark::State &state, const std::array<std::uint8_t, Size> &frame)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(frame.data());
        PacketSummaryV2 summary = decodeFrameV2(frame, 14, Size);
        benchmark::DoNotOptimize(summary);
    }
    state.SetItemsProcessed(state.iterations());
}

// One capture pass of 1000 frames: decode, buffer, and a single write to /dev/null.
template <typename Decode> void decodeEncodeAndWritePasses(benchmark::State &state, Decode decode)
{
    constexpr int kFramesPerPass = 1000;
    const int sink = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const auto writer = std::make_unique<RecordWriter>(sink);
    for (auto _ : state) {
        for (int frame = 0; frame < kFramesPerPass; ++frame) {
            benchmark::DoNotOptimize(kUdpFrame.data());
            writer->add(decode());
        }
        writer->flush();
    }
    close(sink);
    state.SetItemsProcessed(state.iterations() * kFramesPerPass);
}

void CaptureDecodeUdpFrame(benchmark::State &state)
{
    decodeOnly(state, kUdpFrame);
}
void CaptureDecodeTcpFrame(benchmark::State &state)
{
    decodeOnly(state, kTcpFrame);
}
void CaptureDecodeArpFrame(benchmark::State &state)
{
    decodeOnly(state, kArpFrame);
}
void CaptureDecodeV2UdpFrame(benchmark::State &state)
{
    decodeOnlyV2(state, kUdpFrame);
}
void CaptureDecodeV2TcpFrame(benchmark::State &state)
{
    decodeOnlyV2(state, kTcpFrame);
}
void CaptureDecodeV2ArpFrame(benchmark::State &state)
{
    decodeOnlyV2(state, kArpFrame);
}
void CaptureDecodeV2Ipv6ChainFrame(benchmark::State &state)
{
    decodeOnlyV2(state, kIpv6ChainFrame);
}
void CaptureDecodeV2DoubleTaggedFrame(benchmark::State &state)
{
    decodeOnlyV2(state, kDoubleTaggedFrame);
}

void CaptureDecodeAndEncode(benchmark::State &state)
{
    std::array<std::uint8_t, PacketSummary::kWireSize> image{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(kUdpFrame.data());
        decodeFrame(kUdpFrame, 14).encode(image);
        benchmark::DoNotOptimize(image.data());
    }
    state.SetItemsProcessed(state.iterations());
}

void CaptureDecodeEncodeAndWritePass(benchmark::State &state)
{
    decodeEncodeAndWritePasses(state, [] { return decodeFrame(kUdpFrame, 14); });
}

void CaptureDecodeV2EncodeAndWritePass(benchmark::State &state)
{
    decodeEncodeAndWritePasses(state, [] { return decodeFrameV2(kUdpFrame, 14, kUdpFrame.size()); });
}
} // namespace

BENCHMARK(CaptureDecodeUdpFrame);
BENCHMARK(CaptureDecodeTcpFrame);
BENCHMARK(CaptureDecodeArpFrame);
BENCHMARK(CaptureDecodeAndEncode);
BENCHMARK(CaptureDecodeEncodeAndWritePass);
BENCHMARK(CaptureDecodeV2UdpFrame);
BENCHMARK(CaptureDecodeV2TcpFrame);
BENCHMARK(CaptureDecodeV2ArpFrame);
BENCHMARK(CaptureDecodeV2Ipv6ChainFrame);
BENCHMARK(CaptureDecodeV2DoubleTaggedFrame);
BENCHMARK(CaptureDecodeV2EncodeAndWritePass);
