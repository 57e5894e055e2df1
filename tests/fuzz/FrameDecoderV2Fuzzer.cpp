// SPDX-License-Identifier: MIT
// The first input byte picks a link header length from the tool's table and the next four
// the length on the wire (big-endian); the rest is the captured frame, copied into a
// buffer of exactly its size so any read past it is caught. Whatever lies after the IP
// datagram (Ethernet padding) must not change the record.
#include "tools/capture/FrameDecoderV2.h"
#include "tools/capture/PacketSummary.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

namespace {
constexpr std::size_t kWireLengthBytes = 4;

bool isIpv4Mapped(const PacketSummaryV2::Address &address)
{
    return std::all_of(address.begin(), address.begin() + 10, [](std::uint8_t byte) { return byte == 0; })
        && address[10] == 0xFF && address[11] == 0xFF;
}

constexpr std::size_t kLongestLinkLayer = 14 + 8; // Ethernet with two VLAN tags

// The link layer is the link header plus up to two 4-byte VLAN tags on Ethernet. Without IP
// what follows it counts; with IP the datagram's own length, never more.
bool countsFromTheNetworkLayer(const PacketSummaryV2 &summary, std::size_t linkHeaderLength, std::uint32_t wireLength)
{
    const std::size_t afterLinkHeader = wireLength > linkHeaderLength ? wireLength - linkHeaderLength : 0;
    if (summary.ipVersion != 0)
        return summary.packetBytes <= afterLinkHeader;
    const std::size_t linkLayer = std::size_t{wireLength} - summary.packetBytes;
    if (summary.packetBytes == 0)
        return linkLayer <= linkHeaderLength + 8;
    if (linkHeaderLength != 14)
        return linkLayer == linkHeaderLength;
    return linkLayer == 14 || linkLayer == 18 || linkLayer == 22;
}

// The bytes after the datagram inverted: past the longest link layer plus packetBytes they
// are padding whatever the link layer was. Only for a frame captured no longer than it was
// on the wire, as the tool captures.
bool paddingIsIgnored(const std::vector<std::uint8_t> &frame, std::size_t linkHeaderLength, std::uint32_t wireLength,
                      const PacketSummaryV2 &summary)
{
    if (summary.ipVersion == 0 || frame.size() > wireLength)
        return true;
    std::vector<std::uint8_t> repadded = frame;
    for (std::size_t i = kLongestLinkLayer + summary.packetBytes; i < repadded.size(); ++i)
        repadded[i] = static_cast<std::uint8_t>(~repadded[i]);
    return decodeFrameV2(repadded, linkHeaderLength, wireLength) == summary;
}

bool fieldsAgree(const PacketSummaryV2 &summary)
{
    if (summary.version != PacketSummaryV2::kVersion || summary.dataBytes > summary.packetBytes)
        return false;
    if (summary.hasPorts && summary.ipProtocol != 6 && summary.ipProtocol != 17)
        return false;
    if (!summary.hasPorts && (summary.sourcePort != 0 || summary.destinationPort != 0))
        return false;
    if ((summary.syn || summary.fin || summary.reset) && (!summary.hasPorts || summary.ipProtocol != 6))
        return false;
    if (summary.ipVersion == 4)
        return isIpv4Mapped(summary.sourceAddress) && isIpv4Mapped(summary.destinationAddress);
    if (summary.ipVersion == 0)
        return summary == PacketSummaryV2{.packetBytes = summary.packetBytes};
    return summary.ipVersion == 6;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1 + kWireLengthBytes)
        return 0;
    constexpr std::array<std::size_t, 3> linkHeaderLengths{0, 4, 14};
    const std::size_t linkHeaderLength = linkHeaderLengths[data[0] % linkHeaderLengths.size()];
    const std::uint32_t wireLength = PacketSummary::bigEndian32(std::span<const std::uint8_t, 4>(data + 1, 4));
    const std::vector<std::uint8_t> frame(data + 1 + kWireLengthBytes, data + size);

    const PacketSummaryV2 summary = decodeFrameV2(frame, linkHeaderLength, wireLength);

    if (!fieldsAgree(summary) || !countsFromTheNetworkLayer(summary, linkHeaderLength, wireLength)
        || !paddingIsIgnored(frame, linkHeaderLength, wireLength, summary))
        std::abort();
    std::array<std::uint8_t, PacketSummaryV2::kWireSize> wire{};
    summary.encode(wire);
    if (PacketSummaryV2::decode(wire) != summary)
        std::abort();
    return 0;
}
