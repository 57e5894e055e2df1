// SPDX-License-Identifier: MIT
#pragma once

// The fixed-size records the capture tool writes, one per frame, and the application reads
// back. Plain C++ without Qt so the setuid tool and the application share them. The tool
// writes one kind per run: the 20-byte PacketSummary by default, the 48-byte
// PacketSummaryV2 when started with --records=2.
//
// PacketSummary pipe image, every multi-byte field big-endian, records back to back:
//   0 hasPorts | 1 ipProtocol | 2-3 reserved (zero) | 4-7 sourceAddress |
//   8-11 destinationAddress | 12-13 sourcePort | 14-15 destinationPort |
//   16-17 packetBytes | 18-19 dataBytes
// In memory every field is in host order; an address reads as its dotted quad with the
// first octet most significant (10.0.0.1 is 0x0A000001).

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

struct PacketSummary
{
    static constexpr std::size_t kWireSize = 20;

    std::uint8_t hasPorts = 0;
    std::uint8_t ipProtocol = 0;
    std::uint32_t sourceAddress = 0;
    std::uint32_t destinationAddress = 0;
    std::uint16_t sourcePort = 0;
    std::uint16_t destinationPort = 0;
    std::uint16_t packetBytes = 0;
    std::uint16_t dataBytes = 0;

    friend bool operator==(const PacketSummary &, const PacketSummary &) = default;

    constexpr void encode(std::span<std::uint8_t, kWireSize> out) const
    {
        out[0] = hasPorts;
        out[1] = ipProtocol;
        out[2] = 0;
        out[3] = 0;
        putBigEndian32(out.subspan<4, 4>(), sourceAddress);
        putBigEndian32(out.subspan<8, 4>(), destinationAddress);
        putBigEndian16(out.subspan<12, 2>(), sourcePort);
        putBigEndian16(out.subspan<14, 2>(), destinationPort);
        putBigEndian16(out.subspan<16, 2>(), packetBytes);
        putBigEndian16(out.subspan<18, 2>(), dataBytes);
    }

    // Reads exactly the 20 bytes it is given; the reserved bytes 2-3 are ignored.
    static constexpr PacketSummary decode(std::span<const std::uint8_t, kWireSize> in)
    {
        PacketSummary summary;
        summary.hasPorts = in[0];
        summary.ipProtocol = in[1];
        summary.sourceAddress = bigEndian32(in.subspan<4, 4>());
        summary.destinationAddress = bigEndian32(in.subspan<8, 4>());
        summary.sourcePort = bigEndian16(in.subspan<12, 2>());
        summary.destinationPort = bigEndian16(in.subspan<14, 2>());
        summary.packetBytes = bigEndian16(in.subspan<16, 2>());
        summary.dataBytes = bigEndian16(in.subspan<18, 2>());
        return summary;
    }

    // For readers that hold the pipe's bytes as char (QByteArray, std::string).
    static PacketSummary decode(std::span<const char, kWireSize> in)
    {
        return decode(
            std::span<const std::uint8_t, kWireSize>(reinterpret_cast<const std::uint8_t *>(in.data()), kWireSize));
    }

    static constexpr std::uint16_t bigEndian16(std::span<const std::uint8_t, 2> bytes)
    {
        return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
    }

    static constexpr std::uint32_t bigEndian32(std::span<const std::uint8_t, 4> bytes)
    {
        return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8)
            | std::uint32_t{bytes[3]};
    }

    static constexpr void putBigEndian16(std::span<std::uint8_t, 2> out, std::uint16_t value)
    {
        out[0] = static_cast<std::uint8_t>(value >> 8);
        out[1] = static_cast<std::uint8_t>(value);
    }

    static constexpr void putBigEndian32(std::span<std::uint8_t, 4> out, std::uint32_t value)
    {
        out[0] = static_cast<std::uint8_t>(value >> 24);
        out[1] = static_cast<std::uint8_t>(value >> 16);
        out[2] = static_cast<std::uint8_t>(value >> 8);
        out[3] = static_cast<std::uint8_t>(value);
    }
};

// Version 2: IPv4 and IPv6 with full addresses, and 32-bit lengths so frames above 64 KiB
// (offloaded segments on loopback) are counted like any other.
//
// Pipe image, every multi-byte field big-endian, records back to back:
//   0 version (2) | 1 flags: bit 0 hasPorts, bit 1 fragment, bit 2 SYN, bit 3 FIN, bit 4 RST,
//   others zero | 2 ipProtocol |
//   3 ipVersion | 4-19 sourceAddress | 20-35 destinationAddress | 36-37 sourcePort |
//   38-39 destinationPort | 40-43 packetBytes | 44-47 dataBytes
// ipVersion is 4 or 6 for an IP packet and 0 for a frame without a decodable IP header
// (whose addresses, protocol and ports are then zero), so a reader never guesses the family
// from the addresses. Addresses are the 16 bytes of an IPv6 address in network order; an
// IPv4 address is IPv4-mapped (::ffff:a.b.c.d). A fragment is part of a datagram its sender
// split; only the first one carries ports. SYN, FIN and RST are the TCP header's flags of a
// TCP segment with ports (zero otherwise): they tell where a connection begins and ends.
struct PacketSummaryV2
{
    static constexpr std::size_t kWireSize = 48;
    static constexpr std::uint8_t kVersion = 2;
    static constexpr std::uint8_t kHasPortsFlag = 0x01;
    static constexpr std::uint8_t kFragmentFlag = 0x02;
    static constexpr std::uint8_t kSynFlag = 0x04;
    static constexpr std::uint8_t kFinFlag = 0x08;
    static constexpr std::uint8_t kResetFlag = 0x10;
    using Address = std::array<std::uint8_t, 16>;

    // A reader checks this to know it is in step with a version-2 stream.
    std::uint8_t version = kVersion;
    std::uint8_t ipVersion = 0;
    bool hasPorts = false;
    bool fragment = false;
    bool syn = false;
    bool fin = false;
    bool reset = false;
    std::uint8_t ipProtocol = 0;
    Address sourceAddress{};
    Address destinationAddress{};
    std::uint16_t sourcePort = 0;
    std::uint16_t destinationPort = 0;
    std::uint32_t packetBytes = 0;
    std::uint32_t dataBytes = 0;

    friend bool operator==(const PacketSummaryV2 &, const PacketSummaryV2 &) = default;

    // ::ffff:a.b.c.d for an address held as PacketSummary holds it (10.0.0.1 is 0x0A000001).
    static constexpr Address ipv4Mapped(std::uint32_t address)
    {
        Address mapped{};
        mapped[10] = 0xFF;
        mapped[11] = 0xFF;
        PacketSummary::putBigEndian32(std::span(mapped).subspan<12, 4>(), address);
        return mapped;
    }

    // The same IPv4 frame as the 20-byte record tells it (a record without any IP at all,
    // all zero but its length, stays without a version).
    static constexpr PacketSummaryV2 widened(const PacketSummary &narrow)
    {
        PacketSummaryV2 wide;
        const bool hasIp = narrow.ipProtocol != 0 || narrow.sourceAddress != 0 || narrow.destinationAddress != 0;
        wide.ipVersion = hasIp ? 4 : 0;
        wide.hasPorts = narrow.hasPorts != 0;
        wide.ipProtocol = narrow.ipProtocol;
        if (hasIp) {
            wide.sourceAddress = ipv4Mapped(narrow.sourceAddress);
            wide.destinationAddress = ipv4Mapped(narrow.destinationAddress);
        }
        wide.sourcePort = narrow.sourcePort;
        wide.destinationPort = narrow.destinationPort;
        wide.packetBytes = narrow.packetBytes;
        wide.dataBytes = narrow.dataBytes;
        return wide;
    }

    constexpr void encode(std::span<std::uint8_t, kWireSize> out) const
    {
        out[0] = version;
        out[1] = static_cast<std::uint8_t>((hasPorts ? kHasPortsFlag : 0) | (fragment ? kFragmentFlag : 0)
                                           | (syn ? kSynFlag : 0) | (fin ? kFinFlag : 0) | (reset ? kResetFlag : 0));
        out[2] = ipProtocol;
        out[3] = ipVersion;
        // Pointers rather than span iterators: the copies then become block moves.
        std::copy(sourceAddress.begin(), sourceAddress.end(), out.subspan<4, 16>().data());
        std::copy(destinationAddress.begin(), destinationAddress.end(), out.subspan<20, 16>().data());
        PacketSummary::putBigEndian16(out.subspan<36, 2>(), sourcePort);
        PacketSummary::putBigEndian16(out.subspan<38, 2>(), destinationPort);
        PacketSummary::putBigEndian32(out.subspan<40, 4>(), packetBytes);
        PacketSummary::putBigEndian32(out.subspan<44, 4>(), dataBytes);
    }

    // Reads exactly the 48 bytes it is given; flag bits other than the known ones are ignored.
    static constexpr PacketSummaryV2 decode(std::span<const std::uint8_t, kWireSize> in)
    {
        PacketSummaryV2 summary;
        summary.version = in[0];
        summary.hasPorts = (in[1] & kHasPortsFlag) != 0;
        summary.fragment = (in[1] & kFragmentFlag) != 0;
        summary.syn = (in[1] & kSynFlag) != 0;
        summary.fin = (in[1] & kFinFlag) != 0;
        summary.reset = (in[1] & kResetFlag) != 0;
        summary.ipProtocol = in[2];
        summary.ipVersion = in[3];
        std::copy_n(in.subspan<4, 16>().data(), 16, summary.sourceAddress.data());
        std::copy_n(in.subspan<20, 16>().data(), 16, summary.destinationAddress.data());
        summary.sourcePort = PacketSummary::bigEndian16(in.subspan<36, 2>());
        summary.destinationPort = PacketSummary::bigEndian16(in.subspan<38, 2>());
        summary.packetBytes = PacketSummary::bigEndian32(in.subspan<40, 4>());
        summary.dataBytes = PacketSummary::bigEndian32(in.subspan<44, 4>());
        return summary;
    }

    // For readers that hold the pipe's bytes as char (QByteArray, std::string).
    static PacketSummaryV2 decode(std::span<const char, kWireSize> in)
    {
        return decode(
            std::span<const std::uint8_t, kWireSize>(reinterpret_cast<const std::uint8_t *>(in.data()), kWireSize));
    }
};
