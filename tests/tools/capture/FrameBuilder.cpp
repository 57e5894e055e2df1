// SPDX-License-Identifier: MIT
#include "FrameBuilder.h"

#include <cstring>

namespace {
std::uint16_t internetChecksum(const std::uint8_t *bytes, std::size_t length)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < length; i += 2)
        sum += static_cast<std::uint32_t>(bytes[i] << 8 | bytes[i + 1]);
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}
} // namespace

FrameBuilder &FrameBuilder::ethernet(std::uint16_t etherType)
{
    zeros(12);
    return u16(etherType);
}

FrameBuilder &FrameBuilder::loopbackFamily(std::uint32_t family)
{
    std::uint8_t raw[4];
    std::memcpy(raw, &family, sizeof raw);
    m_bytes.insert(m_bytes.end(), raw, raw + sizeof raw);
    return *this;
}

FrameBuilder &FrameBuilder::ipv4(std::uint8_t protocol, std::uint32_t source, std::uint32_t destination,
                                 std::uint16_t totalLength, std::uint8_t headerWords, std::uint8_t version)
{
    return ipv4Header(protocol, source, destination, totalLength, headerWords, version, 0x4000); // don't fragment
}

FrameBuilder &FrameBuilder::ipv4Fragment(std::uint8_t protocol, std::uint32_t source, std::uint32_t destination,
                                         std::uint16_t totalLength, std::uint16_t offsetUnits, bool moreFragments)
{
    return ipv4Header(protocol, source, destination, totalLength, 5, 4,
                      static_cast<std::uint16_t>((moreFragments ? 0x2000 : 0) | offsetUnits));
}

FrameBuilder &FrameBuilder::ipv4Header(std::uint8_t protocol, std::uint32_t source, std::uint32_t destination,
                                       std::uint16_t totalLength, std::uint8_t headerWords, std::uint8_t version,
                                       std::uint16_t fragmentField)
{
    const std::size_t start = m_bytes.size();
    m_bytes.push_back(static_cast<std::uint8_t>(version << 4 | (headerWords & 0x0F)));
    m_bytes.push_back(0);
    u16(totalLength);
    u16(0x1234).u16(fragmentField); // identification
    m_bytes.push_back(64);
    m_bytes.push_back(protocol);
    u16(0);
    u16(static_cast<std::uint16_t>(source >> 16)).u16(static_cast<std::uint16_t>(source));
    u16(static_cast<std::uint16_t>(destination >> 16)).u16(static_cast<std::uint16_t>(destination));
    zeros(std::size_t{headerWords} * 4 - 20);
    const std::uint16_t checksum = internetChecksum(m_bytes.data() + start, m_bytes.size() - start);
    m_bytes[start + 10] = static_cast<std::uint8_t>(checksum >> 8);
    m_bytes[start + 11] = static_cast<std::uint8_t>(checksum);
    return *this;
}

FrameBuilder &FrameBuilder::ipv6(std::uint8_t nextHeader, const std::array<std::uint8_t, 16> &source,
                                 const std::array<std::uint8_t, 16> &destination, std::uint16_t payloadLength)
{
    u16(0x6000).u16(0); // version, traffic class, flow label
    u16(payloadLength);
    m_bytes.push_back(nextHeader);
    m_bytes.push_back(64); // hop limit
    m_bytes.insert(m_bytes.end(), source.begin(), source.end());
    m_bytes.insert(m_bytes.end(), destination.begin(), destination.end());
    return *this;
}

FrameBuilder &FrameBuilder::extensionHeader(std::uint8_t nextHeader, std::uint8_t lengthUnits)
{
    m_bytes.push_back(nextHeader);
    m_bytes.push_back(lengthUnits);
    return zeros((std::size_t{lengthUnits} + 1) * 8 - 2);
}

FrameBuilder &FrameBuilder::fragmentHeader(std::uint8_t nextHeader, std::uint16_t offsetUnits, bool moreFragments)
{
    m_bytes.push_back(nextHeader);
    m_bytes.push_back(0);
    u16(static_cast<std::uint16_t>(offsetUnits << 3 | (moreFragments ? 1 : 0)));
    return u16(0xABCD).u16(0x1234); // identification
}

FrameBuilder &FrameBuilder::authenticationHeader(std::uint8_t nextHeader, std::uint8_t icvWords)
{
    m_bytes.push_back(nextHeader);
    m_bytes.push_back(static_cast<std::uint8_t>(icvWords + 1)); // in 4-byte units, less 2
    zeros(2);
    u16(0x0100).u16(0x0001); // security parameters index
    u16(0).u16(7);           // sequence number
    return zeros(std::size_t{icvWords} * 4);
}

FrameBuilder &FrameBuilder::tcp(std::uint16_t sourcePort, std::uint16_t destinationPort, std::uint8_t headerWords)
{
    u16(sourcePort).u16(destinationPort);
    zeros(8); // sequence and acknowledgement numbers
    m_bytes.push_back(static_cast<std::uint8_t>(headerWords << 4));
    m_bytes.push_back(0x10); // ACK
    u16(0xFFFF);
    return zeros(4); // checksum, urgent pointer
}

FrameBuilder &FrameBuilder::udp(std::uint16_t sourcePort, std::uint16_t destinationPort, std::uint16_t length)
{
    return u16(sourcePort).u16(destinationPort).u16(length).u16(0);
}

FrameBuilder &FrameBuilder::u16(std::uint16_t value)
{
    m_bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    m_bytes.push_back(static_cast<std::uint8_t>(value));
    return *this;
}

FrameBuilder &FrameBuilder::zeros(std::size_t count)
{
    m_bytes.insert(m_bytes.end(), count, 0);
    return *this;
}
