#pragma once

// The fixed 20-byte record the capture tool writes for every frame and the application
// reads back. Plain C++ without Qt so the setuid tool and the application share it.
//
// Pipe image, every multi-byte field big-endian, records back to back:
//   0 hasPorts | 1 ipProtocol | 2-3 reserved (zero) | 4-7 sourceAddress |
//   8-11 destinationAddress | 12-13 sourcePort | 14-15 destinationPort |
//   16-17 packetBytes | 18-19 dataBytes
// In memory every field is in host order; an address reads as its dotted quad with the
// first octet most significant (10.0.0.1 is 0x0A000001).

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

    friend bool operator==(const PacketSummary&, const PacketSummary&) = default;

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
        return decode(std::span<const std::uint8_t, kWireSize>(
            reinterpret_cast<const std::uint8_t*>(in.data()), kWireSize));
    }

    static constexpr std::uint16_t bigEndian16(std::span<const std::uint8_t, 2> bytes)
    {
        return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
    }

    static constexpr std::uint32_t bigEndian32(std::span<const std::uint8_t, 4> bytes)
    {
        return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16)
            | (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
    }

private:
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
