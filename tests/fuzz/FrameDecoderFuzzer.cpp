// SPDX-License-Identifier: MIT
// The first input byte picks a link header length from the tool's table; the rest is the
// frame, copied into a buffer of exactly its size so any read past it is caught.
#include "tools/capture/FrameDecoder.h"
#include "tools/capture/PacketSummary.h"

#include <array>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    constexpr std::array<std::size_t, 3> linkHeaderLengths{0, 4, 14};
    const std::size_t linkHeaderLength = linkHeaderLengths[data[0] % linkHeaderLengths.size()];
    const std::vector<std::uint8_t> frame(data + 1, data + size);

    const PacketSummary summary = decodeFrame(frame, linkHeaderLength);

    const auto expectedPacketBytes = static_cast<std::uint16_t>(frame.size() - linkHeaderLength);
    if (summary.packetBytes != expectedPacketBytes)
        std::abort();
    if (summary.hasPorts && summary.ipProtocol != 6 && summary.ipProtocol != 17)
        std::abort();
    if (!summary.hasPorts && (summary.sourcePort != 0 || summary.destinationPort != 0))
        std::abort();

    std::array<std::uint8_t, PacketSummary::kWireSize> wire{};
    summary.encode(wire);
    if (PacketSummary::decode(wire) != summary)
        std::abort();
    return 0;
}
