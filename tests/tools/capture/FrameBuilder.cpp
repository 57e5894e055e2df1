#include "FrameBuilder.h"

#include <cstring>

namespace {
std::uint16_t internetChecksum(const std::uint8_t* bytes, std::size_t length)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < length; i += 2)
        sum += static_cast<std::uint32_t>(bytes[i] << 8 | bytes[i + 1]);
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}
} // namespace

FrameBuilder& FrameBuilder::ethernet(std::uint16_t etherType)
{
    zeros(12);
    return u16(etherType);
}

FrameBuilder& FrameBuilder::loopbackFamily(std::uint32_t family)
{
    std::uint8_t raw[4];
    std::memcpy(raw, &family, sizeof raw);
    m_bytes.insert(m_bytes.end(), raw, raw + sizeof raw);
    return *this;
}

FrameBuilder& FrameBuilder::ipv4(std::uint8_t protocol, std::uint32_t source, std::uint32_t destination,
                                 std::uint16_t totalLength, std::uint8_t headerWords, std::uint8_t version)
{
    const std::size_t start = m_bytes.size();
    m_bytes.push_back(static_cast<std::uint8_t>(version << 4 | (headerWords & 0x0F)));
    m_bytes.push_back(0);
    u16(totalLength);
    u16(0x1234).u16(0x4000); // identification, don't fragment
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

FrameBuilder& FrameBuilder::tcp(std::uint16_t sourcePort, std::uint16_t destinationPort, std::uint8_t headerWords)
{
    u16(sourcePort).u16(destinationPort);
    zeros(8); // sequence and acknowledgement numbers
    m_bytes.push_back(static_cast<std::uint8_t>(headerWords << 4));
    m_bytes.push_back(0x10); // ACK
    u16(0xFFFF);
    return zeros(4); // checksum, urgent pointer
}

FrameBuilder& FrameBuilder::udp(std::uint16_t sourcePort, std::uint16_t destinationPort, std::uint16_t length)
{
    return u16(sourcePort).u16(destinationPort).u16(length).u16(0);
}

FrameBuilder& FrameBuilder::u16(std::uint16_t value)
{
    m_bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    m_bytes.push_back(static_cast<std::uint8_t>(value));
    return *this;
}

FrameBuilder& FrameBuilder::zeros(std::size_t count)
{
    m_bytes.insert(m_bytes.end(), count, 0);
    return *this;
}
