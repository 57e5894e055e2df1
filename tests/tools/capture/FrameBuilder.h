// SPDX-License-Identifier: MIT
#pragma once

// Writes test frames byte by byte, in network order, so the tests state exactly which bytes
// the decoder sees.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class FrameBuilder
{
public:
    // 14 bytes: zero destination and source MAC, then the EtherType.
    FrameBuilder &ethernet(std::uint16_t etherType = 0x0800);
    // The BSD loopback header: a 4-byte address family in host order.
    FrameBuilder &loopbackFamily(std::uint32_t family);
    // An IPv4 header of headerWords * 4 bytes (options zero) with a valid checksum.
    FrameBuilder &ipv4(std::uint8_t protocol, std::uint32_t source, std::uint32_t destination,
                       std::uint16_t totalLength, std::uint8_t headerWords = 5, std::uint8_t version = 4);
    // A 20-byte IPv4 header of a fragment: offset in 8-byte units, with or without "more fragments".
    FrameBuilder &ipv4Fragment(std::uint8_t protocol, std::uint32_t source, std::uint32_t destination,
                               std::uint16_t totalLength, std::uint16_t offsetUnits, bool moreFragments);
    // A 40-byte IPv6 header.
    FrameBuilder &ipv6(std::uint8_t nextHeader, const std::array<std::uint8_t, 16> &source,
                       const std::array<std::uint8_t, 16> &destination, std::uint16_t payloadLength);
    // A hop-by-hop, routing or destination options header of (lengthUnits + 1) * 8 bytes, padded with zeros.
    FrameBuilder &extensionHeader(std::uint8_t nextHeader, std::uint8_t lengthUnits = 0);
    FrameBuilder &fragmentHeader(std::uint8_t nextHeader, std::uint16_t offsetUnits, bool moreFragments);
    // An IPsec Authentication Header with an integrity check value of icvWords * 4 bytes.
    FrameBuilder &authenticationHeader(std::uint8_t nextHeader, std::uint8_t icvWords = 3);
    // A 20-byte TCP header whose data offset says headerWords * 4 bytes.
    FrameBuilder &tcp(std::uint16_t sourcePort, std::uint16_t destinationPort, std::uint8_t headerWords = 5);
    FrameBuilder &udp(std::uint16_t sourcePort, std::uint16_t destinationPort, std::uint16_t length);
    FrameBuilder &u16(std::uint16_t value);
    FrameBuilder &zeros(std::size_t count);

    const std::vector<std::uint8_t> &bytes() const { return m_bytes; }
    std::size_t size() const { return m_bytes.size(); }

private:
    FrameBuilder &ipv4Header(std::uint8_t protocol, std::uint32_t source, std::uint32_t destination,
                             std::uint16_t totalLength, std::uint8_t headerWords, std::uint8_t version,
                             std::uint16_t fragmentField);

    std::vector<std::uint8_t> m_bytes;
};
